#include <set>
#include <vector>

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include "settings/L10n.h"
#include "tests/support/ScratchHome.h"

namespace {

struct Segment {
    const char* name;
    int count;
    std::vector<const char*> keys;
};

// The complete key list the interface is built against, in table order.
const Segment kSegments[] = {
    {"common", 5, {
        "common.cancel", "common.save", "common.copy", "common.delete", "common.close"}},
    {"notReady", 9, {
        "notReady.title", "notReady.body", "notReady.openSettings", "notReady.btn.download",
        "notReady.btn.cloud", "notReady.btn.useOllama", "notReady.useOllama.foundHeader",
        "notReady.useOllama.found", "notReady.useOllama.notFound"}},
    {"heal", 2, {
        "heal.switched.header", "heal.switched.body"}},
    {"upgrade", 1, {
        "upgrade.ax.body"}},
    {"menu", 26, {
        "menu.appName", "menu.statusLabel", "menu.hotkeyHint", "menu.engineLine",
        "menu.cloud.configured", "menu.cloud.unconfigured", "menu.cloud.configuredWithName",
        "menu.cloud.unconfiguredWithName", "menu.model", "menu.model.current",
        "menu.model.download", "menu.model.delete", "menu.fontSize", "menu.screenOCR",
        "menu.screenOCR.withKey", "menu.screenOCR.disabled", "menu.knowledge",
        "menu.knowledgeWithCount", "menu.settings", "menu.checkAuth", "menu.guide", "menu.quit",
        "menu.checkUpdate", "menu.perm.needAX", "menu.perm.needScreen", "menu.perm.needEngine"}},
    {"fontSize", 4, {
        "fontSize.small", "fontSize.medium", "fontSize.large", "fontSize.xlarge"}},
    {"auth", 7, {
        "auth.notTrusted.header", "auth.notTrusted.body", "auth.btn.open", "auth.btn.relaunch",
        "auth.hint", "auth.granted.header", "auth.granted.body"}},
    {"update", 10, {
        "update.available.header", "update.available.body", "update.available.bodyNotes",
        "update.btn.download", "update.btn.later", "update.downloading", "update.downloaded",
        "update.downloadFailed", "update.uptodate.header", "update.uptodate.body"}},
    {"capture", 2, {
        "capture.notFound.header", "capture.notFound.body"}},
    {"ocr", 6, {
        "ocr.noText.header", "ocr.noText.body", "ocr.perm.header", "ocr.perm.body",
        "ocr.perm.openBtn", "ocr.perm.relaunchBtn"}},
    {"hotkey", 4, {
        "hotkey.conflict.header", "hotkey.conflict.body", "hotkey.ocrDisabled.header",
        "hotkey.ocrDisabled.body"}},
    {"popup", 53, {
        "popup.header.read", "popup.action.explain", "popup.action.translate",
        "popup.action.rewrite", "popup.engineSuffix.local", "popup.engineSuffix.cloud",
        "popup.placeholder.result", "popup.placeholder.foreign", "popup.status.connecting",
        "popup.status.generating", "popup.status.connecting.nobase",
        "popup.status.generating.nobase", "popup.status.errorShort", "popup.status.error",
        "popup.status.done", "popup.status.previewDone", "popup.status.connectingShort",
        "popup.hint.replaceExplain", "popup.hint.drag", "popup.hint.message",
        "popup.hint.conversation", "popup.btn.replace", "popup.btn.copy", "popup.btn.send",
        "popup.btn.fav.on", "popup.btn.fav.off", "popup.input.placeholder", "popup.mic.idle",
        "popup.mic.recording", "popup.transcript.you", "popup.transcript.aiVersion",
        "popup.applied.ax", "popup.applied.paste", "popup.copied", "popup.btn.collect",
        "popup.collect.done", "popup.collect.empty", "popup.collect.source.selection",
        "popup.collect.source.ocr", "popup.voice.listening", "popup.recall.withNote",
        "popup.recall.noNote", "popup.recall.semanticWithNote", "popup.recall.semanticNoNote",
        "popup.recall.fromMemory", "popup.recall.noteTail", "popup.opt.label.rewrite",
        "popup.opt.label.explain", "popup.opt.label.translate", "popup.opt.tip.scenario",
        "popup.opt.tip.creativity", "popup.opt.tip.explain", "popup.opt.tip.translate"}},
    {"scenario", 7, {
        "scenario.general", "scenario.gongwen", "scenario.fanwen", "scenario.zimeiti",
        "scenario.email", "scenario.xiaohongshu", "scenario.xueshu"}},
    {"creativity", 3, {
        "creativity.faithful", "creativity.moderate", "creativity.creative"}},
    {"explain", 5, {
        "explain.plain", "explain.solve", "explain.pro", "explain.kid", "explain.points"}},
    {"translate", 9, {
        "translate.dir.auto", "translate.dir.zh", "translate.dir.en", "translate.dir.ja",
        "translate.dir.ko", "translate.dir.fr", "translate.dir.de", "translate.dir.es",
        "translate.dir.ru"}},
    {"provider", 10, {
        "provider.doubao", "provider.deepseek", "provider.openai", "provider.gemini",
        "provider.claude", "provider.kimi", "provider.qwen", "provider.glm", "provider.grok",
        "provider.custom"}},
    {"err", 8, {
        "err.network", "err.timeout", "err.cloudAuth", "err.cloudRateLimit", "err.cloudOther",
        "err.ollamaNotRunning", "err.qwenOther", "err.unknown"}},
    {"settings", 64, {
        "settings.title", "settings.section.local", "settings.row.localService",
        "settings.row.model", "settings.row.engineSource", "settings.engine.bundled",
        "settings.engine.external", "settings.row.externalModel", "settings.external.notFound",
        "settings.btn.start", "settings.btn.refresh", "settings.btn.manageModels",
        "settings.model.none", "settings.model.noneDownloaded", "settings.model.downloaded",
        "settings.status.checking", "settings.status.starting", "settings.status.running",
        "settings.status.stopped", "settings.section.cloud", "settings.row.provider",
        "settings.row.cloudKey", "settings.btn.getKey", "settings.row.cloudModel",
        "settings.row.customBaseURL", "settings.placeholder.cloudKey",
        "settings.placeholder.customBaseURL", "settings.btn.test", "settings.test.testing",
        "settings.test.ok", "settings.test.needKey", "settings.test.needURL",
        "settings.test.failAuth", "settings.test.failRate", "settings.test.failNetwork",
        "settings.test.failTimeout", "settings.test.failOther", "settings.cloud.privacy",
        "settings.section.engine", "settings.compare", "settings.row.explainUse",
        "settings.row.rewriteUse", "settings.row.translateUse", "settings.seg.local",
        "settings.seg.cloud", "settings.section.translate", "settings.row.translateTo",
        "settings.section.hotkey", "settings.row.hotkey", "settings.row.ocrHotkey",
        "settings.hotkey.reset", "settings.hotkey.recording", "settings.hotkey.hint.recording",
        "settings.hotkey.hint.needModifier", "settings.hotkey.hint.sameAsMain",
        "settings.section.font", "settings.row.fontSize", "settings.section.knowledge",
        "settings.autoRemember", "settings.section.appLang", "settings.row.appLang",
        "settings.appLang.auto", "settings.appLang.zh", "settings.appLang.en"}},
    {"kw", 57, {
        "kw.title", "kw.titleWithCount", "kw.profile.title", "kw.profile.meta",
        "kw.profile.userEdited", "kw.profile.none", "kw.profile.disabled",
        "kw.profile.refreshing", "kw.profile.edit", "kw.profile.refresh", "kw.profile.toggle",
        "kw.profile.editTitle", "kw.profile.editHint", "kw.profile.editPlaceholder",
        "kw.search.placeholder", "kw.filter.all", "kw.filter.fav", "kw.filter.collection",
        "kw.btn.export", "kw.btn.organize", "kw.btn.clear", "kw.field.source",
        "kw.field.result", "kw.field.note", "kw.fav.checkbox", "kw.btn.saveEdits",
        "kw.btn.copyResult", "kw.btn.delete", "kw.meta", "kw.meta.action.default",
        "kw.meta.app.unknown", "kw.saved", "kw.resultCopied", "kw.empty.library",
        "kw.empty.favNone", "kw.empty.collectionNone", "kw.empty.noMatch", "kw.empty.pick",
        "kw.export.failTitle", "kw.export.failBody", "kw.export.fileName", "kw.organize.empty",
        "kw.organize.working", "kw.organize.notReady", "kw.organize.failTitle",
        "kw.organize.failBody", "kw.organize.resultTitle", "kw.organize.btn.copy",
        "kw.organize.btn.save", "kw.organize.btn.close", "kw.organize.copied",
        "kw.organize.saveFileName", "kw.clear.title", "kw.clear.body", "kw.clear.confirm",
        "kw.row.empty", "kw.row.record"}},
    {"onboard", 33, {
        "onboard.title", "onboard.heading", "onboard.intro", "onboard.ax.title",
        "onboard.ax.notTrusted", "onboard.ax.trusted", "onboard.ax.grantBtn", "onboard.ax.why",
        "onboard.screen.title", "onboard.screen.notTrusted", "onboard.screen.trusted",
        "onboard.screen.grantBtn", "onboard.screen.relaunchBtn", "onboard.screen.why",
        "onboard.menubar.where", "onboard.model.title", "onboard.model.alreadyDownloaded",
        "onboard.model.skip.title", "onboard.model.skip.desc", "onboard.model.cloudChosen",
        "onboard.model.change", "onboard.model.downloadingHead", "onboard.model.downloadOk",
        "onboard.model.retry", "onboard.model.useCloudInstead", "onboard.external.detected",
        "onboard.external.useThis", "onboard.external.downloadInstead",
        "onboard.external.using", "onboard.try.title", "onboard.try.sample", "onboard.try.hint",
        "onboard.startBtn"}},
    {"model", 16, {
        "model.pick.light.title", "model.pick.light.desc", "model.pick.balanced.title",
        "model.pick.balanced.desc", "model.pick.smart.title", "model.pick.smart.desc",
        "model.dl.starting", "model.dl.downloading", "model.dl.verifying", "model.dl.done",
        "model.delete.confirmTitle", "model.delete.confirmBody", "model.delete.doneTitle",
        "model.delete.doneBody", "model.delete.failTitle", "model.delete.failBody"}},
};

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

TEST(L10nKeys, TableHoldsEveryListedKeyOnceInListOrder)
{
    QStringList expected;
    for (const Segment& segment : kSegments) {
        EXPECT_EQ(int(segment.keys.size()), segment.count) << segment.name;
        const QString prefix = QString::fromLatin1(segment.name) + QLatin1Char('.');
        for (const char* key : segment.keys) {
            EXPECT_TRUE(QString::fromLatin1(key).startsWith(prefix)) << key;
            expected << QString::fromLatin1(key);
        }
    }
    ASSERT_EQ(expected.size(), 341);
    EXPECT_EQ(std::set<QString>(expected.begin(), expected.end()).size(), 341u);

    QStringList actual;
    for (const L10n::Entry& entry : L10n::entries())
        actual << QString::fromUtf8(entry.key);
    EXPECT_EQ(std::set<QString>(actual.begin(), actual.end()).size(), size_t(actual.size())) << "duplicate keys";
    ASSERT_EQ(actual.size(), expected.size());
    for (qsizetype i = 0; i < actual.size(); ++i)
        ASSERT_EQ(actual[i].toStdString(), expected[i].toStdString()) << "at row " << i;
}

TEST(L10nKeys, EveryTextIsPresentWithTheSamePlaceholdersInBothLanguages)
{
    for (const L10n::Entry& entry : L10n::entries()) {
        ASSERT_TRUE(entry.zh && entry.en) << entry.key;
        const QString zh = QString::fromUtf8(entry.zh);
        const QString en = QString::fromUtf8(entry.en);
        EXPECT_FALSE(zh.trimmed().isEmpty()) << entry.key;
        EXPECT_FALSE(en.trimmed().isEmpty()) << entry.key;
        EXPECT_FALSE(placeholders(zh).contains(QStringLiteral("%?"))) << entry.key << ": " << entry.zh;
        EXPECT_EQ(placeholders(zh).join(QLatin1Char(' ')).toStdString(),
                  placeholders(en).join(QLatin1Char(' ')).toStdString()) << entry.key;
    }
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

class L10nQuotedTexts : public ::testing::Test {
protected:
    void TearDown() override
    {
        qunsetenv("SELVANE_UI_LANG");
        L10n::invalidate();
    }

    static void speak(const char* lang)
    {
        qputenv("SELVANE_UI_LANG", lang);
        L10n::invalidate();
    }

    ScratchHome m_home;
};

TEST_F(L10nQuotedTexts, MultiLineNoticesComeOutInBothLanguages)
{
    const QVariantList shortcuts{QStringLiteral("⌥⌘E"), QStringLiteral("⌃⌥Q")};

    speak("zh");
    EXPECT_EQ(L10n::t("capture.notFound.body"),
              QStringLiteral("先用鼠标选中一段文字，再按一次快捷键试试。\n"
                             "（个别软件比较特殊读不到，你也可以先复制那段文字，再按快捷键。）"));
    EXPECT_EQ(L10n::tf("hotkey.conflict.body", shortcuts),
              QStringLiteral("⌥⌘E 被别的程序占用了，换一个吧。\n已经先帮你换回 ⌃⌥Q，可以接着用；想换别的就去设置里重新录。"));

    speak("en_US");
    EXPECT_EQ(L10n::t("capture.notFound.body"),
              QStringLiteral("Select some text with the mouse first, then press the shortcut again.\n"
                             "(A few apps are special and can't be read — you can also copy the text first, "
                             "then press the shortcut.)"));
    EXPECT_EQ(L10n::tf("hotkey.conflict.body", shortcuts),
              QStringLiteral("⌥⌘E is already used by another app — pick a different one.\n"
                             "Switched you back to ⌃⌥Q for now; you can set a new one in Settings."));
    EXPECT_EQ(L10n::tf("popup.recall.withNote", {3, QStringLiteral("note")}),
              QStringLiteral("📌 You looked this up (3×) · Note: note"));
}

}
