#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>

#include "platform/Accessibility.h"
#include "platform/Workspace.h"
#include "platform/atspi/AtspiSelectedText.h"

// The accessibility service through AT-SPI. Only the frontmost application is asked, so a
// selection left in another window is never read. Its text element is the focused one with the
// Text interface, looked up in the application; the element that last took the focus or moved
// its caret or selection is remembered per process and used when the lookup finds none (GTK 4
// sends no focus event for a new window; LibreOffice moves the focus to a pane without text).
// value() and selectedRange() describe the element whose selection selectedText() read last.
// Offsets are converted to UTF-16. Main thread only; events arrive through the GLib main
// context that Qt's event loop runs. Trusted means the session's accessibility switch is on and
// the bus answers, unless the session gives its own meaning (on X11: the X server answers, since
// the primary selection and the simulated copy read without accessibility there).
class AtspiAccessibility final : public Accessibility {
public:
    explicit AtspiAccessibility(std::shared_ptr<Workspace> workspace, std::function<bool()> trusted = {});
    ~AtspiAccessibility() override;
    AtspiAccessibility(const AtspiAccessibility&) = delete;
    AtspiAccessibility& operator=(const AtspiAccessibility&) = delete;

    bool isTrusted() override;
    std::optional<QString> selectedText() override;
    std::optional<QString> value(qsizetype maxLength) override;
    std::optional<Range> selectedRange() override;
    // Believes only the text read back afterwards: some applications answer yes and change nothing.
    bool setSelectedText(const QString& text) override;
    bool sessionSwitchOn() override;
    bool turnOnSessionSwitch() override;
    void ensureBusRunning() override;

private:
    static void onEvent(AtspiEvent* event, void* self);
    void remember(AtspiAccessible* source);
    static void forgetOwnObjects(AtspiAccessible* ownObject);
    struct TextElement {
        AtspiCalls::GRef<AtspiAccessible> object;
        bool focused = false; // false: only remembered
    };
    // The text element of the frontmost application (of the last one read while we are in front).
    TextElement focusedText();

    std::shared_ptr<Workspace> m_workspace;
    std::function<bool()> m_trusted;
    bool m_ready = false;
    AtspiEventListener* m_listener = nullptr;
    std::unordered_map<qint64, AtspiCalls::GRef<AtspiAccessible>> m_remembered; // by process
    std::optional<qint64> m_lastProcess;
    std::optional<AtspiSelectedText::Held> m_read;
};
