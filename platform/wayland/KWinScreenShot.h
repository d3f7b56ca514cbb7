#pragma once

#include <QObject>

#include "core/TaskPool.h"
#include "platform/ScreenImages.h"

// The whole workspace from KWin's ScreenShot2 interface, written raw into a pipe. KWin answers
// only programs whose installed desktop entry (Exec = this binary) lists the interface under
// X-KDE-DBUS-Restricted-Interfaces; everyone else is refused, without asking the user.
class KWinScreenShot final : public QObject, public ScreenImages {
public:
    void grab(QObject* context, Done done) override;
    Road road() const override { return Road::kwin; }
    State state() const override { return m_state; }

private:
    State m_state = State::untried;
    TaskPool m_pool{1}; // reads the pipe; declared last, so it stops before the rest goes
};
