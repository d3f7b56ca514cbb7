#pragma once

#include <QTextEdit>

// The multi-line input of an instruction: Return submits, Shift+Return breaks the line. A
// press into it announces that the window should take the keyboard.
class InstructionInput : public QTextEdit {
    Q_OBJECT

public:
    explicit InstructionInput(QWidget* parent = nullptr);

    // 52 × the font scale, never under 58.
    static qreal heightFor(qreal fontScale);

    // Replaces the text (dictation) and scrolls to its end.
    void setTextKeepingEnd(const QString& text);

Q_SIGNALS:
    void submitted();
    void pressed();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
};
