// Pasting on sway through a virtual keyboard of our own, as Quillo does after its panel closed:
// while another window is in front nothing is typed; once mousepad is in front again Control+V
// reaches it, and its text read back over AT-SPI holds the answer.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "capture/PasteWhenBack.h"
#include "platform/wayland/DataControlClipboard.h"
#include "platform/wayland/SwayIpc.h"
#include "platform/wayland/VirtualKeyboard.h"
#include "platform/wayland/WaylandWorkspace.h"
#include "tests/support/AtspiDriver.h"
#include "tests/support/DesktopSession.h"
#include "tests/support/EventLoop.h"
#include "tests/support/RunProgram.h"

namespace {

TEST(WaylandPasteTest, ControlVWaitsForTheEditorAndReachesItThroughTheVirtualKeyboard)
{
    ASSERT_TRUE(AtspiDriver::join()) << "the session has an accessibility bus";
    DesktopSession session;
    QTemporaryDir files;
    const QString document = QStringLiteral("Paste after this: "), answer = QStringLiteral("新的答案 ✓");
    const qint64 editor = AtspiDriver::startEditor(session, files.filePath(QStringLiteral("doc.txt")), document);
    ASSERT_TRUE(editor) << "mousepad shows the document in the window in front";

    PlatformServices services;
    services.keys = VirtualKeyboard::connect();
    ASSERT_TRUE(services.keys) << "sway offers virtual keyboards";
    services.clipboard = DataControlClipboard::connect();
    ASSERT_TRUE(services.clipboard);
    services.workspace = std::make_shared<WaylandWorkspace>(
        [socket = qEnvironmentVariable("SWAYSOCK")] { return SwayIpc::focusedProcess(socket); });
    services.clipboard->setText(answer);

    // Another application takes the front, as our panel does.
    QProcessEnvironment wayland;
    wayland.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
    QProcess* other = session.start(QUILLO_BIN_DIR "/quillo_text_target", {"--text", "other"}, wayland, true);
    ASSERT_TRUE(other && eventually([&] { return other->canReadLine(); }));
    ASSERT_EQ(other->readLine(), "ready\n");

    std::optional<bool> pasted;
    PasteWhenBack paste;
    paste.start(services, editor, [&](bool done) { pasted = done; });
    runProgram(QStringLiteral("swaymsg"), {QStringLiteral("[pid=%1] focus").arg(editor)});
    ASSERT_TRUE(eventually([&] { return pasted.has_value(); }));
    EXPECT_TRUE(*pasted);
    // Pasted once, at the caret wherever mousepad put it back.
    const auto pastedOnce = [&] {
        QString text = AtspiDriver::editableText(editor).value_or(QString());
        return text.count(answer) == 1 && text.remove(answer) == document;
    };
    EXPECT_TRUE(eventually(pastedOnce)) << AtspiDriver::editableText(editor).value_or("(none)").toStdString();
    EXPECT_FALSE(other->readAll().contains("text:")) << "nothing was typed into the window in front before";
}

}
