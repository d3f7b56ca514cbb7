#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>

#include "capture/SelectionCaptureService.h"
#include "core/KeyFormatter.h"
#include "core/TaskPool.h"
#include "tests/support/FakePlatform.h"

namespace {

const Shortcut controlC{8, KeyFormatter::controlMask};

const Clipboard::Snapshot userClipboard = {
    {"text/plain", "the user's own text"},
    {"text/html", "<b>the user's own text</b>"},
    {"image/png", QByteArrayLiteral("\x89PNG\r\n\x1a\n\0\0binary")},
};

class SelectionCaptureFlowTest : public ::testing::Test {
protected:
    FakePlatform platform;
    bool targetCopies = true;
    QString targetSelection = QStringLiteral("copied words");

    void SetUp() override
    {
        platform.clipboard->formats = userClipboard;
        platform.keys->onChord = [this](Shortcut chord) {
            if (chord == controlC && targetCopies)
                platform.clipboard->copyFromApplication({{"text/plain", targetSelection.toUtf8()}, {"text/html", "<i>x</i>"}});
        };
    }

    std::optional<SelectionCapture::Result> copy(std::stop_token stop = {})
    {
        return SelectionCapture::captureViaCopy(platform.services(), stop);
    }
};

TEST_F(SelectionCaptureFlowTest, AccessibilityKeepsSurroundingSpacesAndAddsOnlyATrustworthyContext)
{
    const QString selected = QStringLiteral(" 选中 🙂 的字 ");
    platform.accessibility->selected = selected;
    platform.accessibility->fullText = QStringLiteral("前面一句。") + selected + QStringLiteral("后面一句。");
    const auto context = [&](Accessibility::Range range) { // "before|after", "-" for none
        platform.accessibility->range = range;
        const auto result = SelectionCapture::captureViaAX(*platform.accessibility);
        EXPECT_TRUE(result && result->text == selected && result->method == QStringLiteral("AX"));
        return result ? result->contextBefore.value_or(QStringLiteral("-")) + u'|' + result->contextAfter.value_or(QStringLiteral("-"))
                      : QString();
    };
    EXPECT_EQ(context({5, selected.size()}), QStringLiteral("前面一句。|后面一句。"));
    EXPECT_EQ(context({-1, 2}), QStringLiteral("-|-")) << "a negative location";
    platform.accessibility->fullText = selected;
    EXPECT_EQ(context({0, selected.size()}), QStringLiteral("-|-")) << "the selection is the whole value";
}

TEST_F(SelectionCaptureFlowTest, BlankSelectionIsNoSelectionOnEitherPathAndTheClipboardEndsAsItWas)
{
    platform.accessibility->selected = QStringLiteral(" \n\t\u3000 ");
    EXPECT_FALSE(SelectionCapture::captureViaAX(*platform.accessibility));
    platform.clipboard->primary = QStringLiteral("  \n");
    targetSelection = QStringLiteral("\n  \n");
    EXPECT_FALSE(copy());
    EXPECT_EQ(platform.clipboard->formats, userClipboard) << "put back even when the copy was blank";

    targetCopies = false;
    EXPECT_FALSE(copy());
    EXPECT_EQ(platform.clipboard->restores, 1) << "an unchanged clipboard is not rewritten";

    targetCopies = true;
    platform.clipboard->formats.clear();
    targetSelection = QStringLiteral("words");
    ASSERT_TRUE(copy());
    EXPECT_TRUE(platform.clipboard->formats.isEmpty()) << "an empty clipboard is empty again";
}

// In a terminal Control+C would interrupt the running program; what is selected there is in PRIMARY.
TEST_F(SelectionCaptureFlowTest, PrimaryIsReadWithoutACopyATerminalGetsNoControlCAndHeldModifiersDelayTheCopyBriefly)
{
    platform.workspace->terminalInFront = true;
    EXPECT_FALSE(copy());
    platform.clipboard->primary = QStringLiteral(" 划过的字 ");
    const auto result = copy();
    ASSERT_TRUE(result);
    EXPECT_EQ(result->text, QStringLiteral(" 划过的字 "));
    EXPECT_EQ(result->method, QStringLiteral("复制"));
    EXPECT_TRUE(platform.keys->chords.isEmpty());
    EXPECT_EQ(platform.clipboard->restores, 0);

    platform.workspace->terminalInFront = false;
    platform.clipboard->primary.clear();
    platform.keys->heldModifierPolls = 1000;
    EXPECT_TRUE(copy()) << "the copy is sent after a bounded wait regardless";
    EXPECT_LT(platform.keys->modifierPolls, 1000);

    std::stop_source stop;
    stop.request_stop();
    EXPECT_FALSE(copy(stop.get_token()));
    EXPECT_EQ(platform.keys->chords.size(), 1) << "nothing is typed once stopped";
}

TEST_F(SelectionCaptureFlowTest, TheServiceAnswersAtOnceFromAccessibilityOrLaterOnTheMainThreadUnlessCancelled)
{
    TaskPool tasks(1);
    PlatformSelectionCapture service(platform.services(), tasks);
    QStringList received; // the methods
    const auto done = [&](std::optional<SelectionCapture::Result> result) {
        EXPECT_EQ(QThread::currentThread(), QCoreApplication::instance()->thread());
        received << result.value().method;
    };
    const auto settle = [&] {
        tasks.waitForDone();
        QCoreApplication::processEvents();
    };
    QObject context;
    platform.accessibility->selected = QStringLiteral("读到的");
    service.capture(&context, done);
    EXPECT_EQ(received, QStringList{"AX"}) << "at once";
    platform.accessibility->selected.reset();
    service.capture(&context, done);
    EXPECT_EQ(received.size(), 1) << "the copy runs in the background";
    settle();
    service.capture(&context, done);
    service.cancel();
    {
        QObject gone;
        service.capture(&gone, done);
    }
    settle();
    EXPECT_EQ(received, (QStringList{"AX", "复制"})) << "nothing for a cancelled capture or a context that is gone";
}

}
