#pragma once

#include <functional>
#include <memory>

class QImage;
class QObject;

// A picture of the whole desktop, taken through what the compositor offers: a Wayland client
// cannot read other windows itself. Which road answers decides what the user must allow.
class ScreenImages {
public:
    // Where the picture comes from; none where nothing can take one.
    enum class Road { none, kwin, portal, grim };

    struct Shot {
        enum class Outcome {
            image,       // the desktop as it is now
            refused,     // the desktop said no (not allowed, or the user declined)
            unavailable, // nothing answered, or what answered gave no picture
        };
        Outcome outcome = Outcome::unavailable;
        Road road = Road::none; // which road gave this answer
        // The whole desktop, its top-left corner at the top-left of the screens' bounding box,
        // in that road's pixels (the screens' logical size times a common scale).
        std::shared_ptr<const QImage> image;
    };
    using Done = std::function<void(Shot)>;

    // What the last attempt said; untried before the first.
    enum class State { untried, works, refused, unavailable };

    virtual ~ScreenImages() = default;

    // Takes a picture without asking the user; calls done once on the GUI thread, unless the
    // context is gone by then. Never blocks the caller.
    virtual void grab(QObject* context, Done done) = 0;
    // The same, made while one of our windows has the focus: a desktop that asks the user once
    // (GNOME's portal) asks only such a caller. Its answer is kept for later grabs.
    virtual void allow(QObject* context, Done done) { grab(context, std::move(done)); }
    // The road that answered last, else the one tried first.
    virtual Road road() const = 0;
    virtual State state() const = 0;
};
