#include "popup/SelectionMarks.h"

namespace {

constexpr QChar openMark = u'《';
constexpr QChar closeMark = u'》';

// True when some 》 closes a mark opened before the text: then the 《 before the text and the 》
// after it belong to different pairs, as in 《红楼梦》和《西游记》, and are not one enclosing pair.
bool closesOutsideMark(const QString& text)
{
    int depth = 0;
    for (QChar c : text) {
        if (c == openMark)
            ++depth;
        else if (c == closeMark && --depth < 0)
            return true;
    }
    return false;
}

}

QString stripSelectionMarks(const QString& answer)
{
    QString text = answer.trimmed();
    while (text.size() >= 2 && text.startsWith(openMark) && text.endsWith(closeMark)
           && !closesOutsideMark(text.mid(1, text.size() - 2)))
        text = text.mid(1, text.size() - 2).trimmed();
    if (text.startsWith(openMark) && !text.mid(1).contains(closeMark))
        text.remove(0, 1);
    if (text.endsWith(closeMark) && !text.chopped(1).contains(openMark))
        text.chop(1);
    return text.trimmed();
}
