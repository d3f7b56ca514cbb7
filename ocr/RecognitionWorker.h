#pragma once

#include <functional>

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include "core/TaskPool.h"
#include "ocr/OCREngine.h"

// The one warm recognition engine of the process and the thread it runs on. It belongs to the
// application object and ends with it, stopping a recognition that is still running. The models
// (~70 MB) are freed a minute after the last use: a grab loads them again during its drag.
class RecognitionWorker : public QObject {
public:
    // Main thread only; made on first use.
    static RecognitionWorker& instance();

    // Loads the models in the background, so the first capture does not wait for them.
    void warmUp();
    // Reads the crop off the main thread; calls done on the main thread with the text (empty when
    // none), unless the context is gone by then.
    void recognize(QImage crop, QObject* context, std::function<void(QString)> done);
    // Frees the models after the recognitions asked for so far.
    void release();

private:
    explicit RecognitionWorker(QObject* parent);

    OCREngine m_engine; // used on the pool's one thread only
    QTimer m_idle;
    TaskPool m_pool{1}; // declared last: it stops and waits before the engine goes
};
