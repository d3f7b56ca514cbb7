// Time from showActions to the panel mapped and exposed on the X server, for the first panel of
// the process (fresh) and for later ones (warm: closed and opened again), as the shortcut does.
// Needs a desktop: tests/support/in-desktop.sh build/bin/bench_popup_show
#include <algorithm>
#include <cstdio>

#include <QApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QTemporaryDir>
#include <QWidget>
#include <QWindow>

#include "core/TaskPool.h"
#include "memory/KnowledgeStore.h"
#include "memory/SemanticRecall.h"
#include "platform/PlatformServices.h"
#include "popup/ActionEngine.h"
#include "popup/view/PopupPanel.h"

namespace {

class NoEngine final : public ActionEngine {
public:
    ChatResult runChatStream(bool, const ChatMessages&, const DeltaHandler&, std::stop_token) override
    {
        return ChatResult::success(QStringLiteral("-"));
    }
    ProfileEngine::OneShotChat profileChat(std::stop_token) override { return {}; }
};

const QList<PopupAction> actions = {{QStringLiteral("解释"), QStringLiteral("解释"), {}, {}, true},
                                    {QStringLiteral("翻译"), QStringLiteral("翻译"), {}, {}, true},
                                    {QStringLiteral("改写"), QStringLiteral("改写"), {}, {}, true}};

double showOnce(PopupPanel& panel)
{
    QElapsedTimer timer;
    timer.start();
    panel.showActions(QStringLiteral("✓ 读到你选中的 42 个字"),
                      QStringLiteral("春天的河流从山里出来，带着融化的雪水和一路上的碎石。"), actions, nullptr,
                      std::nullopt, SourceKind::selection);
    while (!(panel.window() && panel.window()->windowHandle() && panel.window()->windowHandle()->isExposed()))
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 1);
    const double ms = timer.nsecsElapsed() / 1e6;
    const QPointer<QWindow> window = panel.window()->windowHandle();
    panel.close();
    // A window kept for the next showing is measured from unmapped, as the shortcut finds it.
    while (window && window->isExposed())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 1);
    QCoreApplication::processEvents();
    return ms;
}

}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    SemanticRecall noModels(std::make_shared<NoSentenceEmbedder>());
    KnowledgeStore store(home.filePath(QStringLiteral("knowledge.json")), noModels);
    TaskPool tasks(2);
    PopupPanel panel({std::make_shared<NoEngine>(), store, tasks, {}, Platform::services(), [] { return 1.0; }});

    const double fresh = showOnce(panel);
    QList<double> warm;
    for (int i = 0; i < 30; ++i)
        warm.append(showOnce(panel));
    std::sort(warm.begin(), warm.end());
    std::printf("showActions -> exposed: fresh %.2f ms; warm median %.2f ms, p90 %.2f ms, max %.2f ms (30 runs)\n",
                fresh, warm[15], warm[27], warm.last());
    return 0;
}
