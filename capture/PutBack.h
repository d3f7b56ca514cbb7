#pragma once

#include <optional>

#include <QString>

#include "platform/PlatformServices.h"

// Writes an answer back where the user's selection was, in the application it was read from.
class PutBack {
public:
    enum class Outcome {
        nothing,       // no text: the clipboard and the target are left alone
        replaced,      // written into the selection through accessibility, in the target's own formatting
        pasted,        // Control+V typed into the target, which may ignore it; the answer is on the clipboard
        copiedOnly,    // no key reaches the target, or the user did not let us type: the answer waits on the clipboard
        pasteOnceBack, // the caller gets out of the way; PasteWhenBack types Control+V once the target is in front
    };

    // Puts the text on the clipboard first, so it can always be pasted by hand (the user's
    // clipboard is not restored), brings the target to the front while it still runs, then
    // replaces the focused selection through accessibility. Where that is refused:
    // - keys that need the user's leave (Wayland) are typed only when userAllowsKeys and the
    //   target is known, and only once it is in front again, which the caller arranges;
    // - other keys (X11): it waits 40 ms for the focus to arrive and types Control+V. Main thread;
    //   blocks for those 40 ms.
    static Outcome apply(const PlatformServices& platform, std::optional<qint64> targetPid, const QString& text,
                         bool userAllowsKeys = false);

    static constexpr quint32 vKey = 9; // the stored key code of V
};
