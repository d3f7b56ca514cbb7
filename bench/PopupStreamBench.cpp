// Main-thread cost of streaming 2,000 fragments (9,250 characters) into the popup: first into
// the result area of a first answer (the panel grows with it), then into the transcript of a
// revision. Fragments arrive paced, as from a model; every event the main thread dispatches
// meanwhile is timed in thread CPU time (painting and the throttled height measurement
// included). Reports the busy time per fragment and the longest single stall, and apart from
// them the longest stall of each switch to the conversation: the event that ends the stream and
// those of the 300 ms after it (the new view's layout and painting).
// Run by hand: build/bin/bench_popup_stream (off-screen), or under tests/support/in-desktop.sh.
#include <algorithm>
#include <cstdio>
#include <thread>
#include <time.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include "core/TaskPool.h"
#include "memory/KnowledgeStore.h"
#include "memory/SemanticRecall.h"
#include "platform/PlatformServices.h"
#include "popup/ActionEngine.h"
#include "popup/ActionSession.h"
#include "popup/view/PopupPanel.h"

namespace {

constexpr int fragmentCount = 2000;
const QStringList pieces = {QStringLiteral("春天"),          QStringLiteral("的河流"), QStringLiteral("，"),
                            QStringLiteral("带着融化的"),    QStringLiteral("雪水"),   QStringLiteral("and some "),
                            QStringLiteral("English words"), QStringLiteral("。\n")};

// 2,000 fragments, one every 0.25 ms.
class PacedEngine final : public ActionEngine {
public:
    ChatResult runChatStream(bool, const ChatMessages&, const DeltaHandler& onDelta, std::stop_token) override
    {
        QString all;
        for (int i = 0; i < fragmentCount; ++i) {
            const QString& piece = pieces[i % pieces.size()];
            onDelta(piece);
            all += piece;
            std::this_thread::sleep_for(std::chrono::microseconds(250));
        }
        return ChatResult::success(all);
    }
    ProfileEngine::OneShotChat profileChat(std::stop_token) override { return {}; }
};

// CPU time of the calling thread: what the main thread spends, without the time other
// processes of a busy machine take from it.
qint64 threadCpuNs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// Times every event dispatched from the event loop (nested dispatches count in their parent).
class TimedApplication : public QApplication {
public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override
    {
        if (m_depth++ > 0) {
            const bool handled = QApplication::notify(receiver, event);
            --m_depth;
            return handled;
        }
        const qint64 start = threadCpuNs();
        const bool handled = QApplication::notify(receiver, event);
        const qint64 ns = threadCpuNs() - start;
        --m_depth;
        if (switching) {
            switchNs = std::max(switchNs, ns);
        } else if (measuring) {
            busyNs += ns;
            longestNs = std::max(longestNs, ns);
        }
        return handled;
    }

    bool measuring = false;
    bool switching = false; // from the answer on: the event that emits it is the switch's
    qint64 busyNs = 0;
    qint64 longestNs = 0;
    qint64 switchNs = 0;

private:
    int m_depth = 0;
};

void report(const char* where, TimedApplication& app)
{
    std::printf("%-12s %.1f us of main thread per fragment, longest stall %.2f ms; switch to the conversation: "
                "longest stall %.2f ms\n",
                where, app.busyNs / 1000.0 / fragmentCount, app.longestNs / 1e6, app.switchNs / 1e6);
    app.busyNs = app.longestNs = app.switchNs = 0;
    app.switching = false;
}

}

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TimedApplication app(argc, argv);
    QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    SemanticRecall noModels(std::make_shared<NoSentenceEmbedder>());
    KnowledgeStore store(home.filePath(QStringLiteral("knowledge.json")), noModels);
    TaskPool tasks(2);
    PopupPanel panel({std::make_shared<PacedEngine>(), store, tasks, {}, Platform::services(), [] { return 1.0; }});
    ActionSession& session = panel.session();
    int answers = 0;
    // Connected after the panel's own handler: the switch has run when this one does.
    QObject::connect(&session, &ActionSession::answered, [&] {
        ++answers;
        app.switching = true;
    });
    const auto untilAnswer = [&](int count) {
        while (answers < count)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        QElapsedTimer settling;
        settling.start();
        while (settling.elapsed() < 300)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    };

    panel.showActions(QStringLiteral("✓"), QStringLiteral("河流"),
                      {{QStringLiteral("解释"), QStringLiteral("解释"), {}, {}, true}}, nullptr, std::nullopt,
                      SourceKind::selection);
    app.measuring = true;
    session.runAction(0);
    untilAnswer(1);
    report("result area", app);
    session.sendInstruction(QStringLiteral("再短一点"));
    untilAnswer(2);
    report("transcript", app);
    return 0;
}
