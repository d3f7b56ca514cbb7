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
    m_pool.run(
        context,
        [this, crop = std::move(crop)](std::stop_token stop) {
            return TextRecognizer::recognizeText(m_engine, crop, stop);
        },
        std::move(done));
}
