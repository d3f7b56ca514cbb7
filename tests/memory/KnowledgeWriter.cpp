// A process of its own on a knowledge base, for the tests that share one base between processes:
//   knowledge_writer FILE TAG COUNT
// adds COUNT lookups named "TAG-<n>", removing every fifth one again, folding every 7 changes,
// and quits cleanly. Exits 1 when any change was not made.
#include <QString>

#include "memory/KnowledgeStore.h"
#include "memory/SemanticRecall.h"

int main(int argc, char** argv)
{
    if (argc != 4)
        return 2;
    const QString tag = QString::fromLocal8Bit(argv[2]);
    const int count = QString::fromLocal8Bit(argv[3]).toInt();
    SemanticRecall noModels(std::make_shared<NoSentenceEmbedder>());
    KnowledgeStore store(QString::fromLocal8Bit(argv[1]), noModels, 7);
    for (int i = 0; i < count; ++i) {
        const std::optional<QString> id =
            store.add(QStringLiteral("解释"), tag + QLatin1Char('-') + QString::number(i), {}, {});
        if (!id || (i % 5 == 4 && !store.remove(*id)))
            return 1;
    }
    return 0;
}
