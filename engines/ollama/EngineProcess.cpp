#include "engines/ollama/EngineProcess.h"

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>

namespace EngineProcess {

namespace {

using namespace std::chrono_literals;

std::atomic<pid_t> childPid = 0;
static_assert(std::atomic<pid_t>::is_always_lock_free);
std::mutex recordMutex; // one start, check or stop at a time

// Runs jobs on a thread that is never joined: it ends only with the process. Its objects are
// leaked on purpose, so no destructor at exit waits on the thread that is still waiting on them.
class SpawnThread {
public:
    static SpawnThread& instance()
    {
        static SpawnThread* thread = new SpawnThread;
        return *thread;
    }

    pid_t run(const std::function<pid_t()>& job)
    {
        std::unique_lock lock(m_mutex);
        m_job = &job;
        m_done = false;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return m_done; });
        return m_result;
    }

private:
    SpawnThread()
    {
        std::thread([this] { loop(); }).detach();
    }

    void loop()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_changed.wait(lock, [this] { return m_job != nullptr; });
            m_result = (*m_job)();
            m_job = nullptr;
            m_done = true;
            m_changed.notify_all();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    const std::function<pid_t()>* m_job = nullptr;
    pid_t m_result = 0;
    bool m_done = false;
};

// Everything the child needs, prepared before fork: after it only async-signal-safe calls.
struct ExecImage {
    std::vector<QByteArray> storage;
    std::vector<char*> argv;
    std::vector<char*> envp;

    explicit ExecImage(const Launch& launch)
    {
        storage.push_back(QFile::encodeName(launch.program));
        for (const QString& argument : launch.arguments)
            storage.push_back(argument.toLocal8Bit());
        const size_t argc = storage.size();
        for (const QString& variable : launch.environment)
            storage.push_back(variable.toLocal8Bit());
        for (size_t i = 0; i < storage.size(); ++i)
            (i < argc ? argv : envp).push_back(storage[i].data());
        argv.push_back(nullptr);
        envp.push_back(nullptr);
    }
};

[[noreturn]] void execChild(const ExecImage& image, pid_t parent, int nullFd, int logFd)
{
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != parent) // the parent died before the line above took effect
        ::_exit(127);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::dup2(nullFd, STDIN_FILENO);
    if (logFd >= 0) {
        ::dup2(logFd, STDOUT_FILENO);
        ::dup2(logFd, STDERR_FILENO);
    }
    ::close_range(3, ~0U, 0); // sockets of our HTTP requests must not leak into the server
    ::execve(image.argv[0], image.argv.data(), image.envp.data());
    ::_exit(127);
}

pid_t spawn(const Launch& launch)
{
    const ExecImage image(launch);
    const int nullFd = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    int logFd = -1;
    if (!launch.logFile.isEmpty())
        logFd = ::open(QFile::encodeName(launch.logFile).constData(),
                       O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0)
        execChild(image, parent, nullFd, logFd);
    if (logFd >= 0)
        ::close(logFd);
    if (nullFd >= 0)
        ::close(nullFd);
    return pid > 0 ? pid : 0;
}

// Forgets the process before reaping it, so a reader of pid() never sees an id the system may
// already have handed to someone else.
bool reapIfExited(pid_t pid, bool block)
{
    siginfo_t info{};
    const int options = WEXITED | WNOWAIT | (block ? 0 : WNOHANG);
    int result = 0;
    do
        result = ::waitid(P_PID, id_t(pid), &info, options);
    while (result != 0 && errno == EINTR);
    if (result == 0 && info.si_pid != pid) // still running
        return false;
    childPid = 0;
    ::waitpid(pid, nullptr, WNOHANG);
    return true;
}

bool isRunningLocked()
{
    const pid_t pid = childPid;
    return pid > 0 && !reapIfExited(pid, false);
}

}

bool start(const Launch& launch)
{
    std::lock_guard lock(recordMutex);
    if (isRunningLocked())
        return true;
    const pid_t pid = SpawnThread::instance().run([&launch] { return spawn(launch); });
    childPid = pid;
    return pid > 0;
}

bool isRunning()
{
    std::lock_guard lock(recordMutex);
    return isRunningLocked();
}

void terminate(std::chrono::milliseconds grace)
{
    std::lock_guard lock(recordMutex);
    if (!isRunningLocked())
        return;
    const pid_t pid = childPid;
    ::kill(pid, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + grace;
    // A well-behaved engine exits within milliseconds; look often so quitting is not delayed.
    while (std::chrono::steady_clock::now() < deadline) {
        if (reapIfExited(pid, false))
            return;
        std::this_thread::sleep_for(10ms);
    }
    ::kill(pid, SIGKILL);
    reapIfExited(pid, true);
}

pid_t pid() noexcept
{
    return childPid.load();
}

}
