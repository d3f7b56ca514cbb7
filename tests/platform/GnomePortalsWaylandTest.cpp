// Quillo's portal clients against GNOME's own portals (xdg-desktop-portal, its GNOME backend and
// GNOME's shortcuts provider, beside a headless GNOME Shell 48: tests/support/in-wayland.sh with
// QUILLO_GNOME_PORTALS=1). What the user answered GNOME's questions is put where GNOME keeps it,
// as their earlier answer would have left it.
#include <gtest/gtest.h>

#include <optional>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QImage>
#include <QList>
#include <QStandardPaths>

#include "core/HotKey.h"
#include "platform/wayland/PortalScreenshot.h"
#include "platform/wayland/PortalShortcuts.h"
#include "tests/support/CompositorWindows.h"
#include "tests/support/EventLoop.h"
#include "tests/support/Files.h"
#include "tests/support/RunProgram.h"

namespace {

constexpr int waitMs = 60000;
const QString appId = QString::fromLatin1(PortalRequest::applicationId);

using Shot = ScreenImages::Shot;

// "Allow Applications to Take Screenshots?" answered once: the portal keeps the answer in its
// permission store, table and entry "screenshot", under the application's id.
bool rememberScreenshotAnswer(const QString& answer)
{
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.impl.portal.PermissionStore"),
                                                       QStringLiteral("/org/freedesktop/impl/portal/PermissionStore"),
                                                       QStringLiteral("org.freedesktop.impl.portal.PermissionStore"),
                                                       QStringLiteral("SetPermission"));
    call.setArguments({QStringLiteral("screenshot"), true, QStringLiteral("screenshot"), appId, QStringList{answer}});
    return QDBusConnection::sessionBus().call(call).type() == QDBusMessage::ReplyMessage;
}

Shot grab(PortalScreenshot& portal)
{
    QObject context;
    std::optional<Shot> shot;
    portal.grab(&context, [&](Shot answer) { shot = std::move(answer); });
    processEventsUntil([&] { return shot.has_value(); }, waitMs);
    return shot.value_or(Shot{});
}

// Quillo installed: the portal takes an application's word for its id only where a desktop
// entry of that name starts it.
class GnomePortalsWaylandTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(writeFile(QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation) + QLatin1Char('/')
                                  + appId + QStringLiteral(".desktop"),
                              "[Desktop Entry]\nType=Application\nName=Quillo\nExec="
                                  + QCoreApplication::applicationFilePath().toUtf8() + "\n"));
    }
};

TEST_F(GnomePortalsWaylandTest, TheScreenshotIsTheDesktopOnceAllowedAndARefusalOnceNot)
{
    ASSERT_TRUE(rememberScreenshotAnswer(QStringLiteral("yes")));
    PortalScreenshot portal;
    const Shot allowed = grab(portal);
    ASSERT_EQ(allowed.outcome, Shot::Outcome::image);
    EXPECT_EQ(allowed.image->size(), QSize(2560, 800)) << "the session's two 1280x800 screens side by side";
    const QImage desktop = allowed.image->convertToFormat(QImage::Format_RGB32);
    bool drawn = false;
    for (int y = 0; y < desktop.height() && !drawn; y += 8)
        for (int x = 0; x < desktop.width() && !drawn; x += 8)
            drawn = qGray(desktop.pixel(x, y)) > 16;
    EXPECT_TRUE(drawn) << "the desktop as shown, not a black picture";

    ASSERT_TRUE(rememberScreenshotAnswer(QStringLiteral("no")));
    EXPECT_EQ(grab(portal).outcome, Shot::Outcome::refused) << "answered at once, not left to the timeout";
    EXPECT_EQ(portal.state(), ScreenImages::State::refused);
}

TEST_F(GnomePortalsWaylandTest, ShortcutsTheUserAddedAreBoundWithoutADialogAndTheirKeyReachesQuillo)
{
    // GNOME's dialog offered Quillo's suggestion, F9, and the user added it: GNOME's settings
    // keep it under the application's id, and binding what is kept asks nothing.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("GSETTINGS_BACKEND"), QStringLiteral("keyfile"));
    ASSERT_EQ(runProgram(QStringLiteral("gsettings"),
                         {QStringLiteral("set"),
                          QStringLiteral("org.gnome.settings-daemon.global-shortcuts.application:"
                                         "/org/gnome/settings-daemon/global-shortcuts/%1/")
                              .arg(appId),
                          QStringLiteral("shortcuts"),
                          QStringLiteral("[('popup', {'description': <'Read the selection and open Quillo'>, "
                                         "'shortcuts': <['F9']>})]")},
                         env)
                  .exitCode,
              0);

    constexpr quint32 f9KeyCode = 101;
    constexpr uint f9Keysym = 0xffc6;
    PortalShortcuts shortcuts;
    QList<quint32> pressed;
    shortcuts.setPressedHandler([&](quint32 id) { pressed.append(id); });
    ASSERT_TRUE(shortcuts.grab(f9KeyCode, 0, HotKey::mainId));
    ASSERT_TRUE(
        processEventsUntil([&] { return shortcuts.road().kind != GlobalHotKeys::Road::Kind::portalPending; }, waitMs));
    ASSERT_EQ(shortcuts.road().kind, GlobalHotKeys::Road::Kind::portalBound);
    EXPECT_EQ(shortcuts.road().trigger, QStringLiteral("Press F9")) << "GNOME's own words";

    ASSERT_TRUE(CompositorWindows::tapShellKey(f9Keysym));
    ASSERT_TRUE(processEventsUntil([&] { return !pressed.isEmpty(); }, waitMs));
    EXPECT_EQ(pressed, QList<quint32>{HotKey::mainId});
}

}
