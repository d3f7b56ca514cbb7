#include <gtest/gtest.h>

#include <QAccessible>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>

#include "core/TaskPool.h"
#include "engines/ollama/OllamaEngineControl.h"
#include "settings/SettingsStore.h"
#include "tests/support/ChildProcesses.h"
#include "tests/support/EventLoop.h"
#include "tests/support/ScratchHome.h"
#include "tests/support/TestPrefix.h"
#include "windows/OnboardingWindow.h"

namespace {

// The window against the real engines: fake_ollama installed as the built-in engine, and as the
// user's own Ollama where a test starts one.
class OnboardingWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ChildProcesses::adoptOrphans();
        qputenv("FAKE_OLLAMA_PULL_STEP_MS", "40"); // slow enough to see progress and to cancel midway
        qunsetenv("OLLAMA_HOST");
    }

    ScratchHome home;
    ScopedEnv english{"SELVANE_UI_LANG", "en"};
    TestPrefix prefix;
    std::optional<UsePrefix> installed;
    std::shared_ptr<OllamaEngineControl> engines = std::make_shared<OllamaEngineControl>();
    TaskPool tasks{2};
    std::unique_ptr<OnboardingWindow> window;
    int finished = 0;

    void SetUp() override
    {
        prefix.installEngine();
        installed.emplace(prefix);
        window = std::make_unique<OnboardingWindow>(engines, tasks, OnboardingWindow::Desktop{});
        window->onFinished = [this] { ++finished; };
    }
    void TearDown() override
    {
        window.reset();
        tasks.shutdown();
        engines->shutdown();
    }

    QList<QPushButton*> visibleButtons(const QString& accessibleName) const
    {
        QList<QPushButton*> buttons = window->findChildren<QPushButton*>();
        buttons.removeIf([&](QPushButton* b) { return b->accessibleName() != accessibleName || !b->isVisible(); });
        return buttons;
    }
    QPushButton* button(const QString& accessibleName) const { return visibleButtons(accessibleName).value(0); }
    QLabel* shown(const QString& text) const
    {
        for (QLabel* label : window->findChildren<QLabel*>())
            if (label->isVisible() && label->text() == text)
                return label;
        return nullptr;
    }
    bool shows(const QString& text) const { return shown(text) != nullptr; }
    bool waitForButton(const QString& accessibleName, int timeoutMs = 20000) const
    {
        return processEventsUntil([&] { return button(accessibleName) != nullptr; }, timeoutMs);
    }
};

// The screen row follows the desktop: where capturing needs no grant it says so and offers no
// buttons; elsewhere it tells the state and offers the grant. Status lines read out as shown.
TEST_F(OnboardingWindowTest, TheScreenRowFollowsTheDesktopAndTheShortcutComesFromTheSettings)
{
    AppSettings settings = SettingsStore::load(true);
    settings.hotKeyCode = 12; // Q
    settings.hotKeyModifiers = 0x1000 | 0x0800;
    ASSERT_TRUE(SettingsStore::save(settings));

    auto statusReadOut = [&](const QString& text) {
        return shows(text) && QAccessible::queryAccessibleInterface(shown(text))->text(QAccessible::Name) == text;
    };
    OnboardingWindow::Desktop x11;
    x11.screenCapture = OnboardingWindow::ScreenCapture::free;
    window = std::make_unique<OnboardingWindow>(engines, tasks, x11);
    window->showAndRaise();
    EXPECT_TRUE(statusReadOut(QStringLiteral("✅ No permission needed on this desktop")));
    EXPECT_EQ(visibleButtons(QStringLiteral("Grant access")).size(), 1) << "the accessibility row's only";
    EXPECT_EQ(visibleButtons(QStringLiteral("Allow screen text")).size(), 0);
    EXPECT_TRUE(shows(QStringLiteral(
        "Select the line above → press Ctrl+Alt+Q → a small window pops up; click Explain / Translate / Rewrite.")));
    EXPECT_TRUE(window->findChild<QLineEdit*>()->text().contains(QStringLiteral("press Ctrl+Alt+Q to see")));

    OnboardingWindow::Desktop asking;
    asking.screenCapturable = [] { return false; };
    window = std::make_unique<OnboardingWindow>(engines, tasks, asking);
    window->showAndRaise();
    EXPECT_EQ(visibleButtons(QStringLiteral("Grant access")).size(), 1);
    EXPECT_EQ(visibleButtons(QStringLiteral("Allow screen text")).size(), 1);
    EXPECT_TRUE(statusReadOut(QStringLiteral("⚠️ Not granted yet")));
    EXPECT_FALSE(shows(QStringLiteral("✅ No permission needed on this desktop")));
}

TEST_F(OnboardingWindowTest, ADownloadShowsItsProgressCancelsBackToThePickerAndOnceDoneIsTheModelInUse)
{
    window->showModelPicker();
    ASSERT_TRUE(waitForButton(QStringLiteral("Recommended · Qwen 7B")));
    button(QStringLiteral("Recommended · Qwen 7B"))->click();
    QPointer<QProgressBar> bar;
    ASSERT_TRUE(processEventsUntil(
        [&] {
            bar = window->findChild<QProgressBar*>();
            return bar && bar->value() >= 250;
        },
        20000))
        << "progress arrives while the model downloads";
    EXPECT_TRUE(shows(QStringLiteral("Downloading model… %1%").arg(qRound(bar->value() / 10.0))));
    button(QStringLiteral("Cancel"))->click();
    EXPECT_TRUE(button(QStringLiteral("Light · Qwen 3B"))) << "the picker comes back at once";
    processEventsFor(300);
    EXPECT_TRUE(!bar || !bar->isVisible());

    button(QStringLiteral("Light · Qwen 3B"))->click();
    EXPECT_TRUE(
        processEventsUntil([&] { return shows(QStringLiteral("“Light · Qwen 3B” downloaded. Good to go.")); }, 20000));
    const AppSettings settings = SettingsStore::load(true);
    EXPECT_TRUE(settings.qwenModel == QStringLiteral("qwen2.5:3b") && !settings.useExternalOllama);
    EXPECT_EQ(engines->models({}), QStringList{QStringLiteral("qwen2.5:3b")})
        << "the cancelled model was not installed";
}

TEST_F(OnboardingWindowTest, TheUsersOwnOllamaIsOfferedAndAdoptedAndClosingFinishesTheGuide)
{
    FakeOllamaServer own;
    ASSERT_TRUE(own.isAnswering() && own.pull(QStringLiteral("llama3.2:1b")));
    EXPECT_FALSE(OnboardingWindow::hasOnboarded());
    window->showAndRaise();
    ASSERT_TRUE(waitForButton(QStringLiteral("Use this llama3.2:1b"))) << "the built-in engine holds no model";
    button(QStringLiteral("Use this llama3.2:1b"))->click();
    EXPECT_TRUE(shows(QStringLiteral("Set to use your own Ollama · llama3.2:1b.")));
    const AppSettings settings = SettingsStore::load(true);
    EXPECT_TRUE(settings.qwenModel == QStringLiteral("llama3.2:1b") && settings.useExternalOllama);

    window->close();
    EXPECT_TRUE(OnboardingWindow::hasOnboarded() && finished == 1);
}

}
