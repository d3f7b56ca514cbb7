// Test helper: adds entries to the knowledge file given as the only argument, printing each new
// id once the add has returned, until it is killed (or after a minute, so it never lingers).
#include <sys/prctl.h>

#include <csignal>
#include <cstdio>

#include <QDeadlineTimer>

#include "memory/KnowledgeStore.h"
#include "memory/SemanticRecall.h"

int main(int argc, char** argv)
{
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (argc != 2)
        return 2;
    SemanticRecall noModels(std::make_shared<NoSentenceEmbedder>());
    KnowledgeStore store(QString::fromLocal8Bit(argv[1]), noModels);
    const QString padding = QStringLiteral("熵增与信息论的关系 \"quoted\" \\ 😀\n").repeated(40);
    const QDeadlineTimer deadline(60000);
    for (int i = 0; !deadline.hasExpired(); ++i) {
        const QString id = store.add(QStringLiteral("解释"), QStringLiteral("text %1").arg(i), padding, QStringLiteral("loop"));
        if (i % 4 == 0)
            store.toggleFavorite(id);
        std::printf("%s\n", qPrintable(id));
        std::fflush(stdout);
    }
    return 0;
}
