#include "popup/view/DictationControl.h"

#include <QLabel>
#include <QPushButton>

#include "popup/view/PanelParts.h"
#include "settings/L10n.h"
#include "speech/Dictation.h"
#include "ui/InstructionInput.h"

DictationControl::DictationControl(Factory make, std::function<void()> hintToggled, QObject* parent)
    : QObject(parent)
    , m_make(std::move(make))
    , m_hintToggled(std::move(hintToggled))
{
}

DictationControl::~DictationControl()
{
    if (m_recording)
        m_dictation->stop();
}

void DictationControl::attach(InstructionInput* input, QPushButton* mic, QLabel* hint)
{
    m_input = input;
    m_mic = mic;
    m_hint = hint;
}

void DictationControl::toggle()
{
    m_recording ? stop() : start();
}

void DictationControl::start()
{
    if (!m_input || m_recording)
        return;
    if (!m_dictation && m_make)
        m_dictation = m_make();
    if (!m_dictation) {
        showHint(L10n::t("popup.mic.unavailable"));
        return;
    }
    m_prefix = m_input->toPlainText();
    const QPointer<DictationControl> self(this);
    m_dictation->start(
        [this, self](const QString& transcript) {
            if (self && m_recording && m_input)
                m_input->setTextKeepingEnd(m_prefix + transcript);
        },
        [this, self](const QString& error) {
            if (!self)
                return;
            m_recording = false;
            refreshMic();
            showHint(error);
        });
    m_recording = true;
    refreshMic();
    showHint(L10n::t("popup.voice.listening"));
}

void DictationControl::stop()
{
    if (!m_recording)
        return;
    m_dictation->stop();
    m_recording = false;
    refreshMic();
    showHint(QString());
}

void DictationControl::refreshMic()
{
    if (!m_mic)
        return;
    m_mic->setText(L10n::t(m_recording ? "popup.mic.recording" : "popup.mic.idle"));
    QPalette palette = m_mic->palette();
    palette.setColor(QPalette::ButtonText,
                     m_recording ? PanelParts::color(Tint::red) : QPalette().color(QPalette::ButtonText));
    m_mic->setPalette(palette);
}

void DictationControl::showHint(const QString& text)
{
    if (!m_hint)
        return;
    const bool wasShown = !m_hint->isHidden();
    m_hint->setText(text);
    m_hint->setAccessibleName(text);
    m_hint->setVisible(!text.isEmpty());
    // The line takes room of its own, so the panel follows it.
    if (wasShown != !text.isEmpty())
        m_hintToggled();
}
