// The controller's decisions off-screen: what a shortcut press or a screen-text grab ends in, with
// fakes for the desktop, the selection, the screen and the engines.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>

#include "core/TaskPool.h"
#include "memory/KnowledgeStore.h"
#include "memory/SemanticRecall.h"
#include "ocr/ScreenTextCapture.h"
#include "settings/L10n.h"
#include "settings/SettingsStore.h"
#include "tests/support/EventLoop.h"
#include "tests/support/FakeEngineControl.h"
#include "tests/support/FakePlatform.h"
#include "tests/support/FakeSelectionCapture.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/ScratchHome.h"
#include "tray/AppDelegate.h"
#include "tray/AppWindows.h"

namespace {

using Kind = ScreenTextCapture::Result::Kind;
constexpr AIReadiness::Value ready = AIReadiness::localReady;

// A screen-text capture that ends the way the test says, when it says.
class FakeScreenText final : public ScreenTextCapture {
public:
    void capture(QObject*, Done done) override { waiting.append(std::move(done)); }
    QList<Done> waiting;
};

// The shortcut is pressed on a trusted X11 desktop unless the row says otherwise.
enum class Trigger { shortcut, shortcutWithCloudKey, untrusted, untrustedWithoutDesktop, screenText };

struct Row {
    Trigger trigger;
    Kind captured; // for the shortcut, noText is a selection capture that found nothing
    AIReadiness::Value readiness;
    bool healSwitches;
    const char* shown;  // the key of the panel's header; nullptr: nothing is shown
    int readinessAsked; // twice: the actions were presented again
};

const Row rows[] = {
    {Trigger::untrusted, Kind::text, ready, false, "auth.notTrusted.header", 0},
    {Trigger::untrustedWithoutDesktop, Kind::text, ready, false, "auth.noDesktop.header", 0},
    {Trigger::shortcut, Kind::noText, ready, false, "capture.notFound.header", 0},
    {Trigger::shortcut, Kind::text, AIReadiness::neitherConfigured, false, "notReady.title", 1},
    {Trigger::shortcut, Kind::text, ready, false, "popup.header.read", 1},
    {Trigger::shortcut, Kind::text, ready, true, "popup.header.read", 2},
    // A cloud key can always answer: the engines are not asked, whatever they would say.
    {Trigger::shortcutWithCloudKey, Kind::text, AIReadiness::neitherConfigured, false, "popup.header.read", 0},
    {Trigger::screenText, Kind::needsScreenPermission, ready, false, "ocr.perm.header", 0},
    {Trigger::screenText, Kind::cancelled, ready, false, nullptr, 0},
    {Trigger::screenText, Kind::noText, ready, false, "ocr.noText.header", 0},
    {Trigger::screenText, Kind::text, ready, false, "popup.header.read", 1},
};

const QString selected = QStringLiteral("河流");

void PrintTo(const Row& row, std::ostream* os)
{
    *os << int(row.trigger) << " → " << (row.shown ? row.shown : "nothing shown");
}

// The accessible names in every shown window, as a screen reader finds them.
QStringList shownNames()
{
    QStringList names;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        for (const QWidget* child : window->findChildren<QWidget*>()) {
            if (window->isVisible() && child->isVisibleTo(window))
                names.append(child->accessibleName());
        }
    }
    return names;
}

class AppDelegateTest : public ::testing::TestWithParam<Row> {
protected:
    ScratchHome home;
    ScopedEnv lang{"SELVANE_UI_LANG", "en"};
    FakePlatform platform;
    SemanticRecall noModels{std::make_shared<NoSentenceEmbedder>()};
    KnowledgeStore store{home.path() + QStringLiteral("/knowledge.json"), noModels};
    std::shared_ptr<FakeEngineControl> engines = std::make_shared<FakeEngineControl>();
    TaskPool tasks{4};
    FakeSelectionCapture selection;
    FakeScreenText screen;

    void SetUp() override { L10n::invalidate(); }
    void onDesktop(Session::Display display, bool trusted)
    {
        platform.accessibility->trusted = trusted;
        PlatformServices services = platform.services();
        services.session.display = display;
        Platform::install(services);
    }
    AppDelegate::Services services()
    {
        return {engines, nullptr, store, tasks, selection, screen, *platform.clipboard, *platform.workspace, {}};
    }
    // Lets every task end and its answer reach the controller, with what those answers start.
    void settle()
    {
        for (int round = 0; round < 3; ++round) {
            tasks.waitForDone();
            QCoreApplication::processEvents();
        }
    }
};

TEST_P(AppDelegateTest, DecidesWhatTheUserSees)
{
    const Row& row = GetParam();
    onDesktop(row.trigger == Trigger::untrustedWithoutDesktop ? Session::Display::none : Session::Display::x11,
              row.trigger != Trigger::untrusted && row.trigger != Trigger::untrustedWithoutDesktop);
    if (row.trigger == Trigger::shortcutWithCloudKey)
        changeSettings([](AppSettings& s) { s.cloudKeys = {{QStringLiteral("kimi"), QStringLiteral("sk-1")}}; });
    engines->change([&row](FakeEngineControl::Script& script) {
        script.readiness = row.readiness;
        if (row.healSwitches)
            script.healOutcome = LocalEngineHeal::Outcome::switchedToExternal(QStringLiteral("qwen3:8b"));
    });
    AppDelegate controller(services());
    if (row.trigger == Trigger::screenText) {
        controller.startScreenOCR(QStringLiteral("test"));
        ASSERT_EQ(screen.waiting.size(), 1);
        screen.waiting.takeFirst()({row.captured, row.captured == Kind::text ? selected : QString()});
    } else {
        controller.onHotKey();
        if (!selection.waiting.isEmpty())
            selection.deliver(row.captured == Kind::text ? std::optional(SelectionCapture::Result{selected, {}, {}, {}})
                                                         : std::nullopt);
    }

    const QString header = !row.shown                        ? QString()
        : row.shown == std::string_view("popup.header.read") ? L10n::tf(row.shown, {QString::number(selected.size())})
                                                             : L10n::t(row.shown);
    if (row.shown) {
        EXPECT_TRUE(processEventsUntil([&] { return shownNames().contains(header); }))
            << shownNames().join(" | ").toStdString();
    }
    settle();
    EXPECT_EQ(engines->calls().count(QStringLiteral("readiness")), row.readinessAsked);
    EXPECT_EQ(shownNames().contains(header), bool(row.shown)) << shownNames().join(" | ").toStdString();
}

INSTANTIATE_TEST_SUITE_P(Decisions, AppDelegateTest, ::testing::ValuesIn(rows));

using AppDelegateCommands = AppDelegateTest;

TEST_F(AppDelegateCommands, OneScreenGrabAtATimeAndTheNotReadyPromptTakesTheUsersOllama)
{
    onDesktop(Session::Display::x11, true);
    AppDelegate controller(services());
    controller.startScreenOCR(QStringLiteral("menu"));
    controller.startScreenOCR(QStringLiteral("command"));
    EXPECT_EQ(screen.waiting.size(), 1) << "a second grab while one is under way is ignored";
    screen.waiting.takeFirst()({Kind::cancelled, {}});
    controller.startScreenOCR(QStringLiteral("command"));
    EXPECT_EQ(screen.waiting.size(), 1) << "the next one starts once the first has ended";

    engines->change([](FakeEngineControl::Script& script) {
        script.readiness = AIReadiness::neitherConfigured;
        script.ownOllamaModels = {QStringLiteral("llama3:8b"), QStringLiteral("mistral:7b")};
    });
    controller.presentActions({selected, {}, {}, {}}, std::nullopt);
    QPushButton* useOllama = nullptr;
    ASSERT_TRUE(processEventsUntil([&] {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            for (QPushButton* button : window->findChildren<QPushButton*>())
                useOllama = button->accessibleName() == L10n::t("notReady.btn.useOllama") ? button : useOllama;
        }
        return useOllama != nullptr;
    }));
    useOllama->click();
    ASSERT_TRUE(processEventsUntil([] { return SettingsStore::load(true).useExternalOllama; }));
    EXPECT_EQ(SettingsStore::load().qwenModel, QStringLiteral("llama3:8b"));
}

using AppWindowsTest = AppDelegateTest;

// A closed settings or knowledge window is destroyed, and the next showing builds it again.
TEST_F(AppWindowsTest, AClosedWindowIsDestroyedAndBuiltAgainWhenShown)
{
    onDesktop(Session::Display::x11, true);
    AppWindows windows({engines, nullptr, store, tasks, *platform.clipboard}, {});
    const auto shownWindow = [] {
        const QWidgetList all = QApplication::topLevelWidgets();
        const auto shown = std::find_if(all.begin(), all.end(), [](QWidget* window) { return window->isVisible(); });
        return QPointer<QWidget>(shown == all.end() ? nullptr : *shown);
    };
    // Waited for each time: a window outliving the test would go with this fixture's store and pool gone.
    const auto closedAndDestroyed = [](QPointer<QWidget> window) {
        window->close();
        return processEventsUntil([&] { return window.isNull(); }, 5000);
    };
    for (const auto show : {&AppWindows::showSettings, &AppWindows::showKnowledge}) {
        (windows.*show)();
        const QPointer<QWidget> first = shownWindow();
        ASSERT_TRUE(first);
        const QString title = first->windowTitle();
        EXPECT_TRUE(closedAndDestroyed(first)) << "a closed window is destroyed";
        (windows.*show)();
        const QPointer<QWidget> again = shownWindow();
        ASSERT_TRUE(again);
        EXPECT_EQ(again->windowTitle(), title);
        EXPECT_TRUE(closedAndDestroyed(again));
    }
}

}
