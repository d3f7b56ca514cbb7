#include "windows/ShortcutRecorder.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/KeyFormatter.h"
#include "settings/L10n.h"
#include "ui/Tint.h"
#include "ui/Typography.h"

namespace {

constexpr quint32 escapeKeyCode = 53;

bool isModifierKey(int key)
{
    switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Meta:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
    case Qt::Key_ScrollLock: return true;
    default: return false;
    }
}

}

ShortcutRecorder::Verdict ShortcutRecorder::judge(Shortcut pressed, std::optional<Shortcut> taken)
{
    if (pressed.keyCode == escapeKeyCode && pressed.modifiers == 0)
        return Verdict::cancel;
    if (!KeyFormatter::hasRequiredModifier(pressed.modifiers) && !KeyFormatter::isFunctionKey(pressed.keyCode))
        return Verdict::needModifier;
    if (taken && *taken == pressed)
        return Verdict::sameAsOther;
    return Verdict::accept;
}

ShortcutRecorder::ShortcutRecorder(const QString& name, Shortcut defaultShortcut, KeyReader readKey, QWidget* parent)
    : QWidget(parent)
    , m_readKey(std::move(readKey))
    , m_default(defaultShortcut)
    , m_pending(defaultShortcut)
    , m_record(new QPushButton(this))
    , m_reset(new QPushButton(L10n::tf("settings.hotkey.reset", {KeyFormatter::format(defaultShortcut)}), this))
    , m_hint(new QLabel(this))
{
    m_record->setCheckable(true);
    // Wide enough for the recording title, so the button keeps its size while recording.
    m_record->setMinimumWidth(
        std::max(140, m_record->fontMetrics().horizontalAdvance(L10n::t("settings.hotkey.recording")) + 24));
    m_record->setAccessibleName(name);
    m_reset->setAccessibleName(m_reset->text());
    m_hint->setWordWrap(true);
    m_hint->setFont(Typography::font(11, 1.0));
    m_hint->setAccessibleDescription(name); // read out as the hint it shows
    connect(m_record, &QPushButton::clicked, this, [this] { m_recording ? stopRecording() : startRecording(); });
    connect(m_reset, &QPushButton::clicked, this, [this] {
        stopRecording();
        setPending(m_default);
        clearHint();
    });

    // The reset button names the default in full ("Reset to default (Alt+Super+E)"), too wide to
    // share a line with the recorder in the settings' fixed width: it sits below it.
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(2);
    column->addWidget(m_record, 0, Qt::AlignLeft);
    column->addWidget(m_reset, 0, Qt::AlignLeft);
    column->addWidget(m_hint);
    refreshButton();
}

ShortcutRecorder::~ShortcutRecorder()
{
    if (m_recording)
        qApp->removeEventFilter(this);
}

void ShortcutRecorder::setPending(Shortcut shortcut)
{
    m_pending = shortcut;
    refreshButton();
}

void ShortcutRecorder::startRecording()
{
    if (!m_recording) {
        m_recording = true;
        qApp->installEventFilter(this);
    }
    setHint("settings.hotkey.hint.recording", false);
    refreshButton();
}

void ShortcutRecorder::stopRecording()
{
    if (m_recording) {
        m_recording = false;
        qApp->removeEventFilter(this);
    }
    refreshButton();
}

void ShortcutRecorder::showSameAsMain()
{
    setHint("settings.hotkey.hint.sameAsMain", true);
    refreshButton();
}

void ShortcutRecorder::clearHint()
{
    m_hint->clear();
}

bool ShortcutRecorder::eventFilter(QObject* watched, QEvent* event)
{
    if (!m_recording)
        return QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::ShortcutOverride) {
        event->accept(); // no shortcut of the window fires; the press comes to us as a key press
        return true;
    }
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->isAutoRepeat() || isModifierKey(key->key()))
        return true;
    if (const std::optional<quint32> code = m_readKey ? m_readKey(key->nativeScanCode()) : std::nullopt)
        press(*code, KeyFormatter::carbonModifiers(key->modifiers()));
    return true;
}

void ShortcutRecorder::press(quint32 keyCode, quint32 modifiers)
{
    const Shortcut pressed{keyCode, modifiers};
    switch (judge(pressed, m_taken ? std::optional(m_taken()) : std::nullopt)) {
    case Verdict::cancel:
        stopRecording();
        clearHint();
        return;
    case Verdict::needModifier: setHint("settings.hotkey.hint.needModifier", true); return;
    case Verdict::sameAsOther: setHint("settings.hotkey.hint.sameAsMain", true); return;
    case Verdict::accept:
        m_pending = pressed;
        stopRecording();
        clearHint();
        return;
    }
}

void ShortcutRecorder::setHint(const char* key, bool warning)
{
    m_hint->setText(L10n::t(key));
    QPalette palette = m_hint->palette();
    palette.setColor(QPalette::WindowText,
                     Tints::color(warning ? Tint::orange : Tint::secondaryLabel, Tints::isDark(palette)));
    m_hint->setPalette(palette);
}

void ShortcutRecorder::refreshButton()
{
    m_record->setChecked(m_recording);
    m_record->setText(m_recording ? L10n::t("settings.hotkey.recording") : KeyFormatter::format(m_pending));
    QPalette palette = m_record->palette();
    palette.setColor(QPalette::ButtonText,
                     m_recording ? Tints::color(Tint::accent, Tints::isDark(palette))
                                 : QApplication::palette().color(QPalette::ButtonText));
    m_record->setPalette(palette);
}
