// The tray as a user meets it, with real processes: the shortcut in mousepad opens the panel, an answer streams from
// the user's Ollama (fake_ollama) and replaces the word, the menu counts the lookup, the command line reaches it.
#include <gtest/gtest.h>

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

#include "settings/HomeDir.h"
#include "settings/L10n.h"
#include "settings/SettingsStore.h"
#include "tests/support/AtspiDriver.h"
#include "tests/support/ChildProcesses.h"
#include "tests/support/DesktopSession.h"
#include "tests/support/EventLoop.h"
#include "tests/support/Files.h"
#include "tests/support/OwnOllama.h"
#include "tests/support/RunProgram.h"
#include "tests/support/ScopedEnv.h"

namespace {

ProgramResult quillo(const QStringList& args)
{
    return runProgram(quilloBinary(), args);
}

// The tray icon's window: our small window that the tray host holds.
QString trayIconWindow()
{
    static const QRegularExpression line(
        QStringLiteral(R"((0x[0-9a-f]+) "quillo": \("quillo" "quillo"\)\s+(\d+)x(\d+)\+)"));
    const QString tree = QString::fromUtf8(runProgram(QStringLiteral("xwininfo"), arguments("-root -tree")).out);
    for (const QRegularExpressionMatch& match : line.globalMatch(tree)) {
        if (match.captured(2).toInt() <= 64 && match.captured(3).toInt() <= 64)
            return match.captured(1);
    }
    return {};
}

class TrayApp : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_desktop.start(QStringLiteral("trayer"),
                                    arguments("--edge top --align right --widthtype request --height 32")));
        ASSERT_TRUE(processEventsUntil([] { return DesktopSession::selectionOwned("_NET_SYSTEM_TRAY_S0"); }));
        ASSERT_TRUE(writeFile(HomeDir::dataDir() + QStringLiteral("/onboarded"), "1"));
    }

    QProcess* startQuillo()
    {
        QProcess* process = m_desktop.startQuillo(QStringLiteral("xcb")); // in English, as m_lang says
        if (!process)
            return nullptr;
        // Listening before the menu is ever opened: an application learns of new listeners late.
        m_menuWatch = std::make_unique<AtspiDriver::MenuWatch>(process->processId());
        m_pid = process->processId();
        return process;
    }

    static bool waitFor(qint64 pid, const QString& name)
    {
        return processEventsUntil([&] { return AtspiDriver::shows(pid, name); });
    }

    // Selects by keyboard in the editor until the editor reports the expected selection: keys typed
    // while a closing menu or panel still has the keyboard reach the editor only when typed again.
    static bool selectInEditor(qint64 editor, int skip, int count, const QString& expected)
    {
        return processEventsUntil([&] {
            return DesktopSession::selectByKeyboard(skip, count) && AtspiDriver::selectedText(editor) == expected;
        });
    }

    // Opens the tray menu and tells whether one of its items, disabled ones included, has the text.
    bool trayMenuShows(const QString& text)
    {
        // xwininfo gives up on a window that goes while it walks the tree: ask again. A click that
        // lands while the closing panel still holds the pointer opens nothing: click again.
        m_menuWatch->forget();
        for (int click = 0; click < 3 && !m_menuWatch->seen(); ++click) {
            QString icon;
            processEventsUntil([&] { return !(icon = trayIconWindow()).isEmpty(); }, 5000);
            const QStringList clickIcon = arguments("mousemove --window %1 4 4 click 3").replaceInStrings("%1", icon);
            if (icon.isEmpty() || runProgram(QStringLiteral("xdotool"), clickIcon).exitCode != 0) {
                ADD_FAILURE() << "no tray icon to click";
                return false;
            }
            // Moving through the mapped menu focuses an item, which leads to all of them; keys typed before go
            // elsewhere.
            const bool mapped = processEventsUntil([&] { return windowShown(icon); }, 10000);
            for (int attempt = 0; mapped && attempt < 4 && !m_menuWatch->seen(); ++attempt) {
                DesktopSession::typeKeys({QStringLiteral("Down")});
                processEventsUntil([&] { return m_menuWatch->seen(); }, 3000);
            }
            if (!m_menuWatch->seen()) { // a click on the icon of an open menu would only close it
                DesktopSession::typeKeys({QStringLiteral("Escape")});
                processEventsUntil([&] { return !windowShown(icon); }, 10000);
            }
        }
        // The menu's items reach the bus after the first one has the focus: read them until the text is there.
        QStringList names;
        const bool shown = processEventsUntil([&] {
            names = m_menuWatch->itemNames();
            return std::any_of(names.begin(), names.end(), [&](const QString& name) { return name.contains(text); });
        });
        DesktopSession::typeKeys({QStringLiteral("Escape")});
        if (!shown)
            ADD_FAILURE() << "menu items: " << names.join(QStringLiteral(" | ")).toStdString();
        return shown;
    }

    // Whether Quillo has a window mapped besides its tray icon: its menu, when nothing else is open.
    bool windowShown(const QString& iconWindow) const
    {
        const qulonglong icon = iconWindow.toULongLong(nullptr, 16);
        const QList<QByteArray> shown =
            runProgram(QStringLiteral("xdotool"), arguments("search --onlyvisible --pid") << QString::number(m_pid))
                .out.split('\n');
        return std::any_of(shown.begin(), shown.end(),
                           [icon](const QByteArray& id) { return !id.isEmpty() && id.toULongLong() != icon; });
    }

    // A screen reader hears the settings' connection test result itself, named as what it shows.
    static void expectTestResultReadOut(qint64 pid)
    {
        const auto find = [pid](AtspiRole wanted, const char* key) {
            return AtspiDriver::find(
                pid, [&](const QString& name, AtspiRole role) { return role == wanted && name == L10n::t(key); });
        };
        AtspiAccessible* test = find(ATSPI_ROLE_PUSH_BUTTON, "settings.btn.test");
        ASSERT_TRUE(test) << "no test button";
        const bool pressed = AtspiDriver::press(test);
        g_object_unref(test);
        ASSERT_TRUE(pressed);
        AtspiAccessible* label = nullptr;
        ASSERT_TRUE(processEventsUntil([&] {
            return (label = find(ATSPI_ROLE_LABEL, "settings.test.needKey")) != nullptr;
        })) << "the test result is not read out";
        gchar* description = atspi_accessible_get_description(label, nullptr);
        EXPECT_EQ(QString::fromUtf8(description), L10n::t("settings.test.resultName"));
        g_free(description);
        g_object_unref(label);
    }

    ScopedEnv m_lang{"SELVANE_UI_LANG", "en"};
    DesktopSession m_desktop;
    std::unique_ptr<AtspiDriver::MenuWatch> m_menuWatch;
    qint64 m_pid = 0;
};

TEST_F(TrayApp, ShortcutExplainsAndReplacesTheWordAndTheCommandsReachTheInstance)
{
    const QString model = QStringLiteral("qwen2.5:0.5b");
    const std::unique_ptr<FakeOllamaServer> ollama = ownOllamaWith(model);
    ASSERT_TRUE(ollama);
    AppSettings settings = SettingsStore::load(true);
    settings.qwenModel = model;
    settings.compareMode = false;
    settings.explainEngine = EngineChoice::local;
    ASSERT_TRUE(SettingsStore::save(settings));

    QProcess* app = startQuillo();
    ASSERT_TRUE(app);
    const qint64 pid = app->processId();
    const QString before = QStringLiteral("The quick "), word = QStringLiteral("fox"),
                  after = QStringLiteral(" jumps over the lazy dog.");
    QProcess* editor =
        m_desktop.startMousepad(QDir::home().filePath(QStringLiteral("tray-road.txt")), before + word + after);
    ASSERT_TRUE(editor);
    ASSERT_TRUE(selectInEditor(editor->processId(), before.size(), word.size(), word));

    ASSERT_TRUE(DesktopSession::typeKeys({QStringLiteral("alt+super+e")}));
    ASSERT_TRUE(waitFor(pid, L10n::t("popup.action.explain"))) << "the panel with its actions did not appear";
    ASSERT_TRUE(AtspiDriver::press(pid, L10n::t("popup.action.explain")));

    ASSERT_TRUE(waitFor(pid, L10n::t("popup.btn.replace"))) << "no answer arrived";
    ASSERT_TRUE(AtspiDriver::press(pid, L10n::t("popup.btn.replace")));
    EXPECT_TRUE(processEventsUntil([&] { return AtspiDriver::isActive(editor->processId()); }))
        << "the editor is not back in front";

    QString text;
    EXPECT_TRUE(processEventsUntil([&] {
        text = AtspiDriver::editableText(editor->processId()).value_or(QString());
        return text.startsWith(before + QStringLiteral("回声：")) && text.endsWith(after);
    })) << text.toStdString();

    EXPECT_TRUE(trayMenuShows(QStringLiteral("(1)"))) << "the menu does not count the lookup";

    // The command line: a panel for the selection, one screenshot at a time, settings on a second launch.
    DesktopSession::typeKeys({QStringLiteral("Escape")});
    ASSERT_TRUE(selectInEditor(editor->processId(), 0, 3, before.left(3)));
    EXPECT_EQ(quillo({QStringLiteral("--trigger")}).exitCode, 0);
    EXPECT_TRUE(waitFor(pid, L10n::t("popup.action.explain"))) << "quillo --trigger opened no panel";
    DesktopSession::typeKeys({QStringLiteral("Escape")});

    EXPECT_EQ(quillo({QStringLiteral("--trigger-ocr")}).exitCode, 0);
    const QString ocrLog = HomeDir::dataDir() + QStringLiteral("/ocr-debug.log");
    EXPECT_TRUE(processEventsUntil([&] {
        DesktopSession::typeKeys({QStringLiteral("Escape")}); // until the grab's overlay takes it
        return readFile(ocrLog).contains("command · 拿到结果 · cancelled");
    })) << "quillo --trigger-ocr started no screen grab";

    EXPECT_EQ(quillo({}).exitCode, 0) << "a second quillo did not hand over";
    EXPECT_TRUE(waitFor(pid, L10n::t("settings.title"))) << "the running instance did not open its settings";
    expectTestResultReadOut(pid);

    const QList<pid_t> children = ChildProcesses::childrenOf(pid_t(pid));
    EXPECT_EQ(quillo({QStringLiteral("--quit")}).exitCode, 0);
    EXPECT_TRUE(app->waitForFinished());
    for (const pid_t child : children)
        EXPECT_TRUE(ChildProcesses::waitGone(child, std::chrono::milliseconds(0)))
            << "process " << child << " outlived Quillo";
    EXPECT_EQ(QJsonDocument::fromJson(readFile(HomeDir::dataDir() + QStringLiteral("/knowledge.json"))).array().size(),
              1);
    EXPECT_EQ(quillo({QStringLiteral("--trigger")}).exitCode, 1) << "a command without an instance must fail";
}

}
