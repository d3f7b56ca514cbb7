#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTimeZone>

#include "memory/KnowledgeCodec.h"
#include "memory/KnowledgeStore.h"
#include "memory/SemanticRecall.h"
#include "settings/DataNotices.h"
#include "tests/support/EventLoop.h"
#include "tests/support/Files.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/ScratchHome.h"

namespace {

using Listing = KnowledgeStore::Listing;

class KnowledgeStoreTest : public ::testing::Test {
protected:
    ScratchHome home;
    const QString file = home.dataDir() + QStringLiteral("/knowledge.json");
    SemanticRecall noModels{std::make_shared<NoSentenceEmbedder>()};

    auto open(int foldAfter = 1000) { return std::make_unique<KnowledgeStore>(file, noModels, foldAfter); }
    auto inFile() const { return KnowledgeCodec::decode(readFile(file)).value_or(QList<KnowledgeEntry>()); }
};

QString lookup(KnowledgeStore& store, const QString& source, const QString& answer = {})
{
    return store.add(QStringLiteral("解释"), source, answer, QString()).value_or(QString());
}

// The source texts, of entries or of shared ones, sorted when the order is not the point.
template <typename Entry>
QStringList sources(const QList<Entry>& entries, bool sorted = false)
{
    QStringList texts;
    for (const Entry& entry : entries) {
        if constexpr (std::is_same_v<Entry, SharedEntry>)
            texts.append(entry->sourceText);
        else
            texts.append(entry.sourceText);
    }
    if (sorted)
        texts.sort();
    return texts;
}

TEST_F(KnowledgeStoreTest, HostileTextsSurviveAReopenUnchangedInAPrivateFileOfTheKnownShape)
{
    const ScopedEnv unset("SELVANE_KNOWLEDGE_FILE", "");
    EXPECT_EQ(KnowledgeStore::defaultPath(), file);
    const QStringList texts = {
        QStringLiteral("line\nbreak\r\ntab\t\"double\" \\n \\u0041 </script> \x01 \x7f 👩‍👩‍👧 🇨🇳"),
        QString(), QStringLiteral("熵增 entropy \"quoted\" \\ 😀\n").repeated(12000)};
    QStringList ids;
    for (const QString& text : texts)
        ids.append(open()->add(text, text, text, text).value_or(QString()));
    EXPECT_EQ(QDir(home.dataDir()).entryList(QDir::Files | QDir::Hidden),
              QStringList({".knowledge.json.lock", "knowledge.json"}))
        << "a store that closes folds its journal in";
    const auto store = open();
    const QJsonObject first = QJsonDocument::fromJson(readFile(file)).array().first().toObject();
    EXPECT_EQ(first.keys(),
              QStringList({"action", "appName", "category", "createdAt", "favorite", "id", "isCollected", "note",
                           "resultText", "sourceText", "updatedAt"}));
    const QRegularExpression utcSeconds(QStringLiteral(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ$)"));
    EXPECT_TRUE(utcSeconds.match(first.value("updatedAt").toString()).hasMatch());
    ASSERT_EQ(store->count(), texts.size());
    for (qsizetype i = 0; i < texts.size(); ++i) {
        const KnowledgeEntry e = store->entry(ids[i]).value_or(KnowledgeEntry());
        EXPECT_TRUE(QStringList({e.action, e.sourceText, e.resultText, e.appName}) == QStringList(4, texts[i])
                    && e.note.isEmpty() && e.category.isEmpty() && !e.favorite && !e.isCollected)
            << i;
    }
}

TEST_F(KnowledgeStoreTest, OlderFilesLoadWithDefaultsListNewestFirstAndExportSo)
{
    ASSERT_TRUE(writeFile(file, R"([{"id": "OLD", "sourceText": "a", "resultText": "old answer"},
        {"sourceText": "b", "updatedAt": "2024-03-01T00:00:00Z", "future": {"x": 1}, "note": null},
        {"sourceText": "c", "createdAt": "2024-05-06T07:08:09+08:00"},
        {"sourceText": "d", "createdAt": "2024-01-01T00:00:00Z", "updatedAt": "2024-03-01T00:00:00Z"}])"));
    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-1);
    const auto store = open();
    const KnowledgeEntry old = *store->entry(QStringLiteral("OLD"));
    EXPECT_TRUE(old.note.isEmpty() && old.appName.isEmpty() && old.category.isEmpty() && !old.favorite
                && !old.isCollected && old.createdAt >= before && old.updatedAt == old.createdAt);
    const QList<KnowledgeEntry> all = store->all();
    EXPECT_EQ(sources(all), QStringList({"a", "c", "b", "d"})) << "equal dates keep the stored order";
    EXPECT_TRUE(all[1].createdAt == QDateTime(QDate(2024, 5, 5), QTime(23, 8, 9), QTimeZone::utc())
                && all[1].updatedAt == all[1].createdAt);
    EXPECT_FALSE(all[2].id.isEmpty()) << "a missing id is made up";
    EXPECT_EQ(sources(store->list(Listing::lookups, {})), sources(all)) << "entries without isCollected are lookups";
    EXPECT_EQ(readFile(file).count("OLD"), 1) << "loading does not rewrite the file";

    // The user's export keeps the permissions it had; a missing folder is a failure.
    const QString exported = home.path() + QStringLiteral("/export.json");
    ASSERT_TRUE(writeFile(exported, "old content")
                && QFile::setPermissions(exported, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));
    ASSERT_TRUE(store->exportJSON(exported));
    EXPECT_EQ(sources(KnowledgeCodec::decode(readFile(exported)).value_or(QList<KnowledgeEntry>())), sources(all));
    EXPECT_EQ(posixMode(exported), 0604);
    EXPECT_FALSE(store->exportJSON(home.path() + QStringLiteral("/missing/x.json")));

    ASSERT_TRUE(store->updateResult(all[3].id, QStringLiteral("A Later Answer")));
    EXPECT_EQ(sources(store->list(Listing::lookups, QStringLiteral("later answer"))), QStringList{"d"});
    EXPECT_LT(sources(store->all()).indexOf("d"), 2) << "a change orders the listings again";
}

TEST_F(KnowledgeStoreTest, WhatCannotBeReadIsLeftOutAloneKeptAsideUntouchedAndToldOnce)
{
    enum Aside { keptNothing, keptFile, keptJournal };
    const QByteArray binary = QByteArray(5000, '\x9c').replace(7, 3, "\x00\xff{");
    const QByteArray torn = R"({"entry":{"id":"X","sourceText":"torn")"; // as the codec writes it
    const QList<std::tuple<Aside, QString, QByteArray, QByteArray>> cases = {
        // what is kept aside, what the store holds (sorted, joined by '|'), knowledge.json, its journal
        {keptFile, "", "not JSON {", ""},
        {keptFile, "", "", ""},
        {keptFile, "", R"({"sourceText": "object"})", ""},
        {keptFile, "b",
         R"([{"sourceText": "a", "favorite": 1}, {"sourceText": "b"}, {"sourceText": "c", "createdAt": "2025-03-01"}])",
         ""},
        {keptFile, "a", R"([{"sourceText": "a"}, {"favorite": "yes"}, "text", null])", ""},
        {keptFile, "b|bad \uFFFD\uFFFD byte", "[{\"sourceText\": \"bad \xff\xfe byte\"}, {\"sourceText\": \"b\"}]", ""},
        {keptNothing, "ms",
         R"([{"sourceText": "ms", "createdAt": "2026-01-01T00:00:00.123+08:00", "updatedAt": "2026-01-01T00:00:00.5Z"}])",
         ""},
        {keptJournal, "", "[]", binary},
        {keptJournal, "journalled", "[]",
         R"({"op":"add","entry":{"id":"J","sourceText":"journalled"}})"
         "\n" + binary},
        {keptJournal, "\uFFFD( x", "[]", "{\"op\":\"add\",\"entry\":{\"id\":\"U\",\"sourceText\":\"\xc3\x28 x\"}}\n"},
        {keptNothing, "", "[]", torn},
        {keptNothing, "z", "[]",
         R"({"op":"add","entry":{"id":"Z","sourceText":"z"}})"
         "\n" + QByteArray(4096, '\0')},
    };
    for (const auto& [aside, expected, content, journalled] : cases) {
        SCOPED_TRACE(content.left(60).toStdString() + " / " + journalled.left(40).toStdString());
        QDir(home.dataDir()).removeRecursively();
        DataNotices::take();
        ASSERT_TRUE(writeFile(file, content) && (journalled.isEmpty() || writeFile(file + ".journal", journalled)));
        auto store = open();
        const QStringList held = sources(store->all(), true);
        EXPECT_EQ(held.join(u'|'), expected);
        const QStringList kept = QDir(home.dataDir()).entryList({QStringLiteral("knowledge.json*.corrupt-*")});
        ASSERT_EQ(kept.size(), aside == keptNothing ? 0 : 1) << kept.join(' ').toStdString();
        const QStringList notices = DataNotices::take();
        ASSERT_EQ(notices.size(), kept.size());
        if (aside != keptNothing) {
            EXPECT_EQ(readFile(home.dataDir() + '/' + kept.first()), aside == keptFile ? content : journalled)
                << "kept untouched";
            EXPECT_TRUE(notices.first().contains(kept.first())) << notices.first().toStdString();
        }
        EXPECT_EQ(sources(inFile(), true), held) << "the rest is written back at once, in full";
        ASSERT_TRUE(lookup(*store, QStringLiteral("new")).size() > 0);
        store = open();
        EXPECT_EQ(store->count(), held.size() + 1);
        EXPECT_TRUE(DataNotices::take().isEmpty()
                    && QDir(home.dataDir()).entryList({"*.corrupt-*"}).size() == kept.size())
            << "told once";
    }
}

TEST_F(KnowledgeStoreTest, SearchAndCollectionsMatchTheirOwnKindAndFieldsInAnyCase)
{
    ASSERT_TRUE(writeFile(
        file, R"([{"action": "解释", "sourceText": "Quantum Entropy", "resultText": "熵是无序的度量", "favorite": true},
        {"action": "翻译", "sourceText": "hello", "resultText": "你好 World"}, {"action": "改写", "sourceText": "draft", "note": "Remember THIS"},
        {"action": "收藏", "sourceText": "shot", "note": "截图", "category": "Quotes", "isCollected": true},
        {"action": "收藏", "sourceText": "Quantum snippet", "note": "划词", "isCollected": true}])"));
    const auto store = open();
    using enum KnowledgeStore::Listing;
    const QList<std::tuple<const char*, KnowledgeStore::Listing, QStringList>> cases = {
        {"QUANTUM", lookups, {"Quantum Entropy"}},
        {"熵", lookups, {"Quantum Entropy"}},
        {"world", lookups, {"hello"}},
        {"你好 WORLD", lookups, {"hello"}},
        {"this", lookups, {"draft"}},
        {"翻译", lookups, {"hello"}},
        {" \t\n ", lookups, {"Quantum Entropy", "draft", "hello"}},
        {"", favorites, {"Quantum Entropy"}},
        {"hello", favorites, {}},
        {"", snippets, {"Quantum snippet", "shot"}},
        {"截图", snippets, {"shot"}},
        {" quotes ", snippets, {"shot"}},
        {"QUANTUM S", snippets, {"Quantum snippet"}},
    };
    for (const auto& [query, listing, expected] : cases)
        EXPECT_EQ(sources(store->list(listing, QString::fromUtf8(query)), true), expected)
            << query << " " << int(listing);
    EXPECT_EQ(sources(store->collections(QStringLiteral("QUANTUM S"))), QStringList{"Quantum snippet"});
}

TEST_F(KnowledgeStoreTest, ChangesTouchOnlyWhatTheyNameAndSayWhetherTheyWereMade)
{
    auto store = open();
    const QString kept = lookup(*store, QStringLiteral("kept"), QStringLiteral("answer"));
    const QString snippet = *store->addCollection(QStringLiteral("saved"), QStringLiteral("截图"), "App");
    EXPECT_EQ(store->toggleFavorite(snippet), true);
    KnowledgeEntry unknown = *store->entry(kept);
    unknown.id = QStringLiteral("NO-SUCH-ID");
    EXPECT_FALSE(store->update(unknown) || store->updateResult(unknown.id, "x") || store->toggleFavorite(unknown.id));
    EXPECT_TRUE(store->remove(unknown.id) && store->count() == 2) << "nothing to remove is no failure";

    ASSERT_TRUE(store->updateResult(snippet, QStringLiteral("now with an answer")));
    KnowledgeEntry backdated = *store->entry(kept);
    backdated.updatedAt = QDateTime(QDate(2000, 1, 1), QTime(0, 0), QTimeZone::utc());
    ASSERT_TRUE(store->update(backdated));
    EXPECT_TRUE(store->toggleFavorite(snippet) == false && store->toggleFavorite(snippet) == true);
    store = open();
    const KnowledgeEntry updated = *store->entry(snippet);
    EXPECT_TRUE(updated.resultText == "now with an answer" && updated.favorite && updated.isCollected
                && updated.action == "收藏" && updated.note == "截图" && updated.appName == "App");
    EXPECT_GT(store->entry(kept)->updatedAt.date().year(), 2000) << "update stamps the time itself";

    KnowledgeStore unwritable(QStringLiteral("/dev/null/knowledge.json"), noModels);
    EXPECT_TRUE(lookup(unwritable, QStringLiteral("lost")).isEmpty()
                && !unwritable.addCollection(QStringLiteral("lost"), {}, {}) && !unwritable.clearAll());
    EXPECT_EQ(unwritable.count(), 0) << "what could not be written is not kept either";
}

TEST_F(KnowledgeStoreTest, ThreadsChangingWhileFoldsRunLoseNothingAndEveryChangeIsAnnounced)
{
    auto store = open(7);
    std::atomic<int> announced{0}, made{0};
    const int listener = store->addChangeListener([&] { ++announced; });
    {
        std::vector<std::jthread> workers;
        for (int t = 0; t < 6; ++t) {
            workers.emplace_back([&, t] {
                for (int i = 0; i < 30; ++i) {
                    // Every field carries the same stamp, so an entry mixed with another shows.
                    const QString stamp = QString::number(t * 100 + i);
                    const QString id = store->add(stamp, stamp, stamp, stamp).value_or(QString());
                    made += 1 + store->toggleFavorite(id).has_value() + (i % 3 == 0 && store->remove(id));
                    store->list(i % 2 == 0 ? Listing::favorites : Listing::lookups, QStringLiteral("1"));
                }
            });
        }
    }
    EXPECT_EQ(announced, made);
    store->removeChangeListener(listener);
    ASSERT_TRUE(store->remove(lookup(*store, QStringLiteral("unheard"))));
    EXPECT_EQ(announced, made);
    EXPECT_TRUE(processEventsUntil([&] { return inFile().size() >= store->count() - 6; }, 30000)) << "folds keep up";
    store.reset();

    const QList<KnowledgeEntry> all = open()->all();
    QSet<QString> ids;
    for (const KnowledgeEntry& entry : all) {
        EXPECT_TRUE(entry.action == entry.sourceText && entry.resultText == entry.sourceText
                    && entry.appName == entry.sourceText && entry.favorite && entry.sourceText.toInt() % 100 % 3 != 0)
            << entry.sourceText.toStdString();
        ids.insert(entry.id);
    }
    EXPECT_TRUE(all.size() == 6 * 20 && ids.size() == all.size()) << "every kept entry is stored exactly once";
}

}
