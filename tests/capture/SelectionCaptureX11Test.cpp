#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>

#include <xcb/xcb.h>

#include "capture/SelectionCapture.h"
#include "platform/PlatformServices.h"
#include "platform/linux/LinuxPlatform.h"
#include "tests/support/DesktopSession.h"
#include "tests/support/EventLoop.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/RunProgram.h"

namespace {

// Chinese with emoji before and inside the selection, so code points and UTF-16 units differ.
const QString sample = QStringLiteral("第一句话。你好🙂世界，选中的😀文字在这里。后面还有一句！");
const QString selected = QStringLiteral("世界，选中的😀文字");
constexpr int charactersBefore = 8;  // 第一句话。你好🙂, as the cursor moves
constexpr int charactersSelected = 9;
const qsizetype selectionStart = sample.indexOf(selected); // in UTF-16 units

QString replaced(const QString& with)
{
    QString text = sample;
    return text.replace(selectionStart, selected.size(), with);
}

class SelectionCaptureX11Test : public ::testing::Test {
protected:
    LinuxPlatform platform;
    DesktopSession& desktop = testDesktop();

    static void type(const QStringList& keys)
    {
        ASSERT_EQ(runProgram(QStringLiteral("xdotool"), QStringList{QStringLiteral("key"), QStringLiteral("--delay"),
                                                                    QStringLiteral("5")} + keys,
                             testDesktop().environment()).exitCode, 0);
    }

    // Selects like a user: from the start, past the first characters, then shift+arrows.
    static void selectByKeyboard()
    {
        QStringList keys = {QStringLiteral("ctrl+Home")};
        for (int i = 0; i < charactersBefore; ++i)
            keys << QStringLiteral("Right");
        for (int i = 0; i < charactersSelected; ++i)
            keys << QStringLiteral("shift+Right");
        type(keys);
    }

    // The Qt editor of the test helpers; accessible ones register with the accessibility bus.
    QProcess* startQtEditor(bool accessible, const QStringList& extra = {})
    {
        QProcessEnvironment env;
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        if (accessible)
            env.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
        QProcess* editor = desktop.start(QStringLiteral(QUILLO_BIN_DIR "/quillo_text_target"),
                                         QStringList{QStringLiteral("--text"), sample} + extra, env, true);
        EXPECT_TRUE(editor && processEventsUntil([&] { return editor->canReadLine(); }, 15000));
        if (editor)
            EXPECT_EQ(editor->readLine(), QByteArray("ready\n"));
        return editor;
    }

    // The editor's text after its last change.
    static QString editorText(QProcess* editor)
    {
        QString text;
        processEventsFor(300);
        while (editor->canReadLine()) {
            const QByteArray line = editor->readLine().trimmed();
            if (line.startsWith("text:"))
                text = QJsonDocument::fromJson("[" + line.mid(5) + "]").array().first().toString();
        }
        return text;
    }

    QString mousepadFile;

    QProcess* startMousepad()
    {
        mousepadFile = desktop.homePath() + QStringLiteral("/sample.txt");
        QFile file(mousepadFile);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(sample.toUtf8());
        file.close();
        QProcess* mousepad = desktop.start(QStringLiteral("mousepad"), {mousepadFile});
        EXPECT_TRUE(mousepad && desktop.waitUntilActive(mousepad->processId()));
        processEventsFor(300); // the editor takes the focus inside its window
        return mousepad;
    }

    std::optional<SelectionCapture::Result> captureAsTheShortcutDoes()
    {
        QObject context;
        std::optional<std::optional<SelectionCapture::Result>> delivered;
        SelectionCapture::capture(&context, [&](std::optional<SelectionCapture::Result> result) { delivered = result; });
        EXPECT_TRUE(processEventsUntil([&] { return delivered.has_value(); }, 5000));
        return delivered.value_or(std::nullopt);
    }

    QByteArray readClipboard(const QString& target)
    {
        return runProgram(QStringLiteral("xclip"), {QStringLiteral("-o"), QStringLiteral("-selection"),
                                                    QStringLiteral("clipboard"), QStringLiteral("-t"), target},
                          desktop.environment()).out;
    }

    static void clearPrimarySelection()
    {
        xcb_connection_t* c = xcb_connect(nullptr, nullptr);
        xcb_set_selection_owner(c, XCB_NONE, XCB_ATOM_PRIMARY, XCB_CURRENT_TIME);
        free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
        xcb_disconnect(c);
    }
};

TEST_F(SelectionCaptureX11Test, ReadsTheSelectionWithItsContextFromQtAndGtk)
{
    for (const bool gtk : {false, true}) {
        SCOPED_TRACE(gtk ? "mousepad (GTK, code points)" : "Qt editor (UTF-16 units)");
        QProcess* target = gtk ? startMousepad() : startQtEditor(true);
        ASSERT_TRUE(target);
        selectByKeyboard();
        processEventsFor(200);

        const auto range = Platform::services().accessibility->selectedRange();
        ASSERT_TRUE(range);
        EXPECT_EQ(range->location, selectionStart);
        EXPECT_EQ(range->length, selected.size());

        const auto result = SelectionCapture::captureViaAX();
        ASSERT_TRUE(result);
        EXPECT_EQ(result->text, selected);
        EXPECT_EQ(result->method, QStringLiteral("AX"));
        EXPECT_EQ(result->contextBefore, QStringLiteral("第一句话。你好🙂"));
        EXPECT_EQ(result->contextAfter, QStringLiteral("在这里。后面还有一句！"));
        desktop.stop(target);
    }
}

TEST_F(SelectionCaptureX11Test, PrimarySelectionOfTheFrontmostApplicationWinsOverAnOlderAccessibleSelection)
{
    QProcess* mousepad = startMousepad(); // an accessible selection, left behind in another window
    selectByKeyboard();
    const QString line = QStringLiteral("终端里的一行 selected line");
    QProcessEnvironment env;
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    QProcess* xterm = desktop.start(QStringLiteral("xterm"), {QStringLiteral("-u8"), QStringLiteral("-geometry"),
                                                              QStringLiteral("80x5+0+0"), QStringLiteral("-e"),
                                                              QStringLiteral("sh"), QStringLiteral("-c"),
                                                              QStringLiteral("printf '%s\\n' \"$0\"; exec sleep 600"), line},
                                    env);
    ASSERT_TRUE(xterm && desktop.waitUntilActive(xterm->processId()));
    processEventsFor(300);
    // A triple click on the first line selects it, which sets PRIMARY.
    ASSERT_EQ(runProgram(QStringLiteral("xdotool"), {QStringLiteral("getactivewindow"), QStringLiteral("mousemove"),
                                                     QStringLiteral("--window"), QStringLiteral("%1"), QStringLiteral("30"),
                                                     QStringLiteral("8"), QStringLiteral("click"), QStringLiteral("--repeat"),
                                                     QStringLiteral("3"), QStringLiteral("1")},
                         desktop.environment()).exitCode, 0);
    processEventsFor(200);

    const auto result = captureAsTheShortcutDoes();
    ASSERT_TRUE(result);
    EXPECT_EQ(result->text, line + QLatin1Char('\n')) << "xterm selects the whole line";
    EXPECT_EQ(result->method, QStringLiteral("复制"));
    desktop.stop(xterm);
    desktop.stop(mousepad);
}

TEST_F(SelectionCaptureX11Test, CopyFallbackReadsTheSelectionAndPutsEveryClipboardFormatBack)
{
    // A picture of noise: large enough to travel in pieces both ways.
    QImage image(400, 400, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, QRandomGenerator::global()->generate());
    }
    const QString pngPath = desktop.homePath() + QStringLiteral("/clip.png");
    ASSERT_TRUE(image.save(pngPath, "PNG"));
    QProcess* owner = desktop.start(QStringLiteral(QUILLO_BIN_DIR "/quillo_text_target"),
                                    {QStringLiteral("--own-clipboard"), QStringLiteral("剪贴板原有的文字 🙂"),
                                     QStringLiteral("<b>粗体</b> and <i>italic</i> 🙂"), pngPath},
                                    {}, true);
    ASSERT_TRUE(owner && processEventsUntil([&] { return owner->canReadLine(); }, 15000));
    const QStringList formats = {QStringLiteral("UTF8_STRING"), QStringLiteral("text/html"), QStringLiteral("image/png")};
    QList<QByteArray> before;
    for (const QString& format : formats)
        before << readClipboard(format);
    ASSERT_GT(before[2].size(), 256 * 1024);

    // No accessibility, a selection made in code (so no PRIMARY): only Control+C can read it.
    QProcess* editor = startQtEditor(false, {QStringLiteral("--select"), QString::number(selectionStart),
                                             QString::number(selected.size())});
    ASSERT_TRUE(editor);
    clearPrimarySelection();

    const auto result = captureAsTheShortcutDoes();
    ASSERT_TRUE(result);
    EXPECT_EQ(result->text, selected);
    EXPECT_EQ(result->method, QStringLiteral("复制"));
    EXPECT_FALSE(result->contextBefore.has_value());
    desktop.stop(owner); // what the clipboard holds now is ours, not the original owner's
    for (qsizetype i = 0; i < formats.size(); ++i)
        EXPECT_EQ(readClipboard(formats[i]), before[i]) << formats[i].toStdString();
    desktop.stop(editor);
}

TEST_F(SelectionCaptureX11Test, ReplacesTheSelectionInPlaceInQtAndGtk)
{
    const QString answer = QStringLiteral("替换成🎉新文字");
    QProcess* editor = startQtEditor(true);
    selectByKeyboard();
    processEventsFor(200);
    EXPECT_TRUE(SelectionCapture::replace(answer));
    EXPECT_EQ(editorText(editor), replaced(answer));
    desktop.stop(editor);

    QProcess* mousepad = startMousepad();
    selectByKeyboard();
    processEventsFor(200);
    EXPECT_TRUE(SelectionCapture::replace(answer));
    type({QStringLiteral("ctrl+s")});
    processEventsUntil([&] {
        QFile file(mousepadFile);
        return file.open(QIODevice::ReadOnly) && file.readAll() != sample.toUtf8();
    });
    QFile saved(mousepadFile);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(saved.readAll()).trimmed(), replaced(answer));
    desktop.stop(mousepad);
}

TEST_F(SelectionCaptureX11Test, PasteFallbackReplacesTheSelectionOfAnInaccessibleEditor)
{
    const QString answer = QStringLiteral("粘贴进去的🎉答案");
    QProcess* editor = startQtEditor(false, {QStringLiteral("--select"), QString::number(selectionStart),
                                             QString::number(selected.size())});
    ASSERT_TRUE(editor);
    Platform::services().clipboard->setText(answer);
    EXPECT_FALSE(SelectionCapture::replace(answer));
    SelectionCapture::pasteFallback();
    EXPECT_EQ(editorText(editor), replaced(answer));
    desktop.stop(editor);
}

TEST_F(SelectionCaptureX11Test, ProbeModeReportsTheSelectionAsJson)
{
    QProcess* editor = startQtEditor(true);
    selectByKeyboard();
    const ProgramResult probe = runProgram(quilloBinary(), {QStringLiteral("--probe-selection"), QStringLiteral("0")},
                                           desktop.environment());
    EXPECT_EQ(probe.exitCode, 0) << probe.out.toStdString();
    const QJsonObject report = QJsonDocument::fromJson(probe.out).object();
    EXPECT_EQ(report.value("method").toString(), QStringLiteral("AX"));
    EXPECT_EQ(report.value("text").toString(), selected);
    EXPECT_EQ(report.value("contextBeforeLength").toInt(), QStringLiteral("第一句话。你好🙂").size());
    EXPECT_EQ(report.value("contextAfterLength").toInt(), QStringLiteral("在这里。后面还有一句！").size());
    EXPECT_EQ(report.value("pid").toInteger(), editor->processId());
    EXPECT_EQ(report.value("appName").toString(), QStringLiteral("quillo_text_target"));
    EXPECT_GT(report.value("elapsedMs").toDouble(), 0);
    desktop.stop(editor);
}

}
