#include "platform/atspi/AtspiCalls.h"

namespace AtspiCalls {

std::optional<qint64> processOf(AtspiAccessible* object)
{
    CallError error;
    const guint pid = atspi_accessible_get_process_id(object, error.out());
    if (error || pid == 0)
        return std::nullopt;
    return pid;
}

bool hasState(AtspiAccessible* object, AtspiStateType state)
{
    const GRef<AtspiStateSet> states(atspi_accessible_get_state_set(object));
    return states && atspi_state_set_contains(states.get(), state);
}

// Only the application object answers for its toolkit.
bool countsUtf16(AtspiAccessible* object)
{
    CallError error;
    const GRef<AtspiAccessible> application(atspi_accessible_get_application(object, error.out()));
    gchar* toolkit =
        application && !error ? atspi_accessible_get_toolkit_name(application.get(), error.out()) : nullptr;
    const bool qt = !error && toolkit && g_ascii_strncasecmp(toolkit, "qt", 2) == 0;
    g_free(toolkit);
    return qt;
}

std::optional<QString> rawTextBetween(AtspiText* text, gint start, gint end)
{
    CallError error;
    gchar* utf8 = atspi_text_get_text(text, start, end, error.out());
    if (error || !utf8) {
        g_free(utf8);
        return std::nullopt;
    }
    QString result = QString::fromUtf8(utf8);
    g_free(utf8);
    return result;
}

QString withoutPadding(QString text)
{
    for (qsizetype i = 1; i < text.size(); ++i) {
        if (text[i] == QChar(0xFEFF) && text[i - 1].isLowSurrogate())
            text.remove(i, 1);
    }
    return text;
}

std::optional<QString> textBetween(AtspiText* text, gint start, gint end)
{
    std::optional<QString> raw = rawTextBetween(text, start, end);
    return raw ? std::optional(withoutPadding(std::move(*raw))) : std::nullopt;
}

std::optional<QString> wholeText(AtspiText* text)
{
    CallError error;
    const gint count = atspi_text_get_character_count(text, error.out());
    return error ? std::nullopt : textBetween(text, 0, count);
}

std::optional<Selection> selectionOf(AtspiText* text)
{
    CallError error;
    const gint selections = atspi_text_get_n_selections(text, error.out());
    if (error)
        return std::nullopt;
    if (selections < 1)
        return Selection{};
    AtspiRange* range = atspi_text_get_selection(text, 0, error.out());
    if (error || !range)
        return std::nullopt;
    const Selection selection{range->start_offset, range->end_offset};
    g_free(range);
    if (selection.start < 0 || selection.end <= selection.start)
        return Selection{};
    return selection;
}

}
