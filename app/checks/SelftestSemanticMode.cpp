#include "app/Modes.h"

#include "app/checks/CheckList.h"
#include "engines/ollama/ManagedOllama.h"
#include "engines/ollama/OllamaEmbedder.h"
#include "memory/KnowledgeStore.h"
#include "memory/SemanticRecall.h"
#include "settings/SettingsStore.h"

namespace {

// The parts that need no model: the arithmetic, the CJK test and failing open.
void checkWithoutModel(CheckList& checks, const QString& file)
{
    checks.check(qAbs(SemanticRecall::cosine({0.3, -1.2, 2.5}, {0.3, -1.2, 2.5}) - 1.0) < 1e-12
                     && SemanticRecall::cosine({1, 0}, {0, 1}) == 0 && SemanticRecall::cosine({}, {}) == 0
                     && SemanticRecall::cosine({1, 2}, {1, 2, 3}) == 0 && SemanticRecall::cosine({0, 0}, {1, 1}) == 0,
                 QStringLiteral("cosine: identical 1, orthogonal 0, empty, unequal or zero vectors 0"));
    checks.check(
        SemanticRecall::containsCJK(QStringLiteral("熵")) && SemanticRecall::containsCJK(QStringLiteral("カナ"))
            && !SemanticRecall::containsCJK(QStringLiteral("plain")) && !SemanticRecall::containsCJK(QString()),
        QStringLiteral("CJK test: ideographs and kana yes, Latin and empty no"));

    SemanticRecall noModels(std::make_shared<NoSentenceEmbedder>());
    KnowledgeStore store(file, noModels);
    const bool stored = store
                            .add(QStringLiteral("解释"), QStringLiteral("Second Law of Thermodynamics"),
                                 QStringLiteral("answer"), QString())
                            .has_value();
    const auto hit = store.recall(QStringLiteral("second law of thermodynamics"));
    checks.check(stored && hit && !hit->semantic, QStringLiteral("without a model, exact recall still hits"));
    checks.check(!store.recall(QStringLiteral("why does disorder grow")) && !noModels.embed(QStringLiteral("text"))
                     && !noModels.similarity(QStringLiteral("a"), QString()),
                 QStringLiteral("without a model, the semantic layer finds nothing and fails no one"));
    store.clearAll();
}

void checkWithModel(CheckList& checks, const QString& file, SemanticRecall& semantic)
{
    KnowledgeStore store(file, semantic);
    const QString stored = QStringLiteral("为什么孤立系统的熵总是增加");
    const std::optional<QString> entropy =
        store.add(QStringLiteral("解释"), stored, QStringLiteral("answer"), QString());
    const auto hit = store.recall(QStringLiteral("孤立系统的熵为什么总是在增加呢"));
    checks.check(entropy && hit && hit->semantic && hit->latest.id == *entropy,
                 QStringLiteral("a question meaning the same as the stored sentence about entropy is recalled"));
    checks.check(!store.recall(QStringLiteral("明天的天气怎么样")),
                 QStringLiteral("a question about the weather is not"));
    const std::optional<double> related = semantic.similarity(stored, QStringLiteral("熵为什么在孤立系统里只增不减"));
    const std::optional<double> lunch = semantic.similarity(stored, QStringLiteral("中午去食堂吃面条还是米饭"));
    checks.check(related && lunch && *related > *lunch,
                 QStringLiteral("the stored sentence is closer to a related question (%1) than to lunch (%2)")
                     .arg(related.value_or(0), 0, 'f', 3)
                     .arg(lunch.value_or(0), 0, 'f', 3));
}

int selftestSemantic(const QStringList&)
{
    CheckList checks;
    ThrowAwayHome home;
    if (checks.check(home.isValid(), QStringLiteral("throw-away directory ") + home.path()))
        checkWithoutModel(checks, home.knowledgeFile());

    const QString model = SettingsStore::load().embeddingModel;
    const QString where = ManagedOllama::baseURL();
    SemanticRecall semantic(std::make_shared<OllamaEmbedder>());
    if (checks.check(semantic.isAvailable(), QStringLiteral("the embedding model %1 answers at %2").arg(model, where)))
        checkWithModel(checks, home.knowledgeFile(), semantic);
    else
        checks.note(QStringLiteral("semantic recall needs an Ollama serving it: ollama pull %1").arg(model));
    return checks.finish("SEMANTIC_SELFTEST_PASS", "SEMANTIC_SELFTEST_FAIL");
}

}

const Mode selftestSemanticMode = {AppObject::none, nullptr,
                                   "check semantic recall (needs the embedding model in Ollama)", selftestSemantic};
