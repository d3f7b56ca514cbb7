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
    setViewportMargins(0, 2, 0, 2);
    setFont(font);
    viewport()->setAutoFillBackground(false);
    setStyleSheet(QStringLiteral("QTextEdit { background: transparent; }"));
    m_format.setFont(font);
    m_format.setForeground(color);
    setFixedWidth(width);
    setFixedHeight(m_minHeight);
}

void TextArea::setPlainContent(const QString& text)
{
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
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(fragment, format.isValid() ? format : m_format);
    scrollToEnd();
}

void TextArea::scrollToEnd()
{
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

int TextArea::clampedHeight(qreal measured) const
{
    return std::clamp(int(std::ceil(measured)) + 6, m_minHeight, m_maxHeight);
}

int TextArea::fittingHeight() const
{
    if (document()->isEmpty())
        return clampedHeight(measuredHeight(QString(), font()));
    QTextDocument* layoutCopy = document()->clone();
    layoutCopy->setTextWidth(textWidth);
    const qreal height = layoutCopy->documentLayout()->documentSize().height();
    delete layoutCopy;
    return clampedHeight(height);
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
