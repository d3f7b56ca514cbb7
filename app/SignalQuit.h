#pragma once

#include <memory>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP into the end of the event loop, so the run shuts down in order
// (the engine it started stopped, the clipboard it owns handed over) instead of dying where it
// stands. Every loop of the main thread returns 128 + the signal's number, the status a shell
// reports for it, and later loops return at once. Armed once the event loop first runs: before
// that, and for a second signal, the signal's own action ends the process. Needs the application
// object.
class SignalQuit {
public:
    SignalQuit();
    ~SignalQuit();
    SignalQuit(const SignalQuit&) = delete;
    SignalQuit& operator=(const SignalQuit&) = delete;

private:
    void arm();
    void quit();

    int m_pipe[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> m_notifier;
};
