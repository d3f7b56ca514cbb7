#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QThread>

#include "core/KeyFormatter.h"
#include "capture/SelectionCapture.h"
#include "tests/support/EventLoop.h"
#include "tests/support/FakePlatform.h"

namespace {

constexpr quint32 keyC = 8;

const Clipboard::Snapshot userClipboard = {
    {"text/plain", "the user's own text"},
    {"text/html", "<b>the user's own text</b>"},
    {"image/png", QByteArrayLiteral("\x89PNG\r\n\x1a\n\0\0binary")},
};

class SelectionCaptureFlowTest : public ::testing::Test {
protected:
    FakePlatform platform;

    void SetUp() override
    {
        platform.clipboard->formats = userClipboard;
        platform.keys->onChord = [this](quint32 keyCode, quint32 modifiers) {
            if (keyCode == keyC && modifiers == KeyFormatter::controlMask && targetCopies)
                platform.clipboard->copyFromApplication({{"text/plain", targetSelection.toUtf8()}, {"text/html", "<i>x</i>"}});
        };
    }

    bool targetCopies = true;
    QString targetSelection = QStringLiteral("copied words");
};

TEST_F(SelectionCaptureFlowTest, AccessibilityKeepsSurroundingSpacesAndAddsTheContext)
{
    const QString full = QStringLiteral("前面一句。 选中 🙂 的字 后面一句。");
    platform.accessibility->selected = QStringLiteral(" 选中 🙂 的字 ");
    platform.accessibility->fullText = full;
    platform.accessibility->range = Accessibility::Range{full.indexOf(QStringLiteral(" 选中")), QStringLiteral(" 选中 🙂 的字 ").size()};

    const auto result = SelectionCapture::captureViaAX();
    ASSERT_TRUE(result);
    EXPECT_EQ(result->text, QStringLiteral(" 选中 🙂 的字 "));
    EXPECT_EQ(result->method, QStringLiteral("AX"));
    EXPECT_EQ(result->contextBefore, QStringLiteral("前面一句。"));
    EXPECT_EQ(result->contextAfter, QStringLiteral("后面一句。"));
}

TEST_F(SelectionCaptureFlowTest, AccessibilityWithoutTrustworthyContextStillGivesTheSelection)
{
    struct Case {
        const char* name;
        QString fullText;
        Accessibility::Range range;
    };
    const QString selected = QStringLiteral("选中");
    const QString huge = QString(SelectionCapture::maxContextSourceLength, QLatin1Char('a')) + selected;
    const QList<Case> cases = {
        {"value longer than the examined limit", huge, {SelectionCapture::maxContextSourceLength, 2}},
        {"stale range", QStringLiteral("前文。选中。后文。"), {3, 7}},
        {"negative location", QStringLiteral("前文。选中。后文。"), {-1, 2}},
        {"selection is the whole value", selected, {0, 2}},
    };
    for (const Case& c : cases) {
        platform.accessibility->selected = selected;
        platform.accessibility->fullText = c.fullText;
        platform.accessibility->range = c.range;
        const auto result = SelectionCapture::captureViaAX();
        ASSERT_TRUE(result) << c.name;
        EXPECT_EQ(result->text, selected) << c.name;
        EXPECT_FALSE(result->contextBefore.has_value()) << c.name;
        EXPECT_FALSE(result->contextAfter.has_value()) << c.name;
    }
}

TEST_F(SelectionCaptureFlowTest, BlankSelectionIsNoSelectionOnEitherPath)
{
    platform.accessibility->selected = QStringLiteral(" \n\t\u3000 ");
    EXPECT_FALSE(SelectionCapture::captureViaAX());

    platform.clipboard->primary = QStringLiteral("  \n");
    targetSelection = QStringLiteral("\n  \n");
    EXPECT_FALSE(SelectionCapture::captureViaCopy());
    EXPECT_EQ(platform.clipboard->formats, userClipboard) << "the clipboard is put back even when the copy was blank";
}

// In a terminal Control+C would interrupt the running program; what is selected there is in PRIMARY.
TEST_F(SelectionCaptureFlowTest, PrimaryIsReadWithoutACopyAndATerminalNeverGetsControlC)
{
    platform.workspace->terminalInFront = true;
    EXPECT_FALSE(SelectionCapture::captureViaCopy());

    platform.clipboard->primary = QStringLiteral(" 划过的字 ");
    const auto result = SelectionCapture::captureViaCopy();
    ASSERT_TRUE(result);
    EXPECT_EQ(result->text, QStringLiteral(" 划过的字 "));
    EXPECT_EQ(result->method, QStringLiteral("复制"));
    EXPECT_TRUE(platform.keys->chords.isEmpty());
    EXPECT_EQ(platform.clipboard->restores, 0);
}

TEST_F(SelectionCaptureFlowTest, AnEmptyClipboardIsEmptyAgainAfterTheCopy)
{
    platform.clipboard->formats.clear();
    ASSERT_TRUE(SelectionCapture::captureViaCopy());
    EXPECT_TRUE(platform.clipboard->formats.isEmpty());
}

TEST_F(SelectionCaptureFlowTest, ModifiersHeldTooLongDelayTheCopyByNoMoreThanTheLimit)
{
    platform.keys->heldModifierPolls = 1000;
    QElapsedTimer timer;
    timer.start();
    const auto result = SelectionCapture::captureViaCopy();
    EXPECT_TRUE(result) << "the copy is sent after the wait regardless";
    EXPECT_GE(timer.elapsed(), 550);
    EXPECT_LT(timer.elapsed(), 1200);
}

TEST_F(SelectionCaptureFlowTest, ATargetThatIgnoresTheCopyGivesNothingAndKeepsTheClipboardUntouched)
{
    targetCopies = false;
    EXPECT_FALSE(SelectionCapture::captureViaCopy());
    EXPECT_EQ(platform.clipboard->restores, 0) << "an unchanged clipboard is not rewritten";
    EXPECT_EQ(platform.clipboard->formats, userClipboard);
}

TEST_F(SelectionCaptureFlowTest, CaptureAnswersAtOnceFromAccessibilityOrLaterFromTheCopyOnTheMainThread)
{
    QObject context;
    std::optional<SelectionCapture::Result> received;
    QThread* deliveredOn = nullptr;
    const auto done = [&](std::optional<SelectionCapture::Result> result) {
        received = std::move(result);
        deliveredOn = QThread::currentThread();
    };

    platform.accessibility->selected = QStringLiteral("读到的");
    SelectionCapture::capture(&context, done);
    ASSERT_TRUE(received);
    EXPECT_EQ(received->method, QStringLiteral("AX"));

    received.reset();
    platform.accessibility->selected.reset();
    SelectionCapture::capture(&context, done);
    EXPECT_FALSE(received) << "the copy runs in the background";
    ASSERT_TRUE(processEventsUntil([&] { return received.has_value(); }));
    EXPECT_EQ(received->method, QStringLiteral("复制"));
    EXPECT_EQ(deliveredOn, QThread::currentThread());
}

TEST_F(SelectionCaptureFlowTest, CaptureForAContextThatIsGoneDeliversNothing)
{
    bool delivered = false;
    {
        QObject context;
        SelectionCapture::capture(&context, [&](std::optional<SelectionCapture::Result>) { delivered = true; });
    }
    processEventsFor(300);
    EXPECT_FALSE(delivered);
}

}
