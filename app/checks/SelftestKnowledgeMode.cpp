#include "app/Modes.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

#include "app/checks/CheckList.h"
#include "memory/KnowledgeStore.h"
#include "memory/SemanticRecall.h"

namespace {

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The store of this build on a throw-away file, round trip by round trip through a reopened
// store: what the user's own knowledge base relies on.
int selftestKnowledge(const QStringList&)
{
    CheckList checks;
    ThrowAwayHome home;
    if (!checks.check(home.isValid(), QStringLiteral("throw-away directory ") + home.path()))
        return checks.finish("KNOWLEDGE_SELFTEST_PASS", "KNOWLEDGE_SELFTEST_FAIL");
    const QString file = home.knowledgeFile();
    checks.check(KnowledgeStore::defaultPath() == file, QStringLiteral("SELVANE_KNOWLEDGE_FILE chooses the file"));

    // Recall here is the exact layer; the embedding service has its own check.
    SemanticRecall noModels(std::make_shared<NoSentenceEmbedder>());
    const QString text = QStringLiteral("Quantum 熵增 \"quoted\" \\ 😀\nline two");
    std::optional<QString> lookup;
    {
        KnowledgeStore store(file, noModels);
        lookup = store.add(QStringLiteral("解释"), text, QStringLiteral("熵总是增加"), QStringLiteral("Firefox"));
        checks.check(lookup && store.addCollection(QStringLiteral("saved"), QStringLiteral("划词"), QString()),
                     QStringLiteral("a lookup and a snippet are stored"));
        checks.check(lookup && store.toggleFavorite(*lookup) == true
                         && store.updateResult(*lookup, QStringLiteral("新的回答")),
                     QStringLiteral("the lookup is starred and answered again"));
    }
    KnowledgeStore store(file, noModels);
    const std::optional<KnowledgeEntry> reread = lookup ? store.entry(*lookup) : std::nullopt;
    checks.check(store.count() == 2 && reread && reread->sourceText == text && reread->favorite
                     && reread->resultText == QStringLiteral("新的回答"),
                 QStringLiteral("a reopened store reads both back unchanged"));
    checks.check(QFile::permissions(file)
                     == (QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser),
                 QStringLiteral("the file is readable by its owner only"));
    const std::optional<KnowledgeStore::RecallHit> hit = store.recall(QStringLiteral("  quantum   熵增 "));
    checks.check(hit && !hit->semantic && reread && hit->latest.id == reread->id,
                 QStringLiteral("exact recall finds the lookup by its text"));

    const QString exported = home.path() + QStringLiteral("/export.json");
    checks.check(store.exportJSON(exported) && QJsonDocument::fromJson(fileBytes(exported)).array().size() == 2,
                 QStringLiteral("exportJSON writes every entry"));
    checks.check(store.clearAll() && QJsonDocument::fromJson(fileBytes(file)).array().isEmpty()
                     && KnowledgeStore(file, noModels).count() == 0,
                 QStringLiteral("clearAll leaves an empty array on disk"));
    return checks.finish("KNOWLEDGE_SELFTEST_PASS", "KNOWLEDGE_SELFTEST_FAIL");
}

}

const Mode selftestKnowledgeMode = {AppObject::none, nullptr, "check the knowledge store on a throw-away file",
                                    selftestKnowledge};
