#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>

#include "capture/ContextWindow.h"
#include "capture/SelectionCaptureService.h"
#include "core/KeyFormatter.h"
#include "core/TaskPool.h"
#include "popup/SelectionMarks.h"
#include "tests/support/FakePlatform.h"
#include "tests/support/Printers.h"

namespace {

const Shortcut controlC{8, KeyFormatter::controlMask};

const Clipboard::Snapshot userClipboard = {{"text/plain", "the user's own text"},
                                           {"text/html", "<b>the user's own text</b>"},
                                           {"image/png", QByteArrayLiteral("\x89PNG\r\n\x1a\n\0\0binary")}};

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
                platform.clipboard->copyFromApplication(
                    {{"text/plain", targetSelection.toUtf8()}, {"text/html", "<i>x</i>"}});
        };
    }

    std::optional<SelectionCapture::Result> copy(std::stop_token stop = {}, bool keysAllowed = false)
    {
        return SelectionCapture::captureViaCopy(platform.services(), stop, keysAllowed);
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
        return result ? result->contextBefore.value_or("-") + u'|' + result->contextAfter.value_or("-") : QString();
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
    EXPECT_EQ(result ? result->text + u'|' + result->method : QString(), QStringLiteral(" 划过的字 |复制"));
    EXPECT_TRUE(platform.keys->chords.isEmpty() && platform.clipboard->restores == 0);

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

// Wayland: no key reaches the application in front, so only PRIMARY can be read.
TEST_F(SelectionCaptureFlowTest, WhereNoKeyCanBeSentOnlyPrimaryIsReadWithoutWaitingOrTouchingTheClipboard)
{
    platform.keys->sendable = false;
    platform.keys->heldModifierPolls = 1000;
    platform.clipboard->formats = {{QStringLiteral("text/plain"), QByteArrayLiteral("copied earlier")}};
    EXPECT_FALSE(copy());
    EXPECT_EQ(platform.keys->modifierPolls, 0) << "no wait for modifiers that nothing will be sent past";
    EXPECT_EQ(platform.clipboard->snapshots, 0) << "a large clipboard is not read for nothing";
    EXPECT_TRUE(platform.keys->chords.isEmpty());

    platform.clipboard->primary = QStringLiteral("划过的字");
    EXPECT_EQ(copy().value_or(SelectionCapture::Result{}).text, QStringLiteral("划过的字"));

    // Keys that need the user's leave (Wayland) copy only when it was given.
    platform.clipboard->primary.clear();
    platform.keys->sendable = true;
    platform.keys->leave = true;
    EXPECT_TRUE(!copy() && platform.keys->chords.isEmpty());
    platform.keys->heldModifierPolls = 0;
    EXPECT_EQ(copy({}, true).value_or(SelectionCapture::Result{}).text, targetSelection);
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

    // The focused element says nothing is selected: an older selection left in PRIMARY is not it.
    platform.accessibility->selected = QString();
    platform.clipboard->primary = QStringLiteral("旧的选择");
    bool nothing = false;
    service.capture(&context, [&](std::optional<SelectionCapture::Result> result) { nothing = !result; });
    EXPECT_TRUE(nothing) << "answered at once, without the copy";
}

// Beyond the self-check (context_selftest): ranges a little off, snapping, both sides of a pair, the total cap.
using Context = SelectionCapture::Context;

std::optional<Context> contextOf(const QString& fullText, qsizetype location, qsizetype length)
{
    return SelectionCapture::contextWindow(fullText, location, length, fullText.mid(location, length));
}

TEST(ContextWindow, RangeMayDifferFromTheSelectionByFourUnitsAndNeverWrapsAround)
{
    const QString text = QStringLiteral("前文。这才是真选区。后文。");
    EXPECT_TRUE(SelectionCapture::contextWindow(text, 3, 6, QStringLiteral("这才")));
    EXPECT_FALSE(SelectionCapture::contextWindow(text, 3, 6, QStringLiteral("这")));
    EXPECT_TRUE(SelectionCapture::contextWindow(text, 3, 2, QStringLiteral("这才是真选区")));
    EXPECT_FALSE(SelectionCapture::contextWindow(text, 3, std::numeric_limits<qsizetype>::max(), QString()));
    EXPECT_TRUE(SelectionCapture::contextWindow(text, text.size(), 0, {})) << "an empty selection at the very end";
}

TEST(ContextWindow, CutSidesSnapToTheCurrentSentence)
{
    const QString filler = QStringLiteral("很长的一句话没有停顿").repeated(50); // 500 units, no boundary
    const QString sel = QStringLiteral("选中");
    const QString fullSentence = QStringLiteral("第一句。") + filler.left(396); // 400 units
    const QList<std::tuple<const char*, QString, QString, QString>> cases = {
        // name, text, before, after
        {"before: the current sentence only", filler + "。上一句\n这一句的" + sel, "这一句的", {}},
        {"before: exactly 400 units, no snapping", fullSentence + sel, fullSentence, {}},
        {"before: no boundary within reach", filler + sel, filler.right(400), {}},
        {"after: to the end of the sentence", sel + "还没完！下一句？" + filler, {}, "还没完！"},
        {"after: only the full stop that follows", "整句。" + sel + "；下一句？" + filler, "整句。", "；"},
        {"after: a line feed ends it and is trimmed", sel + "\n下一段。" + filler, {}, {}},
        {"after: no boundary within reach", sel + filler, {}, filler.left(400)},
    };
    for (const auto& [name, text, before, after] : cases) {
        const std::optional<Context> context = contextOf(text, text.indexOf(sel), sel.size());
        ASSERT_TRUE(context) << name;
        EXPECT_EQ(context->before, before) << name;
        EXPECT_EQ(context->after, after) << name;
    }
}

// With one BMP character among astral ones and no sentence boundary, both 400-unit cuts land
// between the halves of a pair; the edges move inwards so the sides hold whole characters.
TEST(ContextWindow, CutsNeverSplitASurrogatePair)
{
    const QString emoji = QStringLiteral("😀"), han = QStringLiteral("𠀀"); // han from CJK extension B
    const QString left = emoji.repeated(300) + QLatin1Char('x') + han.repeated(100);
    const QString text = left + emoji + han.repeated(100) + QLatin1Char('y') + emoji.repeated(300);

    const std::optional<Context> context = contextOf(text, left.size(), emoji.size());
    ASSERT_TRUE(context);
    EXPECT_EQ(context->before, emoji.repeated(99) + QLatin1Char('x') + han.repeated(100));
    EXPECT_EQ(context->after, han.repeated(100) + QLatin1Char('y') + emoji.repeated(99));
}

TEST(ContextWindow, TotalCapCountsCharactersAndKeepsTheTextNextToTheSelection)
{
    // A family emoji is one character of eight units, an e with a combining accent one of two.
    const QString family = QStringLiteral("👨‍👩‍👧"), e = QStringLiteral("e\u0301");
    const QList<std::tuple<Context, qsizetype, Context>> cases = {
        {{QStringLiteral("abcdef"), QStringLiteral("xyz")}, 5, {QStringLiteral("ef"), QStringLiteral("xyz")}},
        {{QStringLiteral("ab"), QStringLiteral("uvwxyz")}, 5, {QStringLiteral("ab"), QStringLiteral("uvw")}},
        {{QStringLiteral("abc"), QStringLiteral("xyz")}, 2, {QString(), QStringLiteral("xy")}},
        {{family + e + family, e + u'z'}, 5, {family + e + family, e + u'z'}},
        {{family + e + family, e + u'z'}, 4, {e + family, e + u'z'}},
    };
    for (auto [context, limit, expected] : cases) {
        capContextCharacters(context, limit);
        EXPECT_EQ(context.before, expected.before);
        EXPECT_EQ(context.after, expected.after);
    }
}

// Beyond the self-check: nested layers with inner spaces, unbalanced layers, titles at the edges, a lone mark.
TEST(SelectionMarks, OnlyMarksAroundTheWholeAnswerAreRemoved)
{
    const QList<std::pair<QString, QString>> cases = {
        {QStringLiteral("\n《 《 兴趣 》 》 "), QStringLiteral("兴趣")},
        {QStringLiteral("《《左边多一层》"), QStringLiteral("左边多一层")},
        {QStringLiteral("《红楼梦》和《西游记》"), QStringLiteral("《红楼梦》和《西游记》")},
        {QStringLiteral("《《红楼梦》和《西游记》》"), QStringLiteral("《红楼梦》和《西游记》")},
        {QStringLiteral("《红楼梦》是名著"), QStringLiteral("《红楼梦》是名著")},
        {QStringLiteral("《"), QString()},
    };
    for (const auto& [input, expected] : cases)
        EXPECT_EQ(stripSelectionMarks(input), expected) << input.toStdString();
}

}
