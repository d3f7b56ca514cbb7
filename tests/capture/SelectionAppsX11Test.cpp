#include <gtest/gtest.h>

#include <QFile>

#include "app/InstalledPlatform.h"
#include "capture/SelectionCaptureService.h"
#include "core/TaskPool.h"
#include "tests/support/DesktopSession.h"
#include "tests/support/EventLoop.h"
#include "tests/support/Files.h"
#include "tests/support/RunProgram.h"

// Editors and terminals of the distribution, each started once, read and written as the shortcut
// and the replace button do: GTK 4, Qt 5 (which joins the accessibility bus only because it
// starts after it) and a VTE terminal.
namespace {

// Emoji before and inside the selection, so code points and UTF-16 units differ.
const QString sample =
    QStringLiteral("第一句话。你好🙂世界，选中的😀文字在这里。后面还有一句！");
const QString selected = QStringLiteral("世界，选中的😀文字");
const QString userClipboard = QStringLiteral("用户自己复制的字");

class SelectionAppsX11Test : public ::testing::Test {
protected:
    InstalledPlatform platform;
    PlatformServices services = Platform::services();
    DesktopSession desktop;
    const QString file = desktop.homePath() + QStringLiteral("/sample.txt");

    std::optional<SelectionCapture::Result> captureAsTheShortcutDoes()
    {
        TaskPool tasks(1);
        PlatformSelectionCapture capture(services, tasks);
        QObject context;
        std::optional<std::optional<SelectionCapture::Result>> delivered;
        capture.capture(&context, [&](std::optional<SelectionCapture::Result> result) { delivered = result; });
        EXPECT_TRUE(processEventsUntil([&] { return delivered.has_value(); }));
        return delivered.value_or(std::nullopt);
    }

    QString savedText() const { return QString::fromUtf8(readFile(file)).trimmed(); }

    // The phrase with its context, the clipboard left alone, nothing once the selection is
    // collapsed (though the editor may keep the old text in PRIMARY), then the phrase replaced in
    // place as the saved file shows.
    // A freshly opened editor may miss the first keys; PRIMARY shows what got selected.
    static bool selectThePhrase()
    {
        const auto primary = [] {
            return QString::fromUtf8(runProgram(QStringLiteral("xclip"), {QStringLiteral("-o")}).out);
        };
        for (int attempt = 0; attempt < 3; ++attempt) {
            if (DesktopSession::selectByKeyboard(8, 9)
                && processEventsUntil([&] { return primary() == selected; }, 1000))
                return true;
        }
        return false;
    }

    void readAndReplaceInEditor(QProcess* editor)
    {
        ASSERT_TRUE(editor && selectThePhrase());
        // A freshly started GTK 4 editor joins the accessibility bus a moment after its window shows.
        ASSERT_TRUE(processEventsUntil([&] { return services.accessibility->selectedText() == selected; }, 15000));
        services.clipboard->setText(userClipboard);
        const quint64 clipboardChanges = services.clipboard->changeCount();
        const auto result = captureAsTheShortcutDoes();
        ASSERT_TRUE(result);
        EXPECT_EQ(result->text, selected);
        EXPECT_EQ(result->method, QStringLiteral("AX"));
        EXPECT_EQ(result->contextBefore, QStringLiteral("第一句话。你好🙂"));
        EXPECT_EQ(result->contextAfter, QStringLiteral("在这里。后面还有一句！"));
        EXPECT_EQ(services.clipboard->changeCount(), clipboardChanges);
        EXPECT_EQ(services.clipboard->text(), userClipboard);

        ASSERT_TRUE(DesktopSession::typeKeys({QStringLiteral("Right")}));
        EXPECT_TRUE(processEventsUntil([&] { return services.accessibility->selectedText() == QString(); }, 15000));
        EXPECT_FALSE(captureAsTheShortcutDoes()) << "nothing is selected any more";

        ASSERT_TRUE(selectThePhrase());
        const QString answer = QStringLiteral("替换成🎉新文字");
        EXPECT_TRUE(services.accessibility->setSelectedText(answer));
        ASSERT_TRUE(DesktopSession::typeKeys({QStringLiteral("ctrl+s")}));
        // The editor may still be writing the file when it first changes.
        const QString expected = QString(sample).replace(selected, answer);
        processEventsUntil([&] { return savedText() == expected; }, 15000);
        EXPECT_EQ(savedText(), expected);
    }
};

TEST_F(SelectionAppsX11Test, Gtk4Editor)
{
    ASSERT_TRUE(writeFile(file, sample.toUtf8()));
    readAndReplaceInEditor(
        desktop.startWindow(QStringLiteral("gnome-text-editor"), {QStringLiteral("--standalone"), file}));
}

TEST_F(SelectionAppsX11Test, Qt5Editor)
{
    ASSERT_TRUE(writeFile(file, sample.toUtf8()));
    readAndReplaceInEditor(desktop.startWindow(QStringLiteral("featherpad"), {file}));
}

TEST_F(SelectionAppsX11Test, VteTerminal)
{
    const QString line = QStringLiteral("终端里选中的一行 selected line");
    const QString script = desktop.homePath() + QStringLiteral("/lines.sh");
    ASSERT_TRUE(
        writeExecutable(script, "#!/bin/sh\nprintf '%s\\n后面一行。\\n' '" + line.toUtf8() + "'\nexec sleep 600\n"));
    QProcess* terminal = desktop.startWindow(QStringLiteral("sakura"), {QStringLiteral("-x"), script});
    ASSERT_TRUE(terminal && DesktopSession::clickFirstLine(3));
    const auto result = captureAsTheShortcutDoes();
    ASSERT_TRUE(result);
    EXPECT_EQ(result->text.trimmed(), line);
    EXPECT_EQ(result->method, QStringLiteral("AX"));
    EXPECT_EQ(result->contextAfter.value_or(QString()).left(5), QStringLiteral("后面一行。"));

    ASSERT_TRUE(DesktopSession::clickFirstLine(1));
    EXPECT_FALSE(captureAsTheShortcutDoes()) << "the terminal keeps the old line in PRIMARY";
    EXPECT_EQ(terminal->state(), QProcess::Running) << "no Control+C reached the program in the terminal";
}

// Last: the switch stays on for the rest of the session.
TEST_F(SelectionAppsX11Test, Qt6ApplicationsStartedOnceTheSessionSwitchIsOnExposeTheirText)
{
    EXPECT_FALSE(services.accessibility->sessionSwitchOn());
    EXPECT_TRUE(services.accessibility->turnOnSessionSwitch());
    EXPECT_TRUE(services.accessibility->sessionSwitchOn());
    ASSERT_TRUE(desktop.startQtEditor(sample, false) && selectThePhrase());
    const auto result = SelectionCapture::captureViaAX(*services.accessibility);
    EXPECT_EQ(result ? result->text + result->method : QString(), selected + QStringLiteral("AX"));
}

}
