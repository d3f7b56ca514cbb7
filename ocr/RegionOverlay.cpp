#include "ocr/RegionOverlay.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include "ui/Tint.h"
#include "ui/Typography.h"

namespace {

constexpr int keyboardGrabTries = 20; // every 5 ms: another client may still hold the keyboard

// A Wayland compositor places and focuses windows itself: a full-screen window on its screen
// covers it and gets the keys, with nothing to bypass and nothing to grab.
bool onWayland()
{
    return QGuiApplication::platformName() == QLatin1String("wayland");
}

Qt::WindowFlags overlayFlags()
{
    const Qt::WindowFlags flags = Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint;
    return onWayland() ? flags : flags | Qt::X11BypassWindowManagerHint;
}

QString sizeText(const QRect& device)
{
    return QStringLiteral("%1 × %2").arg(device.width()).arg(device.height());
}

QRectF labelBox(const QRectF& selection, const QFontMetricsF& metrics, const QString& text)
{
    const QRectF label = metrics.boundingRect(text).adjusted(-6, -3, 6, 3);
    QPointF at = selection.topLeft() - QPointF(0, label.height() + 4);
    if (at.y() < 0)
        at = selection.topLeft() + QPointF(4, 4);
    return {at, label.size()};
}

}

RegionOverlay::RegionOverlay(QScreen* screen, const QImage& frozen, std::function<void(QImage)> finished)
    : QWidget(nullptr, overlayFlags())
    , m_frozen(frozen)
    , m_drag(frozen)
    , m_finished(std::move(finished))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setAccessibleName(QStringLiteral("screen region picker"));
    setWindowTitle(QString::fromLatin1(title));
    setCursor(Qt::CrossCursor);
    setScreen(screen);
    setGeometry(screen->geometry());
}

void RegionOverlay::present()
{
    if (onWayland())
        showFullScreen();
    else
        show();
}

void RegionOverlay::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!onWayland())
        grabKeyboardSoon(keyboardGrabTries);
}

void RegionOverlay::grabKeyboardSoon(int triesLeft)
{
    if (windowHandle() && windowHandle()->setKeyboardGrabEnabled(true))
        return;
    if (triesLeft > 0)
        QTimer::singleShot(5, this, [this, triesLeft] { grabKeyboardSoon(triesLeft - 1); });
}

QRect RegionOverlay::selectionArea() const
{
    if (!m_drag.isPressed())
        return {};
    const QRectF selection = m_drag.selection();
    const QFontMetricsF metrics(Typography::font(12, 1.0));
    return selection.united(labelBox(selection, metrics, sizeText(m_drag.devicePixels())))
        .toAlignedRect()
        .adjusted(-2, -2, 2, 2);
}

// Paints only the update region (a drag step repaints the old and the new selection), which
// keeps dragging smooth on a 4K screen.
void RegionOverlay::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawImage(QPointF(0, 0), m_frozen);
    const QRectF selection = m_drag.isPressed() ? m_drag.selection() : QRectF();
    const QColor dim(0, 0, 0, 110);
    if (selection.isEmpty()) {
        painter.fillRect(rect(), dim);
        return;
    }
    const qreal w = width(), h = height();
    painter.fillRect(QRectF(0, 0, w, selection.top()), dim);
    painter.fillRect(QRectF(0, selection.bottom(), w, h - selection.bottom()), dim);
    painter.fillRect(QRectF(0, selection.top(), selection.left(), selection.height()), dim);
    painter.fillRect(QRectF(selection.right(), selection.top(), w - selection.right(), selection.height()), dim);
    painter.setPen(QPen(Tints::color(Tint::accent, true), 1));
    painter.drawRect(selection.adjusted(-0.5, -0.5, 0.5, 0.5));
    const QString size = sizeText(m_drag.devicePixels());
    painter.setFont(Typography::font(12, 1.0));
    const QRectF box = labelBox(selection, QFontMetricsF(painter.font()), size);
    painter.fillRect(box, QColor(0, 0, 0, 170));
    painter.setPen(Qt::white);
    painter.drawText(box, Qt::AlignCenter, size);
}

void RegionOverlay::followPointer(QPointF position)
{
    const QRect before = selectionArea();
    m_drag.moveTo(position);
    update(QRegion(before).united(selectionArea()));
}

void RegionOverlay::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        m_finished({});
        return;
    }
    m_drag.press(event->position());
    followPointer(event->position());
}

void RegionOverlay::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_drag.isPressed())
        return;
    followPointer(event->position());
}

void RegionOverlay::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_drag.isPressed())
        return;
    m_drag.moveTo(event->position());
    m_finished(m_drag.crop());
}

void RegionOverlay::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape)
        m_finished({});
}
