#include "app/Modes.h"

#include <chrono>
#include <cmath>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

#include "app/Out.h"
#include "capture/SelectionCaptureService.h"
#include "core/TaskPool.h"
#include "platform/PlatformServices.h"

namespace {

constexpr double defaultWaitSeconds = 3;

double waitSeconds(const QStringList& args)
{
    const int at = args.indexOf(QStringLiteral("--probe-selection"));
    bool ok = false;
    const double seconds = at >= 0 && at + 1 < args.size() ? args[at + 1].toDouble(&ok) : 0;
    return ok && seconds >= 0 ? seconds : defaultWaitSeconds;
}

QJsonObject report(const std::optional<SelectionCapture::Result>& result, std::optional<qint64> pid, double elapsedMs)
{
    return {
        {QStringLiteral("method"), result ? result->method : QString()},
        {QStringLiteral("text"), result ? result->text : QString()},
        {QStringLiteral("contextBeforeLength"), result ? result->contextBefore.value_or(QString()).size() : 0},
        {QStringLiteral("contextAfterLength"), result ? result->contextAfter.value_or(QString()).size() : 0},
        {QStringLiteral("appName"), pid ? Platform::services().workspace->localizedName(*pid) : QString()},
        {QStringLiteral("pid"), pid ? QJsonValue(*pid) : QJsonValue()},
        {QStringLiteral("elapsedMs"), std::round(elapsedMs * 10) / 10},
    };
}

int run(const QStringList& args)
{
    TaskPool tasks(1);
    PlatformSelectionCapture capture(Platform::services(), tasks);
    int status = 1;
    QObject context;
    QTimer::singleShot(std::chrono::milliseconds(std::llround(waitSeconds(args) * 1000)), &context, [&] {
        const std::optional<qint64> pid = Platform::services().workspace->frontmostProcessId();
        QElapsedTimer timer;
        timer.start();
        capture.capture(&context, [&, pid, timer](std::optional<SelectionCapture::Result> result) {
            const double elapsedMs = timer.nsecsElapsed() / 1e6;
            out(QString::fromUtf8(QJsonDocument(report(result, pid, elapsedMs)).toJson(QJsonDocument::Compact)));
            status = result ? 0 : 1;
            QCoreApplication::quit();
        });
    });
    QCoreApplication::exec();
    return status;
}

}

const Mode probeSelectionMode = {
    AppObject::desktop, "[SECONDS]",
    "wait SECONDS (default 3), read the selection of the focused application as the shortcut would, print it as JSON",
    run};
