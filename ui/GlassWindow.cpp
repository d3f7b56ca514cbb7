#include "ui/GlassWindow.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QWindow>

#include "platform/PlatformServices.h"
#include "ui/ScreenPlacement.h"
#include "ui/Tint.h"

namespace {

QList<ScreenPlacement::Screen> desktopScreens()
{
    QList<ScreenPlacement::Screen> screens;
    for (const QScreen* screen : QGuiApplication::screens())
        screens.append({screen->geometry(), screen->availableGeometry()});
    return screens;
}

// Translucent only over a blurred backdrop: unblurred, the text of the window beneath would
// show through the panel's own.
QColor background(const QPalette& palette, PanelPlacement::Backdrop backdrop)
{
    QColor fill = Tints::isDark(palette) ? QColor(38, 38, 42, 236) : QColor(246, 246, 248, 240);
    if (backdrop != PanelPlacement::Backdrop::glass)
        fill.setAlpha(255);
    return fill;
}

std::shared_ptr<PanelPlacement> panels()
{
    return Platform::services().panels;
}

}

GlassWindow::GlassWindow(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus)
{
    // The visual is chosen when the native window is made, so translucency is asked for always;
    // whether it shows is decided at every show. (xwd -root shows the cut corners of such a
    // window black, as it reads each window of another visual on its own; the screen is right.)
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowTitle(QString::fromLatin1(PanelPlacement::panelTitle));
}

void GlassWindow::setClickToClose(bool on)
{
    // Presses on the text areas never reach the window itself, so they are watched on their way.
    if (on && !m_clickToClose)
        qApp->installEventFilter(this);
    else if (!on && m_clickToClose)
        qApp->removeEventFilter(this);
    m_clickToClose = on;
}

QPoint GlassWindow::screenPosition() const
{
    // Before a showing is on screen the display server may still have the window where the last
    // one left it, while Qt has the place asked for.
    if (!isVisible() || !m_exposed)
        return pos();
    return panels()->origin(windowHandle()).value_or(pos());
}

void GlassWindow::setContent(QWidget* content, QSize size)
{
    clearContent();
    m_content = content;
    content->setParent(this);
    content->move(0, 0);
    content->show();
    resizeKeepingTop(size);
}

void GlassWindow::clearContent()
{
    if (!m_content)
        return;
    // Deleted later: the old view may be what is calling in.
    m_content->hide();
    m_content->deleteLater();
    m_content.clear();
}

void GlassWindow::resizeKeepingTop(QSize size)
{
    if (m_content)
        m_content->setFixedSize(size);
    // The top-left corner stays: only the bottom edge moves. A resize sends Qt's idea of the
    // position along, so a stale one is corrected first.
    if (const QPoint now = screenPosition(); now != pos())
        move(now);
    resize(size);
    if (isVisible())
        keepOnScreen();
}

void GlassWindow::makeKey()
{
    if (QWindow* window = windowHandle())
        window->setFlag(Qt::WindowDoesNotAcceptFocus, false);
    activateWindow();
    if (QWindow* window = windowHandle())
        window->requestActivate();
}

void GlassWindow::placeNearPointer()
{
    if (panels()->clientPlaces())
        move(ScreenPlacement::openAt(QCursor::pos(), desktopScreens(), size()));
}

void GlassWindow::keepOnScreen()
{
    if (!panels()->clientPlaces())
        return; // the compositor keeps its windows on screen
    const QPoint kept = ScreenPlacement::keptOnScreen(QRect(pos(), size()), desktopScreens());
    if (kept != pos())
        move(kept);
}

void GlassWindow::applyShape()
{
    if (m_backdrop != PanelPlacement::Backdrop::shaped) {
        clearMask();
        return;
    }
    QPainterPath path;
    path.addRoundedRect(rect(), cornerRadius, cornerRadius);
    setMask(QRegion(path.toFillPolygon().toPolygon()));
}

void GlassWindow::showEvent(QShowEvent* event)
{
    // Asked once per showing: a compositor starting or stopping meanwhile is rare, and every
    // question is a round trip to the display server.
    panels()->aboutToShow(windowHandle());
    // The keyboard a previous showing took (makeKey) stays with the application in front.
    windowHandle()->setFlag(Qt::WindowDoesNotAcceptFocus, true);
    m_exposed = false;
    windowHandle()->installEventFilter(this);
    m_backdrop = panels()->backdrop(windowHandle());
    applyShape();
    QWidget::showEvent(event);
    panels()->shown(windowHandle());
}

void GlassWindow::resizeEvent(QResizeEvent* event)
{
    if (m_backdrop == PanelPlacement::Backdrop::shaped)
        applyShape();
    QWidget::resizeEvent(event);
}

void GlassWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QColor fill = background(palette(), m_backdrop);
    if (m_backdrop == PanelPlacement::Backdrop::shaped) {
        // Everything inside the mask is painted fully, or the edge shows a dark fringe.
        painter.fillRect(rect(), fill);
        return;
    }
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
}

void GlassWindow::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_dragOffset = event->globalPosition().toPoint() - pos();
    // The window manager moves it; where none can, mouseMoveEvent does.
    if (windowHandle() && windowHandle()->startSystemMove())
        m_dragOffset = {};
}

void GlassWindow::mouseMoveEvent(QMouseEvent* event)
{
    if ((event->buttons() & Qt::LeftButton) && !m_dragOffset.isNull())
        move(event->globalPosition().toPoint() - m_dragOffset);
}

void GlassWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        Q_EMIT escapePressed();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool GlassWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Expose && watched == windowHandle()) {
        m_exposed = windowHandle()->isExposed();
        return false;
    }
    if (event->type() != QEvent::MouseButtonPress || !watched->isWidgetType())
        return false;
    auto* widget = static_cast<QWidget*>(watched);
    if (m_clickToClose && (widget == this || isAncestorOf(widget))) {
        Q_EMIT clicked();
        return true;
    }
    return false;
}
