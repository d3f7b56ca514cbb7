#include "popup/view/PopupPanel.h"

#include <cmath>

#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "capture/SelectionCapture.h"
#include "core/HotKey.h"
#include "memory/RecallBanner.h"
#include "platform/PlatformServices.h"
#include "popup/ActionSession.h"
#include "popup/view/HeightThrottle.h"
#include "popup/view/PanelParts.h"
#include "popup/view/PopupViews.h"
#include "settings/L10n.h"
#include "settings/SettingsStore.h"
#include "speech/Dictation.h"
#include "ui/ElidedLabel.h"
#include "ui/GlassWindow.h"
#include "ui/InstructionInput.h"
#include "ui/TextArea.h"
#include "ui/Typography.h"

namespace {

constexpr int noticeAutoCloseMs = 8000;
constexpr int animationIntervalMs = 400;
constexpr Shortcut escapeKey = {53, 0}; // Escape, no modifiers

}

class PopupPanel::Impl {
public:
    Impl(PopupPanel& panel, Services services)
        : q(panel)
        , m_services(std::move(services))
        , m_session(m_services.engine, m_services.knowledge, m_services.tasks)
    {
        m_autoClose.setSingleShot(true);
        // A coarse timer may fire 5 % early: the notice promises 8 seconds.
        m_autoClose.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_autoClose, &QTimer::timeout, &q, [this] { close(); });
        m_animation.setInterval(animationIntervalMs);
        QObject::connect(&m_animation, &QTimer::timeout, &q, [this] { tickAnimation(); });
        m_clock.start();
        connectSession();
    }

    PopupPanel& q;
    Services m_services;
    ActionSession m_session;
    QPointer<GlassWindow> m_window;
    std::unique_ptr<HotKey> m_escapeHotKey;
    QTimer m_autoClose;
    QTimer m_animation;
    QElapsedTimer m_clock;

    QString m_header;
    qreal m_fontScale = 1.0;
    QSize m_size;
    PopupViews::Controls m_controls;
    QList<GuideButton> m_guideButtons;
    std::function<void()> m_onOptionsChanged;
    std::function<void(const QString&)> m_onActionRerun;
    bool m_favourite = false;
    QString m_storeWarning; // shown instead of "done" once, when an answer could not be remembered

    // The live stream: where fragments go and whether the panel grows with them.
    QPointer<TextArea> m_streamView;
    bool m_streamGrowsWindow = false;
    QTextCharFormat m_streamFormat;
    HeightThrottle m_heightThrottle;
    int m_lastSyncedResultHeight = TextArea::minHeight;
    QString m_animationText;
    int m_animationDots = 0;

    std::unique_ptr<Dictation> m_dictation;
    bool m_recording = false;
    QString m_dictationPrefix;

    // Opening and closing.

    void open(const QString& header, const QString& selectedText, const QList<PopupAction>& actions,
              std::shared_ptr<ActionOptions> options, std::optional<qint64> targetPid, SourceKind sourceKind)
    {
        close();
        m_fontScale = SettingsStore::load().fontScale;
        m_header = header;
        m_session.open(selectedText, actions, std::move(options), targetPid, sourceKind);
        present(initialActionsView(), false, 0, true);
    }

    void close()
    {
        stopDictation();
        m_session.close();
        m_autoClose.stop();
        m_animation.stop();
        m_escapeHotKey.reset();
        m_streamView.clear();
        m_controls = {};
        m_guideButtons.clear();
        m_favourite = false;
        m_storeWarning.clear();
        if (m_window) {
            m_window->hide();
            m_window->deleteLater();
            m_window.clear();
            Q_EMIT q.closed();
        }
    }

    void present(PopupViews::Built built, bool clickToClose, int autoCloseMs, bool newPanel)
    {
        m_controls = built.controls;
        m_size = built.size;
        if (!newPanel && m_window) {
            m_window->setContent(built.view, built.size);
            return;
        }
        m_window = new GlassWindow;
        m_window->setAccessibleName(QStringLiteral("Quillo"));
        m_window->setContent(built.view, built.size);
        m_window->setClickToClose(clickToClose);
        QObject::connect(m_window, &GlassWindow::escapePressed, &q, [this] { close(); });
        QObject::connect(m_window, &GlassWindow::clicked, &q, [this] { close(); });
        m_window->placeNearPointer();
        m_window->show();
        // Closing ends the grab, which must not happen inside the grab's own callback.
        m_escapeHotKey = std::make_unique<HotKey>(escapeKey, HotKey::escapeId, [panel = QPointer<PopupPanel>(&q)] {
            QMetaObject::invokeMethod(
                panel,
                [panel] {
                    if (panel)
                        panel->close();
                },
                Qt::QueuedConnection);
        });
        if (autoCloseMs > 0)
            m_autoClose.start(autoCloseMs);
        Q_EMIT q.shown();
    }

    // The views.

    PopupViews::Handlers handlers()
    {
        PopupViews::Handlers h;
        h.close = [this] { close(); };
        h.runAction = [this](int index) {
            m_autoClose.stop();
            m_session.runAction(index);
        };
        h.optionsChanged = [this] { optionsChanged(); };
        h.recall = [this] { showRecalledAnswer(); };
        h.replace = [this] { replaceSelection(); };
        h.copy = [this] { copyResult(); };
        h.collect = [this] { collectSelection(); };
        h.favourite = [this] { toggleFavourite(); };
        h.send = [this] { sendInstruction(); };
        h.mic = [this] { m_recording ? stopDictation() : startDictation(); };
        h.inputPressed = [this] {
            if (m_window)
                m_window->makeKey();
        };
        return h;
    }

    PopupViews::Selection selection(bool withOptionRow) const
    {
        QStringList titles;
        for (const PopupAction& action : m_session.actions())
            titles.append(action.title);
        return {m_header,
                m_session.selectedText(),
                titles,
                withOptionRow ? m_session.activeActionKey() : std::nullopt,
                m_session.options(),
                m_fontScale};
    }

    QString recallText() const
    {
        return m_session.recallHit() ? RecallBanner::text(*m_session.recallHit()) : QString();
    }

    PopupViews::Built initialActionsView()
    {
        PopupViews::ActionsView view;
        view.selection = selection(false);
        view.recallText = recallText();
        view.status.hidden = true;
        view.result = L10n::t("popup.placeholder.result");
        view.resultTint = Tint::tertiaryLabel;
        return PopupViews::actions(view, handlers());
    }

    void showConversation(const PopupViews::StatusLine& status, bool inputEnabled)
    {
        PopupViews::ConversationView view;
        view.selection = selection(true);
        view.status = status;
        view.transcript = m_session.transcript();
        view.inputEnabled = inputEnabled;
        view.favourite = m_favourite;
        present(PopupViews::conversation(view, handlers()), false, 0, false);
    }

    void setStatus(const QString& text, Tint tint)
    {
        if (m_controls.status)
            PopupViews::setStatus(*m_controls.status, {text, tint, false});
    }

    // The session's signals.

    void connectSession()
    {
        QObject::connect(&m_session, &ActionSession::recallReady, &q, [this] {
            // The banner joins the view only while nothing has been asked yet.
            if (m_window && m_session.recallHit() && !m_session.activeActionKey() && !m_session.isRunning())
                present(initialActionsView(), false, 0, false);
        });
        QObject::connect(&m_session, &ActionSession::runStarted, &q,
                         [this](const QString& title) { runStarted(title); });
        QObject::connect(&m_session, &ActionSession::revisionStarted, &q,
                         [this](int version) { revisionStarted(version); });
        QObject::connect(&m_session, &ActionSession::generating, &q, [this] {
            m_animation.stop();
            startAnimation(streamStatus(true));
        });
        QObject::connect(&m_session, &ActionSession::deltaAppended, &q,
                         [this](const QString& fragment) { appendDelta(fragment); });
        QObject::connect(&m_session, &ActionSession::answered, &q, [this](const QString&) { answered(); });
        QObject::connect(&m_session, &ActionSession::runFailed, &q,
                         [this](const QString& message, bool partialKept) { runFailed(message, partialKept); });
        QObject::connect(&m_session, &ActionSession::revisionFailed, &q, [this](const QString& message) {
            endStreaming(false);
            showConversation({L10n::tf("popup.status.error", {message}), Tint::orange}, true);
        });
        QObject::connect(&m_session, &ActionSession::storeFailed, &q,
                         [this](const QString& message) { m_storeWarning = message; });
    }

    QString m_streamBase;

    QString streamStatus(bool generating) const
    {
        if (m_streamBase.isEmpty())
            return L10n::t(generating ? "popup.status.generating.nobase" : "popup.status.connecting.nobase");
        return L10n::tf(generating ? "popup.status.generating" : "popup.status.connecting", {m_streamBase});
    }

    void runStarted(const QString& title)
    {
        stopDictation();
        m_favourite = false;
        PopupViews::ActionsView view;
        view.selection = selection(true);
        view.recallText = recallText();
        view.actionsEnabled = false;
        view.status = {L10n::tf("popup.status.connecting", {title}), Tint::yellow, false};
        present(PopupViews::actions(view, handlers()), false, 0, false);
        startStream(m_controls.result, true, title);
    }

    void revisionStarted(int version)
    {
        stopDictation();
        m_autoClose.stop();
        showConversation({L10n::t("popup.status.connectingShort"), Tint::yellow}, false);
        TextArea* transcript = m_controls.transcript;
        if (!transcript->document()->isEmpty())
            transcript->appendFragment(
                QStringLiteral("\n\n"),
                PopupViews::transcriptBodyFormat(ActionSession::TranscriptEntry::Kind::answer, m_fontScale));
        PopupViews::appendTranscriptHeader(*transcript, ActionSession::TranscriptEntry::Kind::answer, version,
                                           m_fontScale);
        startStream(transcript, false, QString());
    }

    void startStream(TextArea* view, bool growsWindow, const QString& base)
    {
        m_streamView = view;
        m_streamGrowsWindow = growsWindow;
        m_streamFormat = PopupViews::transcriptBodyFormat(ActionSession::TranscriptEntry::Kind::answer, m_fontScale);
        m_heightThrottle.reset();
        m_lastSyncedResultHeight = TextArea::minHeight;
        m_streamBase = base;
        if (growsWindow)
            view->clear();
        startAnimation(streamStatus(false));
    }

    void appendDelta(const QString& fragment)
    {
        if (!m_streamView)
            return;
        m_streamView->appendFragment(fragment, m_streamFormat);
        if (m_streamGrowsWindow && m_heightThrottle.syncNow(m_clock.elapsed()))
            syncStreamingHeight();
    }

    void syncStreamingHeight()
    {
        if (!m_window || !m_streamView)
            return;
        const int height = m_streamView->fittingHeight();
        // Whole pixels: any change is more than the half pixel that is ignored.
        if (height == m_lastSyncedResultHeight)
            return;
        const int grown = height - m_streamView->height();
        m_lastSyncedResultHeight = height;
        m_streamView->setFixedHeight(height);
        m_size.rheight() += grown;
        m_window->resizeKeepingTop(m_size);
    }

    void endStreaming(bool catchUp)
    {
        m_animation.stop();
        if (m_streamView)
            m_streamView->flushPending();
        if (catchUp && m_streamGrowsWindow && m_heightThrottle.catchUpDue())
            syncStreamingHeight();
        m_streamView.clear();
    }

    void answered()
    {
        endStreaming(true);
        const bool warn = !m_storeWarning.isEmpty();
        showConversation({warn ? m_storeWarning : L10n::t("popup.status.done"), warn ? Tint::orange : Tint::green},
                         true);
        m_storeWarning.clear();
        // Once the view is in place, the user can type the next instruction at once.
        QMetaObject::invokeMethod(
            &q,
            [this] {
                if (!m_window || !m_controls.input)
                    return;
                m_window->makeKey();
                m_controls.input->setFocus();
            },
            Qt::QueuedConnection);
    }

    void runFailed(const QString& message, bool partialKept)
    {
        endStreaming(false);
        if (partialKept) {
            setStatus(L10n::tf("popup.status.error", {message}), Tint::orange);
            return;
        }
        PopupViews::ActionsView view;
        view.selection = selection(false);
        view.recallText = recallText();
        view.status = {L10n::t("popup.status.errorShort"), Tint::orange, false};
        view.result = message;
        view.resultTint = Tint::orange;
        present(PopupViews::actions(view, handlers()), false, 0, false);
    }

    // The status line's animation: zero to three dots after the text, every 0.4 s.

    void startAnimation(const QString& text)
    {
        m_animationText = text;
        m_animationDots = 0;
        setStatus(text, Tint::yellow);
        m_animation.start();
    }

    void tickAnimation()
    {
        m_animationDots = (m_animationDots + 1) % 4;
        setStatus(m_animationText + QStringLiteral(" ·").repeated(m_animationDots), Tint::yellow);
    }

    // The user's requests.

    void optionsChanged()
    {
        if (m_onOptionsChanged)
            m_onOptionsChanged();
        if (m_session.activeActionKey() && m_onActionRerun)
            m_onActionRerun(*m_session.activeActionKey());
    }

    void sendInstruction()
    {
        if (!m_controls.input || !m_session.inConversation())
            return;
        const QString instruction = m_controls.input->toPlainText();
        if (instruction.trimmed().isEmpty())
            return;
        stopDictation();
        m_controls.input->clear();
        m_session.sendInstruction(instruction);
    }

    void replaceSelection()
    {
        const QString text = m_session.currentResult();
        if (text.isEmpty())
            return;
        const PlatformServices platform = Platform::services();
        // On the clipboard first, so the answer can always be pasted by hand.
        platform.clipboard->setText(text);
        if (const std::optional<qint64> pid = m_session.targetPid(); pid && platform.workspace->isRunning(*pid))
            platform.workspace->activate(*pid);
        if (SelectionCapture::replace(*platform.accessibility, text)) {
            setStatus(L10n::t("popup.applied.ax"), Tint::green);
            return;
        }
        SelectionCapture::pasteFallback(*platform.keys);
        setStatus(L10n::t("popup.applied.paste"), Tint::green);
    }

    void copyResult()
    {
        const QString text = m_session.currentResult();
        if (text.isEmpty())
            return;
        Platform::services().clipboard->setText(text);
        setStatus(L10n::t("popup.copied"), Tint::green);
    }

    void collectSelection()
    {
        if (m_session.selectedText().trimmed().isEmpty()) {
            setStatus(L10n::t("popup.collect.empty"), Tint::orange);
            return;
        }
        if (m_session.collectSelection())
            setStatus(L10n::t("popup.collect.done"), Tint::green);
        else
            setStatus(L10n::t("popup.memoryWriteFailed"), Tint::orange);
    }

    void toggleFavourite()
    {
        const std::optional<bool> on = m_session.toggleFavorite();
        if (!on || !m_controls.favourite)
            return;
        m_favourite = *on;
        PopupViews::setFavourite(*m_controls.favourite, m_favourite);
    }

    void showRecalledAnswer()
    {
        m_animation.stop();
        m_streamView.clear();
        const std::optional<ActionSession::RecalledAnswer> recalled = m_session.showRecalledAnswer();
        if (!recalled)
            return;
        PopupViews::ActionsView view;
        view.selection = selection(false);
        view.recallText = recallText();
        view.status = {recalled->status, Tint::accent, false};
        view.result = recalled->text;
        view.resultButtons = true;
        present(PopupViews::actions(view, handlers()), false, 0, false);
    }

    // Dictation into the input.

    void startDictation()
    {
        if (!m_controls.input || m_recording)
            return;
        if (!m_dictation && m_services.dictation)
            m_dictation = m_services.dictation();
        if (!m_dictation) {
            showVoiceHint(L10n::t("popup.mic.unavailable"));
            return;
        }
        m_dictationPrefix = m_controls.input->toPlainText();
        const QPointer<PopupPanel> panel(&q);
        m_dictation->start(
            [this, panel](const QString& transcript) {
                if (panel && m_recording && m_controls.input)
                    m_controls.input->setTextKeepingEnd(m_dictationPrefix + transcript);
            },
            [this, panel](const QString& error) {
                if (!panel)
                    return;
                m_recording = false;
                refreshMic();
                showVoiceHint(error);
            });
        m_recording = true;
        refreshMic();
        showVoiceHint(L10n::t("popup.voice.listening"));
    }

    void stopDictation()
    {
        if (!m_recording)
            return;
        m_dictation->stop();
        m_recording = false;
        refreshMic();
        showVoiceHint(QString());
    }

    void refreshMic()
    {
        if (!m_controls.mic)
            return;
        m_controls.mic->setText(L10n::t(m_recording ? "popup.mic.recording" : "popup.mic.idle"));
        QPalette palette = m_controls.mic->palette();
        palette.setColor(QPalette::ButtonText,
                         m_recording ? PanelParts::color(Tint::red) : QPalette().color(QPalette::ButtonText));
        m_controls.mic->setPalette(palette);
    }

    void showVoiceHint(const QString& text)
    {
        if (!m_controls.voiceHint)
            return;
        const bool wasShown = !m_controls.voiceHint->isHidden();
        m_controls.voiceHint->setText(text);
        m_controls.voiceHint->setAccessibleName(text);
        m_controls.voiceHint->setVisible(!text.isEmpty());
        // The line takes room of its own, so the panel follows it.
        if (wasShown != !text.isEmpty() && m_window && m_window->content()) {
            m_size.setHeight(PanelParts::fitView(m_window->content()));
            m_window->resizeKeepingTop(m_size);
        }
    }
};

PopupPanel::PopupPanel(Services services, QObject* parent)
    : QObject(parent)
    , m_impl(std::make_unique<Impl>(*this, std::move(services)))
{
}

PopupPanel::~PopupPanel()
{
    m_impl->close();
}

void PopupPanel::showActions(const QString& header, const QString& selectedText, const QList<PopupAction>& actions,
                             std::shared_ptr<ActionOptions> options, std::optional<qint64> targetPid,
                             SourceKind sourceKind)
{
    m_impl->open(header, selectedText, actions, std::move(options), targetPid, sourceKind);
}

void PopupPanel::replaceActionsAndRerun(const QList<PopupAction>& actions, const QString& actionKey)
{
    m_impl->m_session.replaceActionsAndRerun(actions, actionKey);
}

void PopupPanel::show(const QString& header, const QString& body, Tint accent)
{
    m_impl->close();
    m_impl->m_fontScale = SettingsStore::load().fontScale;
    m_impl->present(PopupViews::notice(header, body, accent, m_impl->m_fontScale), true, noticeAutoCloseMs, true);
}

void PopupPanel::showAuthGuide(const QString& header, const QString& body, Tint accent, QList<GuideButton> buttons)
{
    m_impl->close();
    m_impl->m_fontScale = SettingsStore::load().fontScale;
    QStringList titles;
    for (const GuideButton& button : buttons)
        titles.append(button.title);
    m_impl->m_guideButtons = std::move(buttons);
    Impl* impl = m_impl.get();
    auto onButton = [impl](int index) {
        if (index < 0 || index >= impl->m_guideButtons.size())
            return;
        // A button that closes the guide drops the list it sits in.
        const std::function<void()> onClick = impl->m_guideButtons[index].onClick;
        if (onClick)
            onClick();
    };
    m_impl->present(PopupViews::guide(
                        header, body, accent, titles, m_impl->m_fontScale, [impl] { impl->close(); }, onButton),
                    false, 0, true);
}

void PopupPanel::close()
{
    m_impl->close();
}

bool PopupPanel::isShown() const
{
    return m_impl->m_window && m_impl->m_window->isVisible();
}

void PopupPanel::setOnOptionsChanged(std::function<void()> callback)
{
    m_impl->m_onOptionsChanged = std::move(callback);
}

void PopupPanel::setOnActionRerun(std::function<void(const QString&)> callback)
{
    m_impl->m_onActionRerun = std::move(callback);
}

ActionSession& PopupPanel::session()
{
    return m_impl->m_session;
}

QWidget* PopupPanel::window() const
{
    return m_impl->m_window;
}

QWidget* PopupPanel::content() const
{
    return m_impl->m_window ? m_impl->m_window->content() : nullptr;
}
