#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>

#include <thread>

#include "app/InstalledPlatform.h"
#include "capture/SelectionCaptureService.h"
#include "core/TaskPool.h"
#include "platform/linux/XClipboard.h"
#include "tests/support/DesktopSession.h"
#include "tests/support/EventLoop.h"
#include "tests/support/Printers.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TargetApps.h"

namespace {

// Chinese with emoji before and inside the selection, so code points and UTF-16 units differ.
const QString sample = QStringLiteral("第一句话。你好🙂世界，选中的😀文字在这里。后面还有一句！");
const QString selected = QStringLiteral("世界，选中的😀文字");
const QString before = QStringLiteral("第一句话。你好🙂");
const QString after = QStringLiteral("在这里。后面还有一句！");
constexpr int charactersBefore = 8; // as the cursor moves: 🙂 is one step
constexpr int charactersSelected = 9;
const qsizetype selectionStart = sample.indexOf(selected); // in UTF-16 units

QString replaced(const QString& with)
{
    QString text = sample;
    return text.replace(selectionStart, selected.size(), with);
}

// A clipboard manager as desktops run one: it owns CLIPBOARD_MANAGER and, asked to save the
// clipboard (SAVE_TARGETS), copies every target of the clipboard's owner, then answers.
class FakeClipboardManager {
public:
    FakeClipboardManager()
    {
        m_window = m_x.createWindow(0);
        xcb_set_selection_owner(m_x.get(), m_window, m_x.atom("CLIPBOARD_MANAGER"), XCB_CURRENT_TIME);
        free(xcb_get_input_focus_reply(m_x.get(), xcb_get_input_focus(m_x.get()), nullptr));
        m_thread = std::thread([this] { serveOneRequest(); });
    }

    QHash<QByteArray, QByteArray> waitForSaved()
    {
        m_thread.join();
        return m_saved;
    }

private:
    void serveOneRequest()
    {
        const XcbEvent event = m_x.waitForEvent(std::chrono::steady_clock::now() + std::chrono::seconds(10));
        if (!event || (event->response_type & 0x7f) != XCB_SELECTION_REQUEST)
            return;
        const auto request = *reinterpret_cast<const xcb_selection_request_event_t*>(event.get());
        XSelectionReader reader;
        for (const xcb_atom_t target : reader.targets(reader.atom("CLIPBOARD"))) {
            if (const auto data = reader.read(reader.atom("CLIPBOARD"), target))
                m_saved.insert(reader.atomName(target), *data);
        }
        m_x.notifySelection(request, request.property);
    }

    XConnection m_x;
    xcb_window_t m_window = XCB_NONE;
    QHash<QByteArray, QByteArray> m_saved;
    std::thread m_thread;
};

class SelectionCaptureX11Test : public ::testing::Test {
protected:
    InstalledPlatform platform;
    PlatformServices services = Platform::services();
    DesktopSession& desktop = testDesktop();
    const QString mousepadFile = desktop.homePath() + QStringLiteral("/sample.txt");

    QProcess* startQtEditor(bool accessible)
    {
        return TargetApps::startQtEditor(desktop, sample, accessible);
    }

    // An editor without accessibility, with a selection made in code (which does not set PRIMARY).
    QProcess* startInaccessibleEditorWithSelection()
    {
        return TargetApps::startQtEditor(desktop, sample, false, {QStringLiteral("--select"), QString::number(selectionStart),
                                                                  QString::number(selected.size())});
    }

    bool selectByKeyboard() { return TargetApps::selectByKeyboard(desktop, charactersBefore, charactersSelected); }

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

    QByteArray readClipboard(const QString& target)
    {
        return runProgram(QStringLiteral("xclip"), {QStringLiteral("-o"), QStringLiteral("-selection"),
                                                    QStringLiteral("clipboard"), QStringLiteral("-t"), target},
                          desktop.environment()).out;
    }
};

TEST_F(SelectionCaptureX11Test, ReadsTheSelectionWithItsContextFromQtAndGtk)
{
    for (const bool gtk : {false, true}) {
        SCOPED_TRACE(gtk ? "mousepad (GTK, code points)" : "Qt editor (UTF-16 units)");
        QProcess* target = gtk ? TargetApps::startMousepad(desktop, mousepadFile, sample) : startQtEditor(true);
        ASSERT_TRUE(target && selectByKeyboard());

        const auto range = services.accessibility->selectedRange();
        ASSERT_TRUE(range);
        EXPECT_EQ(range->location, selectionStart);
        EXPECT_EQ(range->length, selected.size());

        const auto result = SelectionCapture::captureViaAX(*services.accessibility);
        ASSERT_TRUE(result);
        EXPECT_EQ(result->text, selected);
        EXPECT_EQ(result->method, QStringLiteral("AX"));
        EXPECT_EQ(result->contextBefore, before);
        EXPECT_EQ(result->contextAfter, after);
        desktop.stop(target);
    }
}

TEST_F(SelectionCaptureX11Test, PrimarySelectionOfTheFrontmostApplicationWinsOverAnOlderAccessibleSelection)
{
    QProcess* mousepad = TargetApps::startMousepad(desktop, mousepadFile, sample);
    ASSERT_TRUE(mousepad && selectByKeyboard()); // left behind in a window that is no longer in front
    const QString line = QStringLiteral("终端里的一行 selected line");
    QProcess* xterm = TargetApps::startXtermWithSelectedLine(desktop, line);
    ASSERT_TRUE(xterm);

    const auto result = captureAsTheShortcutDoes();
    ASSERT_TRUE(result);
    EXPECT_EQ(result->text, line + QLatin1Char('\n')) << "xterm selects the whole line";
    EXPECT_EQ(result->method, QStringLiteral("复制"));

    TargetApps::clearPrimarySelection();
    EXPECT_FALSE(captureAsTheShortcutDoes()) << "nothing selected";
    processEventsFor(300);
    EXPECT_EQ(xterm->state(), QProcess::Running) << "no Control+C reached the program in the terminal";
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
    ASSERT_TRUE(owner && processEventsUntil([&] { return owner->canReadLine(); }));
    const QStringList formats = {QStringLiteral("UTF8_STRING"), QStringLiteral("text/html"), QStringLiteral("image/png")};
    QList<QByteArray> original;
    for (const QString& format : formats)
        original << readClipboard(format);
    ASSERT_GT(original[2].size(), 256 * 1024);

    QProcess* editor = startInaccessibleEditorWithSelection();
    ASSERT_TRUE(editor);
    TargetApps::clearPrimarySelection();

    const auto result = captureAsTheShortcutDoes();
    ASSERT_TRUE(result);
    EXPECT_EQ(result->text, selected);
    EXPECT_EQ(result->method, QStringLiteral("复制"));
    EXPECT_FALSE(result->contextBefore.has_value());
    desktop.stop(owner); // from now on the clipboard can only hold what was put back
    for (qsizetype i = 0; i < formats.size(); ++i)
        EXPECT_EQ(readClipboard(formats[i]), original[i]) << formats[i].toStdString();
    desktop.stop(editor);
}

TEST_F(SelectionCaptureX11Test, AClipboardPutBackOutlivesUsWhenAClipboardManagerRuns)
{
    FakeClipboardManager manager;
    const Clipboard::Snapshot userClipboard = {{QStringLiteral("UTF8_STRING"), QByteArray("用户的剪贴板")},
                                               {QStringLiteral("text/html"), QByteArray("<p>用户的剪贴板</p>")}};
    {
        XClipboard clipboard;
        clipboard.restore(userClipboard);
    } // as when Quillo quits
    const QHash<QByteArray, QByteArray> saved = manager.waitForSaved();
    for (const Clipboard::Format& format : userClipboard)
        EXPECT_EQ(saved.value(format.type.toLatin1()), format.data) << format.type.toStdString();
}

TEST_F(SelectionCaptureX11Test, ReplacesTheSelectionInPlaceInQtAndGtk)
{
    const QString answer = QStringLiteral("替换成🎉新文字");
    QProcess* editor = startQtEditor(true);
    ASSERT_TRUE(editor && selectByKeyboard());
    EXPECT_TRUE(SelectionCapture::replace(*services.accessibility, answer));
    EXPECT_EQ(TargetApps::editorText(editor), replaced(answer));
    desktop.stop(editor);

    QProcess* mousepad = TargetApps::startMousepad(desktop, mousepadFile, sample);
    ASSERT_TRUE(mousepad && selectByKeyboard());
    EXPECT_TRUE(SelectionCapture::replace(*services.accessibility, answer));
    const auto savedText = [&] {
        QFile file(mousepadFile);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed() : QString();
    };
    ASSERT_TRUE(TargetApps::typeKeys(desktop, {QStringLiteral("ctrl+s")}));
    processEventsUntil([&] { return savedText() != sample; });
    EXPECT_EQ(savedText(), replaced(answer));
    desktop.stop(mousepad);
}

TEST_F(SelectionCaptureX11Test, PasteFallbackReplacesTheSelectionOfAnInaccessibleEditor)
{
    const QString answer = QStringLiteral("粘贴进去的🎉答案");
    QProcess* editor = startInaccessibleEditorWithSelection();
    ASSERT_TRUE(editor);
    services.clipboard->setText(answer);
    EXPECT_FALSE(SelectionCapture::replace(*services.accessibility, answer));
    SelectionCapture::pasteFallback(*services.keys);
    EXPECT_EQ(TargetApps::editorText(editor), replaced(answer));
    desktop.stop(editor);
}

TEST_F(SelectionCaptureX11Test, ProbeModeReportsTheSelectionAsJson)
{
    QProcess* editor = startQtEditor(true);
    ASSERT_TRUE(editor && selectByKeyboard());
    const ProgramResult probe = runProgram(quilloBinary(), {QStringLiteral("--probe-selection"), QStringLiteral("0")},
                                           desktop.environment());
    EXPECT_EQ(probe.exitCode, 0) << probe.out.toStdString();
    const QJsonObject report = QJsonDocument::fromJson(probe.out).object();
    EXPECT_EQ(report.value("method").toString(), QStringLiteral("AX"));
    EXPECT_EQ(report.value("text").toString(), selected);
    EXPECT_EQ(report.value("contextBeforeLength").toInteger(), before.size());
    EXPECT_EQ(report.value("contextAfterLength").toInteger(), after.size());
    EXPECT_EQ(report.value("pid").toInteger(), editor->processId());
    EXPECT_EQ(report.value("appName").toString(), QStringLiteral("quillo_text_target"));
    EXPECT_GT(report.value("elapsedMs").toDouble(), 0);
    desktop.stop(editor);

    QProcessEnvironment nowhere = desktop.environment();
    nowhere.remove(QStringLiteral("DISPLAY"));
    const ProgramResult nothing = runProgram(quilloBinary(), {QStringLiteral("--probe-selection"), QStringLiteral("0")}, nowhere);
    EXPECT_EQ(nothing.exitCode, 1);
    EXPECT_EQ(QJsonDocument::fromJson(nothing.out).object().value("method").toString(), QString()) << nothing.out.toStdString();
}

}
