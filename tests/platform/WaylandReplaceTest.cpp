#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>
#include <QWidget>

#include "app/InstalledPlatform.h"
#include "tests/support/AtspiDriver.h"
#include "tests/support/DesktopSession.h"
#include "tests/support/EventLoop.h"
#include "tests/support/Files.h"

// Runs in the private sway session of tests/support/in-wayland.sh, on Qt's Wayland platform:
// on Wayland our panel takes the focus from the editor, and the replacement must still land in
// the editor the selection was read from.
namespace {

constexpr int waitMs = 30000;
const QString document = QStringLiteral("Quillo reads selected words on Wayland.");

TEST(WaylandReplaceTest, TheSelectionIsReplacedInTheEditorWhileOurWindowHasTheFocus)
{
    ASSERT_TRUE(AtspiDriver::join());
    DesktopSession session;
    QTemporaryDir files;
    const QString path = files.filePath(QStringLiteral("doc.txt"));
    ASSERT_TRUE(writeFile(path, document.toUtf8()));
    QProcess* mousepad = session.start(QStringLiteral("mousepad"), {path});
    ASSERT_TRUE(mousepad);
    const qint64 pid = mousepad->processId();
    ASSERT_TRUE(processEventsUntil(
        [&] { return AtspiDriver::isActive(pid) && AtspiDriver::editableText(pid) == document; }, waitMs));
    ASSERT_TRUE(AtspiDriver::select(pid, 7, 21)); // "reads selected"

    const InstalledPlatform platform;
    Accessibility& accessibility = *Platform::services().accessibility;
    ASSERT_EQ(accessibility.selectedText(), QStringLiteral("reads selected"))
        << "read before the panel shows, as the shortcut does";

    QWidget panel;
    panel.setAccessibleName(QStringLiteral("panel"));
    panel.resize(300, 100);
    panel.show();
    ASSERT_TRUE(processEventsUntil([&] { return panel.isActiveWindow() && !AtspiDriver::isActive(pid); }, waitMs))
        << "the compositor gives our window the focus";

    EXPECT_TRUE(accessibility.setSelectedText(QStringLiteral("writes")));
    EXPECT_EQ(AtspiDriver::editableText(pid), QStringLiteral("Quillo writes words on Wayland."));
}

}

// Qt's Wayland platform, whatever the test environment asks for.
int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    qputenv("QT_QPA_PLATFORM", "wayland");
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
