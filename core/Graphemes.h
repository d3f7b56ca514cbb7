#pragma once

#include <QString>
#include <QStringList>

// User-perceived characters (grapheme clusters): what a reader counts as one character, so an
// emoji with its modifiers or a letter with its accents is one, never half of one.
namespace Graphemes {

QStringList split(const QString& text);
// True when the text has at least `n` characters; stops counting there.
bool atLeast(const QString& text, qsizetype n);
// The first `n` characters.
QString left(const QString& text, qsizetype n);

}
