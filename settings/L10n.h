#pragma once

#include <optional>
#include <span>

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariantList>

// Interface texts in Simplified Chinese and English, looked up by key.
class L10n {
public:
    enum class Lang { zh, en };

    struct Entry {
        const char* key;
        const char* zh;
        const char* en; // nullptr: no English text, the Chinese one is shown
    };

    // Resolved once and cached until invalidate().
    static Lang current();
    static void invalidate();

    // The key's text in the current language, else its Chinese text, else the key itself.
    static QString t(const QString& key);
    static QString t(const char* key) { return t(QString::fromLatin1(key)); }

    // Fills "%@" (text) and "%d" (integer) in order; "%%" is a literal percent sign.
    static QString format(const QString& pattern, const QVariantList& args);
    static QString tf(const char* key, const QVariantList& args) { return format(t(key), args); }

    // The language rules: SELVANE_UI_LANG (when given), then appLanguage, then the first
    // preferred system language ("zh…" is Chinese, anything else English, none is Chinese).
    static Lang resolve(const std::optional<QString>& envValue, const QString& appLanguage,
                        const QStringList& preferredLanguages);

    // Every key with its two texts.
    static std::span<const Entry> entries();
};

// A lookup table built from key/text entries; the process-wide one is built from L10n::entries().
class L10nTable {
public:
    explicit L10nTable(std::span<const L10n::Entry> entries);
    QString text(const QString& key, L10n::Lang lang) const;

private:
    QHash<QString, QString> m_zh;
    QHash<QString, QString> m_en;
};
