#pragma once

#include "platform/atspi/AtspiCalls.h"

// The selection of a text element as the user sees it. Documents (Gecko) stand for each
// paragraph, link or field inside them by one object replacement character (U+FFFC); the
// selection is then read from the elements that hold it, so that placeholder never comes back.
namespace AtspiSelectedText {

struct Held {
    AtspiCalls::GRef<AtspiAccessible> object; // the innermost element holding the whole selection
    AtspiCalls::GRef<AtspiText> text;
    AtspiCalls::Selection range; // in the element's own units
    QString selected;            // empty: nothing is selected
    // Whether the element's text surrounds the selection as read (false when pieced together
    // from several elements).
    bool hasContext = false;
};

// Nothing when the element cannot be read or its selection cannot be resolved.
std::optional<Held> read(AtspiAccessible* object);

}
