#include "popup/view/PopupPanel.h"

#include <QLabel>
#include <QPushButton>

#include "capture/PutBack.h"
#include "core/HotKey.h"
#include "memory/RecallBanner.h"
#include "popup/view/PanelParts.h"
#include "settings/L10n.h"
#include "settings/SettingsStore.h"
#include "ui/ElidedLabel.h"
#include "ui/GlassWindow.h"
#include "ui/InstructionInput.h"
#include "ui/TextArea.h"

namespace {

constexpr int noticeAutoCloseMs = 8000;
constexpr Shortcut escapeKey = {53, 0}; // Escape, no modifiers

}

PopupPanel::PopupPanel(Services services, QObject* parent)
    : QObject(parent)
    , m_services(std::move(services))
    , m_session(m_services.engine, m_services.knowledge, m_services.tasks, *m_services.platform.workspace)
    , m_stream([this](const QString& text) { setStatus(text, Tint::yellow); }, [this](int pixels) { grow(pixels); })
    , m_dictation(m_services.dictation, [this] { refit(); })
{
    m_autoClose.setSingleShot(true);
    // A coarse timer may fire 5 % early: the notice promises 8 seconds.
    m_autoClose.setTimerType(Qt::PreciseTimer);
    connect(&m_autoClose, &QTimer::timeout, this, &PopupPanel::close);
    connectSession();
}

PopupPanel::~PopupPanel()
{
    close();
}

// Opening and closing.

void PopupPanel::showActions(const QString& header, const QString& selectedText, const QList<PopupAction>& actions,
                             std::shared_ptr<ActionOptions> options, std::optional<qint64> targetPid,
                             SourceKind sourceKind)
{
    m_pasteWhenBack.cancel();
    close();
    m_fontScale = m_services.fontScale();
    m_header = header;
    m_session.open(selectedText, actions, std::move(options), targetPid, sourceKind);
    present(initialActionsView(), Shown::actions, true);
}

void PopupPanel::replaceActionsAndRerun(const QList<PopupAction>& actions, const QString& actionKey)
{
    m_session.replaceActionsAndRerun(actions, actionKey);
}

void PopupPanel::show(const QString& header, const QString& body, Tint accent)
{
    m_pasteWhenBack.cancel();
    close();
    m_fontScale = m_services.fontScale();
    present(PopupViews::notice(header, body, accent, m_fontScale), Shown::notice, true, true, noticeAutoCloseMs);
}

void PopupPanel::showAuthGuide(const QString& header, const QString& body, Tint accent, QList<GuideButton> buttons)
{
    m_pasteWhenBack.cancel();
    close();
    m_fontScale = m_services.fontScale();
    QStringList titles;
    for (const GuideButton& button : buttons)
        titles.append(button.title);
    m_guideButtons = std::move(buttons);
    auto onButton = [this](int index) {
        if (index < 0 || index >= m_guideButtons.size())
            return;
        // A button that closes the guide drops the list it sits in.
        const std::function<void()> onClick = m_guideButtons[index].onClick;
        if (onClick)
            onClick();
    };
    present(PopupViews::guide(
                header, body, accent, titles, m_fontScale, [this] { close(); }, onButton),
            Shown::guide, true);
}

void PopupPanel::close()
{
    m_dictation.stop();
    m_session.close();
    m_autoClose.stop();
    m_stream.drop();
    m_escapeHotKey.reset();
    m_controls = {};
    m_dictation.attach(nullptr, nullptr, nullptr);
    m_guideButtons.clear();
    m_favorite = false;
    m_storeWarning.clear();
    if (m_shown == Shown::nothing)
        return;
    m_shown = Shown::nothing;
    m_window->hide();
    m_window->setClickToClose(false);
    m_window->clearContent();
    Q_EMIT closed();
}

bool PopupPanel::isShown() const
{
    return m_window && m_window->isVisible();
}

void PopupPanel::setOnOptionsChanged(std::function<void()> callback)
{
    m_onOptionsChanged = std::move(callback);
}

void PopupPanel::setOnActionRerun(std::function<void(const QString&)> callback)
{
    m_onActionRerun = std::move(callback);
}

ActionSession& PopupPanel::session()
{
    return m_session;
}

QWidget* PopupPanel::window() const
{
    return m_shown == Shown::nothing ? nullptr : m_window.get();
}

QWidget* PopupPanel::content() const
{
    return m_window ? m_window->content() : nullptr;
}

void PopupPanel::present(PopupViews::Built built, Shown what, bool newPanel, bool clickToClose, int autoCloseMs)
{
    const bool opening = newPanel || m_shown == Shown::nothing;
    m_shown = what;
    m_controls = built.controls;
    m_dictation.attach(m_controls.input, m_controls.mic, m_controls.voiceHint);
    m_size = built.size;
    if (!m_window) {
        m_window = std::make_unique<GlassWindow>();
        m_window->setAccessibleName(QStringLiteral("Quillo"));
        connect(m_window.get(), &GlassWindow::escapePressed, this, &PopupPanel::close);
        connect(m_window.get(), &GlassWindow::clicked, this, &PopupPanel::close);
    }
    m_window->setContent(built.view, built.size);
    if (!opening)
        return;
    m_window->setClickToClose(clickToClose);
    m_window->placeNearPointer();
    m_window->show();
    // Closing ends the grab, which must not happen inside the grab's own callback.
    m_escapeHotKey = std::make_unique<HotKey>(escapeKey, HotKey::escapeId, [panel = QPointer<PopupPanel>(this)] {
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
    Q_EMIT shown();
}

void PopupPanel::grow(int pixels)
{
    if (!window())
        return;
    m_size.rheight() += pixels;
    m_window->resizeKeepingTop(m_size);
}

void PopupPanel::refit()
{
    if (!content())
        return;
    m_size.setHeight(PanelParts::fitView(m_window->content()));
    m_window->resizeKeepingTop(m_size);
}

// The views.

PopupViews::Handlers PopupPanel::handlers()
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
    h.favorite = [this] { toggleFavorite(); };
    h.send = [this] { sendInstruction(); };
    h.mic = [this] { m_dictation.toggle(); };
    h.inputPressed = [this] {
        if (window())
            m_window->makeKey();
    };
    return h;
}

PopupViews::Selection PopupPanel::selection(bool withOptionRow) const
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

QString PopupPanel::recallText() const
{
    return m_session.recallHit() ? RecallBanner::text(*m_session.recallHit()) : QString();
}

PopupViews::Built PopupPanel::initialActionsView()
{
    PopupViews::ActionsView view;
    view.selection = selection(false);
    view.recallText = recallText();
    view.status.hidden = true;
    view.result = L10n::t("popup.placeholder.result");
    view.resultTint = Tint::tertiaryLabel;
    return PopupViews::actions(view, handlers());
}

void PopupPanel::showConversation(const PopupViews::StatusLine& status, bool inputEnabled, Shown what,
                                  TextArea* streamed)
{
    PopupViews::ConversationView view;
    view.streamed = streamed;
    view.selection = selection(true);
    view.status = status;
    view.transcript = m_session.transcript();
    view.inputEnabled = inputEnabled;
    view.favorite = m_favorite;
    present(PopupViews::conversation(view, handlers()), what, false);
}

void PopupPanel::setStatus(const QString& text, Tint tint)
{
    if (m_controls.status)
        PopupViews::setStatus(*m_controls.status, {text, tint, false});
}

// The session's signals.

void PopupPanel::connectSession()
{
    connect(&m_session, &ActionSession::recallReady, this, [this] {
        // The banner joins the view only while nothing has been asked yet.
        if (m_shown == Shown::actions && m_session.recallHit())
            present(initialActionsView(), Shown::actions, false);
    });
    connect(&m_session, &ActionSession::runStarted, this, &PopupPanel::runStarted);
    connect(&m_session, &ActionSession::revisionStarted, this, &PopupPanel::revisionStarted);
    connect(&m_session, &ActionSession::generating, &m_stream, &StreamPresenter::generating);
    connect(&m_session, &ActionSession::deltaAppended, &m_stream, &StreamPresenter::append);
    connect(&m_session, &ActionSession::answered, this, &PopupPanel::answered);
    connect(&m_session, &ActionSession::runFailed, this, &PopupPanel::runFailed);
    connect(&m_session, &ActionSession::revisionFailed, this, [this](const QString& message) {
        m_stream.finish(false);
        showConversation({L10n::tf("popup.status.error", {message}), Tint::orange}, true, Shown::conversation);
    });
    connect(&m_session, &ActionSession::storeFailed, this,
            [this](const QString& message) { m_storeWarning = message; });
}

void PopupPanel::runStarted(const QString& title)
{
    m_dictation.stop();
    m_favorite = false;
    PopupViews::ActionsView view;
    view.selection = selection(true);
    view.recallText = recallText();
    view.actionsEnabled = false;
    view.status = {L10n::tf("popup.status.connecting", {title}), Tint::yellow, false};
    present(PopupViews::actions(view, handlers()), Shown::running, false);
    m_stream.start(m_controls.result, true, title, m_fontScale);
}

void PopupPanel::revisionStarted(int version)
{
    m_dictation.stop();
    m_autoClose.stop();
    showConversation({L10n::t("popup.status.connectingShort"), Tint::yellow}, false, Shown::revising);
    TextArea* transcript = m_controls.transcript;
    if (!transcript->document()->isEmpty())
        transcript->appendFragment(
            QStringLiteral("\n\n"),
            PopupViews::transcriptBodyFormat(ActionSession::TranscriptEntry::Kind::answer, m_fontScale));
    PopupViews::appendTranscriptHeader(*transcript, ActionSession::TranscriptEntry::Kind::answer, version, m_fontScale);
    m_stream.start(transcript, false, QString(), m_fontScale);
}

void PopupPanel::answered()
{
    m_stream.finish(true);
    const bool warn = !m_storeWarning.isEmpty();
    showConversation({warn ? m_storeWarning : L10n::t("popup.status.done"), warn ? Tint::orange : Tint::green}, true,
                     Shown::conversation, m_shown == Shown::running ? m_controls.result : m_controls.transcript);
    m_storeWarning.clear();
    // Once the view is in place, the user can type the next instruction at once.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!window() || !m_controls.input)
                return;
            m_window->makeKey();
            m_controls.input->setFocus();
        },
        Qt::QueuedConnection);
}

void PopupPanel::runFailed(const QString& message, bool partialKept)
{
    m_stream.finish(false);
    m_shown = Shown::failed;
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
    present(PopupViews::actions(view, handlers()), Shown::failed, false);
}

// The user's requests.

void PopupPanel::optionsChanged()
{
    if (m_onOptionsChanged)
        m_onOptionsChanged();
    if (m_session.activeActionKey() && m_onActionRerun)
        m_onActionRerun(*m_session.activeActionKey());
}

void PopupPanel::sendInstruction()
{
    if (!m_controls.input || !m_session.inConversation())
        return;
    const QString instruction = m_controls.input->toPlainText();
    if (instruction.trimmed().isEmpty())
        return;
    m_dictation.stop();
    m_controls.input->clear();
    m_session.sendInstruction(instruction);
}

void PopupPanel::replaceSelection()
{
    const std::optional<qint64> target = m_session.targetPid();
    switch (PutBack::apply(m_services.platform, target, m_session.currentResult(), SettingsStore::load().pasteForMe)) {
    case PutBack::Outcome::nothing: return;
    case PutBack::Outcome::pasteOnceBack:
        // Keys go to the active window, which the panel is: it closes, and the target's return is awaited.
        close();
        m_pasteWhenBack.start(m_services.platform, *target, [this](bool pasted) {
            if (!pasted)
                show(L10n::t("popup.applied.copiedOnly"), L10n::t("popup.applied.notPasted"), Tint::orange);
        });
        return;
    case PutBack::Outcome::replaced: return setStatus(L10n::t("popup.applied.ax"), Tint::green);
    case PutBack::Outcome::pasted: return setStatus(L10n::t("popup.applied.paste"), Tint::green);
    case PutBack::Outcome::copiedOnly: return setStatus(L10n::t("popup.applied.copiedOnly"), Tint::orange);
    }
}

void PopupPanel::copyResult()
{
    const QString text = m_session.currentResult();
    if (text.isEmpty())
        return;
    m_services.platform.clipboard->setText(text);
    setStatus(L10n::t("popup.copied"), Tint::green);
}

void PopupPanel::collectSelection()
{
    switch (m_session.collectSelection()) {
    case ActionSession::Collected::blank: return setStatus(L10n::t("popup.collect.empty"), Tint::orange);
    case ActionSession::Collected::saved: return setStatus(L10n::t("popup.collect.done"), Tint::green);
    case ActionSession::Collected::failed: return setStatus(L10n::t("popup.memoryWriteFailed"), Tint::orange);
    }
}

void PopupPanel::toggleFavorite()
{
    const std::optional<bool> on = m_session.toggleFavorite();
    if (!on || !m_controls.favorite)
        return;
    m_favorite = *on;
    PopupViews::setFavorite(*m_controls.favorite, m_favorite);
}

void PopupPanel::showRecalledAnswer()
{
    m_stream.drop();
    const std::optional<ActionSession::RecalledAnswer> recalled = m_session.showRecalledAnswer();
    if (!recalled)
        return;
    PopupViews::ActionsView view;
    view.selection = selection(false);
    view.recallText = recallText();
    view.status = {recalled->status, Tint::accent, false};
    view.result = recalled->text;
    view.resultButtons = true;
    present(PopupViews::actions(view, handlers()), Shown::recalled, false);
}
