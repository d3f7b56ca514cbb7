// Quillo's tray on Wayland as the user meets it (sway, KWin and GNOME Shell of in-wayland.sh, mousepad in front): the
// shortcut portal (a fake speaking its protocol) opens the panel at the pointer, a cloud answer (fake_openai) replaces
// the selection, Escape gives the editor back, and the missing-tray guide comes once, only where no tray watches.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "platform/wayland/ShellHelper.h"
#include "settings/HomeDir.h"
#include "settings/L10n.h"
#include "settings/SettingsStore.h"
#include "settings/UserFlags.h"
#include "tests/support/AtspiDriver.h"
#include "tests/support/CompositorWindows.h"
#include "tests/support/DesktopSession.h"
#include "tests/support/EventLoop.h"
#include "tests/support/FakeServers.h"
#include "tests/support/Files.h"
#include "tests/support/PrivateBus.h"
#include "tests/support/RunProgram.h"
#include "tests/support/ScratchHome.h"

namespace {

const QString document = QStringLiteral("Quillo reads selected words on Wayland.");
const QString panelTitle = QStringLiteral("Quillo panel");

const QString desktop = qEnvironmentVariable("XDG_CURRENT_DESKTOP");
const bool onKWin = desktop == QLatin1String("KDE");
const bool onGnome = desktop == QLatin1String("GNOME");
// GNOME's session has two screens side by side: the pointer goes to the second.
const QPoint pointer = onGnome ? QPoint(1580, 250) : QPoint(300, 250);

// Where the desktop puts the panel: sway floats it centred on the pointer, on every workspace; KWin's script puts its
// corner 12 px past the pointer and keeps it above; GNOME Shell places it itself, on the pointer's screen.
bool placedWhereItBelongs(const CompositorWindows::Window& panel)
{
    if (onGnome)
        return QRect(1280, 0, 1280, 800).contains(panel.rect);
    if (onKWin)
        return (panel.rect.topLeft() - (pointer + QPoint(12, 12))).manhattanLength() <= 2 && panel.keptAbove;
    return (panel.rect.center() - pointer).manhattanLength() <= 2 && panel.floating && panel.keptAbove;
}

class TrayAppWaylandTest : public ::testing::Test {
protected:
    DesktopSession session;
    QTemporaryDir files;

    void SetUp() override
    {
        ASSERT_TRUE(AtspiDriver::join()) << "the session has an accessibility bus";
        // The desktop's accessibility switch is on, as Quillo asks of its users.
        ASSERT_TRUE(AtspiDriver::setSwitch(true));
        // Onboarded and told before of the shortcut, the switch and a missing tray: only what a case asks for shows.
        ASSERT_TRUE(writeFile(HomeDir::dataDir() + QStringLiteral("/onboarded"), "1"));
        UserFlags::set("shortcutBindingGuideShown", true);
        UserFlags::set(UserFlags::upgradeAXPrompted, true);
        UserFlags::set("noTrayNotified", true);
    }

    // A helper script of tests/support on the session bus, up once it owns the name.
    QProcess* startService(const QString& script, const QStringList& args, const QString& name)
    {
        QProcess* service = session.start(QStringLiteral("/usr/bin/python3"),
                                          QStringList{QStringLiteral(QUILLO_TESTS_DIR "/support/") + script} + args);
        return service && eventually([&] { return sessionBusNameOwned(name); }) ? service : nullptr;
    }

    QProcess* startQuillo() { return session.startQuillo(QStringLiteral("wayland")); }

    static bool stopQuillo(QProcess* quillo)
    {
        DesktopSession::stop(quillo);
        return eventually([] { return !quilloOnSessionBus(); });
    }
};

TEST_F(TrayAppWaylandTest, TheShortcutOpensThePanelAtThePointerAnAnswerStreamsAndReplacesAndEscapeGivesTheEditorBack)
{
    // Explain asks a cloud engine speaking the real protocol, on a free port of the shared network.
    const FakeOpenAIServer cloud(0, QStringLiteral("test-key"));
    ASSERT_TRUE(cloud.isAnswering());
    useCustomCloud(cloud.endpoint(), QStringLiteral("test-key"));
    changeSettings([](AppSettings& settings) {
        settings.explainEngine = EngineChoice::cloud;
        settings.compareMode = false;
    });
    const QString portalLog = files.filePath(QStringLiteral("portal.log"));
    ASSERT_TRUE(
        startService(QStringLiteral("fake_portal.py"), {portalLog}, QStringLiteral("org.freedesktop.portal.Desktop")));
    const qint64 editor = AtspiDriver::startEditor(session, files.filePath(QStringLiteral("doc.txt")), document);
    ASSERT_TRUE(editor) << "mousepad shows the document in the window in front";
    QProcess* quillo = startQuillo();
    ASSERT_TRUE(quillo);
    const qint64 pid = quillo->processId();
    ASSERT_TRUE(eventually([&] { return readFile(portalLog).contains("BindShortcuts popup="); }))
        << "the shortcut is bound through the portal\n"
        << readFile(portalLog).toStdString();
    ASSERT_TRUE(eventually([&] { return AtspiDriver::isActive(editor); })) << "starting Quillo shows nothing";

    ASSERT_TRUE(AtspiDriver::select(editor, 7, 21)); // "reads selected"
    ASSERT_TRUE(CompositorWindows::movePointer(pointer));
    ASSERT_TRUE(PrivateBus::press(QStringLiteral("popup")));
    EXPECT_TRUE(eventually([&] {
        return AtspiDriver::shows(pid, L10n::tf("popup.header.read", {QStringLiteral("14")}));
    })) << "the panel tells of the 14 selected characters";

    // Mapped first, then moved: waited for until it is where it belongs.
    std::optional<CompositorWindows::Window> panel;
    const bool placed =
        eventually([&] { return (panel = CompositorWindows::find(pid, panelTitle)) && placedWhereItBelongs(*panel); });
    ASSERT_TRUE(panel) << "the panel is mapped";
    EXPECT_TRUE(placed) << "the pointer at " << pointer.x() << "," << pointer.y() << ", the panel at "
                        << panel->rect.x() << "," << panel->rect.y() << " " << panel->rect.width() << "x"
                        << panel->rect.height() << (panel->floating ? " floating" : "")
                        << (panel->keptAbove ? " kept above" : "");

    ASSERT_TRUE(eventually([&] { return !AtspiDriver::isActive(editor); })) << "the panel takes the keys";

    // Explain, pressed as an assistive tool would: the answer streams in, then replaces the selection in the editor.
    ASSERT_TRUE(AtspiDriver::press(pid, L10n::t("popup.action.explain")));
    EXPECT_TRUE(eventually([&] { return AtspiDriver::shows(pid, L10n::t("popup.status.done")); })) << "the answer ends";
    ASSERT_EQ(cloud.bodies().size(), 1);
    ASSERT_TRUE(cloud.bodies().first().value(QStringLiteral("stream")).toBool());
    const QString answer = QStringLiteral("回声：") + messagesOf(cloud.bodies().first()).last().content;
    EXPECT_TRUE(AtspiDriver::textOf(pid, L10n::t("popup.a11y.transcript")).contains(answer))
        << AtspiDriver::textOf(pid, L10n::t("popup.a11y.transcript")).toStdString();
    ASSERT_TRUE(AtspiDriver::press(pid, L10n::t("popup.btn.replace")));
    const QString replaced = QStringLiteral("Quillo ") + answer + QStringLiteral(" words on Wayland.");
    EXPECT_TRUE(eventually([&] { return AtspiDriver::editableText(editor) == replaced; }))
        << AtspiDriver::editableText(editor).value_or(QString()).toStdString();

    ASSERT_TRUE(CompositorWindows::tapEscape());
    EXPECT_TRUE(eventually([&] { return !CompositorWindows::find(pid, panelTitle); })) << "Escape closes the panel";
    EXPECT_TRUE(eventually([&] { return AtspiDriver::isActive(editor); })) << "the editor is in front again";
}

// With Quillo's GNOME Shell extension running (in-wayland.sh installs the build for this Shell when asked): the
// shortcut chosen in Quillo's settings is the extension's key, whose press opens the panel 12 px past the pointer, or
// 8 px inside the work area near its corner; the extension reads the pointer and the editor's primary selection too.
TEST_F(TrayAppWaylandTest, WithTheGnomeHelperItsKeyOpensThePanelAtThePointer)
{
    if (!onGnome || !sessionBusNameOwned(QStringLiteral("org.quillo.Shell")))
        GTEST_SKIP() << "Quillo's GNOME Shell extension is not running in this session";
    useCustomCloud(QStringLiteral("http://127.0.0.1:9/v1"), QStringLiteral("test-key")); // an engine, never asked
    constexpr quint32 f9KeyCode = 101;
    constexpr uint f9Keysym = 0xffc6;
    changeSettings([](AppSettings& settings) {
        settings.hotKeyCode = f9KeyCode;
        settings.hotKeyModifiers = 0;
    });
    const qint64 editor = AtspiDriver::startEditor(session, files.filePath(QStringLiteral("doc.txt")), document);
    ASSERT_TRUE(editor);
    QProcess* quillo = startQuillo();
    ASSERT_TRUE(quillo);
    const qint64 pid = quillo->processId();
    const QString shellSettings =
        qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/glib-2.0/settings/keyfile");
    ASSERT_TRUE(eventually([&] { return readFile(shellSettings).contains("trigger=['F9']"); }))
        << "Quillo hands its shortcut to the extension\n"
        << readFile(shellSettings).toStdString();
    ASSERT_TRUE(eventually([&] { return AtspiDriver::isActive(editor); }));
    ASSERT_TRUE(AtspiDriver::select(editor, 7, 21));
    EXPECT_TRUE(eventually([] { return ShellHelper::primary(sessionWaitMs) == QStringLiteral("reads selected"); }))
        << "the extension reads the primary selection";

    const struct {
        QPoint pointer;
        std::function<bool(QRect)> placed;
    } presses[] = {
        {{1580, 250}, [](QRect panel) { return panel.topLeft() == QPoint(1592, 262); }},
        // Near the second screen's bottom-right corner: inside it, 8 px from its edges.
        {{2550, 790}, [](QRect panel) { return panel.right() == 2559 - 8 && panel.bottom() == 799 - 8; }},
    };
    for (const auto& press : presses) {
        ASSERT_TRUE(CompositorWindows::movePointer(press.pointer));
        // The pointer moves once the Shell has taken the motion in: asked until it tells.
        std::optional<QPoint> told;
        bool asking = false;
        QObject asker; // an answer still coming when the wait ends is dropped with it
        EXPECT_TRUE(eventually([&] {
            if (!std::exchange(asking, true))
                ShellHelper::pointer(&asker, [&](std::optional<QPoint> pointer) {
                    told = pointer;
                    asking = false;
                });
            return told == press.pointer;
        })) << "the extension's pointer";
        ASSERT_TRUE(CompositorWindows::tapShellKey(f9Keysym));
        std::optional<CompositorWindows::Window> panel;
        const bool placed =
            eventually([&] { return (panel = CompositorWindows::find(pid, panelTitle)) && press.placed(panel->rect); });
        ASSERT_TRUE(panel) << "the extension's key opens the panel";
        EXPECT_TRUE(placed) << "the pointer at " << press.pointer.x() << "," << press.pointer.y() << ", the panel at "
                            << panel->rect.x() << "," << panel->rect.y() << " " << panel->rect.width() << "x"
                            << panel->rect.height();
        EXPECT_TRUE(AtspiDriver::shows(pid, L10n::tf("popup.header.read", {QStringLiteral("14")})));
        ASSERT_TRUE(CompositorWindows::tapEscape());
        ASSERT_TRUE(eventually([&] { return !CompositorWindows::find(pid, panelTitle); }));
    }
}

// At its look for a tray, Quillo tells of what it could not read in its settings right after the
// tray guide, or, while a guide is up, once that closes: the notice is the sign the look is over.
TEST_F(TrayAppWaylandTest, TheTrayGuideComesOnceAndOnlyWhereNoTrayIsWatching)
{
    if (onKWin || onGnome)
        GTEST_SKIP() << "the tray is looked for the same way on every compositor: tested on sway";
    UserFlags::set("noTrayNotified", false);
    const QString guide = L10n::t("tray.missing.header"), notice = L10n::t("data.notice.header");
    const struct {
        const char* what;
        bool watcher;
        bool guide;
    } launches[] = {
        {"a tray is watching", true, false},
        {"no tray", false, true},
        {"no tray, and told before", false, false},
    };
    const QString watcherLog = files.filePath(QStringLiteral("watcher.log"));
    for (const auto& launch : launches) {
        ASSERT_TRUE(writeFile(HomeDir::dataDir() + QStringLiteral("/config.json"), R"({"doubaoModel": 5})"));
        QProcess* watcher = launch.watcher ? startService(QStringLiteral("fake_sni_watcher.py"), {watcherLog},
                                                          QStringLiteral("org.kde.StatusNotifierWatcher"))
                                           : nullptr;
        ASSERT_EQ(watcher != nullptr, launch.watcher) << launch.what;
        QProcess* quillo = startQuillo();
        ASSERT_TRUE(quillo) << launch.what;
        const qint64 pid = quillo->processId();
        EXPECT_TRUE(eventually([&] { return AtspiDriver::shows(pid, launch.guide ? guide : notice); })) << launch.what;
        EXPECT_FALSE(AtspiDriver::shows(pid, launch.guide ? notice : guide)) << launch.what;
        if (launch.watcher) {
            EXPECT_TRUE(readFile(watcherLog).contains("item ")) << "the icon is registered with the tray";
        }
        ASSERT_TRUE(stopQuillo(quillo)) << launch.what;
        DesktopSession::stop(watcher);
    }
}

}
