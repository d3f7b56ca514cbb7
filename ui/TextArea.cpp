#include "ui/TextArea.h"

#include <algorithm>
#include <cmath>

#include <QAbstractTextDocumentLayout>
#include <QScrollBar>
#include <QTextDocument>

TextArea::TextArea(const QFont& font, const QColor& color, int maxHeight, int minHeight, QWidget* parent)
    : QTextEdit(parent)
    , m_minHeight(minHeight)
    , m_maxHeight(maxHeight)
{
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setFrameShape(QFrame::NoFrame);
    setLineWrapMode(QTextEdit::FixedPixelWidth);
    setLineWrapColumnOrWidth(textWidth);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFocusPolicy(Qt::NoFocus);
    document()->setDocumentMargin(0);
    document()->setTextWidth(textWidth);
    setViewportMargins(0, 2, 0, 2);
    setFont(font);
    viewport()->setAutoFillBackground(false);
    setStyleSheet(QStringLiteral("QTextEdit { background: transparent; }"));
    m_format.setFont(font);
    m_format.setForeground(color);
    setFixedWidth(width);
    setFixedHeight(m_minHeight);
    m_flushTimer.setSingleShot(true);
    m_flushTimer.setInterval(flushIntervalMs);
    m_flushTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_flushTimer, &QTimer::timeout, this, &TextArea::flushPending);
}

void TextArea::setPlainContent(const QString& text)
{
    m_pending.clear();
    clear();
    QTextCursor cursor(document());
    cursor.insertText(text, m_format);
    fitHeight();
    // A long text is read from its start.
    moveCursor(QTextCursor::Start);
    verticalScrollBar()->setValue(0);
}

void TextArea::appendFragment(const QString& fragment, const QTextCharFormat& format)
{
    const QTextCharFormat& wanted = format.isValid() ? format : m_format;
    if (!m_pending.isEmpty() && wanted != m_pendingFormat)
        flushPending();
    m_pending += fragment;
    m_pendingFormat = wanted;
    // Fragments of one frame go in together: each insertion lays out and repaints.
    if (!m_flushTimer.isActive())
        m_flushTimer.start();
}

void TextArea::flushPending()
{
    m_flushTimer.stop();
    if (m_pending.isEmpty())
        return;
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(m_pending, m_pendingFormat);
    m_pending.clear();
    scrollToEnd();
}

QString TextArea::text()
{
    flushPending();
    return toPlainText();
}

void TextArea::scrollToEnd()
{
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

int TextArea::clampedHeight(qreal measured) const
{
    return std::clamp(int(std::ceil(measured)) + 6, m_minHeight, m_maxHeight);
}

int TextArea::fittingHeight()
{
    flushPending();
    if (document()->isEmpty())
        return clampedHeight(measuredHeight(QString(), font()));
    // The area's own layout, at the text width: appended text is laid out once, incrementally.
    return clampedHeight(document()->documentLayout()->documentSize().height());
}

void TextArea::fitHeight()
{
    setFixedHeight(fittingHeight());
}

qreal TextArea::measuredHeight(const QString& text, const QFont& font)
{
    QTextDocument document;
    document.setDocumentMargin(0);
    document.setDefaultFont(font);
    document.setTextWidth(textWidth);
    document.setPlainText(text.isEmpty() ? QStringLiteral(" ") : text);
    return document.documentLayout()->documentSize().height();
}
