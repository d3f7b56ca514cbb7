// Memory against fake_ollama on port 11434 in a private network namespace: the embedding service, and the knowledge and
// semantic self-checks as the command line runs them (the semantic one checks recall through the service).
#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>

#include "engines/ollama/OllamaEmbedder.h"
#include "settings/SettingsStore.h"
#include "tests/support/FakeServers.h"
#include "tests/support/Files.h"
#include "tests/support/OwnOllama.h"
#include "tests/support/RunProgram.h"
#include "tests/support/ScratchHome.h"

namespace {

class MemoryModesTest : public ::testing::Test {
protected:
    ScratchHome home;
    const QString sentinel = home.path() + QStringLiteral("/mine.json");

    void SetUp() override
    {
        changeSettings([](AppSettings& settings) { settings.useExternalOllama = true; });
        ASSERT_TRUE(writeFile(sentinel, "[]"));
    }

    // Runs the mode with the user's knowledge file set to the sentinel, which must stay as it is, and
    // checks its exit status and its last line; returns what it printed.
    QStringList run(const char* mode, int expectedExit, const QString& verdict)
    {
        QProcessEnvironment env = home.environment();
        env.insert(QStringLiteral("SELVANE_KNOWLEDGE_FILE"), sentinel);
        const ProgramResult result = runProgram(quilloBinary(), {QString::fromUtf8(mode)}, env);
        EXPECT_EQ(result.exitCode, expectedExit) << result.out.toStdString();
        EXPECT_EQ(readFile(sentinel), "[]") << "the user's file is never touched";
        EXPECT_FALSE(QFile::exists(home.dataDir() + QStringLiteral("/knowledge.json")));
        const QStringList lines = QString::fromUtf8(result.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        EXPECT_EQ(lines.value(lines.size() - 1), verdict);
        return lines;
    }
};

TEST_F(MemoryModesTest, TheChecksPassOnAThrowAwayFileAndTheSemanticOneOnlyWithAModel)
{
    run("--selftest-knowledge", 0, QStringLiteral("KNOWLEDGE_SELFTEST_PASS"));
    const QStringList lines = run("--selftest-semantic", 1, QStringLiteral("SEMANTIC_SELFTEST_FAIL"));
    EXPECT_EQ(lines.filter(QRegularExpression(QStringLiteral("^FAIL "))).size(), 1)
        << "only the model step fails: " << lines.join('\n').toStdString();
    const auto ollama = ownOllamaWith(QStringLiteral("bge-m3"));
    ASSERT_TRUE(ollama);
    run("--selftest-semantic", 0, QStringLiteral("SEMANTIC_SELFTEST_PASS"));
}

TEST_F(MemoryModesTest, TheEmbedderAsksForTheConfiguredModelAndSendsNothingOnceStopped)
{
    FakeOllamaServer ollama;
    ASSERT_TRUE(ollama.isAnswering() && ollama.pull(QStringLiteral("nomic-embed-text")));
    changeSettings([](AppSettings& settings) { settings.embeddingModel = QStringLiteral("nomic-embed-text"); });
    OllamaEmbedder embedder;
    EXPECT_TRUE(embedder.hasModel(SentenceEmbedder::Language::english, {}));
    const qsizetype asked = ollama.recorded().size();
    std::stop_source stop;
    stop.request_stop();
    EXPECT_FALSE(embedder.hasModel(SentenceEmbedder::Language::english, stop.get_token()));
    EXPECT_EQ(ollama.recorded().size(), asked) << "a stopped request is never sent";
}

}
