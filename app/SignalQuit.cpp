#include "app/SignalQuit.h"

#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

namespace {

constexpr int quitSignals[] = {SIGTERM, SIGINT, SIGHUP};

// Written by the handler, read on the main thread. One SignalQuit at a time.
volatile sig_atomic_t signalWriteEnd = -1;

void onSignal(int signal)
{
    const int savedErrno = errno;
    const unsigned char number = static_cast<unsigned char>(signal);
    [[maybe_unused]] const auto written = ::write(signalWriteEnd, &number, 1);
    errno = savedErrno;
}

void restoreDefaults()
{
    for (const int signal : quitSignals)
        ::signal(signal, SIG_DFL);
}

}

SignalQuit::SignalQuit()
{
    if (::pipe2(m_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    signalWriteEnd = m_pipe[1];
    m_notifier = std::make_unique<QSocketNotifier>(m_pipe[0], QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(), [this] { quit(); });
    QTimer::singleShot(0, m_notifier.get(), [this] { arm(); });
}

SignalQuit::~SignalQuit()
{
    restoreDefaults();
    m_notifier.reset();
    signalWriteEnd = -1;
    for (const int fd : m_pipe) {
        if (fd >= 0)
            ::close(fd);
    }
}

void SignalQuit::arm()
{
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    // Interrupted calls go on; the handler runs once, and a second signal takes its own course.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    for (const int signal : quitSignals)
        ::sigaction(signal, &action, nullptr);
}

void SignalQuit::quit()
{
    unsigned char first = 0;
    unsigned char more;
    if (::read(m_pipe[0], &first, 1) != 1)
        return;
    while (::read(m_pipe[0], &more, 1) == 1) { }
    m_notifier->setEnabled(false);
    restoreDefaults(); // whatever comes while we shut down ends the process at once
    QCoreApplication::exit(128 + first);
}
