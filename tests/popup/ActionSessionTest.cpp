// The action session driven as the popup and the command line drive it, with a scripted engine.
#include <gtest/gtest.h>

#include "memory/SemanticRecall.h"
#include "popup/ActionSession.h"
#include "prompts/PromptLibrary.h"
#include "settings/SettingsStore.h"
#include "tests/popup/ScriptedEngine.h"
#include "tests/support/EventLoop.h"
#include "tests/support/FakePlatform.h"
#include "tests/support/Printers.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/ScratchHome.h"

namespace {

using Script = ScriptedEngine::Script;
using Entry = ActionSession::TranscriptEntry;

const QString text = QStringLiteral("量子纠缠");
const PopupAction explain{QStringLiteral("解释"), QStringLiteral("解释"), QStringLiteral("系统：解释"),
                          QStringLiteral("请解释：量子纠缠"), true};
const PopupAction rewrite{QStringLiteral("改写·云端"), QStringLiteral("改写"), QStringLiteral("系统：改写"),
                          QStringLiteral("请改写：量子纠缠"), false};
constexpr qint64 mousepad = 4242;

// What the view was told, written as one string with '|' between the events.
QStringList told(const char* events)
{
    return QString::fromUtf8(events).split(QLatin1Char('|'));
}

const QString localProblem = QStringLiteral("本地模型出了点问题，重试一下；老不行就切到云端模型");

class ActionSessionTest : public ::testing::Test {
protected:
    ScopedEnv lang{"SELVANE_UI_LANG", "zh"}; // before the home, which forgets the language it resolved
    ScratchHome home;
    SemanticRecall noModels{std::make_shared<NoSentenceEmbedder>()};
    KnowledgeStore store{home.path() + QStringLiteral("/knowledge.json"), noModels};
    FakePlatform platform;
    std::shared_ptr<ScriptedEngine> engine = std::make_shared<ScriptedEngine>();
    TaskPool tasks{8};
    std::unique_ptr<ActionSession> session = std::make_unique<ActionSession>(engine, store, tasks, *platform.workspace);
    QStringList events; // what the view was told, in order

    void SetUp() override
    {
        platform.workspace->names.insert(mousepad, QStringLiteral("Mousepad"));
        record(*session);
    }

    void record(ActionSession& s)
    {
        QObject::connect(&s, &ActionSession::recallReady, [this] { events << QStringLiteral("recall"); });
        QObject::connect(&s, &ActionSession::runStarted,
                         [this](const QString& title) { events << QStringLiteral("started ") + title; });
        QObject::connect(&s, &ActionSession::revisionStarted,
                         [this](int version) { events << QStringLiteral("revision %1").arg(version); });
        QObject::connect(&s, &ActionSession::generating, [this] { events << QStringLiteral("generating"); });
        QObject::connect(&s, &ActionSession::deltaAppended,
                         [this](const QString& fragment) { events << QStringLiteral("delta ") + fragment; });
        QObject::connect(&s, &ActionSession::answered,
                         [this](const QString& latest) { events << QStringLiteral("answered ") + latest; });
        QObject::connect(&s, &ActionSession::runFailed, [this](const QString& message, bool partialKept) {
            events << QStringLiteral("failed ") + message
                    + (partialKept ? QStringLiteral(" (partial kept)") : QString());
        });
        QObject::connect(&s, &ActionSession::revisionFailed,
                         [this](const QString& message) { events << QStringLiteral("revision failed ") + message; });
    }

    void open(const QString& selected = text, std::optional<qint64> pid = mousepad,
              SourceKind kind = SourceKind::selection)
    {
        events.clear();
        session->open(selected, {explain, rewrite}, nullptr, pid, kind);
        ASSERT_TRUE(waitFor(QStringLiteral("recall")));
    }

    bool waitFor(const QString& event)
    {
        return processEventsUntil([&] { return events.contains(event); });
    }
    // Starts a run or a revision and waits until it has ended.
    void awaitOutcome(const std::function<bool()>& start)
    {
        const int before = outcomes();
        ASSERT_TRUE(start());
        ASSERT_TRUE(processEventsUntil([&] { return outcomes() > before; }));
    }
    void run(int index)
    {
        awaitOutcome([&] { return session->runAction(index), true; });
    }
    void revise(const QString& instruction)
    {
        awaitOutcome([&] { return session->sendInstruction(instruction); });
    }
    // One streamed single-fragment answer for each of the next calls.
    void answers(std::initializer_list<const char*> texts)
    {
        for (const char* answer : texts)
            engine->add(Script::streamed({QString::fromUtf8(answer)}));
    }
    int outcomes() const
    {
        return int(std::count_if(events.cbegin(), events.cend(), [](const QString& e) {
            return e.startsWith(QLatin1String("answered ")) || e.contains(QLatin1String("failed "));
        }));
    }
};

TEST_F(ActionSessionTest, StreamsInOrderCleansTheAnswerAndRemembersIt)
{
    engine->add(Script::streamed({QStringLiteral("《量子"), QStringLiteral("纠缠》是")}));
    open();
    session->runAction(7); // no such button
    run(0);
    EXPECT_EQ(events, told("recall|started 解释|generating|delta 《量子|delta 纠缠》是|answered 《量子纠缠》是"));

    ASSERT_EQ(engine->calls().size(), 1);
    EXPECT_TRUE(engine->calls()[0].useLocal);
    EXPECT_EQ(session->conversation(),
              (ChatMessages{ChatMessage::user(explain.initialUserPrompt),
                            ChatMessage::assistant(QStringLiteral("《量子纠缠》是"))}));
    EXPECT_FALSE(session->isRunning());

    const QList<KnowledgeEntry> entries = store.all();
    ASSERT_EQ(entries.size(), 1);
    EXPECT_TRUE(entries[0].id == session->currentEntryId() && entries[0].action == QStringLiteral("解释")
                && entries[0].sourceText == text && entries[0].appName == QStringLiteral("Mousepad"));

    // Marks the model put around its whole answer are gone from what is shown and remembered.
    engine->add(Script::streamed({QStringLiteral("《纠缠"), QStringLiteral("态》")}));
    run(0);
    EXPECT_EQ(session->currentResult(), QStringLiteral("纠缠态"));
    EXPECT_EQ(session->streamBuffer(), QStringLiteral("《纠缠态》"));
    EXPECT_EQ(store.entry(*session->currentEntryId())->resultText, QStringLiteral("纠缠态"));
}

TEST_F(ActionSessionTest, ANewRunCancelsTheLiveOneSilently)
{
    engine->add(Script::held({QStringLiteral("旧的")}));
    engine->add(Script::streamed({QStringLiteral("新的")}));
    open();
    session->runAction(0);
    ASSERT_TRUE(waitFor(QStringLiteral("delta 旧的")));
    run(1);
    processEventsFor(100); // a fragment the cancelled run sends late must not show up

    EXPECT_EQ(events,
              told("recall|started 解释|generating|delta 旧的|started 改写·云端|generating|delta 新的|"
                   "answered 新的"));
    EXPECT_FALSE(engine->calls()[1].useLocal);
    EXPECT_EQ(session->streamBuffer(), QStringLiteral("新的"));
    ASSERT_EQ(store.count(), 1);
    EXPECT_EQ(store.all()[0].action, QStringLiteral("改写"));
}

TEST_F(ActionSessionTest, AFailureShowsOneLineAndKeepsWhatHadArrived)
{
    // An answer that is nothing but selection marks is no answer.
    engine->add(Script::answering(QStringLiteral("《 》")));
    open();
    run(0);
    EXPECT_EQ(events.last(), QStringLiteral("failed ") + localProblem);
    EXPECT_FALSE(session->activeActionKey() || session->inConversation());
    EXPECT_TRUE(session->currentResult().isEmpty());
    EXPECT_EQ(store.count(), 0);

    engine->add(
        Script::failing(TransportError{TransportError::Code::networkConnectionLost, {}}, {QStringLiteral("半句")}));
    run(0);
    EXPECT_EQ(events.last(), QStringLiteral("failed 连不上网，检查一下网络再试 (partial kept)"));
    EXPECT_EQ(session->streamBuffer(), QStringLiteral("半句"));
    EXPECT_EQ(session->activeActionKey(), QStringLiteral("解释"));

    // An answer cut off after a complete one: shown as far as it came, but neither remembered nor
    // what replace and copy would use.
    engine->add(Script::answering(QStringLiteral("完整的回答")));
    run(0);
    ASSERT_EQ(session->currentResult(), QStringLiteral("完整的回答"));
    engine->add(Script::failing(QwenError::answerCutOff(), {QStringLiteral("半句")}));
    run(0);
    EXPECT_EQ(events.last(), QStringLiteral("failed 回答没说完就断了，重试一下 (partial kept)"));
    EXPECT_TRUE(session->currentResult().isEmpty());
    ASSERT_EQ(store.count(), 1);
    EXPECT_EQ(store.all().first().resultText, QStringLiteral("完整的回答"));
}

TEST_F(ActionSessionTest, RevisionsAreNumberedFromTwoAndAskWithTheRevisePrefix)
{
    answers({"初稿", "短稿", "口语稿"});
    open();
    EXPECT_FALSE(session->sendInstruction(QStringLiteral("再短一点"))) << "no conversation before the first answer";
    run(1);
    EXPECT_FALSE(session->sendInstruction(QStringLiteral("  \n ")));

    const QString instruction = QStringLiteral("再短一点\n别用术语");
    events.clear();
    revise(instruction + QStringLiteral("\n"));
    EXPECT_EQ(events, told("revision 2|generating|delta 短稿|answered 短稿"));
    const ScriptedEngine::Call call = engine->calls()[1];
    EXPECT_FALSE(call.useLocal) << "follow-ups stay on the action's engine";
    EXPECT_EQ(call.messages,
              (ChatMessages{ChatMessage::system(rewrite.systemPrompt), ChatMessage::user(rewrite.initialUserPrompt),
                            ChatMessage::assistant(QStringLiteral("初稿")),
                            ChatMessage::user(PromptLibrary::followUpRevisePrompt(instruction))}));

    revise(QStringLiteral("更口语"));
    EXPECT_EQ(session->transcript(),
              (QList<Entry>{{Entry::Kind::answer, 1, QStringLiteral("初稿")},
                            {Entry::Kind::instruction, 0, instruction},
                            {Entry::Kind::answer, 2, QStringLiteral("短稿")},
                            {Entry::Kind::instruction, 0, QStringLiteral("更口语")},
                            {Entry::Kind::answer, 3, QStringLiteral("口语稿")}}));
    EXPECT_EQ(session->currentResult(), QStringLiteral("口语稿"));
    EXPECT_EQ(store.count(), 1);
}

TEST_F(ActionSessionTest, AReplacedOrFailedInstructionLeavesNoTraceAndCanBeSentAgain)
{
    engine->add(Script::streamed({QStringLiteral("v1")}));
    engine->add(Script::held({QStringLiteral("半")}));
    answers({"v2", "v3"});
    engine->add(Script::failing(QwenError::httpError(500, QStringLiteral("boom"))));
    engine->add(Script::streamed({QStringLiteral("v4")}));
    open();
    run(0);
    ASSERT_TRUE(session->sendInstruction(QStringLiteral("甲")));
    ASSERT_TRUE(waitFor(QStringLiteral("delta 半")));
    revise(QStringLiteral("乙")); // replaces the one still streaming
    EXPECT_EQ(session->conversation(),
              (ChatMessages{ChatMessage::user(explain.initialUserPrompt), ChatMessage::assistant(QStringLiteral("v1")),
                            ChatMessage::user(QStringLiteral("乙")), ChatMessage::assistant(QStringLiteral("v2"))}));
    EXPECT_EQ(engine->calls()[2].messages.size(), 4) << "the unanswered instruction is not sent again";
    EXPECT_EQ(events.count(QStringLiteral("revision 2")), 2);

    revise(QStringLiteral("第二条"));
    const ChatMessages beforeFailure = session->conversation();
    events.clear();
    revise(QStringLiteral("第三条"));
    EXPECT_EQ(events, (QStringList{QStringLiteral("revision 4"), QStringLiteral("revision failed ") + localProblem}));
    EXPECT_EQ(session->conversation(), beforeFailure);
    EXPECT_TRUE(session->inConversation());
    EXPECT_EQ(session->currentResult(), QStringLiteral("v3"));
    EXPECT_EQ(store.all()[0].resultText, QStringLiteral("v3"));

    revise(QStringLiteral("第三条"));
    EXPECT_TRUE(events.contains(QStringLiteral("answered v4")));
    EXPECT_EQ(events.count(QStringLiteral("revision 4")), 2);
    EXPECT_EQ(session->conversation().size(), beforeFailure.size() + 2);
    EXPECT_EQ(store.all()[0].resultText, QStringLiteral("v4"));
}

TEST_F(ActionSessionTest, ARerunAfterAnOptionChangeStartsOverAndRewritesTheEntry)
{
    answers({"初稿", "短稿", "大胆稿", "解释稿"});
    open();
    run(1);
    const std::optional<QString> entry = session->currentEntryId();
    revise(QStringLiteral("短一点"));

    PopupAction bolder = rewrite;
    bolder.systemPrompt = QStringLiteral("系统：改写（自由创作）");
    events.clear();
    awaitOutcome([&] { return session->replaceActionsAndRerun({explain, bolder}, QStringLiteral("改写")), true; });
    EXPECT_EQ(events.first(), QStringLiteral("started 改写·云端"));
    EXPECT_EQ(engine->calls().last().messages.first(), ChatMessage::system(bolder.systemPrompt));
    EXPECT_EQ(session->transcript(), (QList<Entry>{{Entry::Kind::answer, 1, QStringLiteral("大胆稿")}}));
    ASSERT_EQ(store.count(), 1) << "a rerun of the same action rewrites its entry";
    EXPECT_EQ(session->currentEntryId(), entry);
    EXPECT_EQ(store.all()[0].resultText, QStringLiteral("大胆稿"));

    session->replaceActionsAndRerun({explain}, QStringLiteral("改写"));
    processEventsFor(50);
    EXPECT_EQ(session->actions(), (QList<PopupAction>{explain}));
    EXPECT_EQ(engine->calls().size(), 3) << "no action with that key: nothing runs";
    run(0);
    EXPECT_EQ(store.count(), 2) << "another action adds its own entry";
}

TEST_F(ActionSessionTest, WithAutoRememberOffNothingIsStoredOrLearned)
{
    changeSettings([](AppSettings& s) { s.autoRemember = false; });
    for (int i = 0; i < 5; ++i)
        store.add(QStringLiteral("解释"), QStringLiteral("旧 %1").arg(i), QStringLiteral("答"), QString());
    answers({"答案", "修订"});
    open();
    run(0);
    revise(QStringLiteral("再短"));
    processEventsFor(50);
    EXPECT_EQ(store.count(), 5);
    EXPECT_FALSE(session->currentEntryId());
    EXPECT_FALSE(session->toggleFavorite());
    EXPECT_EQ(engine->profileChats(), 0);
}

TEST_F(ActionSessionTest, TheProfileIsLearnedInTheBackgroundOneRegenerationAtATime)
{
    for (int i = 0; i < 4; ++i)
        store.add(QStringLiteral("解释"), QStringLiteral("旧 %1").arg(i), QStringLiteral("答"), QString());
    changeSettings([](AppSettings& s) { s.profileEnabled = false; });
    engine->holdProfileChat = true;
    answers({"一", "二", "三"});
    open();
    run(0);
    EXPECT_FALSE(session->profileRegenerationRunning()) << "switched off";

    changeSettings([](AppSettings& s) { s.profileEnabled = true; });
    run(1);
    EXPECT_TRUE(session->profileRegenerationRunning());
    ASSERT_TRUE(processEventsUntil([&] { return engine->profileChats() == 1; }));
    open();
    run(0); // due again by count, but one is still running
    bool finished = false;
    QObject::connect(session.get(), &ActionSession::profileRegenerationFinished, [&finished] { finished = true; });
    engine->release();
    ASSERT_TRUE(processEventsUntil([&] { return finished; }));
    EXPECT_EQ(engine->profileChats(), 1);
    EXPECT_FALSE(session->profileRegenerationRunning());
}

TEST_F(ActionSessionTest, TheRecallClickShowsTheRememberedAnswerInPlaceOfTheRun)
{
    open(QStringLiteral("出租车"));
    EXPECT_FALSE(session->recallHit());
    EXPECT_FALSE(session->showRecalledAnswer());

    KnowledgeEntry earlier = *store.entry(*store.add(QStringLiteral("翻译"), QStringLiteral("  量子纠缠 "),
                                                     QStringLiteral("quantum entanglement"), QString()));
    earlier.note = QStringLiteral(" 考试要点 ");
    store.update(earlier);
    engine->add(Script::held({QStringLiteral("半")}));
    open();
    ASSERT_TRUE(session->recallHit());
    session->runAction(0);
    ASSERT_TRUE(waitFor(QStringLiteral("delta 半")));

    const std::optional<ActionSession::RecalledAnswer> shown = session->showRecalledAnswer();
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->text, QStringLiteral("quantum entanglement\n\n— 你的笔记：考试要点"));
    EXPECT_TRUE(shown->status.startsWith(QStringLiteral("来自你的记忆 · 上次 "))
                && shown->status.endsWith(QStringLiteral("（翻译）")))
        << shown->status.toStdString();
    EXPECT_FALSE(session->isRunning() || session->inConversation() || session->currentEntryId());
    processEventsFor(50);
    EXPECT_FALSE(events.last().startsWith(QLatin1String("delta [after"))) << "the cancelled run is silent";
}

TEST_F(ActionSessionTest, FavoriteAndCollection)
{
    engine->add(Script::streamed({QStringLiteral("答案")}));
    open();
    run(0);
    EXPECT_EQ(session->toggleFavorite(), true);
    EXPECT_EQ(session->toggleFavorite(), false);

    using Collected = ActionSession::Collected;
    open(QStringLiteral("  \n\t"));
    EXPECT_EQ(session->collectSelection(), Collected::blank);
    open(QStringLiteral(" 熵增 \n"));
    EXPECT_EQ(session->collectSelection(), Collected::saved);
    open(QStringLiteral("截来的字"), 999, SourceKind::ocr); // that application has quit
    EXPECT_EQ(session->collectSelection(), Collected::saved);

    ASSERT_EQ(store.collections(QString()).size(), 2);
    const KnowledgeEntry selection = store.collections(QStringLiteral("熵增")).value(0);
    const KnowledgeEntry screenshot = store.collections(QStringLiteral("截来")).value(0);
    EXPECT_EQ(selection.sourceText, QStringLiteral(" 熵增 \n")) << "the selection is stored as it was";
    EXPECT_EQ(selection.note, QStringLiteral("划词"));
    EXPECT_EQ(selection.appName, QStringLiteral("Mousepad"));
    EXPECT_EQ(screenshot.note, QStringLiteral("截图"));
    EXPECT_TRUE(screenshot.appName.isEmpty());
}

TEST_F(ActionSessionTest, AnAnswerTheStoreCannotWriteIsReportedAndNotRemembered)
{
    KnowledgeStore unwritable(QStringLiteral("/dev/null/knowledge.json"), noModels);
    session = std::make_unique<ActionSession>(engine, unwritable, tasks, *platform.workspace);
    record(*session);
    QObject::connect(session.get(), &ActionSession::storeFailed,
                     [this](const QString& message) { events << QStringLiteral("not stored ") + message; });
    engine->add(Script::streamed({QStringLiteral("答案")}));
    open();
    run(0);
    EXPECT_TRUE(events.contains(QStringLiteral("not stored 未能写入知识库，这次结果没有被记住")))
        << events.join('\n').toStdString();
    EXPECT_FALSE(session->currentEntryId());
    EXPECT_EQ(session->collectSelection(), ActionSession::Collected::failed);
    EXPECT_EQ(unwritable.count(), 0);
    session.reset();
    tasks.waitForDone();
}

TEST_F(ActionSessionTest, ASessionThatIsGoneReceivesNothingAndWaitsForNoCall)
{
    engine->add(Script::deafTo({QStringLiteral("半")}));
    open();
    session->runAction(0);
    ASSERT_TRUE(waitFor(QStringLiteral("delta 半")));
    const QStringList before = events;
    session.reset(); // returns while the engine call ignores its cancel
    engine->release();
    tasks.waitForDone();
    processEventsFor(100);
    EXPECT_FALSE(engine->deafGaveUp()) << "destroying the session waited for the engine call";
    EXPECT_EQ(events, before);
}

}
