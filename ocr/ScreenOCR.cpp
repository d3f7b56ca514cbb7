#include "ocr/ScreenOCR.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QPointer>

#include "core/TaskPool.h"
#include "ocr/OCRDebugLog.h"
#include "ocr/RecognitionWorker.h"
#include "ocr/RegionPicker.h"
#include "ocr/ScreenCapturePermission.h"
#include "ocr/ScreenGrab.h"
#include "platform/PlatformServices.h"

namespace {

using Result = ScreenTextCapture::Result;
using Shot = ScreenImages::Shot;

QString roadName(ScreenImages::Road road)
{
    switch (road) {
    case ScreenImages::Road::kwin: return QStringLiteral("KWin");
    case ScreenImages::Road::portal: return QStringLiteral("portal");
    case ScreenImages::Road::grim: return QStringLiteral("grim");
    case ScreenImages::Road::none: break;
    }
    return QStringLiteral("none");
}

}

void ScreenOCR::pickAndRead(const QList<ScreenImage>& screens, QPointer<QObject> guard, Done answer)
{
    RegionPicker::pick(screens, [guard, answer](const QImage& crop) {
        if (crop.isNull()) {
            RecognitionWorker::instance().stop();
            answer({Result::Kind::cancelled, {}});
            return;
        }
        ScreenCapturePermission::confirmedWorkingThisSession = true;
        recognize(crop, guard, answer);
    });
}

// A Wayland client sees no other window: the compositor hands out the picture, asynchronously.
void ScreenOCR::captureFromDesktop(QPointer<QObject> guard, Done answer)
{
    m_grabbing = true;
    QElapsedTimer clock;
    clock.start();
    Platform::services().screenImages->grab(&m_life, [this, guard, answer, clock](const Shot& shot) {
        m_grabbing = false;
        if (!guard) {
            RecognitionWorker::instance().stop();
            return;
        }
        const bool pictured = shot.outcome == Shot::Outcome::image && shot.image && !shot.image->isNull();
        OCRDebugLog::log(QStringLiteral("桌面截图 · %1 · %2 · %3 ms")
                             .arg(roadName(shot.road),
                                  pictured                                     ? QStringLiteral("image")
                                      : shot.outcome == Shot::Outcome::refused ? QStringLiteral("refused")
                                                                               : QStringLiteral("unavailable"))
                             .arg(clock.elapsed()));
        const QList<ScreenImage> screens =
            pictured ? ScreenGrab::cropScreens(*shot.image, QGuiApplication::screens()) : QList<ScreenImage>();
        if (screens.isEmpty()) {
            RecognitionWorker::instance().stop();
            answer({Result::Kind::needsScreenPermission, {}});
            return;
        }
        if (RegionPicker::isActive()) {
            answer({Result::Kind::cancelled, {}});
            return;
        }
        pickAndRead(screens, guard, answer);
    });
}

void ScreenOCR::capture(QObject* context, Done done)
{
    QPointer<QObject> guard(context);
    auto answer = [guard, done](Result result) { TaskPool::toGui(guard, [done, result] { done(result); }); };
    if (RegionPicker::isActive() || m_grabbing) {
        answer({Result::Kind::cancelled, {}});
        return;
    }
    if (Platform::services().session.display == Session::Display::wayland) {
        RecognitionWorker::instance().warmUp();
        captureFromDesktop(guard, answer);
        return;
    }
    const QList<ScreenImage> screens = ScreenGrab::grabAll();
    const bool usable =
        std::any_of(screens.begin(), screens.end(), [](const ScreenImage& s) { return ScreenGrab::isUsable(s.image); });
    if (!usable && !ScreenCapturePermission::confirmedWorkingThisSession) {
        OCRDebugLog::log(QStringLiteral("屏幕抓取失败或全黑 · %1 个屏幕").arg(screens.size()));
        answer({Result::Kind::needsScreenPermission, {}});
        return;
    }
    RecognitionWorker::instance().warmUp();
    pickAndRead(screens, guard, answer);
}

void ScreenOCR::recognize(const QImage& image, QObject* context, Done done)
{
    QElapsedTimer clock;
    clock.start();
    RecognitionWorker::instance().recognize(image, context, [done, clock, size = image.size()](const QString& text) {
        OCRDebugLog::log(QStringLiteral("识别 %1x%2 · %3 ms · %4 字")
                             .arg(size.width())
                             .arg(size.height())
                             .arg(clock.elapsed())
                             .arg(text.size()));
        done(text.isEmpty() ? Result{Result::Kind::noText, {}} : Result{Result::Kind::text, text});
    });
}
