#include "platform/wayland/ScreenImageChain.h"

ScreenImageChain::ScreenImageChain(Roads roads)
    : m_roads(std::move(roads))
    , m_road(m_roads.empty() ? Road::none : m_roads.front()->road())
{
    if (m_roads.empty())
        m_state = State::unavailable;
}

void ScreenImageChain::grab(QObject* context, Done done)
{
    auto order = std::make_shared<Roads>();
    if (m_working)
        order->push_back(m_working);
    for (const std::shared_ptr<ScreenImages>& road : m_roads)
        if (road != m_working)
            order->push_back(road);
    walk(std::move(order), 0, false, context, std::move(done), nullptr);
}

void ScreenImageChain::allow(QObject* context, Done done)
{
    walk(std::make_shared<Roads>(m_roads), 0, true, context, std::move(done), nullptr);
}

void ScreenImageChain::walk(std::shared_ptr<const Roads> order, size_t index, bool allowing, QObject* context,
                            Done done, std::shared_ptr<Shot> answer)
{
    if (index >= order->size()) {
        const Shot shot = answer ? *answer : Shot{};
        settle(shot);
        done(shot);
        return;
    }
    const std::shared_ptr<ScreenImages> road = (*order)[index];
    auto next = [this, order, index, allowing, context, done, answer, road](Shot shot) {
        if (shot.outcome == Shot::Outcome::image) {
            m_working = road;
            settle(shot);
            done(std::move(shot));
            return;
        }
        // The first refusal is what the user can act on; else the last road's answer.
        const std::shared_ptr<Shot> kept =
            answer && answer->outcome == Shot::Outcome::refused ? answer : std::make_shared<Shot>(shot);
        walk(order, index + 1, allowing, context, done, kept);
    };
    if (allowing)
        road->allow(context, std::move(next));
    else
        road->grab(context, std::move(next));
}

void ScreenImageChain::settle(const Shot& shot)
{
    m_road = shot.road;
    switch (shot.outcome) {
    case Shot::Outcome::image: m_state = State::works; break;
    case Shot::Outcome::refused: m_state = State::refused; break;
    case Shot::Outcome::unavailable: m_state = State::unavailable; break;
    }
}
