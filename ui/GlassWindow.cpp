#include "ui/GlassWindow.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QWindow>

#include <xcb/xcb.h>

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

// The X screen number of the display name (":0.1" is screen 1); 0 when it names none.
int xScreenNumber()
{
    const QString display = qEnvironmentVariable("DISPLAY");
    const qsizetype dot = display.lastIndexOf(QLatin1Char('.'));
    return dot > display.lastIndexOf(QLatin1Char(':')) ? display.mid(dot + 1).toInt() : 0;
}

xcb_connection_t* xConnection()
{
    const auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

QColor background(const QPalette& palette)
{
    return Tints::isDark(palette) ? QColor(38, 38, 42, 236) : QColor(246, 246, 248, 240);
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
    // Qt's own idea of a top-level's position can be stale after the window manager reparents
    // it (it reads the position inside the frame as the position on the screen), so X is asked.
    xcb_connection_t* connection = xConnection();
    if (!connection || !testAttribute(Qt::WA_WState_Created) || !isVisible())
        return pos();
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    xcb_translate_coordinates_reply_t* reply = xcb_translate_coordinates_reply(
        connection, xcb_translate_coordinates(connection, xcb_window_t(winId()), root, 0, 0), nullptr);
    if (!reply)
        return pos();
    const QPoint device(reply->dst_x, reply->dst_y);
    free(reply);
    return QPointF(QPointF(device) / devicePixelRatioF()).toPoint();
}

bool GlassWindow::compositing()
{
    xcb_connection_t* connection = xConnection();
    if (!connection)
        return true; // no X server (off-screen drawing): alpha is kept as drawn
    const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(xScreenNumber());
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, name.size(), name.constData()), nullptr);
    if (!atom)
        return false;
    xcb_get_selection_owner_reply_t* owner = xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, atom->atom), nullptr);
    const bool owned = owner && owner->owner != XCB_NONE;
    free(owner);
    free(atom);
    return owned;
}

void GlassWindow::setContent(QWidget* content, QSize size)
{
    if (m_content) {
        // Deleted later: the old view may be what is calling in.
        m_content->hide();
        m_content->deleteLater();
    }
    m_content = content;
    content->setParent(this);
    content->move(0, 0);
    content->show();
    resizeKeepingTop(size);
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
    move(ScreenPlacement::openAt(QCursor::pos(), desktopScreens(), size()));
}

void GlassWindow::keepOnScreen()
{
    const QPoint kept = ScreenPlacement::keptOnScreen(QRect(pos(), size()), desktopScreens());
    if (kept != pos())
        move(kept);
}

void GlassWindow::applyShape()
{
    if (!m_opaque) {
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
    // question is a round trip to the X server.
    m_opaque = !compositing();
    applyShape();
    QWidget::showEvent(event);
}

void GlassWindow::resizeEvent(QResizeEvent* event)
{
    if (m_opaque)
        applyShape();
    QWidget::resizeEvent(event);
}

void GlassWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QColor fill = background(palette());
    if (m_opaque) {
        // Everything inside the mask is painted fully, or the edge shows a dark fringe.
        fill.setAlpha(255);
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
    if (event->type() != QEvent::MouseButtonPress || !watched->isWidgetType())
        return false;
    auto* widget = static_cast<QWidget*>(watched);
    if (m_clickToClose && (widget == this || isAncestorOf(widget))) {
        Q_EMIT clicked();
        return true;
    }
    return false;
}
