#include "ocr/RecognitionWorker.h"

#include <QCoreApplication>

#include "ocr/TextRecognizer.h"

RecognitionWorker::RecognitionWorker(QObject* parent)
    : QObject(parent)
{
}

RecognitionWorker& RecognitionWorker::instance()
{
    static QPointer<RecognitionWorker> worker;
    if (!worker)
        worker = new RecognitionWorker(QCoreApplication::instance());
    return *worker;
}

void RecognitionWorker::warmUp()
{
    m_pool.start([this](std::stop_token) { m_engine.load(); });
}

void RecognitionWorker::recognize(QImage crop, QObject* context, std::function<void(QString)> done)
{
    m_pool.start([this, crop = std::move(crop), context = QPointer<QObject>(context), done = std::move(done)](std::stop_token stop) {
        const QString text = TextRecognizer::recognizeText(m_engine, crop, stop);
        if (stop.stop_requested())
            return;
        QMetaObject::invokeMethod(QCoreApplication::instance(), [context, done, text] {
            if (context)
                done(text);
        });
    });
}
