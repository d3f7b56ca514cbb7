#pragma once

#include <QTextEdit>
#include <QTimer>

// A read-only, selectable, transparent text area laid out at the panel's text width, whose
// height follows its text between a minimum and a maximum; longer text scrolls.
class TextArea : public QTextEdit {
    Q_OBJECT

public:
    static constexpr int width = 512;     // the panel's width less its margins
    static constexpr int textWidth = 494; // where lines break, leaving room for the scroller
    static constexpr int minHeight = 24;
    static constexpr int flushIntervalMs = 33;

    TextArea(const QFont& font, const QColor& color, int maxHeight, int minHeight = TextArea::minHeight,
             QWidget* parent = nullptr);

    // Sets plain text in the area's font and colour and fits the height to it.
    void setPlainContent(const QString& text);
    // Appends a fragment with the given format (the area's own when omitted) and scrolls to it,
    // within one frame: the fragments of a frame are inserted together. The height is left as
    // it is.
    void appendFragment(const QString& fragment, const QTextCharFormat& format = {});
    // Inserts the fragments still waiting for their frame.
    void flushPending();
    // The text, fragments still waiting included.
    QString text();
    void scrollToEnd();

    // Height for the text as laid out now: measured + 6, within the area's limits.
    int fittingHeight();
    int clampedHeight(qreal measured) const;
    void fitHeight();
    // The least height fitHeight gives from now on.
    void setMinHeight(int height) { m_minHeight = height; }
    // The height a plain text takes at the text width in the font; an empty text as one space.
    static qreal measuredHeight(const QString& text, const QFont& font);

private:
    QTextCharFormat m_format;
    QString m_pending;
    QTextCharFormat m_pendingFormat;
    QTimer m_flushTimer;
    int m_minHeight;
    int m_maxHeight;
};
