#include "ocr/RecognitionWorker.h"

#include <chrono>

#include <malloc.h>

#include <QCoreApplication>

#include "ocr/TextRecognizer.h"

namespace {

constexpr auto releaseAfterIdle = std::chrono::minutes(1);

}

RecognitionWorker::RecognitionWorker(QObject* parent)
    : QObject(parent)
{
    m_idle.setSingleShot(true);
    m_idle.setInterval(releaseAfterIdle);
    connect(&m_idle, &QTimer::timeout, this, &RecognitionWorker::release);
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
    m_idle.start();
    m_pool.start([this](std::stop_token) { m_engine.load(); });
}

void RecognitionWorker::recognize(QImage crop, QObject* context, std::function<void(QString)> done)
{
    m_idle.start();
    m_pool.run(
        context,
        [this, crop = std::move(crop)](std::stop_token stop) {
            return TextRecognizer::recognizeText(m_engine, crop, stop);
        },
        std::move(done));
}

void RecognitionWorker::release()
{
    m_idle.stop();
    m_pool.start([this](std::stop_token) {
        m_engine.unload();
        // glibc keeps the freed model memory mapped otherwise.
        malloc_trim(0);
    });
}
