#include "app/modes/Modes.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

#include "app/modes/CheckList.h"
#include "memory/KnowledgeStore.h"
#include "memory/SemanticRecall.h"

namespace {

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

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
    const QString hostile = QStringLiteral("line\nbreak \"quotes\" \\backslash\\ 😀 ") + QStringLiteral("熵").repeated(100000);
    QStringList ids;
    {
        KnowledgeStore store(file, noModels);
        ids = {store.add(QStringLiteral("解释"), QStringLiteral("Quantum 熵增"), QStringLiteral("熵总是增加"), QStringLiteral("Firefox")),
               store.add(QStringLiteral("翻译"), hostile, hostile, QString()),
               store.add(QStringLiteral("改写"), QString(), QString(), QString())};
        store.addCollection(QStringLiteral("saved from a selection"), QStringLiteral("划词"), QStringLiteral("Mousepad"));
        store.addCollection(QStringLiteral("saved from a screenshot"), QStringLiteral("截图"), QString());
    }
    checks.check(QSet<QString>(ids.begin(), ids.end()).size() == 3, QStringLiteral("three lookups got three ids"));
    checks.check(QFile::permissions(file) == (QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser),
                 QStringLiteral("the file is readable by its owner only"));

    KnowledgeStore store(file, noModels);
    checks.check(store.count() == 5, QStringLiteral("a new store reads all five entries back"));
    const std::optional<KnowledgeEntry> reread = store.entry(ids[1]);
    checks.check(reread && reread->sourceText == hostile && reread->resultText == hostile,
                 QStringLiteral("line breaks, quotes, backslashes, emoji and 300 KB survive unchanged"));
    checks.check(store.search(QStringLiteral("QUANTUM"), false).size() == 1, QStringLiteral("search ignores case"));
    checks.check(store.search(QString(), false).size() == 3, QStringLiteral("an empty search lists the lookups only"));
    checks.check(store.collections(QStringLiteral("截图")).size() == 1, QStringLiteral("collections filter by source label"));

    checks.check(store.toggleFavorite(ids[0]) && store.search(QStringLiteral("熵"), true).size() == 1,
                 QStringLiteral("a starred lookup is found with favourites only"));
    store.updateResult(ids[0], QStringLiteral("新的回答"));
    const KnowledgeEntry updated = *store.entry(ids[0]);
    checks.check(updated.resultText == QStringLiteral("新的回答") && updated.favorite,
                 QStringLiteral("updateResult changes the answer and keeps the star"));

    const std::optional<KnowledgeStore::RecallHit> hit = store.recall(QStringLiteral("  quantum   熵增 "));
    checks.check(hit && hit->count == 1 && !hit->semantic && hit->latest.id == ids[0],
                 QStringLiteral("exact recall finds the lookup by its normalised text"));
    checks.check(!store.recall(QStringLiteral("saved from a selection")), QStringLiteral("collected snippets are never recalled"));

    const QString exported = home.path() + QStringLiteral("/export.json");
    checks.check(store.exportJSON(exported) && QJsonDocument::fromJson(fileBytes(exported)).array().size() == 5,
                 QStringLiteral("exportJSON writes a valid array of every entry"));

    store.remove(ids[2]);
    checks.check(KnowledgeStore(file, noModels).count() == 4, QStringLiteral("a deletion is on disk at once"));
    store.clearAll();
    checks.check(QJsonDocument::fromJson(fileBytes(file)).array().isEmpty() && KnowledgeStore(file, noModels).count() == 0,
                 QStringLiteral("clearAll leaves an empty array on disk"));

    QFile broken(file);
    broken.open(QIODevice::WriteOnly);
    broken.write("this is not JSON");
    broken.close();
    KnowledgeStore damaged(file, noModels);
    checks.check(damaged.count() == 0, QStringLiteral("an undecodable file loads as an empty store"));
    damaged.add(QStringLiteral("解释"), QStringLiteral("after the damage"), QString(), QString());
    const QStringList aside = QDir(home.path()).entryList({QStringLiteral("knowledge.json.corrupt-*")});
    checks.check(aside.size() == 1 && fileBytes(home.path() + QLatin1Char('/') + aside.value(0)) == "this is not JSON",
                 QStringLiteral("the undecodable file is kept aside before the next write"));
    return checks.finish("KNOWLEDGE_SELFTEST_PASS", "KNOWLEDGE_SELFTEST_FAIL");
}

}

const Mode selftestKnowledgeMode = {AppObject::none, nullptr, "check the knowledge store on a throw-away file", selftestKnowledge};
