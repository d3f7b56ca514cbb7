#pragma once

#include <functional>
#include <optional>

#include <QWidget>

#include "core/Shortcut.h"

class QLabel;
class QPushButton;

// One shortcut row of the settings window: the record button showing the pending shortcut, the
// reset button and the hint line. While recording, every key press of the application is taken
// (a local monitor, not a global grab) and judged by the shortcut rules; nothing else sees it.
class ShortcutRecorder : public QWidget {
    Q_OBJECT
public:
    // The stored (positional) key code of a key event's native scan code; nothing for a key that
    // has no stored code. Comes from the platform's key table.
    using KeyReader = std::function<std::optional<quint32>(quint32 nativeScanCode)>;

    enum class Verdict { cancel, needModifier, sameAsOther, accept };
    // Escape alone cancels; a shortcut needs Ctrl, Alt or Super unless its key is F1–F12; it may not
    // equal `taken` (the main shortcut, for the screen-text recorder).
    static Verdict judge(Shortcut pressed, std::optional<Shortcut> taken);

    ShortcutRecorder(const QString& name, Shortcut defaultShortcut, KeyReader readKey, QWidget* parent = nullptr);
    ~ShortcutRecorder() override;

    // The shortcut this recorder may not take; asked at each press.
    void refuseEqualTo(std::function<Shortcut()> taken) { m_taken = std::move(taken); }

    Shortcut pending() const { return m_pending; }
    void setPending(Shortcut shortcut);
    bool isRecording() const { return m_recording; }
    void startRecording();
    void stopRecording();
    // Tells the user this shortcut equals the main one (also used when saving is refused).
    void showSameAsMain();
    void clearHint();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void press(quint32 keyCode, quint32 modifiers);
    void setHint(const char* key, bool warning);
    void refreshButton();

    KeyReader m_readKey;
    std::function<Shortcut()> m_taken;
    Shortcut m_default;
    Shortcut m_pending;
    bool m_recording = false;
    QPushButton* m_record;
    QPushButton* m_reset;
    QLabel* m_hint;
};
