#pragma once

#include <QMap>
#include <QString>

#include "settings/AppSettings.h"

// The cloud keys and models being edited in the settings window, one per provider, so that
// switching providers never loses what was typed. A model equal to the provider's default is
// never kept: the default may change with a later version.
class SettingsDrafts {
public:
    // Every provider's stored key (the older single Doubao key included) and non-default model.
    static SettingsDrafts from(const AppSettings& settings);

    QString key(const QString& providerId) const { return m_keys.value(providerId); }
    // The draft model, else the provider's default.
    QString model(const QString& providerId) const;
    // Takes what the fields hold for a provider; blank entries are removed.
    void capture(const QString& providerId, const QString& key, const QString& model);

    // Writes the cloud part of the record and retires the older single-key Doubao fields.
    void writeTo(AppSettings& settings, const QString& activeProvider, const QString& customBaseURL) const;

private:
    QMap<QString, QString> m_keys;
    QMap<QString, QString> m_models;
};
