#pragma once

#include <memory>

#include "platform/Accessibility.h"
#include "platform/Workspace.h"

typedef struct _AtspiAccessible AtspiAccessible;
typedef struct _AtspiEventListener AtspiEventListener;
typedef struct _AtspiEvent AtspiEvent;

// The accessibility service through AT-SPI. The focused object is followed from focus events
// (and looked up in the frontmost application when no event told us), and is only used while
// it belongs to the frontmost application, so a selection left in another window is never read.
// Offsets are converted to UTF-16: Qt reports UTF-16 units, other toolkits code points.
// Main thread only; events arrive through the GLib main context that Qt's event loop runs.
class AtspiAccessibility final : public Accessibility {
public:
    explicit AtspiAccessibility(std::shared_ptr<Workspace> workspace);
    ~AtspiAccessibility() override;
    AtspiAccessibility(const AtspiAccessibility&) = delete;
    AtspiAccessibility& operator=(const AtspiAccessibility&) = delete;

    bool isTrusted() override;
    std::optional<QString> selectedText() override;
    std::optional<QString> value(qsizetype maxLength) override;
    std::optional<Range> selectedRange() override;
    bool setSelectedText(const QString& text) override;

private:
    static void onFocus(AtspiEvent* event, void* self);
    // The focused object of the frontmost application (a new reference), or null.
    AtspiAccessible* focused();

    std::shared_ptr<Workspace> m_workspace;
    bool m_ready = false;
    AtspiEventListener* m_listener = nullptr;
    AtspiAccessible* m_focused = nullptr;
};
