#pragma once

#include "platform/DesktopHelper.h"
#include "platform/wayland/ShellHelper.h"

// Quillo's GNOME Shell extension as the settings show it: running in this session or not, and
// turned on for the next login.
class ShellHelperSwitch final : public DesktopHelper {
public:
    explicit ShellHelperSwitch(bool running)
        : m_running(running)
    {
    }

    State state() const override { return m_running ? State::running : State::off; }
    void turnOn(QObject* context, std::function<void(bool)> done) override
    {
        ShellHelper::turnOn(context, std::move(done));
    }

private:
    bool m_running;
};
