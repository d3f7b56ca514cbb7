#pragma once

#include <QList>
#include <QString>

// One preset OpenAI-compatible chat-completions provider.
struct CloudProvider {
    QString id;
    QString l10nKey;
    QString baseURL;      // full chat-completions endpoint; empty for the custom provider
    QString defaultModel; // empty for the custom provider
    QString keyURL;       // where the user gets an API key; empty for the custom provider

    bool isCustom() const { return id == QLatin1String("custom"); }
};

// The fixed, compiled-in list of providers, in the order of the settings menu.
class CloudProviders {
public:
    static const QList<CloudProvider>& all();
    static QString defaultId() { return QStringLiteral("doubao"); }
    // The entry with exactly this id, else the default provider's entry.
    static const CloudProvider& find(const QString& id);
    static QString displayName(const QString& id);
};
