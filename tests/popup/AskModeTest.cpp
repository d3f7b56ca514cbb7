// `quillo --ask` end to end against fake_ollama and fake_openai on the real ports, in a private
// network namespace, with every file of the run in a scratch home.
#include <gtest/gtest.h>

#include <csignal>

#include <poll.h>
#include <pty.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <QFile>
#include <QProcess>

#include "core/ActionKey.h"
#include "memory/KnowledgeCodec.h"
#include "memory/KnowledgeStore.h"
#include "memory/SemanticRecall.h"
#include "profile/ProfileEngine.h"
#include "profile/ProfileStore.h"
#include "prompts/PromptLibrary.h"
#include "settings/L10n.h"
#include "settings/PrivateFile.h"
#include "settings/SettingsStore.h"
#include "tests/support/ChildProcesses.h"
#include "tests/support/FakeServers.h"
#include "tests/support/Files.h"
#include "tests/support/OwnOllama.h"
#include "tests/support/Printers.h"
#include "tests/support/RunProgram.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/ScratchHome.h"
#include "tests/support/TestPrefix.h"

using namespace std::chrono_literals;

namespace {

const QString apiKey = QStringLiteral("sk-ask-test-9d41e7");
const QString model = QStringLiteral("qwen2.5:7b");
const QString profileText = QStringLiteral("关注宏观经济，偏好通俗解释");

// What the fake models answer to a last user message.
QString echo(const QString& lastUserMessage)
{
    return QStringLiteral("回声：") + lastUserMessage.trimmed();
}

QString line(const char* key)
{
    return L10n::t(key) + QLatin1Char('\n');
}

class AskModeTest : public ::testing::Test {
protected:
    ScratchHome home;
    ScopedEnv knowledgeFile{"SELVANE_KNOWLEDGE_FILE",
                            QFile::encodeName(home.path() + QStringLiteral("/knowledge.json"))};
    ScopedEnv profileFile{"SELVANE_PROFILE_FILE", QFile::encodeName(home.path() + QStringLiteral("/profile.json"))};
    ScopedEnv lang{"SELVANE_UI_LANG", "zh"};
    ScopedEnv noOllamaHost{"OLLAMA_HOST", QByteArray()};

    void SetUp() override { L10n::invalidate(); }

    static ProgramResult ask(const QStringList& args, const QByteArray& input = {})
    {
        return runProgram(quilloBinary(), QStringList{QStringLiteral("--ask")} + args,
                          QProcessEnvironment::systemEnvironment(), input);
    }

    // The user's own Ollama: installed, running on the standard port and holding the model.
    std::unique_ptr<FakeOllamaServer> startLocalEngine() const
    {
        EXPECT_TRUE(writeExecutable(home.path() + QStringLiteral("/.local/bin/ollama"), readFile(fakeOllamaBinary())));
        return ownOllamaWith(model);
    }

    static void useCloud(const FakeOpenAIServer& cloud, const QString& key = apiKey)
    {
        ASSERT_TRUE(cloud.isAnswering());
        useCustomCloud(cloud.endpoint(), key);
    }

    // What the runs left in the knowledge base, newest first.
    static QList<KnowledgeEntry> knowledge()
    {
        SemanticRecall noModels(std::make_shared<NoSentenceEmbedder>());
        return KnowledgeStore(KnowledgeStore::defaultPath(), noModels).all();
    }
};

TEST_F(AskModeTest, TheLocalAnswerStreamsToStandardOutputAndIsRemembered)
{
    const auto ollama = startLocalEngine();
    ASSERT_TRUE(ollama);
    const QString userPrompt = PromptLibrary::plainUserPrompt(ActionKey::explain, QStringLiteral("量子纠缠"));

    const ProgramResult first = ask({QStringLiteral("explain"), QStringLiteral("量子纠缠")});
    EXPECT_EQ(first.exitCode, 0) << first.err.toStdString();
    EXPECT_EQ(QString::fromUtf8(first.out), echo(userPrompt) + QLatin1Char('\n'));
    EXPECT_TRUE(first.err.isEmpty()) << first.err.toStdString();

    QList<KnowledgeEntry> entries = knowledge();
    ASSERT_EQ(entries.size(), 1);
    EXPECT_EQ(entries[0].resultText, echo(userPrompt));

    // The text from standard input, as it came; the earlier lookup is announced first.
    const ProgramResult again = ask({QStringLiteral("explain"), QStringLiteral("-")}, "量子纠缠\n");
    EXPECT_EQ(again.exitCode, 0);
    EXPECT_EQ(QString::fromUtf8(again.err), QStringLiteral("📌 你查过这个（1 次）· 点击看上次结果\n"));
    EXPECT_EQ(QString::fromUtf8(again.out),
              echo(PromptLibrary::plainUserPrompt(ActionKey::explain, QStringLiteral("量子纠缠\n")))
                  + QLatin1Char('\n'));
    entries = knowledge();
    ASSERT_EQ(entries.size(), 2) << "every run is a lookup of its own";
    EXPECT_TRUE(std::any_of(entries.cbegin(), entries.cend(),
                            [](const KnowledgeEntry& e) { return e.sourceText == QStringLiteral("量子纠缠\n"); }));
}

TEST_F(AskModeTest, RequestsCarryTheOptionsTheContextAndTheProfile)
{
    const auto ollama = startLocalEngine();
    ASSERT_TRUE(ollama);
    UserProfile profile;
    profile.text = profileText;
    ASSERT_TRUE(ProfileStore::save(profile));
    const QString preamble = ProfileEngine::injectionPreamble(profileText) + QStringLiteral("\n\n");
    const QString before = QStringLiteral("We sat on the river");
    const QString after = QStringLiteral("and watched the boats.");

    struct Case {
        QStringList args;
        bool contextAndProfileOn;
        ChatMessages expected;
    };
    const QList<Case> cases = {
        {{QStringLiteral("explain"), QStringLiteral("--explain-mode"), QStringLiteral("kid"),
          QStringLiteral("--before"), before, QStringLiteral("--after"), after, QStringLiteral("bank")},
         true,
         {ChatMessage::system(preamble + PromptLibrary::explainSystem(QStringLiteral("kid"))),
          ChatMessage::user(
              PromptLibrary::contextualUserPrompt(ActionKey::explain, QStringLiteral("bank"), before, after))}},
        {{QStringLiteral("rewrite"), QStringLiteral("--engine"), QStringLiteral("local"),
          QStringLiteral("--creativity"), QStringLiteral("creative"), QStringLiteral("--before"), before,
          QStringLiteral("挺好用的")},
         false,
         {ChatMessage::system(
              PromptLibrary::rewriteSystem(QStringLiteral("general"), PromptLibrary::Creativity::creative)),
          ChatMessage::user(PromptLibrary::plainUserPrompt(ActionKey::rewrite, QStringLiteral("挺好用的")))}},
    };
    for (const Case& c : cases) {
        changeSettings([&c](AppSettings& s) { s.useContext = s.profileEnabled = c.contextAndProfileOn; });
        const qsizetype sent = ollama->bodies().size();
        const ProgramResult result = ask(c.args);
        EXPECT_EQ(result.exitCode, 0) << c.args.join(QLatin1Char(' ')).toStdString() << "\n"
                                      << result.err.toStdString();
        const QList<QJsonObject> requests = ollama->bodies();
        ASSERT_EQ(requests.size(), sent + 1);
        EXPECT_EQ(messagesOf(requests.last()), c.expected) << c.args.join(QLatin1Char(' ')).toStdString();
        EXPECT_EQ(QString::fromUtf8(result.out), echo(c.expected.last().content) + QLatin1Char('\n'));
    }
    const AppSettings stored = SettingsStore::load(true);
    EXPECT_EQ(stored.defaultScenario, QStringLiteral("general")) << "options given on the command line are not saved";
}

TEST_F(AskModeTest, RevisionsFollowWithTheirVersionHeadersOnTheActionsEngine)
{
    FakeOpenAIServer cloud(18080, apiKey);
    useCloud(cloud);
    const QString text = QStringLiteral("这个东西挺好用的");
    const QString first = echo(PromptLibrary::plainUserPrompt(ActionKey::rewrite, text));
    const QString second = echo(PromptLibrary::followUpRevisePrompt(QStringLiteral("再短一点")));
    const QString third = echo(PromptLibrary::followUpRevisePrompt(QStringLiteral("更口语")));

    const ProgramResult result = ask({QStringLiteral("rewrite"), QStringLiteral("--revise"), QStringLiteral("再短一点"),
                                      QStringLiteral("--revise"), QStringLiteral("更口语"), text});
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(QString::fromUtf8(result.out),
              first + QStringLiteral("\n\nAI · 第 2 版\n") + second + QStringLiteral("\n\nAI · 第 3 版\n") + third
                  + QLatin1Char('\n'));
    EXPECT_FALSE(result.out.contains(apiKey.toUtf8()) || result.err.contains(apiKey.toUtf8()));
    EXPECT_EQ(cloud.bodies().size(), 3) << "the revisions went to the engine of the action";
}

TEST_F(AskModeTest, AFailurePrintsItsOneLineAndExitsOne)
{
    const auto ollama = startLocalEngine();
    FakeOpenAIServer cloud(18080, apiKey);
    const QString longText = QStringLiteral("一段足够长的文字，好让回答在中途出错之前已经有几段送到了");

    struct Case {
        QString key; // the configured cloud key
        QStringList args;
        const char* errorKey;
        QString out;
    };
    const QList<Case> cases = {
        {QStringLiteral("sk-wrong"), {QStringLiteral("rewrite"), QStringLiteral("你好")}, "err.cloudAuth", {}},
        {apiKey,
         {QStringLiteral("explain"), QStringLiteral("--engine"), QStringLiteral("cloud"),
          longText + QStringLiteral("[[unfinished]]")},
         "err.cutOff",
         QStringLiteral("partial")},
        {apiKey,
         {QStringLiteral("explain"), QStringLiteral("--revise"), QStringLiteral("改短 [[fail:500]]"),
          QStringLiteral("你好")},
         "err.qwenOther",
         echo(PromptLibrary::plainUserPrompt(ActionKey::explain, QStringLiteral("你好")))
             + QStringLiteral("\n\nAI · 第 2 版\n")},
    };
    for (const Case& c : cases) {
        useCloud(cloud, c.key);
        const QList<KnowledgeEntry> before = knowledge();
        const ProgramResult result = ask(c.args);
        const std::string what = c.args.join(QLatin1Char(' ')).toStdString();
        EXPECT_EQ(result.exitCode, 1) << what;
        EXPECT_EQ(QString::fromUtf8(result.err), line(c.errorKey)) << what;
        if (c.out == QLatin1String("partial")) {
            const QString shown = QString::fromUtf8(result.out);
            EXPECT_TRUE(shown.startsWith(QStringLiteral("回声：")) && shown.endsWith(QLatin1Char('\n'))
                        && !shown.contains(longText))
                << "what arrived stays, on a line of its own: " << what << "\n"
                << result.out.toStdString();
        } else {
            EXPECT_EQ(QString::fromUtf8(result.out), c.out) << what;
        }
        EXPECT_EQ(knowledge().size(), before.size() + (c.args.contains(QStringLiteral("--revise")) ? 1 : 0)) << what;
    }
}

// Runs quillo with standard output and standard error on a terminal in raw mode, so its bytes
// arrive as written. What the terminal received, and the exit status (-1: it did not exit).
std::pair<QByteArray, int> runOnTerminal(const QStringList& args)
{
    const QByteArray program = QFile::encodeName(quilloBinary());
    QList<QByteArray> encoded;
    for (const QString& arg : args)
        encoded.append(arg.toUtf8());
    std::vector<char*> argv{const_cast<char*>(program.constData())};
    for (QByteArray& arg : encoded)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    termios raw{};
    cfmakeraw(&raw);
    int terminal = -1;
    const pid_t child = forkpty(&terminal, nullptr, &raw, nullptr);
    if (child == 0) {
        execv(argv[0], argv.data());
        _exit(127);
    }
    if (child < 0)
        return {{}, -1};
    QByteArray received;
    char buffer[4096];
    pollfd readable{terminal, POLLIN, 0};
    while (poll(&readable, 1, 60000) > 0) {
        const ssize_t n = read(terminal, buffer, sizeof buffer);
        if (n <= 0)
            break; // EIO once the program closed its side
        received.append(buffer, n);
    }
    close(terminal);
    int status = 0;
    waitpid(child, &status, 0);
    return {received, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

TEST_F(AskModeTest, ATerminalGetsNoControlCharactersAndAReaderThatLeavesEarlyCostsNothing)
{
    const auto ollama = startLocalEngine();
    ASSERT_TRUE(ollama);
    // BEL, a colour, a clipboard write (OSC 52), a C1 control sequence introducer, a carriage return.
    const QString hostile = QStringLiteral("A\aB\x1b[31mRED\x1b[0m\x1b]52;c;aGk=\a\u009b2JC\rD\tE");
    const auto [shown, status] = runOnTerminal({QStringLiteral("--ask"), QStringLiteral("explain"), hostile});
    EXPECT_EQ(status, 0) << shown.toStdString();
    EXPECT_TRUE(shown.contains("AB[31mRED[0m]52;c;aGk=2JCD\tE")) << shown.toStdString();
    const QString text = QString::fromUtf8(shown);
    EXPECT_TRUE(std::none_of(text.cbegin(), text.cend(), [](QChar c) {
        return (c < QChar(0x20) && c != u'\n' && c != u'\t') || (c >= QChar(0x7f) && c <= QChar(0x9f));
    })) << "no control character but line feeds and tabs reaches the terminal";
    EXPECT_TRUE(ask({QStringLiteral("explain"), hostile}).out.contains("\x1b[31mRED"))
        << "a pipe gets the answer as it came";

    // The reader is gone before the first byte: the lookup is still remembered and the run ends well.
    const qsizetype before = knowledge().size();
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    close(ends[0]);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &pipeSignal); // as a shell starts the left side of `| head`
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    const QByteArray program = QFile::encodeName(quilloBinary());
    char* argv[] = {const_cast<char*>(program.constData()), const_cast<char*>("--ask"), const_cast<char*>("explain"),
                    const_cast<char*>("读者提前走了"), nullptr};
    pid_t child = -1;
    ASSERT_EQ(posix_spawn(&child, argv[0], &actions, &attributes, argv, environ), 0);
    close(ends[1]);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    int status2 = 0;
    ASSERT_EQ(waitpid(child, &status2, 0), child);
    EXPECT_TRUE(WIFEXITED(status2) && WEXITSTATUS(status2) == 0)
        << (WIFSIGNALED(status2) ? "killed by signal " : "exit ")
        << (WIFSIGNALED(status2) ? WTERMSIG(status2) : WEXITSTATUS(status2));
    EXPECT_EQ(knowledge().size(), before + 1);
}

TEST_F(AskModeTest, UsageErrorsPrintTheUsageAndExitTwo)
{
    const QList<QStringList> cases = {
        {},
        {QStringLiteral("explain"), QStringLiteral("--to"), QStringLiteral("english"), QStringLiteral("text")},
        {QStringLiteral("explain"), QStringLiteral("--bogus"), QStringLiteral("value"), QStringLiteral("text")},
        {QStringLiteral("explain"), QStringLiteral("--revise"), QStringLiteral(" "), QStringLiteral("text")},
        {QStringLiteral("explain"), QStringLiteral(" \n ")},
    };
    for (const QStringList& args : cases) {
        const ProgramResult result = ask(args);
        EXPECT_EQ(result.exitCode, 2) << args.join(QLatin1Char(' ')).toStdString();
        EXPECT_TRUE(result.out.isEmpty());
        EXPECT_TRUE(result.err.startsWith("quillo --ask: ")
                    && result.err.contains("\nUsage: quillo --ask ACTION [options] [TEXT]\n"))
            << result.err.toStdString();
    }
    EXPECT_EQ(ask({QStringLiteral("explain")}, " \n").exitCode, 2) << "blank standard input";
}

TEST_F(AskModeTest, WithoutAnyEngineItSaysHowToSetOneUp)
{
    if (systemHasOllama())
        GTEST_SKIP() << "an ollama installed on this machine makes the local engine available";
    const ProgramResult result = ask({QStringLiteral("translate"), QStringLiteral("The quick brown fox")});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(QString::fromUtf8(result.err), line("notReady.body"));
    EXPECT_TRUE(result.out.isEmpty());
    EXPECT_TRUE(knowledge().isEmpty());
}

TEST_F(AskModeTest, CtrlCCancelsSilentlyAndStopsTheBuiltInEngineItStarted)
{
    ChildProcesses::adoptOrphans();
    TestPrefix prefix;
    const QString installed = prefix.installQuillo();
    prefix.installEngine();
    {
        // The model, downloaded earlier into the built-in engine's own directory.
        QProcessEnvironment models;
        models.insert(QStringLiteral("OLLAMA_MODELS"), home.path() + QStringLiteral("/.local/share/quillo/models"));
        const FakeOllamaServer earlier(QStringLiteral("127.0.0.1:11435"), models);
        ASSERT_TRUE(earlier.isAnswering() && earlier.pull(model));
    }
    QProcess quillo;
    quillo.start(
        installed,
        {QStringLiteral("--ask"), QStringLiteral("explain"), QStringLiteral("一段会在中途停很久的文字[[stall:60]]")});
    ASSERT_TRUE(quillo.waitForReadyRead(60000)) << "the first half of the answer streams";
    const QList<pid_t> engines = ChildProcesses::childrenOf(pid_t(quillo.processId()));
    ASSERT_EQ(engines.size(), 1) << "quillo started its built-in engine";
    ::kill(pid_t(quillo.processId()), SIGINT);
    ASSERT_TRUE(quillo.waitForFinished(10000)) << "the stalled stream is cancelled at once";
    EXPECT_EQ(quillo.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(quillo.exitCode(), 130);
    EXPECT_TRUE(quillo.readAllStandardError().isEmpty());
    EXPECT_TRUE(ChildProcesses::waitGone(engines.first(), 5s)) << "the engine outlived quillo";
    if (!ChildProcesses::waitGone(engines.first(), 0ms))
        ChildProcesses::killAndReap(engines.first());
    EXPECT_TRUE(knowledge().isEmpty());
}

TEST_F(AskModeTest, TheBannerComesFirstAndAProfileRegenerationThisRunStartedIsAwaited)
{
    QList<KnowledgeEntry> earlier;
    for (const char* source : {"通货膨胀", "美联储加息", "量化宽松", "滞胀[[stall:2]]"}) {
        KnowledgeEntry entry;
        entry.id = KnowledgeEntry::newId();
        entry.action = ActionKey::explain;
        entry.sourceText = QString::fromUtf8(source);
        entry.resultText = QStringLiteral("一个解释");
        entry.createdAt = entry.updatedAt = QDateTime::currentDateTimeUtc();
        earlier.append(entry);
    }
    earlier[0].note = QStringLiteral("考点\n常考");
    ASSERT_TRUE(PrivateFile::writeAtomically(KnowledgeStore::defaultPath(), KnowledgeCodec::encode(earlier)));
    const auto ollama = startLocalEngine();

    const ProgramResult result = ask({QStringLiteral("explain"), QStringLiteral("通货膨胀")});
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(QString::fromUtf8(result.err), QStringLiteral("📌 你查过（1 次）· 笔记：考点 常考\n"))
        << "the banner is one line";
    const std::optional<UserProfile> profile = ProfileStore::load();
    ASSERT_TRUE(profile) << "the answer of the slow profile request was waited for";
    EXPECT_TRUE(profile->text.startsWith(QStringLiteral("回声：以下是这个人的最近记录")))
        << profile->text.toStdString();
    EXPECT_EQ(profile->generatedAtCount, 5);
}

}
