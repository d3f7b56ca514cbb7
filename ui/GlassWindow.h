#pragma once

#include <QPointer>
#include <QWidget>

#include "platform/PanelPlacement.h"

// The floating panel's window: frameless, above other windows, and shown without taking the
// keyboard from the application in front where the desktop allows; it takes the keyboard when
// asked (makeKey). Translucent only where the compositor blurs what is behind it; over a
// compositor that does not blur an opaque fill with transparent rounded corners; without a
// compositor an opaque rounded shape, so no dark corners show. Where the desktop lets the
// application place windows it opens next to the pointer, elsewhere the platform's placement
// asks the compositor for that. Dragging its background moves it. Holds one content widget.
// It may be hidden and shown again; every showing starts without the keyboard.
class GlassWindow : public QWidget {
    Q_OBJECT

public:
    static constexpr int cornerRadius = 18;

    explicit GlassWindow(QWidget* parent = nullptr);

    // Takes the content and sizes the window to it, keeping the top edge where it is (and the
    // window on its screen); the previous content is deleted.
    void setContent(QWidget* content, QSize size);
    // Deletes the content: a window kept hidden for its next showing holds no view meanwhile.
    void clearContent();
    QWidget* content() const { return m_content; }
    // Resizes to the content's new height, keeping the top edge, then keeps it on its screen.
    void resizeKeepingTop(QSize size);
    // A press anywhere in the window emits clicked (notices close on it).
    void setClickToClose(bool on);
    // Lets the window take the keyboard (the input needs it) and activates it.
    void makeKey();
    // Places a new window next to the pointer on the screen under it, where the desktop lets us.
    void placeNearPointer();

    // Where the window is on the desktop, as the display server has it (Qt's pos() can be stale).
    QPoint screenPosition() const;
    PanelPlacement::Backdrop backdrop() const { return m_backdrop; }

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
    bool m_exposed = false; // this showing is on screen: the display server knows where it is
    PanelPlacement::Backdrop m_backdrop = PanelPlacement::Backdrop::rounded;
    QPoint m_dragOffset; // where the manual move (no window manager move) grabbed the window
};
