#include "app/commands/AskOutput.h"

#include <unistd.h>

#include <algorithm>

#include "app/Out.h"

namespace AskOutput {

namespace {

bool isControl(QChar c)
{
    const char16_t u = c.unicode();
    return (u < 0x20 && u != u'\n' && u != u'\t') || (u >= 0x7f && u <= 0x9f);
}

QString forTerminal(int fd, const QString& text)
{
    static const bool out = ::isatty(STDOUT_FILENO) == 1;
    static const bool err = ::isatty(STDERR_FILENO) == 1;
    return (fd == STDOUT_FILENO ? out : err) ? withoutControls(text) : text;
}

}

void answer(const QString& text)
{
    outText(forTerminal(STDOUT_FILENO, text));
}

void note(const QString& line)
{
    outError(forTerminal(STDERR_FILENO, line));
}

QString withoutControls(const QString& text)
{
    if (std::none_of(text.cbegin(), text.cend(), isControl))
        return text;
    QString kept;
    kept.reserve(text.size());
    for (const QChar c : text) {
        if (!isControl(c))
            kept.append(c);
    }
    return kept;
}

}
