#pragma once

#include <QObject>

#include "core/TaskPool.h"
#include "platform/ScreenImages.h"

// The whole layout from grim (wlroots' screencopy: sway, Hyprland), read from its standard
// output. Nothing to allow: those compositors let any client copy the screen.
class GrimScreenshot final : public QObject, public ScreenImages {
public:
    // Whether grim is installed.
    static bool available();

    void grab(QObject* context, Done done) override;
    Road road() const override { return Road::grim; }
    State state() const override { return m_state; }

private:
    State m_state = State::untried;
    TaskPool m_pool{1}; // decodes the picture; declared last, so it stops before the rest goes
};
