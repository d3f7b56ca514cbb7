#pragma once

#include <QObject>
#include <QString>

#include "speech/SpeechRecognizer.h"

class QProcess;

// Recognition in the quillo-dictation helper process, which loads the engine and the model:
// a corrupt model aborts the process that loads it, and then only the helper goes. One helper
// runs per dictation; the tasks that follow a finished segment go on in the same helper, which
// resets its stream at every pause. Audio goes to its standard input, results come back as
// lines; no network is involved.
class HelperRecognizer final : public QObject, public SpeechRecognizer {
    Q_OBJECT

public:
    explicit HelperRecognizer(QString program, QObject* parent = nullptr);
    ~HelperRecognizer() override;

    bool isAvailable() const override;
    void startTask(Handler handler) override;
    void appendAudio(const QByteArray& samples) override;
    void cancel() override;

private:
    void readLines(QProcess* process);
    void ended(QProcess* process);
    void report(SpeechRecognizer::Event::Kind kind, const QString& text = {});

    QString m_program;
    QProcess* m_process = nullptr; // the current dictation's helper
    bool m_ready = false;          // it has loaded the model
    Handler m_handler;
};
