#pragma once

#include <memory>

#include "platform/Clipboard.h"

// The clipboard of a GNOME session with Quillo's helper extension running: the primary selection
// is read through the Shell, which owns it whatever window has the focus; the rest, and the
// primary selection while the extension does not answer, through the clipboard underneath
// (none: an empty clipboard that keeps nothing).
class ShellHelperClipboard final : public Clipboard {
public:
    explicit ShellHelperClipboard(std::shared_ptr<Clipboard> underneath);

    Snapshot snapshot() override;
    void restore(const Snapshot& snapshot) override;
    quint64 changeCount() override;
    std::optional<QString> text() override;
    void setText(const QString& text) override;
    QString selectionText() override;

private:
    std::shared_ptr<Clipboard> m_underneath;
};
