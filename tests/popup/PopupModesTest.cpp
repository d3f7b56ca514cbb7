// The popup's command-line modes, run as the program: the end-to-end check against fake_ollama
// in a private network, and the images of the popup's states.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include "memory/KnowledgeStore.h"
#include "memory/SemanticRecall.h"
#include "tests/support/FakeServers.h"
#include "tests/support/Files.h"
#include "tests/support/OwnOllama.h"
#include "tests/support/RunProgram.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/ScratchHome.h"

namespace {

class PopupModesTest : public ::testing::Test {
protected:
    ScratchHome home;
    ScopedEnv lang{"SELVANE_UI_LANG", "zh"};
    ScopedEnv noOllamaHost{"OLLAMA_HOST", QByteArray()};
    ScopedEnv noDisplay{"DISPLAY", QByteArray()};

    static ProgramResult quillo(const QStringList& args)
    {
        return runProgram(quilloBinary(), args, QProcessEnvironment::systemEnvironment());
    }
};

TEST_F(PopupModesTest, TheEndToEndCheckDrivesThePopupAgainstTheEngineOnAThrowAwayStore)
{
    // Refused while it would write into the user's own knowledge base.
    const ProgramResult refused = quillo({QStringLiteral("--selftest-e2e")});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.out.startsWith("E2E_SELFTEST_FAIL")) << refused.out.toStdString();

    ASSERT_TRUE(writeExecutable(home.path() + QStringLiteral("/.local/bin/ollama"), readFile(fakeOllamaBinary())));
    const auto ollama = ownOllamaWith(QStringLiteral("qwen2.5:7b"));
    ASSERT_TRUE(ollama);
    const QString store = home.path() + QStringLiteral("/throwaway.json");
    const ScopedEnv knowledgeFile("SELVANE_KNOWLEDGE_FILE", QFile::encodeName(store));
    const ProgramResult result = quillo({QStringLiteral("--selftest-e2e")});
    EXPECT_EQ(result.exitCode, 0) << result.out.toStdString();
    EXPECT_TRUE(result.out.endsWith("E2E_SELFTEST_PASS\n")) << result.out.toStdString();
    // The run and its revision went to the engine, and the throw-away store holds the answer
    // (starred) and the collected snippet.
    EXPECT_EQ(ollama->bodies().size(), 2);
    SemanticRecall noModels(std::make_shared<NoSentenceEmbedder>());
    const QList<KnowledgeEntry> entries = KnowledgeStore(store, noModels).all();
    ASSERT_EQ(entries.size(), 2);
    EXPECT_EQ(std::count_if(entries.cbegin(), entries.cend(), [](const KnowledgeEntry& e) { return e.favorite; }), 1);
    EXPECT_EQ(std::count_if(entries.cbegin(), entries.cend(), [](const KnowledgeEntry& e) { return e.isCollected; }),
              1);
}

TEST_F(PopupModesTest, RenderPreviewDrawsTheNinePopupStatesWithoutADisplay)
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
    // The user's settings and knowledge stay as they were: nothing was written into the home.
    EXPECT_FALSE(QFile::exists(home.dataDir() + QStringLiteral("/knowledge.json")));
}

}
