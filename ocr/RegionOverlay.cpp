#include "ocr/RegionOverlay.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include "ui/Tint.h"
#include "ui/Typography.h"

namespace {

constexpr int keyboardGrabTries = 20; // every 5 ms: another client may still hold the keyboard

}

RegionOverlay::RegionOverlay(QScreen* screen, const QImage& frozen, std::function<void(QImage)> finished)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::X11BypassWindowManagerHint)
    , m_frozen(frozen)
    , m_drag(frozen)
    , m_finished(std::move(finished))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setAccessibleName(QStringLiteral("screen region picker"));
    setCursor(Qt::CrossCursor);
    setMouseTracking(true);
    setScreen(screen);
    setGeometry(screen->geometry());
}

void RegionOverlay::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    grabKeyboardSoon(keyboardGrabTries);
}

void RegionOverlay::grabKeyboardSoon(int triesLeft)
{
    if (windowHandle() && windowHandle()->setKeyboardGrabEnabled(true))
        return;
    if (triesLeft > 0)
        QTimer::singleShot(5, this, [this, triesLeft] { grabKeyboardSoon(triesLeft - 1); });
}

void RegionOverlay::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawImage(rect(), m_frozen);
    const QRectF selection = m_drag.isPressed() ? m_drag.selection() : QRectF();
    QPainterPath dimmed;
    dimmed.addRect(rect());
    dimmed.addRect(selection);
    painter.fillPath(dimmed, QColor(0, 0, 0, 110));
    if (selection.isEmpty())
        return;
    painter.setPen(QPen(Tints::color(Tint::accent, true), 1));
    painter.drawRect(selection.adjusted(-0.5, -0.5, 0.5, 0.5));
    const QRect device = m_drag.devicePixels();
    const QString size = QStringLiteral("%1 × %2").arg(device.width()).arg(device.height());
    painter.setFont(Typography::font(12, 1.0));
    const QRectF label = painter.fontMetrics().boundingRect(size).adjusted(-6, -3, 6, 3);
    QPointF at = selection.topLeft() - QPointF(0, label.height() + 4);
    if (at.y() < 0)
        at = selection.topLeft() + QPointF(4, 4);
    const QRectF box(at, label.size());
    painter.fillRect(box, QColor(0, 0, 0, 170));
    painter.setPen(Qt::white);
    painter.drawText(box, Qt::AlignCenter, size);
}

void RegionOverlay::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        m_finished({});
        return;
    }
    m_drag.press(event->position());
    update();
}

void RegionOverlay::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_drag.isPressed())
        return;
    m_drag.moveTo(event->position());
    update();
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
