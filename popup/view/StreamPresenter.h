#pragma once

#include <functional>

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTextCharFormat>
#include <QTimer>

#include "popup/view/HeightThrottle.h"

class TextArea;

// Draws one streamed answer as it arrives: the fragments into their text area, the status line's
// connecting and generating texts with their dots, and for a first answer a panel that grows
// with the text, measured at most once per 150 ms and once more at the end. Main thread.
class StreamPresenter : public QObject {
    Q_OBJECT

public:
    // `showStatus` writes the status line of the view shown now; `grow` changes the panel's
    // height by that many pixels.
    StreamPresenter(std::function<void(const QString&)> showStatus, std::function<void(int pixels)> grow,
                    QObject* parent = nullptr);

    // A new stream into `view`. A first answer (`growsPanel`) starts from an empty area and takes
    // the room it needs; a revision scrolls inside its transcript. `title` names the action in
    // the status line; empty for revisions.
    void start(TextArea* view, bool growsPanel, const QString& title, qreal fontScale);
    // The first fragment arrived.
    void generating();
    void append(const QString& fragment);
    // The stream ended: waiting text is drawn, and with `catchUp` a skipped measurement is made.
    void finish(bool catchUp);
    // Stops drawing, without finishing: the view is going away.
    void drop();

private:
    void animate(bool generating);
    void tick();
    void syncHeight();

    std::function<void(const QString&)> m_showStatus;
    std::function<void(int)> m_grow;
    QPointer<TextArea> m_view;
    bool m_growsPanel = false;
    QTextCharFormat m_format;
    QString m_title;
    HeightThrottle m_throttle;
    QElapsedTimer m_clock;
    int m_lastHeight = 0;
    // The status line's animation: zero to three dots after the text, every 0.4 s.
    QTimer m_animation;
    QString m_animationText;
    int m_dots = 0;
};
