// The popup panel drawn off-screen and driven through its controls, with a scripted engine.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>

#include "core/KeyFormatter.h"
#include "memory/SemanticRecall.h"
#include "popup/ActionSession.h"
#include "popup/view/PanelDriver.h"
#include "prompts/ActionOptions.h"
#include "settings/L10n.h"
#include "speech/Dictation.h"
#include "tests/popup/ScriptedEngine.h"
#include "tests/support/EventLoop.h"
#include "tests/support/FakePlatform.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/ScratchHome.h"
#include "ui/ElidedLabel.h"
#include "ui/InstructionInput.h"
#include "ui/TextArea.h"

namespace {

using Script = ScriptedEngine::Script;

const PopupAction explain{QStringLiteral("解释"), QStringLiteral("解释"), QStringLiteral("系统：解释"),
                          QStringLiteral("请解释"), true};
const QString paragraph =
    QStringLiteral("春天的河流从山里出来，带着融化的雪水和一路上的碎石，把两岸的田野重新唤醒。").repeated(8);

// A microphone the test speaks into.
class FakeDictation final : public Dictation {
public:
    void start(TextCallback onPartial, TextCallback onError) override
    {
        partial = std::move(onPartial), error = std::move(onError), running = true;
    }
    void stop() override { running = false; }
    bool isRunning() const override { return running; }

    TextCallback partial;
    TextCallback error;
    bool running = false;
};

class PopupPanelTest : public ::testing::Test {
protected:
    ScopedEnv lang{"SELVANE_UI_LANG", "zh"}; // before the home, which forgets the language it resolved
    ScratchHome home;
    SemanticRecall noModels{std::make_shared<NoSentenceEmbedder>()};
    KnowledgeStore store{home.path() + QStringLiteral("/knowledge.json"), noModels};
    FakePlatform platform;
    std::shared_ptr<ScriptedEngine> engine = std::make_shared<ScriptedEngine>();
    TaskPool tasks{4};
    FakeDictation* dictation = nullptr;
    qreal fontScale = 1.0;
    PopupPanel panel{{engine, store, tasks,
                      [this] {
                          auto made = std::make_unique<FakeDictation>();
                          dictation = made.get();
                          return made;
                      },
                      platform.services(), [this] { return fontScale; }}};

    PanelDriver driver{panel};

    QPushButton* button(const char* key) const { return driver.named<QPushButton>(L10n::t(key)); }
    TextArea* area(const char* key) const { return driver.named<TextArea>(L10n::t(key)); }
    QString status() const { return panel.content()->findChild<ElidedLabel*>(QStringLiteral("status"))->text(); }
    void clickRecall() const
    {
        QWidget* band = panel.content()->findChild<QWidget*>(QStringLiteral("recallBand"));
        ASSERT_TRUE(band);
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), band->mapToGlobal(QPointF(5, 5)), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(band, &press);
    }

    void open(const QString& text, std::optional<qint64> target = std::nullopt)
    {
        bool recalled = false;
        const auto connection =
            QObject::connect(&panel.session(), &ActionSession::recallReady, [&] { recalled = true; });
        panel.showActions(QStringLiteral("✓ 读到你选中的文字"), text, {explain}, nullptr, target,
                          SourceKind::selection);
        ASSERT_TRUE(processEventsUntil([&] { return recalled; }));
        QObject::disconnect(connection);
    }
    // Clicks the action and waits until the run has ended, in an answer or a failure.
    void runExplain(const Script& script)
    {
        engine->add(script);
        const PanelDriver::Run run = driver.clickForAnswer(explain.title, 15000);
        ASSERT_TRUE(run == PanelDriver::Run::answered || run == PanelDriver::Run::failed);
        processEventsFor(20);
    }
};

TEST_F(PopupPanelTest, TheSelectionAreaFollowsItsTextAndTheInputTheFontScale)
{
    open(QStringLiteral("河流"));
    const int oneLine = area("popup.a11y.selection")->height();
    open(paragraph);
    EXPECT_GT(area("popup.a11y.selection")->height(), 2 * oneLine);
    EXPECT_GT(area("popup.a11y.selection")->verticalScrollBar()->maximum(), 0) << "the rest scrolls";

    QList<int> inputHeights;
    for (const qreal scale : {0.85, 1.45}) {
        fontScale = scale;
        open(QStringLiteral("河流"));
        runExplain(Script::streamed({QStringLiteral("答案")}));
        inputHeights << panel.content()->findChild<InstructionInput*>()->height();
    }
    EXPECT_LT(inputHeights[0], inputHeights[1]);
}

TEST_F(PopupPanelTest, AFailureBeforeTheFirstFragmentOffersTheActionsAgainAndALaterOneKeepsThePartialAnswer)
{
    open(QStringLiteral("河流"));
    const QString localProblem = L10n::t("err.qwenOther");
    runExplain(Script::failing(QwenError::httpError(500, QStringLiteral("boom"))));
    EXPECT_EQ(panel.showing(), PopupPanel::Shown::failed);
    EXPECT_TRUE(driver.named<QPushButton>(explain.title)->isEnabled());
    EXPECT_EQ(status(), L10n::t("popup.status.errorShort"));
    EXPECT_EQ(area("popup.a11y.result")->toPlainText(), localProblem);

    runExplain(Script::failing(QwenError::httpError(500, QStringLiteral("boom")), {QStringLiteral("半句")}));
    EXPECT_EQ(area("popup.a11y.result")->toPlainText(), QStringLiteral("半句"));
    EXPECT_EQ(status(), L10n::tf("popup.status.error", {localProblem}));
}

TEST_F(PopupPanelTest, AnOptionMenuWritesTheOptionsThenAsksToStoreThemAndToRerunTheShownAction)
{
    auto options = std::make_shared<ActionOptions>();
    QStringList calls;
    panel.setOnOptionsChanged([&] { calls << QStringLiteral("store ") + options->explainModeId; });
    panel.setOnActionRerun([&](const QString& key) { calls << QStringLiteral("rerun ") + key; });
    panel.showActions(QStringLiteral("✓"), QStringLiteral("河流"), {explain}, options, std::nullopt,
                      SourceKind::selection);
    runExplain(Script::streamed({QStringLiteral("答案")}));
    auto* menu = driver.named<QComboBox>(L10n::t("popup.opt.tip.explain"));
    ASSERT_TRUE(menu);
    const int last = menu->count() - 1;
    menu->setCurrentIndex(last);
    Q_EMIT menu->activated(last);
    EXPECT_EQ(
        calls,
        QStringList({QStringLiteral("store ") + PromptLibrary::explainModes()[last].id, QStringLiteral("rerun 解释")}));
}

TEST_F(PopupPanelTest, ANoticeClosesItselfAndAGuideStays)
{
    PopupPanel guide{{engine, store, tasks, {}, platform.services(), [] { return 1.0; }}};
    int clicks = 0;
    guide.showAuthGuide(QStringLiteral("还差一步"), QStringLiteral("去开启权限"), Tint::orange,
                        {{QStringLiteral("去开启"), [&clicks] { ++clicks; }}, {QStringLiteral("以后"), {}}});
    panel.show(QStringLiteral("没读到文字"), QStringLiteral("先选中一段文字"), Tint::orange);
    processEventsFor(100);
    ASSERT_TRUE(panel.isShown());
    ASSERT_TRUE(processEventsUntil([&] { return !panel.isShown(); }, 15000));
    ASSERT_TRUE(guide.isShown());
    guide.content()->findChildren<QPushButton*>().first()->click();
    EXPECT_EQ(clicks, 1);
}

TEST_F(PopupPanelTest, ARecallClickShowsTheRememberedAnswerForCopyAndReplaceAndAnEmptyOneIsNeither)
{
    store.add(explain.actionKey, QStringLiteral("河流"), QStringLiteral("旧答案"), QString());
    open(QStringLiteral("河流"));
    clickRecall();
    EXPECT_EQ(panel.showing(), PopupPanel::Shown::recalled);
    EXPECT_EQ(area("popup.a11y.result")->toPlainText(), QStringLiteral("旧答案"));
    button("popup.btn.copy")->click();
    EXPECT_EQ(platform.clipboard->text(), QStringLiteral("旧答案"));
    platform.accessibility->writable = true;
    button("popup.btn.replace")->click();
    EXPECT_EQ(platform.accessibility->written, QStringLiteral("旧答案"));
    EXPECT_EQ(status(), L10n::t("popup.applied.ax"));
    platform.accessibility->writable = platform.keys->sendable = false;
    button("popup.btn.replace")->click();
    EXPECT_EQ(status(), L10n::t("popup.applied.copiedOnly")) << "no key reaches the target: no claim of a paste";

    store.add(explain.actionKey, QStringLiteral("湖泊"), QString(), QString());
    open(QStringLiteral("湖泊"));
    clickRecall();
    const quint64 changes = platform.clipboard->changes;
    const QString before = status();
    button("popup.btn.copy")->click();
    button("popup.btn.replace")->click();
    EXPECT_EQ(platform.clipboard->changes, changes);
    EXPECT_EQ(status(), before);
}

// Where keys need the user's leave (Wayland) the panel says how to paste, unless the user let
// Quillo paste: then the panel steps aside and Control+V follows once the editor is in front.
TEST_F(PopupPanelTest, WhereKeysNeedLeaveReplaceHintsAtControlVUnlessQuilloMayPaste)
{
    constexpr qint64 editor = 4242;
    platform.workspace->names.insert(editor, QStringLiteral("mousepad"));
    platform.accessibility->writable = false;
    platform.keys->leave = true;
    store.add(explain.actionKey, QStringLiteral("河流"), QStringLiteral("旧答案"), QString());
    open(QStringLiteral("河流"), editor);
    clickRecall();
    button("popup.btn.replace")->click();
    EXPECT_EQ(status(), QStringLiteral("已复制，按 Ctrl+V 粘贴"));
    EXPECT_TRUE(platform.keys->chords.isEmpty());

    changeSettings([](AppSettings& settings) { settings.pasteForMe = true; });
    button("popup.btn.replace")->click();
    EXPECT_FALSE(panel.isShown()) << "keys go to the window in front: the panel steps aside";
    EXPECT_TRUE(platform.keys->chords.isEmpty()) << "nothing before the editor is back";
    platform.workspace->frontmost = editor;
    ASSERT_TRUE(processEventsUntil([&] { return !platform.keys->chords.isEmpty(); }));
    EXPECT_EQ(platform.keys->chords, (QList<Shortcut>{{9, KeyFormatter::controlMask}}));
    EXPECT_EQ(platform.clipboard->text(), QStringLiteral("旧答案"));
}

TEST_F(PopupPanelTest, DictationAppendsToTheTypedTextAndReturnSendsWhileShiftReturnBreaksTheLine)
{
    open(QStringLiteral("河流"));
    runExplain(Script::streamed({QStringLiteral("答"), QStringLiteral("案\n")}));
    const QString first = L10n::tf("popup.transcript.aiVersion", {QStringLiteral("1")}) + QStringLiteral("\n答案");
    EXPECT_EQ(area("popup.a11y.transcript")->toPlainText(), first);
    InstructionInput* input = panel.content()->findChild<InstructionInput*>();
    input->setPlainText(QStringLiteral("再短一点"));
    button("popup.mic.name")->click();
    ASSERT_TRUE(dictation && dictation->running);
    dictation->partial(QStringLiteral("，去掉数字"));
    EXPECT_EQ(input->toPlainText(), QStringLiteral("再短一点，去掉数字"));

    QKeyEvent shiftReturn(QEvent::KeyPress, Qt::Key_Return, Qt::ShiftModifier);
    QCoreApplication::sendEvent(input, &shiftReturn);
    EXPECT_EQ(input->toPlainText(), QStringLiteral("再短一点，去掉数字\n"));
    engine->add(Script::streamed({QStringLiteral("《短答案》")}));
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(input, &enter);
    EXPECT_FALSE(dictation->running) << "sending stops the dictation";
    ASSERT_TRUE(processEventsUntil([&] { return panel.session().transcript().size() == 3; }));
    EXPECT_EQ(panel.session().conversation()[2].content, QStringLiteral("再短一点，去掉数字"));
    // The answer as cleaned, not as it streamed.
    EXPECT_EQ(area("popup.a11y.transcript")->toPlainText(),
              first + QStringLiteral("\n\n") + L10n::t("popup.transcript.you")
                  + QStringLiteral("\n再短一点，去掉数字\n\n")
                  + L10n::tf("popup.transcript.aiVersion", {QStringLiteral("2")}) + QStringLiteral("\n短答案"));
}

}
