#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include <QMutex>

#include "memory/KnowledgeStore.h"
#include "memory/SemanticRecall.h"
#include "tests/support/ScratchHome.h"

namespace {

// Every field of an entry carries the same stamp, so an entry mixed with another shows at once.
QString stamp(int thread, int i)
{
    return QStringLiteral("t%1-%2").arg(thread).arg(i);
}

bool whole(const KnowledgeEntry& entry)
{
    return entry.resultText == QStringLiteral("answer ") + entry.sourceText && entry.appName == entry.sourceText
        && entry.action == QStringLiteral("解释");
}

TEST(KnowledgeConcurrency, ManyThreadsAddingTogglingDeletingAndReadingLeaveAConsistentStore)
{
    ScratchHome home;
    SemanticRecall noModels(std::make_shared<NoSentenceEmbedder>());
    const QString file = home.dataDir() + QStringLiteral("/knowledge.json");
    KnowledgeStore store(file, noModels);

    constexpr int threads = 8;
    constexpr int perThread = 30;
    std::atomic<int> adds{0};
    std::atomic<int> deletes{0};
    std::atomic<int> broken{0};
    QMutex survivorsMutex;
    QSet<QString> survivors;
    {
        std::vector<std::jthread> workers;
        for (int t = 0; t < threads; ++t) {
            workers.emplace_back([&, t] {
                for (int i = 0; i < perThread; ++i) {
                    const QString text = stamp(t, i);
                    const QString id = store.add(QStringLiteral("解释"), text, QStringLiteral("answer ") + text, text);
                    ++adds;
                    store.toggleFavorite(id);
                    if (i % 3 == 0) {
                        store.remove(id);
                        ++deletes;
                    } else {
                        QMutexLocker lock(&survivorsMutex);
                        survivors.insert(id);
                    }
                    for (const KnowledgeEntry& entry : store.search(QStringLiteral("t"), i % 2 == 0)) {
                        if (!whole(entry))
                            ++broken;
                    }
                    store.count();
                    store.recall(text);
                }
            });
        }
    }
    EXPECT_EQ(broken.load(), 0);
    EXPECT_EQ(store.count(), adds - deletes);

    KnowledgeStore reopened(file, noModels);
    const QList<KnowledgeEntry> onDisk = reopened.all();
    ASSERT_EQ(onDisk.size(), adds - deletes);
    QSet<QString> ids;
    for (const KnowledgeEntry& entry : onDisk) {
        EXPECT_TRUE(whole(entry)) << entry.sourceText.toStdString();
        EXPECT_TRUE(entry.favorite);
        ids.insert(entry.id);
    }
    EXPECT_EQ(ids, survivors) << "every kept entry is stored exactly once";
}

}
