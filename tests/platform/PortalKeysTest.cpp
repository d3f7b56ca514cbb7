// Pasting through the desktop's RemoteDesktop portal, against a fake portal on a private bus:
// keys are typed only where the user allowed it and only once the target is in front again, and
// the grant's token is kept privately and offered at the next start.
#include <gtest/gtest.h>

#include "app/InstalledPlatform.h"
#include "capture/PasteWhenBack.h"
#include "capture/PutBack.h"
#include "platform/wayland/PortalKeys.h"
#include "tests/support/EventLoop.h"
#include "tests/support/FakePlatform.h"
#include "tests/support/Files.h"
#include "tests/support/PrivateBus.h"
#include "tests/support/ScratchHome.h"

namespace {

constexpr qint64 editor = 4242;
const QString answer = QStringLiteral("新答案");
const QString controlV = QStringLiteral("RemoteDesktop.Keysym 0xffe3 down\nRemoteDesktop.Keysym 0x76 down\n"
                                        "RemoteDesktop.Keysym 0x76 up\nRemoteDesktop.Keysym 0xffe3 up\n");

TEST(PortalKeysTest, ControlVGoesOutOnlyWhenAllowedAndTheEditorIsBackAndTheGrantIsKeptPrivately)
{
    ScratchHome home;
    PrivateBus bus;
    ASSERT_TRUE(bus.isReady());
    ASSERT_TRUE(bus.startPortal({}));
    FakePlatform platform;
    platform.workspace->names.insert(editor, QStringLiteral("gedit"));
    PlatformServices services = platform.services();
    services.keys = std::make_shared<PortalKeys>(
        PortalKeys::TokenStore{InstalledPlatform::keyGrantStore().read, InstalledPlatform::keyGrantStore().write});
    // The answer put back into an editor that refuses accessibility while the panel is in front,
    // the editor back in front afterwards; whether Control+V went out. Never coming back is
    // PutBackTest's.
    const auto run = [&](bool allowed) {
        platform.workspace->frontmost = std::nullopt;
        const PutBack::Outcome outcome = PutBack::apply(services, editor, answer, allowed);
        if (outcome != PutBack::Outcome::pasteOnceBack)
            return std::optional<bool>(outcome != PutBack::Outcome::copiedOnly);
        std::optional<bool> pasted;
        PasteWhenBack paste;
        paste.start(services, editor, [&](bool done) { pasted = done; });
        platform.workspace->frontmost = editor;
        processEventsUntil([&] { return pasted.has_value(); }, 20000);
        return pasted;
    };

    EXPECT_EQ(run(false), false) << "the switch is off: the hint";
    EXPECT_FALSE(bus.log().contains(QLatin1String("RemoteDesktop"))) << "not even a session is asked for";
    EXPECT_EQ(platform.clipboard->text(), answer);

    EXPECT_EQ(run(true), true) << bus.log().toStdString();
    EXPECT_TRUE(bus.log().contains(QLatin1String("SelectDevices types=1 persist=2 restore=\n")));
    // The keys go out without waiting for the portal's replies.
    EXPECT_TRUE(processEventsUntil([&] { return bus.log().endsWith(controlV); }, 20000)) << bus.log().toStdString();

    const QString tokenFile = home.dataDir() + QStringLiteral("/remote-desktop-token");
    EXPECT_EQ(readFile(tokenFile), QByteArray("fake-restore-token-1"));
    EXPECT_EQ(posixMode(tokenFile), 0600);

    // The next run takes the grant up without asking, and keeps the token it is given instead.
    PortalKeys nextRun({InstalledPlatform::keyGrantStore().read, InstalledPlatform::keyGrantStore().write});
    std::optional<bool> ready;
    nextRun.prepare(false, [&](bool started) { ready = started; });
    ASSERT_TRUE(processEventsUntil([&] { return ready.has_value(); }, 20000));
    EXPECT_TRUE(*ready && nextRun.canSend());
    EXPECT_TRUE(bus.log().contains(QLatin1String("persist=2 restore=fake-restore-token-1\n")));
    EXPECT_EQ(readFile(tokenFile), QByteArray("fake-restore-token-2"));
}

}
