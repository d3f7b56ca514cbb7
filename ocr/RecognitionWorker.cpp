#include "ocr/RecognitionWorker.h"

#include <chrono>
#include <cstdio>

#include <QBuffer>
#include <QCoreApplication>
#include <QTimer>

namespace {

// A recognition takes well under a second; a child still busy after this is stuck.
constexpr auto childLimit = std::chrono::seconds(20);

void warn(const QString& why)
{
    std::fprintf(stderr, "quillo: screen text recognition: %s\n", qPrintable(why));
}

// Why the child gave no text; empty when it ended normally.
QString failure(const QProcess& child)
{
    if (child.error() == QProcess::FailedToStart)
        return child.errorString();
    if (child.exitStatus() == QProcess::CrashExit)
        return QStringLiteral("the recogniser crashed or was killed");
    if (child.exitCode() != 0)
        return QStringLiteral("the recogniser ended with status %1").arg(child.exitCode());
    return {};
}

void end(QProcess* child)
{
    child->disconnect();
    child->kill();
    child->waitForFinished();
}

}

RecognitionWorker::RecognitionWorker(QObject* parent)
    : QObject(parent)
{
}

RecognitionWorker::~RecognitionWorker()
{
    for (QProcess* child : findChildren<QProcess*>(Qt::FindDirectChildrenOnly))
        end(child);
}

RecognitionWorker& RecognitionWorker::instance()
{
    static QPointer<RecognitionWorker> worker;
    if (!worker)
        worker = new RecognitionWorker(QCoreApplication::instance());
    return *worker;
}

// The tray itself, or the one built beside a test or bench binary.
QProcess* RecognitionWorker::startChild()
{
    auto* child = new QProcess(this);
    child->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child->start(QCoreApplication::applicationDirPath() + QStringLiteral("/quillo"),
                 {QStringLiteral("--recognize-child")});
    return child;
}

void RecognitionWorker::warmUp()
{
    if (!m_waiting)
        m_waiting = startChild();
}

void RecognitionWorker::stop()
{
    if (m_waiting) {
        end(m_waiting);
        delete m_waiting;
    }
}

void RecognitionWorker::recognize(const QImage& crop, QObject* context, std::function<void(QString)> done)
{
    QProcess* child = m_waiting ? m_waiting.data() : startChild();
    m_waiting = nullptr;
    const auto answer = [child, guard = QPointer<QObject>(context), done] {
        const QString why = failure(*child);
        if (!why.isEmpty())
            warn(why);
        const QString text = why.isEmpty() ? QString::fromUtf8(child->readAllStandardOutput()) : QString();
        child->deleteLater();
        if (guard)
            done(text);
    };
    if (child->state() == QProcess::NotRunning) {
        QMetaObject::invokeMethod(child, answer, Qt::QueuedConnection);
        return;
    }
    connect(child, &QProcess::finished, child, answer);
    connect(child, &QProcess::errorOccurred, child, [answer](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            answer();
    });
    QTimer::singleShot(childLimit, child, [child] {
        warn(QStringLiteral("no answer in %1 s").arg(childLimit.count()));
        child->kill();
    });
    // BMP, not PNG: a full screen is encoded in 4 ms instead of 37 on the GUI thread, and a pipe
    // does not mind the size.
    QByteArray bitmap;
    QBuffer buffer(&bitmap);
    buffer.open(QIODevice::WriteOnly);
    crop.save(&buffer, "BMP");
    child->write(bitmap);
    child->closeWriteChannel();
}
