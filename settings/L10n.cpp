#include "settings/L10n.h"

#include <atomic>

#include <QLocale>

#include "settings/SettingsStore.h"

namespace {

// -1 while unresolved, otherwise the Lang value.
std::atomic<int> resolvedLang{-1};

const L10nTable& table()
{
    static const L10nTable instance(L10n::entries());
    return instance;
}

}

L10nTable::L10nTable(std::span<const L10n::Entry> entries)
{
    m_zh.reserve(qsizetype(entries.size()));
    m_en.reserve(qsizetype(entries.size()));
    for (const L10n::Entry& entry : entries) {
        const QString key = QString::fromUtf8(entry.key);
        if (entry.zh)
            m_zh.insert(key, QString::fromUtf8(entry.zh));
        if (entry.en)
            m_en.insert(key, QString::fromUtf8(entry.en));
    }
}

QString L10nTable::text(const QString& key, L10n::Lang lang) const
{
    if (lang == L10n::Lang::en) {
        if (auto it = m_en.constFind(key); it != m_en.constEnd())
            return *it;
    }
    if (auto it = m_zh.constFind(key); it != m_zh.constEnd())
        return *it;
    return key;
}

L10n::Lang L10n::resolve(const std::optional<QString>& envValue, const QString& appLanguage,
                         const QStringList& preferredLanguages)
{
    if (envValue) {
        const QString value = envValue->toLower();
        if (value.startsWith(QLatin1String("en")))
            return Lang::en;
        if (value.startsWith(QLatin1String("zh")))
            return Lang::zh;
    }
    if (appLanguage == QLatin1String("zh"))
        return Lang::zh;
    if (appLanguage == QLatin1String("en"))
        return Lang::en;
    const QString first = preferredLanguages.isEmpty() ? QStringLiteral("zh") : preferredLanguages.first().toLower();
    return first.startsWith(QLatin1String("zh")) ? Lang::zh : Lang::en;
}

L10n::Lang L10n::current()
{
    const int cached = resolvedLang.load();
    if (cached >= 0)
        return static_cast<Lang>(cached);
    std::optional<QString> env;
    if (qEnvironmentVariableIsSet("SELVANE_UI_LANG"))
        env = qEnvironmentVariable("SELVANE_UI_LANG");
    const Lang lang = resolve(env, SettingsStore::load().appLanguage, QLocale::system().uiLanguages());
    resolvedLang.store(static_cast<int>(lang));
    return lang;
}

void L10n::invalidate()
{
    resolvedLang.store(-1);
}

QString L10n::t(const QString& key)
{
    return table().text(key, current());
}

QString L10n::format(const QString& pattern, const QVariantList& args)
{
    QString result;
    result.reserve(pattern.size());
    qsizetype next = 0;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern[i];
        if (c != QLatin1Char('%') || i + 1 >= pattern.size()) {
            result += c;
            continue;
        }
        const QChar kind = pattern[i + 1];
        if (kind == QLatin1Char('%')) {
            result += QLatin1Char('%');
        } else if (kind == QLatin1Char('@')) {
            result += next < args.size() ? args[next++].toString() : QString();
        } else if (kind == QLatin1Char('d')) {
            result += next < args.size() ? QString::number(args[next++].toLongLong()) : QString();
        } else {
            result += c;
            continue;
        }
        ++i;
    }
    return result;
}
