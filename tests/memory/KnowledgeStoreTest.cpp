#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include "memory/KnowledgeStore.h"
#include "memory/SemanticRecall.h"
#include "tests/support/Files.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/ScratchHome.h"

namespace {

class KnowledgeStoreTest : public ::testing::Test {
protected:
    ScratchHome home;
    const QString file = home.dataDir() + QStringLiteral("/knowledge.json");
    SemanticRecall noModels{std::make_shared<NoSentenceEmbedder>()};

    std::unique_ptr<KnowledgeStore> open() { return std::make_unique<KnowledgeStore>(file, noModels); }

    QStringList asideCopies() const
    {
        return QDir(home.dataDir()).entryList({QStringLiteral("knowledge.json.corrupt-*")}, QDir::Files);
    }

    QJsonArray onDisk() const { return QJsonDocument::fromJson(readFile(file)).array(); }
};

QStringList sources(const QList<KnowledgeEntry>& entries)
{
    QStringList texts;
    for (const KnowledgeEntry& entry : entries)
        texts.append(entry.sourceText);
    return texts;
}

// The source texts in alphabetical order, for checks where the order is not the point.
QStringList sortedSources(const QList<KnowledgeEntry>& entries)
{
    QStringList texts = sources(entries);
    texts.sort();
    return texts;
}

TEST_F(KnowledgeStoreTest, HostileTextsSurviveAWriteAndAReloadUnchangedInAPrivateFile)
{
    QString large;
    while (large.size() < 300 * 1024)
        large += QStringLiteral("熵增 entropy \"quoted\" \\ 😀\n");
    const QStringList texts = {
        QStringLiteral("line one\nline two\r\nline three\ttabbed"),
        QStringLiteral("\"double\" 'single' \\backslash\\ \\n not a break \\u0041 </script>"),
        QStringLiteral("👩‍👩‍👧 🇨🇳 ❤️ 😀 emoji"),
        QStringLiteral("control \x01 and nul-free \x7f"),
        QString(),
        large,
    };
    auto store = open();
    QStringList ids;
    for (const QString& text : texts)
        ids.append(store->add(text, text, text, text));
    store.reset();
    EXPECT_EQ(posixMode(home.dataDir()), 0700);
    EXPECT_EQ(posixMode(file), 0600);
    const QJsonObject onDiskEntry = onDisk().first().toObject();
    EXPECT_EQ(onDiskEntry.keys(), QStringList({"action", "appName", "category", "createdAt", "favorite", "id", "isCollected",
                                                "note", "resultText", "sourceText", "updatedAt"}));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}T\\d{2}:\\d{2}:\\d{2}Z$"))
                    .match(onDiskEntry.value("updatedAt").toString()).hasMatch());

    auto reloaded = open();
    ASSERT_EQ(reloaded->count(), texts.size());
    EXPECT_EQ(QSet<QString>(ids.begin(), ids.end()).size(), texts.size()) << "every add gets its own id";
    for (qsizetype i = 0; i < texts.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$"))
                        .match(ids[i]).hasMatch()) << ids[i].toStdString();
        KnowledgeEntry expected = *reloaded->entry(ids[i]);
        expected.action = expected.sourceText = expected.resultText = expected.appName = texts[i];
        expected.note = expected.category = QString();
        expected.favorite = expected.isCollected = false;
        EXPECT_EQ(reloaded->entry(ids[i]), expected);
    }
}

TEST_F(KnowledgeStoreTest, OlderFilesLoadWithTheDefaultsOfMissingFields)
{
    ASSERT_TRUE(writeFile(file, R"([
        {"id": "OLD-1", "action": "解释", "sourceText": "old text", "resultText": "old answer"},
        {"action": "翻译", "sourceText": "no id", "resultText": "still loads", "future": {"a": 1}},
        {"sourceText": "dated", "createdAt": "2024-05-06T07:08:09+08:00", "note": null},
        {"sourceText": "both", "createdAt": "2024-01-01T00:00:00Z", "updatedAt": "2024-02-01T00:00:00Z"}
    ])"));
    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-1);
    auto store = open();
    ASSERT_EQ(store->count(), 4);

    const KnowledgeEntry old = *store->entry(QStringLiteral("OLD-1"));
    EXPECT_TRUE(old.note.isEmpty() && old.appName.isEmpty() && old.category.isEmpty());
    EXPECT_FALSE(old.favorite);
    EXPECT_FALSE(old.isCollected);
    EXPECT_GE(old.createdAt, before);
    EXPECT_EQ(old.updatedAt, old.createdAt);

    const QList<KnowledgeEntry> lookups = store->search(QString(), false);
    EXPECT_EQ(lookups.size(), 4) << "entries without isCollected are lookups";
    EXPECT_TRUE(store->collections(QString()).isEmpty());
    for (const KnowledgeEntry& entry : lookups)
        EXPECT_FALSE(entry.id.isEmpty());

    const KnowledgeEntry dated = lookups[sources(lookups).indexOf(QStringLiteral("dated"))];
    EXPECT_EQ(dated.createdAt, QDateTime(QDate(2024, 5, 5), QTime(23, 8, 9), Qt::UTC));
    EXPECT_EQ(dated.updatedAt, dated.createdAt) << "updatedAt falls back to createdAt";
    const KnowledgeEntry both = lookups[sources(lookups).indexOf(QStringLiteral("both"))];
    EXPECT_EQ(both.updatedAt, QDateTime(QDate(2024, 2, 1), QTime(0, 0), Qt::UTC));
    EXPECT_EQ(readFile(file).count("OLD-1"), 1) << "loading does not rewrite the file";
}

TEST_F(KnowledgeStoreTest, AnUndecodableFileLoadsEmptyAndIsKeptAsideBeforeTheNextWrite)
{
    const QList<QByteArray> broken = {
        "this is not JSON {",
        "",
        R"({"sourceText": "an object, not an array"})",
        R"([1, 2])",
        R"([{"sourceText": "fine"}, {"favorite": "yes"}])",
        R"([{"sourceText": 42}])",
        R"([{"createdAt": "2025-03-01T08:30:00.250Z"}])",
        R"([{"createdAt": "2025-03-01"}])",
        R"([{"updatedAt": "2025-03-01T08:30:00"}])",
    };
    for (const QByteArray& content : broken) {
        SCOPED_TRACE(content.toStdString());
        for (const QString& old : asideCopies())
            QFile::remove(home.dataDir() + QLatin1Char('/') + old);
        ASSERT_TRUE(writeFile(file, content));

        auto store = open();
        EXPECT_EQ(store->count(), 0);
        store->reloadFromDisk();
        EXPECT_TRUE(store->search(QString(), false).isEmpty());
        EXPECT_EQ(readFile(file), content) << "reading never touches the file";

        store->add(QStringLiteral("解释"), QStringLiteral("new"), QStringLiteral("answer"), QString());
        const QStringList aside = asideCopies();
        ASSERT_EQ(aside.size(), 1);
        EXPECT_EQ(readFile(home.dataDir() + QLatin1Char('/') + aside.first()), content);
        store->add(QStringLiteral("解释"), QStringLiteral("second"), QStringLiteral("answer"), QString());
        EXPECT_EQ(asideCopies().size(), 1) << "only the unreadable file is kept aside, once";
        EXPECT_EQ(open()->count(), 2);
    }
}

TEST_F(KnowledgeStoreTest, SearchMatchesLookupsCaseInsensitivelyInTextsNotesAndActions)
{
    auto store = open();
    const QString mixed = store->add(QStringLiteral("解释"), QStringLiteral("Quantum Entropy"), QStringLiteral("熵是无序的度量"), QString());
    store->add(QStringLiteral("翻译"), QStringLiteral("hello"), QStringLiteral("你好 World"), QString());
    const QString noted = store->add(QStringLiteral("改写"), QStringLiteral("draft"), QStringLiteral("better draft"), QString());
    KnowledgeEntry withNote = *store->entry(noted);
    withNote.note = QStringLiteral("Remember THIS");
    store->update(withNote);
    store->toggleFavorite(mixed);
    store->addCollection(QStringLiteral("Quantum snippet"), QStringLiteral("划词"), QString());

    struct Case {
        const char* query;
        bool favoritesOnly;
        QStringList expected; // alphabetical
    };
    const QList<Case> cases = {
        {"QUANTUM", false, {"Quantum Entropy"}},
        {"熵", false, {"Quantum Entropy"}},
        {"world", false, {"hello"}},
        {"this", false, {"draft"}},
        {"翻译", false, {"hello"}},
        {"", false, {"Quantum Entropy", "draft", "hello"}},
        {" \t\n ", false, {"Quantum Entropy", "draft", "hello"}},
        {"", true, {"Quantum Entropy"}},
        {"quantum", true, {"Quantum Entropy"}},
        {"hello", true, {}},
        {"nothing like it", false, {}},
        {"snippet", false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.query);
        EXPECT_EQ(sortedSources(store->search(QString::fromUtf8(c.query), c.favoritesOnly)), c.expected);
    }
}

TEST_F(KnowledgeStoreTest, CollectionsHoldOnlySavedSnippetsAndMatchTextLabelAndCategory)
{
    auto store = open();
    store->add(QStringLiteral("解释"), QStringLiteral("lookup 截图"), QStringLiteral("answer"), QString());
    store->addCollection(QStringLiteral("first saved"), QStringLiteral("划词"), QStringLiteral("Mousepad"));
    store->addCollection(QStringLiteral("second saved"), QStringLiteral("截图"), QString());
    const QString third = store->addCollection(QStringLiteral("Third Saved"), QStringLiteral("截图"), QString());
    KnowledgeEntry categorised = *store->entry(third);
    categorised.category = QStringLiteral("Quotes");
    store->update(categorised);

    const QList<KnowledgeEntry> all = store->collections(QString());
    ASSERT_EQ(all.size(), 3);
    for (const KnowledgeEntry& entry : all) {
        EXPECT_TRUE(entry.isCollected);
        EXPECT_EQ(entry.action, QStringLiteral("收藏"));
        EXPECT_TRUE(entry.resultText.isEmpty());
    }
    const KnowledgeEntry first = all[sources(all).indexOf(QStringLiteral("first saved"))];
    EXPECT_EQ(first.note, QStringLiteral("划词"));
    EXPECT_EQ(first.appName, QStringLiteral("Mousepad"));
    EXPECT_EQ(sortedSources(store->collections(QStringLiteral("截图"))), QStringList({"Third Saved", "second saved"}));
    EXPECT_EQ(sources(store->collections(QStringLiteral(" quotes "))), QStringList({"Third Saved"}));
    EXPECT_EQ(sources(store->collections(QStringLiteral("THIRD"))), QStringList({"Third Saved"}));
    EXPECT_EQ(sources(store->search(QString(), false)), QStringList({"lookup 截图"}));
}

TEST_F(KnowledgeStoreTest, ListsAndExportsAreNewestFirstAndKeepStoredOrderOnEqualDates)
{
    ASSERT_TRUE(writeFile(file, R"([
        {"sourceText": "a", "updatedAt": "2024-01-01T00:00:00Z"},
        {"sourceText": "b", "updatedAt": "2024-03-01T00:00:00Z"},
        {"sourceText": "c", "updatedAt": "2024-01-01T00:00:00Z"},
        {"sourceText": "d", "updatedAt": "2024-03-01T00:00:00Z"}
    ])"));
    auto store = open();
    EXPECT_EQ(sources(store->all()), QStringList({"b", "d", "a", "c"}));

    // The user's file keeps the permissions it had; a missing folder is a failure.
    const QString exported = home.path() + QStringLiteral("/export.json");
    ASSERT_TRUE(writeFile(exported, "old content"));
    ASSERT_TRUE(QFile::setPermissions(exported, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther));
    ASSERT_TRUE(store->exportJSON(exported));
    QStringList exportedOrder;
    for (const QJsonValue& value : QJsonDocument::fromJson(readFile(exported)).array())
        exportedOrder.append(value.toObject().value("sourceText").toString());
    EXPECT_EQ(exportedOrder, QStringList({"b", "d", "a", "c"}));
    EXPECT_EQ(posixMode(exported), 0644);
    EXPECT_FALSE(store->exportJSON(home.path() + QStringLiteral("/missing/dir/x.json")));
}

TEST_F(KnowledgeStoreTest, ChangesTouchOnlyTheEntryAndFieldsTheyName)
{
    auto store = open();
    const QString kept = store->add(QStringLiteral("解释"), QStringLiteral("kept"), QStringLiteral("answer"), QString());
    const QString snippet = store->addCollection(QStringLiteral("saved"), QStringLiteral("截图"), QStringLiteral("App"));
    EXPECT_TRUE(store->toggleFavorite(snippet));
    const QByteArray beforeUnknown = readFile(file);

    KnowledgeEntry stranger = *store->entry(kept);
    stranger.id = QStringLiteral("NO-SUCH-ID");
    store->update(stranger);
    store->updateResult(QStringLiteral("NO-SUCH-ID"), QStringLiteral("x"));
    EXPECT_FALSE(store->toggleFavorite(QStringLiteral("NO-SUCH-ID")));
    EXPECT_EQ(readFile(file), beforeUnknown) << "an unknown id changes nothing";
    EXPECT_EQ(store->count(), 2);

    const QDateTime before = store->entry(snippet)->updatedAt;
    store->updateResult(snippet, QStringLiteral("now with an answer"));
    const KnowledgeEntry updated = *store->entry(snippet);
    EXPECT_EQ(updated.resultText, QStringLiteral("now with an answer"));
    EXPECT_EQ(updated.note, QStringLiteral("截图"));
    EXPECT_TRUE(updated.favorite);
    EXPECT_GE(updated.updatedAt, before);

    KnowledgeEntry backdated = *store->entry(kept);
    backdated.updatedAt = QDateTime(QDate(2000, 1, 1), QTime(0, 0), Qt::UTC);
    store->update(backdated);
    EXPECT_GT(store->entry(kept)->updatedAt.date().year(), 2000) << "update stamps the time itself";
    EXPECT_FALSE(store->toggleFavorite(snippet));
    EXPECT_TRUE(store->toggleFavorite(snippet));
    EXPECT_TRUE(open()->entry(snippet)->favorite);
}

TEST_F(KnowledgeStoreTest, RemovingAndClearingAreOnDiskAtOnce)
{
    auto store = open();
    const QString only = store->add(QStringLiteral("解释"), QStringLiteral("only"), QStringLiteral("answer"), QString());
    store->remove(QStringLiteral("NO-SUCH-ID"));
    EXPECT_EQ(open()->count(), 1);
    store->remove(only);
    EXPECT_EQ(store->count(), 0);
    EXPECT_EQ(open()->count(), 0);

    store->add(QStringLiteral("解释"), QStringLiteral("x"), QString(), QString());
    store->addCollection(QStringLiteral("y"), QStringLiteral("划词"), QString());
    store->clearAll();
    EXPECT_EQ(store->count(), 0);
    const QJsonDocument cleared = QJsonDocument::fromJson(readFile(file));
    EXPECT_TRUE(cleared.isArray() && cleared.array().isEmpty());
    EXPECT_EQ(open()->count(), 0);
}

TEST_F(KnowledgeStoreTest, TheFileIsTakenFromTheEnvironmentWhenGiven)
{
    for (const QByteArray& unset : {QByteArray(), QByteArray("")}) {
        ScopedEnv none("SELVANE_KNOWLEDGE_FILE", unset);
        EXPECT_EQ(KnowledgeStore::defaultPath(), file);
    }
    const QString elsewhere = home.path() + QStringLiteral("/deep/er/k.json");
    ScopedEnv set("SELVANE_KNOWLEDGE_FILE", QFile::encodeName(elsewhere));
    KnowledgeStore(KnowledgeStore::defaultPath(), noModels).add(QStringLiteral("解释"), QStringLiteral("x"), QString(), QString());
    EXPECT_EQ(posixMode(elsewhere), 0600) << "missing directories are created";
    EXPECT_FALSE(QFile::exists(file));
}

}
