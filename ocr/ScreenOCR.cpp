#include "ocr/ScreenOCR.h"

#include <QElapsedTimer>
#include <QPointer>

#include "core/TaskPool.h"
#include "ocr/OCRDebugLog.h"
#include "ocr/RecognitionWorker.h"
#include "ocr/RegionPicker.h"
#include "ocr/ScreenCapturePermission.h"
#include "ocr/ScreenGrab.h"

namespace {

using Result = ScreenTextCapture::Result;

}

void ScreenOCR::capture(QObject* context, Done done)
{
    QPointer<QObject> guard(context);
    auto answer = [guard, done](Result result) { TaskPool::toGui(guard, [done, result] { done(result); }); };
    if (RegionPicker::isActive()) {
        answer({Result::Kind::cancelled, {}});
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
    RegionPicker::pick(screens, [guard, answer](const QImage& crop) {
        if (crop.isNull()) {
            answer({Result::Kind::cancelled, {}});
            return;
        }
        ScreenCapturePermission::confirmedWorkingThisSession = true;
        recognize(crop, guard, answer);
    });
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
