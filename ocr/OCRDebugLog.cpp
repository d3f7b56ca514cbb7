#include "ocr/OCRDebugLog.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QThreadPool>

#include "settings/HomeDir.h"
#include "settings/PrivateFile.h"

namespace {

constexpr qint64 rotateAtBytes = 1024 * 1024;

// One thread, so lines are written in the order they were logged.
QThreadPool& writer()
{
    static QThreadPool pool;
    pool.setMaxThreadCount(1);
    return pool;
}

void append(const QByteArray& line)
{
    const QString dir = HomeDir::dataDir();
    const QString path = dir + QStringLiteral("/ocr-debug.log");
    PrivateFile::ensureDirectory(dir);
    if (QFileInfo(path).size() >= rotateAtBytes) {
        const QString old = path + QStringLiteral(".1");
        QFile::remove(old);
        QFile::rename(path, old);
    }
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Append, QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        file.write(line);
}

}

void OCRDebugLog::log(const QString& message)
{
    const QDateTime now = QDateTime::currentDateTime();
    const QString stamp = now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODateWithMs);
    const QByteArray line = (QLatin1Char('[') + stamp + QStringLiteral("] ") + message + QLatin1Char('\n')).toUtf8();
    writer().start([line] { append(line); });
}

void OCRDebugLog::flush()
{
    writer().waitForDone();
}
