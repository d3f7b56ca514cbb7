#include "speech/microphone/QtMicrophone.h"

#include <QAudioFormat>
#include <QAudioSource>
#include <QMediaDevices>

QtMicrophone::QtMicrophone(QObject* parent)
    : QObject(parent)
{
    m_watchdog.setSingleShot(true);
    m_watchdog.setInterval(silenceLimitMs);
    connect(&m_watchdog, &QTimer::timeout, this, &QtMicrophone::lose);
}

QtMicrophone::~QtMicrophone()
{
    stop();
}

bool QtMicrophone::start(AudioCallback onAudio, LostCallback onLost)
{
    stop();
    const QAudioDevice device = QMediaDevices::defaultAudioInput();
    if (device.isNull())
        return false;
    QAudioFormat format;
    format.setSampleRate(16000);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    m_source = std::make_unique<QAudioSource>(device, format);
    // A failed start is reported here and now, never through a later state change.
    QIODevice* input = m_source->start();
    if (!input || m_source->error() != QAudio::NoError) {
        m_source.reset();
        return false;
    }
    m_onAudio = std::move(onAudio);
    m_onLost = std::move(onLost);
    connect(input, &QIODevice::readyRead, this, [this, input] { deliver(input->readAll()); });
    m_watchdog.start();
    return true;
}

void QtMicrophone::stop()
{
    m_watchdog.stop();
    if (m_source) {
        m_source->stop();
        m_source.reset();
    }
    m_onAudio = nullptr;
    m_onLost = nullptr;
}

void QtMicrophone::deliver(const QByteArray& samples)
{
    if (samples.isEmpty())
        return;
    m_watchdog.start();
    const AudioCallback onAudio = m_onAudio; // the callback may stop the microphone
    onAudio(samples);
}

void QtMicrophone::lose()
{
    const LostCallback onLost = m_onLost;
    stop();
    if (onLost)
        onLost();
}

Microphone* quillo_open_microphone()
{
    return new QtMicrophone;
}
