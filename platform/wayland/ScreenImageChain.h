#pragma once

#include <memory>
#include <vector>

#include "platform/ScreenImages.h"

// Several roads to a picture of the desktop, tried in order until one gives an image; the one
// that worked is tried first from then on. When none does, the answer is the first refusal
// (which the user can do something about), else the last road's.
class ScreenImageChain final : public ScreenImages {
public:
    using Roads = std::vector<std::shared_ptr<ScreenImages>>;
    explicit ScreenImageChain(Roads roads);

    void grab(QObject* context, Done done) override;
    void allow(QObject* context, Done done) override;
    Road road() const override { return m_road; }
    State state() const override { return m_state; }

private:
    void walk(std::shared_ptr<const Roads> order, size_t index, bool allowing, QObject* context, Done done,
              std::shared_ptr<Shot> answer);
    void settle(const Shot& shot);

    Roads m_roads;
    std::shared_ptr<ScreenImages> m_working; // the road that gave the last image
    Road m_road;
    State m_state = State::untried;
};
