#include "speech/SpeechInput.h"

#include "speech/DictationModel.h"
#include "speech/HelperRecognizer.h"
#include "speech/Microphone.h"

SpeechInput::SpeechInput(std::unique_ptr<SpeechRecognizer> recognizer, std::unique_ptr<Microphone> microphone,
                         QObject* parent)
    : QObject(parent)
    , m_recognizer(std::move(recognizer))
    , m_microphone(std::move(microphone))
{
}

SpeechInput::~SpeechInput()
{
    stop();
}

std::unique_ptr<Dictation> SpeechInput::onDevice()
{
    return std::make_unique<SpeechInput>(std::make_unique<HelperRecognizer>(DictationModel::helperProgram()),
                                         Microphone::openDefault());
}

void SpeechInput::start(TextCallback onPartial, TextCallback onError)
{
    if (m_running)
        return;
    // Speech-recognition and microphone permissions have no counterpart on the Linux desktop:
    // whoever runs the session may record from its devices.
    m_running = true;
    m_accumulated.clear();
    m_onPartial = std::move(onPartial);
    m_onError = std::move(onError);
    ++m_taskGen;
    if (!m_recognizer->isAvailable())
        return failLater(noOnDeviceSpeech);
    const bool listening = m_microphone->start(
        [this](const QByteArray& samples) {
            if (m_running)
                m_recognizer->appendAudio(samples);
        },
        [this] {
            if (m_running)
                fail(noMicrophone);
        });
    if (!listening)
        return failLater(noMicrophone);
    startTask();
}

void SpeechInput::stop()
{
    if (!m_running)
        return;
    m_running = false;
    ++m_taskGen;
    m_microphone->stop();
    m_recognizer->cancel();
    m_accumulated.clear();
    m_onPartial = nullptr;
    m_onError = nullptr;
}

void SpeechInput::startTask()
{
    if (!m_running)
        return;
    const int generation = ++m_taskGen;
    m_recognizer->startTask([this, generation](const SpeechRecognizer::Event& event) { onResult(generation, event); });
}

void SpeechInput::onResult(int generation, const SpeechRecognizer::Event& event)
{
    using Kind = SpeechRecognizer::Event::Kind;
    if (generation != m_taskGen)
        return; // a replaced task, or a dictation that was stopped
    switch (event.kind) {
    case Kind::partial: deliver(m_accumulated + event.text); break;
    case Kind::final:
        m_accumulated += event.text;
        deliver(m_accumulated);
        if (generation == m_taskGen) // not stopped from the callback
            startTask();
        break;
    case Kind::unusable: fail(noOnDeviceSpeech); break;
    case Kind::interrupted: fail(interrupted); break;
    }
}

void SpeechInput::deliver(const QString& transcript)
{
    const TextCallback onPartial = m_onPartial; // the callback may stop the dictation
    onPartial(transcript);
}

void SpeechInput::fail(const QString& sentence)
{
    const TextCallback onError = m_onError;
    stop();
    if (onError)
        onError(sentence);
}

// The caller of start() learns of the failure the way it learns of every other: later, on the
// main thread, and not at all once it has called stop().
void SpeechInput::failLater(const QString& sentence)
{
    const int generation = m_taskGen;
    QMetaObject::invokeMethod(
        this,
        [this, generation, sentence] {
            if (m_running && generation == m_taskGen)
                fail(sentence);
        },
        Qt::QueuedConnection);
}
