// Shows that ThreadSanitizer (GCC 12's runtime) reports races on correctly locked code once the
// process has started a child with QProcess. Qt 6.4 starts children with
// clone(CLONE_VM | CLONE_VFORK): the child runs, on the parent's memory, interceptors that update
// the parent's ThreadSanitizer state, and the main thread's later mutex operations are lost.
// clang 16's runtime, which intercepts clone, aborts there instead (tsan_rtl.cpp:253).
//   bench_tsan_qprocess_false_race        silent
//   bench_tsan_qprocess_false_race child  three "data race" reports on the hand-off below
#include <QCoreApplication>
#include <QProcess>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

// A value handed from the main thread to a worker and the answer handed back, all under one mutex.
struct Mailbox {
    std::mutex mutex;
    std::condition_variable changed;
    const int* job = nullptr;
    int result = 0;
    bool done = false;
};

}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc > 1) {
        QProcess child;
        child.start(QStringLiteral("/bin/true"), {});
        child.waitForFinished();
    }
    static Mailbox& box = *new Mailbox; // never destroyed: the worker waits on it until exit
    std::thread([] {
        std::unique_lock lock(box.mutex);
        for (;;) {
            box.changed.wait(lock, [] { return box.job != nullptr; });
            box.result = *box.job + 1;
            box.job = nullptr;
            box.done = true;
            box.changed.notify_all();
        }
    }).detach();
    int sum = 0;
    for (int i = 0; i < 5; ++i) {
        const int value = i;
        std::unique_lock lock(box.mutex);
        box.job = &value;
        box.done = false;
        box.changed.notify_all();
        box.changed.wait(lock, [] { return box.done; });
        sum += box.result;
    }
    return sum == 15 ? 0 : 1;
}
