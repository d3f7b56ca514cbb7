#include "app/Modes.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QPainter>
#include <QScreen>
#include <QWidget>

#include "app/AppServices.h"
#include "core/ActionKey.h"
#include "engines/ollama/EngineControl.h"
#include "platform/PlatformServices.h"
#include "popup/view/PopupPanel.h"
#include "prompts/ActionOptions.h"
#include "settings/L10n.h"
#include "settings/SettingsStore.h"
#include "speech/SpeechInput.h"

namespace {

const QString sampleParagraph = QStringLiteral(
    "城市的清晨总是从一阵细碎的声响开始：早点铺的蒸笼掀开，白气裹着面香涌上街头；送报的自行车铃声由远及近，"
    "又很快消失在巷子深处。上班的人们提着豆浆匆匆走过，公交车在站台前停了又走。"
    "阳光从高楼的缝隙里斜斜地照下来，落在还带着露水的梧桐叶上。"
    "这样的早晨年复一年，看似平淡，却让人心里踏实：生活就在这些寻常的细节里，一点点展开。");

// The whole screen, painted with the desktop colours the panel is meant to float over.
class GradientWindow : public QWidget {
public:
    GradientWindow()
        : QWidget(nullptr, Qt::FramelessWindowHint)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setAccessibleName(QStringLiteral("Quillo demo"));
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        // Bottom-left to top-right through indigo, pink, orange and teal.
        QLinearGradient gradient(rect().bottomLeft(), rect().topRight());
        gradient.setColorAt(0.0, QColor(88, 86, 214));
        gradient.setColorAt(1.0 / 3, QColor(255, 45, 85));
        gradient.setColorAt(2.0 / 3, QColor(255, 149, 0));
        gradient.setColorAt(1.0, QColor(48, 176, 199));
        QPainter(this).fillRect(rect(), gradient);
    }
    void keyPressEvent(QKeyEvent* event) override
    {
        if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Q)
            close();
    }
};

// Explain on the local engine and rewrite on the cloud, with real prompts for the sample, so
// that either engine gives a real answer.
QList<PopupAction> demoActions(const ActionOptions& options)
{
    const QList<PopupAction> built = buildActions(sampleParagraph, options, std::nullopt, std::nullopt);
    auto action = [&built](const QString& key, const char* title, bool useLocal) {
        PopupAction found =
            *std::find_if(built.cbegin(), built.cend(), [&key](const PopupAction& a) { return a.actionKey == key; });
        found.title = L10n::t(title);
        found.useLocal = useLocal;
        return found;
    };
    return {action(ActionKey::explain, "popup.action.explain", true),
            action(ActionKey::rewrite, "popup.action.rewrite", false)};
}

int runDemo(const QStringList&)
{
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return 0;
    AppServices services;
    GradientWindow background;
    // One pixel short of the screen: window managers lift a borderless window of the screen's
    // exact size into their full-screen layer, above the popup.
    background.setGeometry(screen->geometry().adjusted(0, 0, 0, -1));
    background.show();
    background.raise();
    background.activateWindow();

    auto options = std::make_shared<ActionOptions>();
    options->scenarioId = QStringLiteral("gongwen");
    options->creativity = PromptLibrary::Creativity::moderate;
    options->explainModeId = QStringLiteral("solve");
    options->translateDirection = QStringLiteral("auto");
    PopupPanel panel({services.actionEngine(), services.knowledge(), services.tasks(), &SpeechInput::onDevice,
                      Platform::services(), [] { return SettingsStore::load().fontScale; }});
    // Options changed here are not stored, and nothing reruns.
    panel.setOnOptionsChanged([] {});
    panel.showActions(QStringLiteral("✓ 读到你选中的 168 个字"), sampleParagraph, demoActions(*options), options,
                      std::nullopt, SourceKind::selection);
    const int status = QApplication::exec();
    panel.close();
    services.engines()->shutdown();
    return status;
}

}

const Mode demoMode = {AppObject::gui, nullptr, "open the demonstration window", runDemo};
