#pragma once

#include <QPointer>
#include <QWidget>

// The floating panel's window: frameless, above other windows, and shown without taking the
// keyboard from the application in front; it takes the keyboard only when asked (makeKey).
// Rounded and translucent where a compositing manager runs, else an opaque rounded shape, so
// no dark corners show. Dragging its background moves it. Holds one content widget at a time.
class GlassWindow : public QWidget {
    Q_OBJECT

public:
    static constexpr int cornerRadius = 18;

    explicit GlassWindow(QWidget* parent = nullptr);

    // Takes the content and sizes the window to it, keeping the top edge where it is (and the
    // window on its screen); the previous content is deleted.
    void setContent(QWidget* content, QSize size);
    QWidget* content() const { return m_content; }
    // Resizes to the content's new height, keeping the top edge, then keeps it on its screen.
    void resizeKeepingTop(QSize size);
    // A press anywhere in the window emits clicked (notices close on it).
    void setClickToClose(bool on);
    // Lets the window take the keyboard (the input needs it) and activates it.
    void makeKey();
    // Places a new window next to the pointer on the screen under it.
    void placeNearPointer();

    // Where the window is on the desktop, as the X server has it (Qt's pos() can be stale).
    QPoint screenPosition() const;

    // Whether a compositing manager runs on the window's screen (translucency works).
    static bool compositing();

Q_SIGNALS:
    void escapePressed();
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void applyShape();
    void keepOnScreen();

    QPointer<QWidget> m_content;
    bool m_clickToClose = false;
    bool m_opaque = false; // no compositor: the window is masked to its rounded shape
    QPoint m_dragOffset;   // where the manual move (no window manager move) grabbed the window
};
