#include "platform/atspi/AtspiSelectedText.h"

using namespace AtspiCalls;

namespace {

constexpr QChar placeholder(0xFFFC);
constexpr int maxDepth = 8;

// The element that an object replacement character at the offset stands for.
GRef<AtspiAccessible> embeddedAt(AtspiAccessible* object, gint offset)
{
    const GRef<AtspiHypertext> hypertext(atspi_accessible_get_hypertext_iface(object));
    CallError error;
    const gint index = hypertext ? atspi_hypertext_get_link_index(hypertext.get(), offset, error.out()) : -1;
    if (error || index < 0)
        return nullptr;
    const GRef<AtspiHyperlink> link(atspi_hypertext_get_link(hypertext.get(), index, error.out()));
    if (error || !link)
        return nullptr;
    GRef<AtspiAccessible> embedded(atspi_hyperlink_get_object(link.get(), 0, error.out()));
    return error ? nullptr : std::move(embedded);
}

std::optional<AtspiSelectedText::Held> readAt(AtspiAccessible* object, int depth);

// What an embedded element contributes to a selection spanning it: its own selection, or all of
// its text when it lies wholly inside.
std::optional<QString> embeddedText(AtspiAccessible* object, gint offset, int depth)
{
    const GRef<AtspiAccessible> embedded = embeddedAt(object, offset);
    const std::optional<AtspiSelectedText::Held> inner = embedded ? readAt(embedded.get(), depth + 1) : std::nullopt;
    if (!inner)
        return std::nullopt;
    if (!inner->selected.isEmpty())
        return inner->selected;
    std::optional<QString> whole = wholeText(inner->text.get());
    return whole && !whole->contains(placeholder) ? whole : std::nullopt;
}

// The selection with every placeholder replaced by the text it stands for. Placeholders next to
// each other are blocks (paragraphs), which the user sees on lines of their own.
std::optional<QString> pieced(AtspiAccessible* object, gint start, const QString& selected, int depth)
{
    const bool utf16 = countsUtf16(object);
    QString result;
    gint offset = start;
    for (qsizetype i = 0; i < selected.size(); ++i, ++offset) {
        const QChar unit = selected[i];
        if (unit == placeholder) {
            const std::optional<QString> text = embeddedText(object, offset, depth);
            if (!text)
                return std::nullopt;
            if (i > 0 && selected[i - 1] == placeholder)
                result += u'\n';
            result += *text;
            continue;
        }
        result += unit;
        if (!utf16 && unit.isHighSurrogate() && i + 1 < selected.size()) // one code point, one offset
            result += selected[++i];
    }
    return result;
}

std::optional<AtspiSelectedText::Held> readAt(AtspiAccessible* object, int depth)
{
    GRef<AtspiText> text(atspi_accessible_get_text_iface(object));
    const std::optional<Selection> range = text ? selectionOf(text.get()) : std::nullopt;
    if (!range)
        return std::nullopt;
    AtspiSelectedText::Held held{share(object), std::move(text), *range, QString(), true};
    if (range->end == range->start)
        return held;
    const std::optional<QString> selected = rawTextBetween(held.text.get(), range->start, range->end);
    if (!selected)
        return std::nullopt;
    if (!selected->contains(placeholder)) {
        held.selected = withoutPadding(*selected);
        return held;
    }
    if (depth >= maxDepth)
        return std::nullopt;
    // A selection within one paragraph: that paragraph is the element to read, context included.
    if (*selected == placeholder) {
        const GRef<AtspiAccessible> embedded = embeddedAt(object, range->start);
        std::optional<AtspiSelectedText::Held> inner = embedded ? readAt(embedded.get(), depth + 1) : std::nullopt;
        if (inner && !inner->selected.isEmpty())
            return inner;
    }
    const std::optional<QString> joined = pieced(object, range->start, *selected, depth);
    if (!joined)
        return std::nullopt;
    held.selected = withoutPadding(*joined);
    held.hasContext = false;
    return held;
}

}

namespace AtspiSelectedText {

std::optional<Held> read(AtspiAccessible* object)
{
    return readAt(object, 0);
}

}
