#include "ocr/CjkSpacing.h"

#include <QList>

bool CjkSpacing::isCjk(char32_t c)
{
    return (c >= 0x2E80 && c <= 0x2FDF)    // radicals
        || (c >= 0x3000 && c <= 0x30FF)    // CJK punctuation, kana
        || (c >= 0x3400 && c <= 0x4DBF)    // extension A
        || (c >= 0x4E00 && c <= 0x9FFF)    // unified ideographs
        || (c >= 0xF900 && c <= 0xFAFF)    // compatibility ideographs
        || (c >= 0xFF00 && c <= 0xFFEF)    // fullwidth forms
        || (c >= 0x20000 && c <= 0x3FFFF); // supplementary ideographs
}

QString CjkSpacing::removeBetweenCjk(const QString& text)
{
    QList<uint> scalars = text.toUcs4();
    uint lastSeen = ' ';
    for (uint& c : scalars) {
        if (isCjk(lastSeen) && QStringView(u",:;!?").contains(QChar(c)))
            c += 0xFF01 - '!';
        if (c != ' ')
            lastSeen = c;
    }
    QList<uint> kept;
    kept.reserve(scalars.size());
    for (qsizetype i = 0; i < scalars.size(); ++i) {
        if (scalars[i] == ' ') {
            qsizetype next = i;
            while (next < scalars.size() && scalars[next] == ' ')
                ++next;
            const bool betweenCjk =
                !kept.isEmpty() && isCjk(kept.last()) && next < scalars.size() && isCjk(scalars[next]);
            if (!betweenCjk)
                kept.append(' ');
            i = next - 1;
            continue;
        }
        kept.append(scalars[i]);
    }
    return QString::fromUcs4(reinterpret_cast<const char32_t*>(kept.constData()), kept.size());
}
