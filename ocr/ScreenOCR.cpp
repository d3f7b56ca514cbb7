#include "ocr/ScreenOCR.h"

#include <QMetaObject>
#include <QObject>
#include <QPointer>

void ScreenOCR::captureAndRecognize(QObject* context, std::function<void(CaptureResult)> done)
{
    QMetaObject::invokeMethod(context, [done = std::move(done)] { done({CaptureResult::Kind::cancelled, {}}); },
                              Qt::QueuedConnection);
}
