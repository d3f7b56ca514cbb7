#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "fuzz/FuzzCheck.h"
#include "memory/KnowledgeJournal.h"

namespace {

QByteArray completeLines(const QByteArray& bytes)
{
    return bytes.left(bytes.lastIndexOf('\n') + 1);
}

qsizetype lineCount(const QByteArray& bytes)
{
    qsizetype count = 0;
    for (const QByteArray& line : completeLines(bytes).split('\n'))
        count += line.isEmpty() ? 0 : 1;
    return count;
}

bool put(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

}

// The journals as a crash or a stranger left them: a folding one (the input up to its first NUL)
// and the active one (the rest). Reading keeps the complete lines of the active journal on disk,
// counts them, and yields no more changes than there are lines, each one a change the codec
// writes back in the same bytes.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/quillo-fuzz-journal-XXXXXX"));
    const QString path = dir.filePath(QStringLiteral("knowledge.json"));
    FuzzInput input(data, size);
    const QByteArray folding = input.chunk();
    const QByteArray active = fuzzBytes(data, size).mid(folding.size() + 1);
    for (const QString& name : QDir(dir.path()).entryList(QDir::Files | QDir::Hidden))
        QFile::remove(dir.filePath(name));
    FUZZ_CHECK(put(path + QStringLiteral(".journal.folding"), folding)
               && put(path + QStringLiteral(".journal"), active));

    KnowledgeJournal journal(path);
    const QList<KnowledgeCodec::Change> changes = journal.read();
    FUZZ_CHECK(changes.size() <= lineCount(folding) + lineCount(active));
    QFile activeFile(path + QStringLiteral(".journal"));
    if (activeFile.open(QIODevice::ReadOnly)) {
        FUZZ_CHECK(activeFile.readAll() == completeLines(active));
        FUZZ_CHECK(journal.activeBytes() == completeLines(active).size());
        FUZZ_CHECK(journal.activeChanges() == lineCount(active));
    }
    for (const KnowledgeCodec::Change& change : changes) {
        const QByteArray encoded = KnowledgeCodec::encodeChange(change);
        const auto again = KnowledgeCodec::decodeChange(encoded);
        FUZZ_CHECK(again && KnowledgeCodec::encodeChange(*again) == encoded);
    }
    return 0;
}
