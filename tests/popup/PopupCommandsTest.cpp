// The popup's command-line modes run as the program, in a private network namespace and a scratch home: `quillo --ask`
// against fake_ollama and fake_openai on the real ports, the end-to-end check and the images of the popup's states.
#include <gtest/gtest.h>

#include <csignal>

#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include "core/ActionKey.h"
#include "memory/KnowledgeStore.h"
#include "memory/SemanticRecall.h"
#include "profile/ProfileEngine.h"
#include "profile/ProfileStore.h"
#include "prompts/PromptLibrary.h"
#include "settings/L10n.h"
#include "settings/SettingsStore.h"
#include "tests/support/FakeServers.h"
#include "tests/support/Files.h"
#include "tests/support/OwnOllama.h"
#include "tests/support/Printers.h"
#include "tests/support/RunProgram.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/ScratchHome.h"

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

class PopupCommandsTest : public ::testing::Test {
protected:
    ScopedEnv lang{"SELVANE_UI_LANG", "zh"}; // before the home, which forgets the language it resolved
    ScratchHome home;
    ScopedEnv knowledgeFile{"SELVANE_KNOWLEDGE_FILE",
                            QFile::encodeName(home.path() + QStringLiteral("/knowledge.json"))};
    ScopedEnv profileFile{"SELVANE_PROFILE_FILE", QFile::encodeName(home.path() + QStringLiteral("/profile.json"))};
    ScopedEnv noOllamaHost{"OLLAMA_HOST", QByteArray()};
    ScopedEnv noDisplay{"DISPLAY", QByteArray()};

    static ProgramResult quillo(const QStringList& args, const QByteArray& input = {})
    {
        return runProgram(quilloBinary(), args, QProcessEnvironment::systemEnvironment(), input);
    }
    static ProgramResult ask(const QStringList& args, const QByteArray& input = {})
    {
        return quillo(QStringList{QStringLiteral("--ask")} + args, input);
    }

    // The user's own Ollama: installed, running on the standard port and holding the model.
    std::unique_ptr<FakeOllamaServer> ollama;
    void startLocalEngine()
    {
        ASSERT_TRUE(writeExecutable(home.path() + QStringLiteral("/.local/bin/ollama"), readFile(fakeOllamaBinary())));
        ASSERT_TRUE(ollama = ownOllamaWith(model));
    }

    // The knowledge base the runs use, opened as another process would.
    SemanticRecall noModels{std::make_shared<NoSentenceEmbedder>()};
    KnowledgeStore stored() { return KnowledgeStore(KnowledgeStore::defaultPath(), noModels); }
    // What the runs left in it, newest first.
    QList<KnowledgeEntry> knowledge() { return stored().all(); }
};

TEST_F(PopupCommandsTest, TheLocalAnswerStreamsToStandardOutputAndIsRemembered)
{
    ASSERT_NO_FATAL_FAILURE(startLocalEngine());
    const QString userPrompt = PromptLibrary::plainUserPrompt(ActionKey::explain, QStringLiteral("量子纠缠"));

    const ProgramResult first = ask(arguments("explain 量子纠缠"));
    EXPECT_EQ(first.exitCode, 0) << first.err.toStdString();
    EXPECT_EQ(QString::fromUtf8(first.out), echo(userPrompt) + QLatin1Char('\n'));
    EXPECT_TRUE(first.err.isEmpty()) << first.err.toStdString();

    QList<KnowledgeEntry> entries = knowledge();
    ASSERT_EQ(entries.size(), 1);
    EXPECT_EQ(entries[0].resultText, echo(userPrompt));

    // The text from standard input, as it came; the earlier lookup is announced first.
    const ProgramResult again = ask(arguments("explain -"), "量子纠缠\n");
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

TEST_F(PopupCommandsTest, RequestsCarryTheOptionsTheContextAndTheProfile)
{
    ASSERT_NO_FATAL_FAILURE(startLocalEngine());
    ASSERT_TRUE(ProfileStore::save({.text = profileText}));
    const QString preamble = ProfileEngine::injectionPreamble(profileText) + QStringLiteral("\n\n");
    const QString before = QStringLiteral("We sat on the river");
    const QString after = QStringLiteral("and watched the boats.");

    struct Case {
        QStringList args;
        bool contextAndProfileOn;
        ChatMessages expected;
    };
    const QList<Case> cases = {
        {arguments("explain --explain-mode kid --before")
             << before << QStringLiteral("--after") << after << QStringLiteral("bank"),
         true,
         {ChatMessage::system(preamble + PromptLibrary::explainSystem(QStringLiteral("kid"))),
          ChatMessage::user(
              PromptLibrary::contextualUserPrompt(ActionKey::explain, QStringLiteral("bank"), before, after))}},
        {arguments("rewrite --engine local --creativity creative --before") << before << QStringLiteral("挺好用的"),
         false,
         {ChatMessage::system(
              PromptLibrary::rewriteSystem(QStringLiteral("general"), PromptLibrary::Creativity::creative)),
          ChatMessage::user(PromptLibrary::plainUserPrompt(ActionKey::rewrite, QStringLiteral("挺好用的")))}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(QLatin1Char(' ')).toStdString());
        changeSettings([&c](AppSettings& s) { s.useContext = s.profileEnabled = c.contextAndProfileOn; });
        const qsizetype sent = ollama->bodies().size();
        const ProgramResult result = ask(c.args);
        EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
        ASSERT_EQ(ollama->bodies().size(), sent + 1);
        EXPECT_EQ(messagesOf(ollama->bodies().last()), c.expected);
        EXPECT_EQ(QString::fromUtf8(result.out), echo(c.expected.last().content) + QLatin1Char('\n'));
    }
    EXPECT_EQ(SettingsStore::load(true).defaultScenario, QStringLiteral("general"))
        << "options given on the command line are not saved";
}

TEST_F(PopupCommandsTest, AFailurePrintsItsOneLineAndExitsOne)
{
    ASSERT_NO_FATAL_FAILURE(startLocalEngine());
    FakeOpenAIServer cloud(18080, apiKey);
    ASSERT_TRUE(cloud.isAnswering());
    useCustomCloud(cloud.endpoint(), apiKey);

    // What a refused key reads as is checked with the errors' lines (ErrorLinesTest) and the clients.
    const QString longText = QStringLiteral("一段足够长的文字，好让回答在中途出错之前已经有几段送到了");
    const ProgramResult cut = ask(arguments("explain --engine cloud") << longText + QStringLiteral("[[unfinished]]"));
    EXPECT_EQ(cut.exitCode, 1);
    EXPECT_EQ(QString::fromUtf8(cut.err), line("err.cutOff"));
    const QString shown = QString::fromUtf8(cut.out);
    EXPECT_TRUE(shown.startsWith(QStringLiteral("回声：")) && shown.endsWith(QLatin1Char('\n'))
                && !shown.contains(longText))
        << "what arrived stays, on a line of its own: " << cut.out.toStdString();
    EXPECT_TRUE(knowledge().isEmpty());

    const ProgramResult revised =
        ask(arguments("explain --revise") << QStringLiteral("改短 [[fail:500]]") << QStringLiteral("你好"));
    EXPECT_EQ(revised.exitCode, 1);
    EXPECT_EQ(QString::fromUtf8(revised.err), line("err.qwenOther"));
    EXPECT_EQ(QString::fromUtf8(revised.out),
              echo(PromptLibrary::plainUserPrompt(ActionKey::explain, QStringLiteral("你好")))
                  + QStringLiteral("\n\nAI · 第 2 版\n"));
    EXPECT_EQ(knowledge().size(), 1) << "the answer before the failed revision is remembered";
    EXPECT_FALSE(cut.out.contains(apiKey.toUtf8()) || revised.out.contains(apiKey.toUtf8()));
}

// Starts quillo with standard output (and standard error, with `errorToo`) on `fd` and SIGPIPE at its
// default, as a shell starts the left side of `quillo … | head`.
std::unique_ptr<QProcess> spawnOn(int fd, bool errorToo, const QStringList& args)
{
    auto child = std::make_unique<QProcess>();
    child->setChildProcessModifier([fd, errorToo] {
        signal(SIGPIPE, SIG_DFL);
        dup2(fd, STDOUT_FILENO);
        if (errorToo)
            dup2(fd, STDERR_FILENO);
    });
    child->start(quilloBinary(), args);
    return child;
}

// The exit code, or -1 when a signal ended it.
int exitCodeOf(QProcess& child)
{
    return child.waitForFinished(60000) && child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1;
}

TEST_F(PopupCommandsTest, ATerminalGetsNoControlCharactersAndAReaderThatLeavesEarlyCostsNothing)
{
    ASSERT_NO_FATAL_FAILURE(startLocalEngine());
    // BEL, a colour, a clipboard write (OSC 52), a C1 control sequence introducer, a carriage return.
    const QString hostile = QStringLiteral("A\aB\x1b[31mRED\x1b[0m\x1b]52;c;aGk=\a\u009b2JC\rD\tE");
    // A terminal in raw mode, so the bytes arrive as written.
    int terminal = -1, side = -1;
    termios raw{};
    cfmakeraw(&raw);
    ASSERT_EQ(openpty(&terminal, &side, nullptr, &raw, nullptr), 0);
    const auto shownBy = spawnOn(side, true, {QStringLiteral("--ask"), QStringLiteral("explain"), hostile});
    close(side);
    QByteArray shown;
    char buffer[4096];
    pollfd readable{terminal, POLLIN, 0};
    for (ssize_t n = 1; n > 0 && poll(&readable, 1, 60000) > 0;) { // EIO once the program closed its side
        if ((n = read(terminal, buffer, sizeof buffer)) > 0)
            shown.append(buffer, n);
    }
    close(terminal);
    EXPECT_EQ(exitCodeOf(*shownBy), 0) << shown.toStdString();
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
    const auto child = spawnOn(ends[1], false, arguments("--ask explain 读者提前走了"));
    close(ends[1]);
    EXPECT_EQ(exitCodeOf(*child), 0) << "killed by SIGPIPE, or failed";
    EXPECT_EQ(knowledge().size(), before + 1);
}

TEST_F(PopupCommandsTest, UsageErrorsPrintTheUsageAndExitTwo)
{
    const QList<QStringList> cases = {
        {},
        arguments("explain --to english text"),
        arguments("explain --bogus value text"),
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

TEST_F(PopupCommandsTest, WithoutAnyEngineItSaysHowToSetOneUp)
{
    if (systemHasOllama())
        GTEST_SKIP() << "an ollama installed on this machine makes the local engine available";
    const ProgramResult result = ask({QStringLiteral("translate"), QStringLiteral("The quick brown fox")});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(QString::fromUtf8(result.err), line("notReady.body"));
    EXPECT_TRUE(result.out.isEmpty());
    EXPECT_TRUE(knowledge().isEmpty());
}

TEST_F(PopupCommandsTest, TheBannerComesFirstAndAProfileRegenerationThisRunStartedIsAwaited)
{
    {
        KnowledgeStore store = stored();
        for (const char* source : {"美联储加息", "量化宽松", "滞胀[[stall:2]]"})
            store.add(ActionKey::explain, QString::fromUtf8(source), QStringLiteral("一个解释"), QString());
        KnowledgeEntry noted = *store.entry(
            *store.add(ActionKey::explain, QStringLiteral("通货膨胀"), QStringLiteral("一个解释"), QString()));
        noted.note = QStringLiteral("考点\n常考");
        ASSERT_TRUE(store.update(noted));
    }
    ASSERT_NO_FATAL_FAILURE(startLocalEngine());

    const ProgramResult result = ask(arguments("explain 通货膨胀"));
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(QString::fromUtf8(result.err), QStringLiteral("📌 你查过（1 次）· 笔记：考点 常考\n"))
        << "the banner is one line";
    const std::optional<UserProfile> profile = ProfileStore::load();
    ASSERT_TRUE(profile) << "the answer of the slow profile request was waited for";
    EXPECT_TRUE(profile->text.startsWith(QStringLiteral("回声：以下是这个人的最近记录")))
        << profile->text.toStdString();
    EXPECT_EQ(profile->generatedAtCount, 5);
}

TEST_F(PopupCommandsTest, TheEndToEndCheckDrivesThePopupAgainstTheEngineOnAThrowAwayStore)
{
    {
        const ScopedEnv usersOwn("SELVANE_KNOWLEDGE_FILE", QByteArray());
        const ProgramResult refused = quillo({QStringLiteral("--selftest-e2e")});
        EXPECT_EQ(refused.exitCode, 1);
        EXPECT_TRUE(refused.out.startsWith("E2E_SELFTEST_FAIL")) << "it would write into the user's own knowledge base";
    }
    ASSERT_NO_FATAL_FAILURE(startLocalEngine());
    const ProgramResult result = quillo({QStringLiteral("--selftest-e2e")});
    EXPECT_EQ(result.exitCode, 0) << result.out.toStdString();
    EXPECT_TRUE(result.out.endsWith("E2E_SELFTEST_PASS\n")) << result.out.toStdString();
    // The run and its revision went to the engine; the throw-away store holds the answer (starred) and the snippet.
    EXPECT_EQ(ollama->bodies().size(), 2);
    const QList<KnowledgeEntry> entries = knowledge();
    ASSERT_EQ(entries.size(), 2);
    EXPECT_TRUE(entries[0].favorite != entries[1].favorite && entries[0].isCollected != entries[1].isCollected);
}

TEST_F(PopupCommandsTest, RenderPreviewDrawsTheNinePopupStatesWithoutADisplay)
{
    QTemporaryDir out;
    const ProgramResult result = quillo({QStringLiteral("--render-preview"), out.path()});
    EXPECT_EQ(result.exitCode, 0) << result.out.toStdString();
    for (const char* name : {"initial", "auth-guide", "update", "explain-result", "translate-result", "conversation",
                             "xlarge", "recall", "translate-foreign"}) {
        const QImage image(out.filePath(QStringLiteral("popup-%1.png").arg(QLatin1String(name))));
        EXPECT_EQ(image.width(), 540) << name;
        EXPECT_GT(image.height(), 100) << name;
    }
    EXPECT_FALSE(QFile::exists(KnowledgeStore::defaultPath())) << "nothing was written into the knowledge base";
}

}
