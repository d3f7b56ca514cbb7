#pragma once

#include <memory>
#include <optional>
#include <utility>

#include <QString>

#include <atspi/atspi.h>

// Small safe wrappers of the AT-SPI calls the accessibility service makes: owned references,
// errors collected and turned into "nothing".
namespace AtspiCalls {

struct GObjectUnref {
    void operator()(void* object) const { g_object_unref(object); }
};
template <typename T>
using GRef = std::unique_ptr<T, GObjectUnref>;

// A new reference to an object the caller only borrows.
template <typename T>
GRef<T> share(T* object)
{
    return GRef<T>(object ? static_cast<T*>(g_object_ref(object)) : nullptr);
}

class CallError {
public:
    CallError() = default;
    CallError(const CallError&) = delete;
    CallError& operator=(const CallError&) = delete;
    ~CallError() { g_clear_error(&m_error); }
    GError** out() { return &m_error; }
    explicit operator bool() const { return m_error != nullptr; }

private:
    GError* m_error = nullptr;
};

std::optional<qint64> processOf(AtspiAccessible* object);
bool hasState(AtspiAccessible* object, AtspiStateType state);
// Qt counts offsets in UTF-16 units; GTK, Gecko and LibreOffice in code points.
bool countsUtf16(AtspiAccessible* object);
// The text as the element gives it: one offset per character of it (Gecko follows every
// character beyond 16 bits with a U+FEFF, so that its UTF-16 offsets count as characters).
std::optional<QString> rawTextBetween(AtspiText* text, gint start, gint end);
// Without Gecko's padding.
QString withoutPadding(QString text);
std::optional<QString> textBetween(AtspiText* text, gint start, gint end);
std::optional<QString> wholeText(AtspiText* text);

struct Selection {
    gint start = 0;
    gint end = 0; // equal to start: nothing is selected
};
// The first selection in the toolkit's units; nothing when the element does not answer.
std::optional<Selection> selectionOf(AtspiText* text);

}
