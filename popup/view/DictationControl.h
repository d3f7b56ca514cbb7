#pragma once

#include <functional>
#include <memory>

#include <QObject>
#include <QPointer>
#include <QString>

class Dictation;
class InstructionInput;
class QLabel;
class QPushButton;

// The conversation's microphone: dictation into the input after what was already typed, the
// button's recording look and the hint line beneath it. The dictation is made on first use.
// Main thread.
class DictationControl : public QObject {
    Q_OBJECT

public:
    using Factory = std::function<std::unique_ptr<Dictation>()>;

    // `make` empty: no dictation, and the hint line says so. `hintToggled` runs when the hint line
    // appears or disappears, so the panel can follow.
    DictationControl(Factory make, std::function<void()> hintToggled, QObject* parent = nullptr);
    ~DictationControl() override;

    // The controls of the view shown now; none where the view has no input.
    void attach(InstructionInput* input, QPushButton* mic, QLabel* hint);
    void toggle();
    void start();
    void stop();

private:
    void refreshMic();
    void showHint(const QString& text);

    Factory m_make;
    std::function<void()> m_hintToggled;
    std::unique_ptr<Dictation> m_dictation;
    bool m_recording = false;
    QString m_prefix; // what was typed before the dictation began
    QPointer<InstructionInput> m_input;
    QPointer<QPushButton> m_mic;
    QPointer<QLabel> m_hint;
};
