#include "speech/HelperRecognizer.h"

#include <QFileInfo>
#include <QProcess>
#include <QTimer>

#include "speech/DictationModel.h"

namespace {

// How long a helper that was told to stop may take to finish its input.
constexpr int stopGraceMs = 2000;

} // namespace

HelperRecognizer::HelperRecognizer(QString program, QObject* parent)
    : QObject(parent)
    , m_program(std::move(program))
{
}

HelperRecognizer::~HelperRecognizer()
{
    for (QProcess* process : findChildren<QProcess*>()) {
        process->disconnect(this);
        process->kill();
        process->waitForFinished();
        delete process;
    }
}

bool HelperRecognizer::isAvailable() const
{
    return QFileInfo(m_program).isExecutable() && DictationModel::files().has_value();
}

void HelperRecognizer::startTask(Handler handler)
{
    m_handler = std::move(handler);
    if (m_process)
        return;
    const std::optional<DictationModel::Files> files = DictationModel::files();
    auto* process = new QProcess(this);
    m_process = process;
    m_ready = false;
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    connect(process, &QProcess::readyReadStandardOutput, this, [this, process] { readLines(process); });
    connect(process, &QProcess::finished, this, [this, process] { ended(process); });
    connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            ended(process);
    });
    if (files)
        process->start(m_program, {files->encoder, files->decoder, files->joiner, files->tokens});
    else // the model went away since it was checked
        QTimer::singleShot(0, process, [this, process] { ended(process); });
}

void HelperRecognizer::appendAudio(const QByteArray& samples)
{
    if (m_process)
        m_process->write(samples);
}

void HelperRecognizer::cancel()
{
    m_handler = nullptr;
    QProcess* process = std::exchange(m_process, nullptr);
    if (!process)
        return;
    process->disconnect(this);
    // The helper ends at the end of its input; one still loading a large model is stopped.
    connect(process, &QProcess::finished, process, &QObject::deleteLater);
    connect(process, &QProcess::errorOccurred, process, &QObject::deleteLater);
    QTimer::singleShot(stopGraceMs, process, [process] { process->kill(); });
    process->closeWriteChannel();
}

void HelperRecognizer::readLines(QProcess* process)
{
    while (process == m_process && process->canReadLine()) {
        const QByteArray line = process->readLine().chopped(1);
        const qsizetype tab = line.indexOf('\t');
        const QByteArray kind = tab < 0 ? line : line.left(tab);
        const QString text = tab < 0 ? QString() : QString::fromUtf8(line.mid(tab + 1));
        if (kind == "ready")
            m_ready = true;
        else if (kind == "partial")
            report(Event::Kind::partial, text);
        else if (kind == "final")
            report(Event::Kind::final, text);
    }
}

void HelperRecognizer::ended(QProcess* process)
{
    if (process != m_process)
        return;
    m_process = nullptr;
    process->deleteLater();
    // Before the model loaded, the engine or the model is unusable; after it, the helper died.
    report(m_ready ? Event::Kind::interrupted : Event::Kind::unusable);
}

void HelperRecognizer::report(Event::Kind kind, const QString& text)
{
    const Handler handler = m_handler; // the handler may start the next task or cancel
    if (handler)
        handler({kind, text});
}
