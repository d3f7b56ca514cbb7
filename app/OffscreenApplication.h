#pragma once

#include <QApplication>

namespace detail {
// Runs before the application object is made, which reads the platform name once.
struct OffscreenPlatform {
    OffscreenPlatform() { qputenv("QT_QPA_PLATFORM", "offscreen"); }
};
}

// The application object of the modes that draw or drive widgets without showing them: no
// window appears, no display is needed and no key is grabbed.
class OffscreenApplication : private detail::OffscreenPlatform {
public:
    OffscreenApplication() = default;
    OffscreenApplication(const OffscreenApplication&) = delete;
    OffscreenApplication& operator=(const OffscreenApplication&) = delete;

private:
    int m_argc = 1;
    char m_program[7] = "quillo";
    char* m_argv[2] = {m_program, nullptr};
    QApplication m_app{m_argc, m_argv};
};
