#include "popup/view/StreamPresenter.h"

#include "popup/view/PopupViews.h"
#include "settings/L10n.h"
#include "ui/TextArea.h"

namespace {

constexpr int animationIntervalMs = 400;

}

StreamPresenter::StreamPresenter(std::function<void(const QString&)> showStatus, std::function<void(int)> grow,
                                 QObject* parent)
    : QObject(parent)
    , m_showStatus(std::move(showStatus))
    , m_grow(std::move(grow))
{
    m_animation.setInterval(animationIntervalMs);
    connect(&m_animation, &QTimer::timeout, this, &StreamPresenter::tick);
    m_clock.start();
}

void StreamPresenter::start(TextArea* view, bool growsPanel, const QString& title, qreal fontScale)
{
    m_view = view;
    m_growsPanel = growsPanel;
    m_format = PopupViews::transcriptBodyFormat(ActionSession::TranscriptEntry::Kind::answer, fontScale);
    m_throttle.reset();
    m_lastHeight = TextArea::minHeight;
    m_title = title;
    if (growsPanel)
        view->clear();
    animate(false);
}

void StreamPresenter::generating()
{
    animate(true);
}

void StreamPresenter::append(const QString& fragment)
{
    if (!m_view)
        return;
    m_view->appendFragment(fragment, m_format);
    if (m_growsPanel && m_throttle.syncNow(m_clock.elapsed()))
        syncHeight();
}

void StreamPresenter::finish(bool catchUp)
{
    m_animation.stop();
    if (m_view)
        m_view->flushPending();
    if (catchUp && m_growsPanel && m_throttle.catchUpDue())
        syncHeight();
    m_view.clear();
}

void StreamPresenter::drop()
{
    m_animation.stop();
    m_view.clear();
}

void StreamPresenter::animate(bool generating)
{
    if (m_title.isEmpty())
        m_animationText = L10n::t(generating ? "popup.status.generating.nobase" : "popup.status.connecting.nobase");
    else
        m_animationText = L10n::tf(generating ? "popup.status.generating" : "popup.status.connecting", {m_title});
    m_dots = 0;
    m_showStatus(m_animationText);
    m_animation.start();
}

void StreamPresenter::tick()
{
    m_dots = (m_dots + 1) % 4;
    m_showStatus(m_animationText + QStringLiteral(" ·").repeated(m_dots));
}

void StreamPresenter::syncHeight()
{
    if (!m_view)
        return;
    const int height = m_view->fittingHeight();
    // Whole pixels: any change is more than the half pixel that is ignored.
    if (height == m_lastHeight)
        return;
    const int grown = height - m_view->height();
    m_lastHeight = height;
    m_view->setFixedHeight(height);
    m_grow(grown);
}
