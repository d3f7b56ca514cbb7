#include <gtest/gtest.h>

#include <QDirIterator>
#include <QRegularExpression>
#include <QSet>
#include <QString>
#include <QStringList>

#include "settings/CloudProviders.h"
#include "prompts/PromptLibrary.h"
#include "settings/L10n.h"
#include "tests/support/Files.h"
#include "tests/support/ScratchHome.h"

namespace {

QSet<QString> tableKeys()
{
    QSet<QString> keys;
    for (const L10n::Entry& entry : L10n::entries())
        keys.insert(QString::fromUtf8(entry.key));
    return keys;
}

// "%@" and "%d" in order; "%%" is a literal. A "%" starting anything else is reported as "%?".
QStringList placeholders(const QString& text)
{
    QStringList found;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != QLatin1Char('%'))
            continue;
        const QChar next = i + 1 < text.size() ? text[i + 1] : QChar();
        if (next == QLatin1Char('%')) {
            ++i;
        } else if (next == QLatin1Char('@') || next == QLatin1Char('d')) {
            found << text.mid(i, 2);
            ++i;
        } else {
            found << QStringLiteral("%?");
        }
    }
    return found;
}

TEST(L10nKeys, AllKeysOnceEachWithBothTextsAndTheSamePlaceholders)
{
    EXPECT_EQ(L10n::entries().size(), 341u);
    EXPECT_EQ(tableKeys().size(), 341) << "duplicate keys";
    for (const L10n::Entry& entry : L10n::entries()) {
        ASSERT_TRUE(entry.zh && entry.en) << entry.key;
        const QString zh = QString::fromUtf8(entry.zh);
        const QString en = QString::fromUtf8(entry.en);
        EXPECT_FALSE(zh.trimmed().isEmpty() || en.trimmed().isEmpty()) << entry.key;
        EXPECT_FALSE(placeholders(zh).contains(QStringLiteral("%?"))) << entry.key << ": " << entry.zh;
        EXPECT_EQ(placeholders(zh).join(QLatin1Char(' ')).toStdString(),
                  placeholders(en).join(QLatin1Char(' ')).toStdString()) << entry.key;
    }
}

// A key the program asks for that the table lacks would show the key itself to the user.
TEST(L10nKeys, EveryKeyTheProgramAsksForIsInTheTable)
{
    const QSet<QString> keys = tableKeys();
    QSet<QString> segments;
    for (const QString& key : keys)
        segments.insert(key.section(QLatin1Char('.'), 0, 0));

    QStringList asked;
    static const QRegularExpression literal(QStringLiteral(R"re("([a-zA-Z]+(?:\.[A-Za-z]+)+)")re"));
    for (const char* folder : {"app", "capture", "engines", "memory", "platform", "popup", "profile", "prompts", "settings"}) {
        QDirIterator files(QStringLiteral(QUILLO_TESTS_DIR "/../") + QLatin1String(folder), {QStringLiteral("*.cpp"), QStringLiteral("*.h")},
                           QDir::Files, QDirIterator::Subdirectories);
        while (files.hasNext()) {
            const QString path = files.next();
            if (path.endsWith(QLatin1String("/L10nStrings.cpp")))
                continue;
            for (const QRegularExpressionMatch& match : literal.globalMatch(QString::fromUtf8(readFile(path)))) {
                if (segments.contains(match.captured(1).section(QLatin1Char('.'), 0, 0)))
                    asked << match.captured(1);
            }
        }
    }
    EXPECT_GT(asked.size(), 40) << "the sources were not found";
    for (const auto& scenario : PromptLibrary::scenarios())
        asked << QStringLiteral("scenario.") + scenario.id;
    for (const auto& mode : PromptLibrary::explainModes())
        asked << QStringLiteral("explain.") + mode.id;
    for (const QString& direction : PromptLibrary::translateDirectionIds())
        asked << QStringLiteral("translate.dir.") + direction;
    for (const PromptLibrary::Creativity level : PromptLibrary::creativities())
        asked << QStringLiteral("creativity.") + PromptLibrary::rawValue(level);
    for (const CloudProvider& provider : CloudProviders::all())
        asked << provider.l10nKey;
    for (const QString& key : asked)
        EXPECT_TRUE(keys.contains(key)) << key.toStdString();
}

TEST(L10nKeys, TextsSpeakOfTheLinuxDesktop)
{
    static const QRegularExpression otherDesktop(QStringLiteral(
        R"(\bMac\b|macOS|Finder|System Settings|访达|系统设置|disk image|磁盘图标|\.dmg|menu bar|菜单栏)"));
    for (const L10n::Entry& entry : L10n::entries()) {
        for (const char* text : {entry.zh, entry.en})
            EXPECT_FALSE(QString::fromUtf8(text).contains(otherDesktop)) << entry.key << ": " << text;
    }
}

TEST(L10nKeys, MultiLineNoticesComeOutInBothLanguages)
{
    ScratchHome home;
    const QVariantList shortcuts{QStringLiteral("⌥⌘E"), QStringLiteral("⌃⌥Q")};
    qputenv("SELVANE_UI_LANG", "zh");
    L10n::invalidate();
    EXPECT_EQ(L10n::t("capture.notFound.body"),
              QStringLiteral("先用鼠标选中一段文字，再按一次快捷键试试。\n"
                             "（个别软件比较特殊读不到，你也可以先复制那段文字，再按快捷键。）"));
    EXPECT_EQ(L10n::tf("hotkey.conflict.body", shortcuts),
              QStringLiteral("⌥⌘E 被别的程序占用了，换一个吧。\n已经先帮你换回 ⌃⌥Q，可以接着用；想换别的就去设置里重新录。"));

    qputenv("SELVANE_UI_LANG", "en_US");
    L10n::invalidate();
    EXPECT_EQ(L10n::t("capture.notFound.body"),
              QStringLiteral("Select some text with the mouse first, then press the shortcut again.\n"
                             "(A few apps are special and can't be read — you can also copy the text first, "
                             "then press the shortcut.)"));
    EXPECT_EQ(L10n::tf("hotkey.conflict.body", shortcuts),
              QStringLiteral("⌥⌘E is already used by another app — pick a different one.\n"
                             "Switched you back to ⌃⌥Q for now; you can set a new one in Settings."));
    qunsetenv("SELVANE_UI_LANG");
    L10n::invalidate();
}

}
