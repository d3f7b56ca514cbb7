#include "platform/wayland/GrimScreenshot.h"

#include <QImage>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

namespace {

constexpr int timeoutMs = 5000;

using Shot = ScreenImages::Shot;

QString program()
{
    return QStandardPaths::findExecutable(QStringLiteral("grim"));
}

}

bool GrimScreenshot::available()
{
    return !program().isEmpty();
}

void GrimScreenshot::grab(QObject* context, Done done)
{
    const QString grim = program();
    if (grim.isEmpty()) {
        m_state = State::unavailable;
        QTimer::singleShot(0, context, [done] { done({Shot::Outcome::unavailable, Road::grim, nullptr}); });
        return;
    }
    auto* process = new QProcess(this);
    process->setProgram(grim);
    // Uncompressed to the standard output: no file, and nothing to inflate afterwards.
    process->setArguments({QStringLiteral("-t"), QStringLiteral("ppm"), QStringLiteral("-")});
    process->setStandardErrorFile(QProcess::nullDevice());
    QTimer::singleShot(timeoutMs, process, [process] { process->kill(); });
    const auto finished = [this, process, guard = QPointer<QObject>(context), done](bool ran) {
        process->deleteLater();
        const QByteArray picture = ran ? process->readAllStandardOutput() : QByteArray();
        m_pool.run(
            this,
            [picture](std::stop_token) {
                auto image = std::make_shared<QImage>(QImage::fromData(picture, "PPM"));
                return image->isNull() ? nullptr : std::shared_ptr<const QImage>(std::move(image));
            },
            [this, guard, done](std::shared_ptr<const QImage> image) {
                m_state = image ? State::works : State::unavailable;
                if (guard)
                    done({image ? Shot::Outcome::image : Shot::Outcome::unavailable, Road::grim, image});
            });
    };
    connect(process, &QProcess::finished, this, [process, finished](int code, QProcess::ExitStatus status) {
        finished(status == QProcess::NormalExit && code == 0);
    });
    connect(process, &QProcess::errorOccurred, this, [finished](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            finished(false);
    });
    process->start();
}
