#include <gtest/gtest.h>

#include <random>

#include <QDir>
#include <QProcess>
#include <QThread>

#include "memory/KnowledgeCodec.h"
#include "tests/support/Files.h"
#include "tests/support/ScratchHome.h"

namespace {

// Waits until the child has printed at least `lines` complete lines; returns them all.
QStringList waitForLines(QProcess& child, int lines, QByteArray& buffer)
{
    while (buffer.count('\n') < lines && child.state() == QProcess::Running) {
        child.waitForReadyRead(5000);
        buffer += child.readAllStandardOutput();
    }
    QStringList ids;
    for (const QByteArray& line : buffer.split('\n')) {
        if (!line.isEmpty())
            ids.append(QString::fromLatin1(line));
    }
    return ids;
}

TEST(KnowledgeCrash, KillingAWriterAtAnyMomentLeavesADecodableFileWithEveryFinishedAdd)
{
    ScratchHome home;
    const QString file = home.dataDir() + QStringLiteral("/knowledge.json");
    std::mt19937 random(20250301);
    QStringList finished;
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        QProcess child;
        child.start(QStringLiteral(KNOWLEDGE_WRITE_LOOP), {file});
        ASSERT_TRUE(child.waitForStarted());
        QByteArray buffer;
        const int wanted = std::uniform_int_distribution(1, 25)(random);
        const QStringList printed = waitForLines(child, wanted, buffer);
        ASSERT_GE(printed.size(), wanted) << child.readAllStandardError().toStdString();
        QThread::usleep(std::uniform_int_distribution(0, 3000)(random));
        child.kill();
        ASSERT_TRUE(child.waitForFinished());
        ASSERT_EQ(child.exitStatus(), QProcess::CrashExit);
        finished += waitForLines(child, 0, buffer);

        const std::optional<QList<KnowledgeEntry>> entries = KnowledgeCodec::decode(readFile(file));
        ASSERT_TRUE(entries) << "the file must always decode";
        QSet<QString> stored;
        for (const KnowledgeEntry& entry : *entries)
            stored.insert(entry.id);
        for (const QString& id : finished)
            ASSERT_TRUE(stored.contains(id)) << "an add that returned must be on disk: " << id.toStdString();
        EXPECT_TRUE(QDir(home.dataDir()).entryList({QStringLiteral("*.corrupt-*")}).isEmpty());
    }
}

}
