#include "app/Modes.h"

#include <optional>

#include "app/checks/CheckList.h"
#include "capture/SelectionCapture.h"
#include "popup/SelectionMarks.h"

namespace {

using Context = SelectionCapture::Context;

QString describe(const std::optional<Context>& context)
{
    if (!context)
        return QStringLiteral("nothing");
    return QStringLiteral("before「%1」 after「%2」").arg(context->before, context->after);
}

// The context of the first occurrence of the selection in the text.
std::optional<Context> contextAround(const QString& fullText, const QString& selected)
{
    return SelectionCapture::contextWindow(fullText, fullText.indexOf(selected), selected.size(), selected);
}

bool wholeCharacters(const QString& text)
{
    return text.isValidUtf16() && !text.contains(QChar::ReplacementCharacter);
}

// Both sides within 400 units and made of whole characters.
bool boundedAndWhole(const std::optional<Context>& context)
{
    return context && context->before.size() <= SelectionCapture::contextSideLimit
        && context->after.size() <= SelectionCapture::contextSideLimit && wholeCharacters(context->before)
        && wholeCharacters(context->after);
}

void checkExact(CheckList& checks, const QString& name, const std::optional<Context>& got,
                const std::optional<Context>& expected)
{
    const bool same = got.has_value() == expected.has_value()
        && (!got || (got->before == expected->before && got->after == expected->after));
    checks.check(same, name + QStringLiteral(": ") + describe(got));
}

void checkContextCases(CheckList& checks)
{
    const QString sentences = QStringLiteral("前面的第一句。前面的第二句。中间选中。后面第一句。后面第二句。");
    const QString startText = QStringLiteral("开头就选这段。后面还有内容垫着。");
    const QString endText = QStringLiteral("前面有内容垫着。结尾选这段");
    checkExact(checks, QStringLiteral("sentences around the selection"),
               contextAround(sentences, QStringLiteral("中间选中")),
               Context{QStringLiteral("前面的第一句。前面的第二句。"), QStringLiteral("。后面第一句。后面第二句。")});
    checkExact(checks, QStringLiteral("selection at the start"),
               contextAround(startText, QStringLiteral("开头就选这段")),
               Context{QString(), QStringLiteral("。后面还有内容垫着。")});
    checkExact(checks, QStringLiteral("selection at the end"), contextAround(endText, QStringLiteral("结尾选这段")),
               Context{QStringLiteral("前面有内容垫着。"), QString()});
    checkExact(checks, QStringLiteral("selection is the whole text"), contextAround(endText, endText), Context{});

    const QString shortText = QStringLiteral("短文本");
    const QString stale = QStringLiteral("前文。这才是真选区。后文。");
    const QString wrongSelection = QStringLiteral("完全不一样的一长串选中文字");
    checkExact(checks, QStringLiteral("location beyond the text"),
               SelectionCapture::contextWindow(shortText, 999, 1, QStringLiteral("短")), std::nullopt);
    checkExact(checks, QStringLiteral("length beyond the text"),
               SelectionCapture::contextWindow(QStringLiteral("短文本短文本"), 2, 100, QStringLiteral("本短文本")),
               std::nullopt);
    checkExact(checks, QStringLiteral("stale range"), SelectionCapture::contextWindow(stale, 3, 6, wrongSelection),
               std::nullopt);
    checkExact(checks, QStringLiteral("negative location"),
               SelectionCapture::contextWindow(shortText, -1, 1, QStringLiteral("短")), std::nullopt);

    const QString chinese = QStringLiteral("天地玄黄宇宙洪荒日月盈昃辰宿列张").repeated(100);
    checks.check(boundedAndWhole(SelectionCapture::contextWindow(chinese, 800, 4, chinese.mid(800, 4))),
                 QStringLiteral("long Chinese text: both sides bounded, no broken characters"));
    const QString emoji = QStringLiteral("😀").repeated(600);
    checks.check(boundedAndWhole(SelectionCapture::contextWindow(emoji, 600, 2, QStringLiteral("😀"))),
                 QStringLiteral("emoji text: both sides bounded, no broken characters"));
    // With one letter among the emoji, the 400-unit cut left of the selection lands inside a pair.
    const QString mixed = QStringLiteral("😀").repeated(300) + QLatin1Char('x') + QStringLiteral("😀").repeated(200);
    checks.check(boundedAndWhole(SelectionCapture::contextWindow(mixed, 801, 2, QStringLiteral("😀"))),
                 QStringLiteral("a 400-unit cut inside a surrogate pair keeps whole characters"));
    const QString huge = QStringLiteral("字").repeated(40000);
    const std::optional<Context> hugeContext = SelectionCapture::contextWindow(huge, 20000, 2, QStringLiteral("字字"));
    checks.check(boundedAndWhole(hugeContext)
                     && hugeContext->before.size() + hugeContext->after.size() <= SelectionCapture::contextTotalLimit,
                 QStringLiteral("40,000-character text: sides bounded"));
}

void checkMarkStripping(CheckList& checks)
{
    const struct {
        QString input;
        QString expected;
    } cases[] = {
        {QStringLiteral("《这事儿我们得办了》"), QStringLiteral("这事儿我们得办了")},
        {QStringLiteral("《《兴趣》》"), QStringLiteral("兴趣")},
        {QStringLiteral("《 兴趣 》"), QStringLiteral("兴趣")},
        {QStringLiteral("《半截只有左"), QStringLiteral("半截只有左")},
        {QStringLiteral("半截只有右》"), QStringLiteral("半截只有右")},
        {QStringLiteral("普通的一句话"), QStringLiteral("普通的一句话")},
        {QStringLiteral("他读了《红楼梦》和《西游记》"), QStringLiteral("他读了《红楼梦》和《西游记》")},
        {QStringLiteral("  前后有空格  "), QStringLiteral("前后有空格")},
    };
    for (const auto& c : cases) {
        const QString got = stripSelectionMarks(c.input);
        checks.check(got == c.expected, QStringLiteral("marks「%1」→「%2」").arg(c.input, got));
    }
}

int selftestContext(const QStringList&)
{
    CheckList checks;
    checkContextCases(checks);
    checkMarkStripping(checks);
    return checks.finish("CONTEXT_SELFTEST_PASS", "CONTEXT_SELFTEST_FAIL");
}

}

const Mode selftestContextMode = {AppObject::none, nullptr, "check the context window and mark stripping",
                                  selftestContext};
