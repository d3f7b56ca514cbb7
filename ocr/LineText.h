#pragma once

#include <QList>
#include <QString>

// One word as the engine read it: its text, where it lies across the line in pixels, and how sure
// the engine was of it (0–100).
struct ReadWord {
    QString text;
    int left = 0;
    int right = 0;
    float confidence = 0;
};

// The text of one recognised line, put together from its words.
class LineText {
public:
    // Words left to right. Words a wide gap apart (a menu's labels, a row of buttons) stay apart by
    // one space even when both are Chinese; within a phrase CjkSpacing tidies the spaces, and where
    // Chinese meets Latin a space is kept only where one was drawn. Words of symbols alone that
    // the engine was unsure of are dropped at the line's ends (the window's edge, a caret or an
    // icon read as "[", "|" or "@") and alone between wide gaps (an icon), as are frame strokes
    // ("|", "_") at the ends, which a checkbox or a border is read as however sure.
    static QString compose(QList<ReadWord> words, int lineHeight);
};
