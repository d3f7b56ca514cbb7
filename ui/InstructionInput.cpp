#include "ui/InstructionInput.h"

#include <algorithm>

#include <QKeyEvent>
#include <QScrollBar>

InstructionInput::InstructionInput(QWidget* parent)
    : QTextEdit(parent)
{
    setAcceptRichText(false);
    setTabChangesFocus(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setViewportMargins(4, 5, 4, 5);
}

qreal InstructionInput::heightFor(qreal fontScale)
{
    return std::max(52.0 * fontScale, 58.0);
}

void InstructionInput::setTextKeepingEnd(const QString& text)
{
    setPlainText(text);
    moveCursor(QTextCursor::End);
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void InstructionInput::keyPressEvent(QKeyEvent* event)
{
    const bool isReturn = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (isReturn && (event->modifiers() & Qt::ShiftModifier)) {
        textCursor().insertText(QStringLiteral("\n"));
        return;
    }
    if (isReturn) {
        Q_EMIT submitted();
        return;
    }
    QTextEdit::keyPressEvent(event);
}

void InstructionInput::mousePressEvent(QMouseEvent* event)
{
    Q_EMIT pressed();
    QTextEdit::mousePressEvent(event);
}
