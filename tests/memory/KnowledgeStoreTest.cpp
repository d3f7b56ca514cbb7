#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include "memory/KnowledgeCodec.h"
#include "memory/KnowledgeStore.h"
#include "memory/SemanticRecall.h"
#include "tests/support/EventLoop.h"
#include "tests/support/Files.h"
#include "tests/support/Printers.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/ScratchHome.h"

namespace {

class KnowledgeStoreTest : public ::testing::Test {
protected:
    ScratchHome home;
    const QString file = home.dataDir() + QStringLiteral("/knowledge.json");
    SemanticRecall noModels{std::make_shared<NoSentenceEmbedder>()};

    std::unique_ptr<KnowledgeStore> open(int foldAfter = KnowledgeStore::defaultFoldAfterChanges)
    {
        return std::make_unique<KnowledgeStore>(file, noModels, foldAfter);
    }
    QStringList filesBeside() const { return QDir(home.dataDir()).entryList(QDir::Files | QDir::Hidden); }
    // The entries of the file alone, without its journal.
    QList<KnowledgeEntry> inFile() const { return KnowledgeCodec::decode(readFile(file)).value_or(QList<KnowledgeEntry>()); }
};

// The source texts, sorted when the order is not the point.
QStringList sources(const QList<KnowledgeEntry>& entries, bool sorted = false)
{
    QStringList texts;
    for (const KnowledgeEntry& entry : entries)
        texts.append(entry.sourceText);
    if (sorted)
        texts.sort();
    return texts;
}

TEST_F(KnowledgeStoreTest, HostileTextsSurviveAReopenUnchangedInAPrivateFile)
{
    {
        ScopedEnv unset("SELVANE_KNOWLEDGE_FILE", "");
        EXPECT_EQ(KnowledgeStore::defaultPath(), file);
    }
    const QStringList texts = {QStringLiteral("line\nbreak\r\ntab\t\"double\" \\n \\u0041 </script> \x01 \x7f 👩‍👩‍👧 🇨🇳"), QString(),
                               QStringLiteral("熵增 entropy \"quoted\" \\ 😀\n").repeated(12000)};
    QStringList ids;
    for (const QString& text : texts)
        ids.append(open()->add(text, text, text, text).value_or(QString()));
    const auto store = open();
    EXPECT_EQ(posixMode(home.dataDir()), 0700);
    EXPECT_EQ(posixMode(file), 0600);
    EXPECT_EQ(filesBeside(), QStringList({"knowledge.json"})) << "the journal is folded in at open";
    const QJsonObject first = QJsonDocument::fromJson(readFile(file)).array().first().toObject();
    EXPECT_EQ(first.keys(), QStringList({"action", "appName", "category", "createdAt", "favorite", "id", "isCollected",
                                         "note", "resultText", "sourceText", "updatedAt"}));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ$")).match(first.value("updatedAt").toString()).hasMatch());
    ASSERT_EQ(store->count(), texts.size());
    for (qsizetype i = 0; i < texts.size(); ++i) {
        KnowledgeEntry expected = store->entry(ids[i]).value_or(KnowledgeEntry());
        expected.action = expected.sourceText = expected.resultText = expected.appName = texts[i];
        expected.note = expected.category = QString();
        expected.favorite = expected.isCollected = false;
        EXPECT_EQ(store->entry(ids[i]), expected) << i;
    }
}

TEST_F(KnowledgeStoreTest, OlderFilesLoadWithDefaultsAndListNewestFirstInStoredOrderOnTies)
{
    ASSERT_TRUE(writeFile(file, R"([
        {"id": "OLD", "sourceText": "a", "resultText": "old answer"},
        {"sourceText": "b", "updatedAt": "2024-03-01T00:00:00Z", "future": {"x": 1}, "note": null},
        {"sourceText": "c", "createdAt": "2024-05-06T07:08:09+08:00"},
        {"sourceText": "d", "createdAt": "2024-01-01T00:00:00Z", "updatedAt": "2024-03-01T00:00:00Z"}
    ])"));
    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-1);
    const auto store = open();
    const KnowledgeEntry old = *store->entry(QStringLiteral("OLD"));
    EXPECT_TRUE(old.note.isEmpty() && old.appName.isEmpty() && old.category.isEmpty() && !old.favorite && !old.isCollected);
    EXPECT_GE(old.createdAt, before);
    EXPECT_EQ(old.updatedAt, old.createdAt);
    const QList<KnowledgeEntry> all = store->all();
    EXPECT_EQ(sources(all), QStringList({"a", "c", "b", "d"}));
    EXPECT_EQ(all[1].createdAt, QDateTime(QDate(2024, 5, 5), QTime(23, 8, 9), Qt::UTC));
    EXPECT_EQ(all[1].updatedAt, all[1].createdAt) << "updatedAt falls back to createdAt";
    EXPECT_FALSE(all[2].id.isEmpty());
    EXPECT_EQ(sources(store->search(QString(), false)), sources(all)) << "entries without isCollected are lookups";
    EXPECT_EQ(readFile(file).count("OLD"), 1) << "loading does not rewrite the file";

    // The user's export keeps the permissions it had; a missing folder is a failure.
    const QString exported = home.path() + QStringLiteral("/export.json");
    ASSERT_TRUE(writeFile(exported, "old content"));
    ASSERT_TRUE(QFile::setPermissions(exported, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther));
    ASSERT_TRUE(store->exportJSON(exported));
    EXPECT_EQ(sources(*KnowledgeCodec::decode(readFile(exported))), sources(all));
    EXPECT_EQ(posixMode(exported), 0644);
    EXPECT_FALSE(store->exportJSON(home.path() + QStringLiteral("/missing/x.json")));
}

TEST_F(KnowledgeStoreTest, AnUndecodableFileIsKeptAsideOnceBeforeTheFirstChange)
{
    for (const QByteArray& content : {QByteArray("not JSON {"), QByteArray(), QByteArray(R"({"sourceText": "object"})"),
                                      QByteArray("[1]"), QByteArray(R"([{"sourceText": "fine"}, {"favorite": "yes"}])"),
                                      QByteArray(R"([{"createdAt": "2025-03-01T08:30:00.250Z"}])"),
                                      QByteArray(R"([{"updatedAt": "2025-03-01"}])")}) {
        SCOPED_TRACE(content.toStdString());
        QDir(home.dataDir()).removeRecursively();
        ASSERT_TRUE(writeFile(file, content));
        const auto store = open();
        store->reloadFromDisk();
        EXPECT_EQ(store->count(), 0);
        EXPECT_EQ(readFile(file), content) << "reading never touches the file";
        ASSERT_TRUE(store->add(QStringLiteral("解释"), QStringLiteral("new"), QString(), QString()));
        ASSERT_TRUE(store->add(QStringLiteral("解释"), QStringLiteral("second"), QString(), QString()));
        const QStringList aside = QDir(home.dataDir()).entryList({QStringLiteral("knowledge.json.corrupt-*")});
        ASSERT_EQ(aside.size(), 1);
        EXPECT_EQ(readFile(home.dataDir() + QLatin1Char('/') + aside.first()), content);
        EXPECT_EQ(open()->count(), 2);
    }
}

TEST_F(KnowledgeStoreTest, SearchAndCollectionsMatchTheirOwnKindAndFieldsInAnyCase)
{
    const auto store = open();
    const QString starred = *store->add(QStringLiteral("解释"), QStringLiteral("Quantum Entropy"), QStringLiteral("熵是无序的度量"), QString());
    store->add(QStringLiteral("翻译"), QStringLiteral("hello"), QStringLiteral("你好 World"), QString());
    KnowledgeEntry noted = *store->entry(*store->add(QStringLiteral("改写"), QStringLiteral("draft"), QString(), QString()));
    noted.note = QStringLiteral("Remember THIS");
    ASSERT_TRUE(store->update(noted));
    ASSERT_EQ(store->toggleFavorite(starred), true);
    store->addCollection(QStringLiteral("Quantum snippet"), QStringLiteral("划词"), QStringLiteral("Mousepad"));
    KnowledgeEntry categorised = *store->entry(*store->addCollection(QStringLiteral("shot"), QStringLiteral("截图"), QString()));
    categorised.category = QStringLiteral("Quotes");
    ASSERT_TRUE(store->update(categorised));

    enum Kind { lookups, favourites, snippets };
    const QList<std::tuple<const char*, Kind, QStringList>> cases = {
        {"QUANTUM", lookups, {"Quantum Entropy"}},  {"熵", lookups, {"Quantum Entropy"}},
        {"world", lookups, {"hello"}},              {"this", lookups, {"draft"}},
        {"翻译", lookups, {"hello"}},               {" \t\n ", lookups, {"Quantum Entropy", "draft", "hello"}},
        {"", favourites, {"Quantum Entropy"}},      {"hello", favourites, {}},
        {"nothing like it", lookups, {}},           {"", snippets, {"Quantum snippet", "shot"}},
        {"截图", snippets, {"shot"}},               {" quotes ", snippets, {"shot"}},
        {"QUANTUM S", snippets, {"Quantum snippet"}},
    };
    for (const auto& [query, kind, expected] : cases) {
        const QString text = QString::fromUtf8(query);
        EXPECT_EQ(sources(kind == snippets ? store->collections(text) : store->search(text, kind == favourites), true), expected)
            << query << " " << kind;
    }
    const KnowledgeEntry snippet = store->collections(QStringLiteral("snippet")).value(0);
    EXPECT_TRUE(snippet.isCollected && snippet.resultText.isEmpty() && snippet.action == QStringLiteral("收藏"));
    EXPECT_EQ(snippet.note, QStringLiteral("划词"));
}

TEST_F(KnowledgeStoreTest, ChangesTouchOnlyWhatTheyNameAndSayWhetherTheyWereMade)
{
    auto store = open();
    const QString kept = *store->add(QStringLiteral("解释"), QStringLiteral("kept"), QStringLiteral("answer"), QString());
    const QString snippet = *store->addCollection(QStringLiteral("saved"), QStringLiteral("截图"), QStringLiteral("App"));
    EXPECT_EQ(store->toggleFavorite(snippet), true);
    KnowledgeEntry stranger = *store->entry(kept);
    stranger.id = QStringLiteral("NO-SUCH-ID");
    EXPECT_FALSE(store->update(stranger));
    EXPECT_FALSE(store->updateResult(stranger.id, QStringLiteral("x")));
    EXPECT_EQ(store->toggleFavorite(stranger.id), std::nullopt);
    EXPECT_TRUE(store->remove(stranger.id)) << "nothing to remove is no failure";
    EXPECT_EQ(store->count(), 2);

    ASSERT_TRUE(store->updateResult(snippet, QStringLiteral("now with an answer")));
    KnowledgeEntry backdated = *store->entry(kept);
    backdated.updatedAt = QDateTime(QDate(2000, 1, 1), QTime(0, 0), Qt::UTC);
    ASSERT_TRUE(store->update(backdated));
    EXPECT_EQ(store->toggleFavorite(snippet), false);
    EXPECT_EQ(store->toggleFavorite(snippet), true);
    store = open();
    const KnowledgeEntry updated = *store->entry(snippet);
    EXPECT_EQ(updated.resultText, QStringLiteral("now with an answer"));
    EXPECT_TRUE(updated.note == QStringLiteral("截图") && updated.favorite);
    EXPECT_GT(store->entry(kept)->updatedAt.date().year(), 2000) << "update stamps the time itself";

    ASSERT_TRUE(store->remove(kept));
    EXPECT_EQ(open()->count(), 1);
    ASSERT_TRUE(store->clearAll());
    EXPECT_EQ(store->count(), 0);
    EXPECT_EQ(QJsonDocument::fromJson(readFile(file)).array(), QJsonArray()) << "nothing cleared lingers on disk";
    EXPECT_EQ(filesBeside(), QStringList({"knowledge.json"}));

    KnowledgeStore unwritable(QStringLiteral("/dev/null/knowledge.json"), noModels);
    EXPECT_FALSE(unwritable.add(QStringLiteral("解释"), QStringLiteral("lost"), QString(), QString()));
    EXPECT_FALSE(unwritable.addCollection(QStringLiteral("lost"), QString(), QString()));
    EXPECT_FALSE(unwritable.clearAll());
    EXPECT_EQ(unwritable.count(), 0) << "what could not be written is not kept either";
}

TEST_F(KnowledgeStoreTest, AReopenReplaysTheJournalUpToATornLineAndRemovesAKilledWrite)
{
    QString removed, starred;
    {
        const auto store = open();
        removed = *store->add(QStringLiteral("解释"), QStringLiteral("removed"), QString(), QString());
        starred = *store->add(QStringLiteral("解释"), QStringLiteral("starred"), QString(), QString());
        ASSERT_TRUE(store->toggleFavorite(starred) && store->remove(removed));
    }
    EXPECT_TRUE(inFile().isEmpty()) << "the changes are in the journal only";
    QFile journal(file + QStringLiteral(".journal"));
    ASSERT_TRUE(journal.open(QIODevice::Append));
    journal.write(R"({"op":"clear"})"); // its line break never made it
    journal.close();
    ASSERT_TRUE(writeFile(home.dataDir() + QStringLiteral("/.knowledge.json.Ab12Cd"), "[{\"half"));

    const auto reopened = open();
    ASSERT_EQ(sources(reopened->all()), QStringList({"starred"}));
    EXPECT_TRUE(reopened->entry(starred)->favorite);
    EXPECT_EQ(inFile(), reopened->all());
    EXPECT_EQ(filesBeside(), QStringList({"knowledge.json"}));
}

TEST_F(KnowledgeStoreTest, ThreadsChangingWhileFoldsRunLoseNothingAndEveryChangeIsAnnounced)
{
    auto store = open(7);
    std::atomic<int> announced{0};
    const int listener = store->addChangeListener([&] { ++announced; });
    constexpr int threads = 6;
    constexpr int perThread = 30;
    std::atomic<int> made{0};
    QStringList kept[threads];
    {
        std::vector<std::jthread> workers;
        for (int t = 0; t < threads; ++t) {
            workers.emplace_back([&, t] {
                for (int i = 0; i < perThread; ++i) {
                    // Every field carries the same stamp, so an entry mixed with another shows.
                    const QString stamp = QStringLiteral("t%1-%2").arg(t).arg(i);
                    const QString id = *store->add(QStringLiteral("解释"), stamp, stamp, stamp);
                    made += 2;
                    store->toggleFavorite(id);
                    if (i % 3 == 0)
                        made += store->remove(id);
                    else
                        kept[t].append(id);
                    store->search(QStringLiteral("t"), i % 2 == 0);
                }
            });
        }
    }
    EXPECT_EQ(announced, made);
    store->removeChangeListener(listener);
    ASSERT_TRUE(store->remove(*store->add(QStringLiteral("解释"), QStringLiteral("unheard"), QString(), QString())));
    EXPECT_EQ(announced, made);
    // Folds keep up: the journal holds fewer changes than start one.
    EXPECT_TRUE(processEventsUntil([&] { return inFile().size() >= store->count() - 6; }, 30000));
    store.reset();

    QStringList expected;
    for (const QStringList& ids : kept)
        expected += ids;
    QStringList ids;
    for (const KnowledgeEntry& entry : open()->all()) {
        EXPECT_TRUE(entry.resultText == entry.sourceText && entry.appName == entry.sourceText && entry.favorite)
            << entry.sourceText.toStdString();
        ids.append(entry.id);
    }
    ids.sort();
    expected.sort();
    EXPECT_EQ(ids, expected) << "every kept entry is stored exactly once";
}

}
