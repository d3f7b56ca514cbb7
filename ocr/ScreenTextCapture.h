#pragma once

#include <functional>

#include <QString>

class QObject;

// Reads text off the screen for the controller: the user picks a region and its text comes back.
// An interface so that the controller's decisions can be tested without a screen; `ScreenOCR` is
// the real one.
class ScreenTextCapture {
public:
    struct Result {
        enum class Kind { text, needsScreenPermission, cancelled, noText };
        Kind kind = Kind::cancelled;
        QString text; // only for text: trimmed, never empty
    };
    using Done = std::function<void(Result)>;

    virtual ~ScreenTextCapture() = default;

    // Calls done once, on the context's thread, unless the context is gone by then. Escape or a
    // click without a drag gives cancelled. A second call while the first still waits for the
    // user's region is answered cancelled at once and leaves the first alone.
    virtual void capture(QObject* context, Done done) = 0;
};
