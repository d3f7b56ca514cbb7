#pragma once

#include <memory>

#include <QObject>
#include <QString>

#include "speech/Dictation.h"
#include "speech/SpeechRecognizer.h"

class Microphone;

// Dictation of Mandarin on this machine: the microphone's audio goes to the recogniser, and
// each segment the recogniser finalises is added to the transcript while a new task goes on
// listening. Failures are reported as the short sentences below, once, after which the
// dictation has ended; a failure found while starting arrives after start() has returned.
// There is no network path: without an on-device engine and model there is no dictation.
class SpeechInput final : public QObject, public Dictation {
    Q_OBJECT

public:
    static inline const QString noOnDeviceSpeech = QStringLiteral("本机不支持离线语音（为保护隐私不走云端）");
    static inline const QString noMicrophone = QStringLiteral("没找到可用的麦克风");
    static inline const QString interrupted = QStringLiteral("语音识别中断了，重试一下");

    SpeechInput(std::unique_ptr<SpeechRecognizer> recognizer, std::unique_ptr<Microphone> microphone,
                QObject* parent = nullptr);
    ~SpeechInput() override;
    // The desktop's default microphone and the quillo-dictation helper beside this program.
    static std::unique_ptr<Dictation> onDevice();

    void start(TextCallback onPartial, TextCallback onError) override;
    void stop() override;
    bool isRunning() const override { return m_running; }

private:
    void startTask();
    void onResult(int generation, const SpeechRecognizer::Event& event);
    void deliver(const QString& transcript);
    void fail(const QString& sentence);
    void failLater(const QString& sentence);

    std::unique_ptr<SpeechRecognizer> m_recognizer;
    std::unique_ptr<Microphone> m_microphone;
    bool m_running = false;
    QString m_accumulated; // the segments finalised so far
    int m_taskGen = 0;     // a task's results count only while this is its generation
    TextCallback m_onPartial;
    TextCallback m_onError;
};
