// The embedding service through the local Ollama's /api/embed, against fake_ollama on the real
// port 11434 in a private network namespace. Recall with it is checked by --selftest-semantic.
#include <gtest/gtest.h>

#include <QElapsedTimer>

#include "memory/OllamaEmbedder.h"
#include "memory/SemanticRecall.h"
#include "settings/SettingsStore.h"
#include "tests/support/FakeServers.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/ScratchHome.h"

namespace {

using Language = SentenceEmbedder::Language;

class OllamaEmbedderTest : public ::testing::Test {
protected:
    ScratchHome home;

    void SetUp() override
    {
        changeSettings([](AppSettings& settings) { settings.useExternalOllama = true; });
    }
};

TEST_F(OllamaEmbedderTest, NoServerOrNoModelMeansNoModel)
{
    OllamaEmbedder embedder;
    EXPECT_FALSE(embedder.hasModel(Language::english)) << "nothing listens on the port";

    FakeOllamaServer ollama;
    ASSERT_TRUE(ollama.isAnswering());
    SemanticRecall semantic(std::make_shared<OllamaEmbedder>());
    EXPECT_FALSE(semantic.isAvailable()) << "the server has no bge-m3";
    ASSERT_TRUE(ollama.pull(QStringLiteral("bge-m3")));
    EXPECT_FALSE(semantic.isAvailable()) << "the first answer stands for the life of the process";
    EXPECT_FALSE(semantic.embed(QStringLiteral("熵增")));
}

TEST_F(OllamaEmbedderTest, AskForTheConfiguredModelAndReadTheVector)
{
    FakeOllamaServer ollama;
    ASSERT_TRUE(ollama.isAnswering());
    ASSERT_TRUE(ollama.pull(QStringLiteral("nomic-embed-text")));
    changeSettings([](AppSettings& settings) { settings.embeddingModel = QStringLiteral("nomic-embed-text"); });

    OllamaEmbedder embedder;
    EXPECT_TRUE(embedder.hasModel(Language::simplifiedChinese));
    const std::optional<Embedding> vector = embedder.vector(Language::english, QStringLiteral("closed systems 😀"));
    ASSERT_TRUE(vector);
    EXPECT_EQ(vector->size(), 64u);
    const QJsonObject last = ollama.recorded().last();
    EXPECT_EQ(last.value("path").toString(), QStringLiteral("/api/embed"));
    EXPECT_EQ(last.value("body").toObject(), (QJsonObject{{"model", "nomic-embed-text"}, {"input", "closed systems 😀"}}));

    EXPECT_FALSE(embedder.vector(Language::english, QStringLiteral("broken [[fail:500]]")));
    ScopedEnv quick("SELVANE_HTTP_IDLE_TIMEOUT_MS", "300");
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(embedder.vector(Language::english, QStringLiteral("silent [[stall:5]]")));
    EXPECT_LT(clock.elapsed(), 3000) << "a silent server does not hold recall up";
}

}
