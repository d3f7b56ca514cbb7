#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "core/TaskPool.h"
#include "platform/KeyPositions.h"
#include "platform/linux/KeyTable.h"
#include "settings/CloudProviders.h"
#include "tests/support/EventLoop.h"
#include "tests/support/FakeEngineControl.h"
#include "tests/support/Files.h"
#include "tests/support/LocalHttpServer.h"
#include "tests/support/ScratchHome.h"
#include "windows/Autostart.h"
#include "windows/SettingsWindow.h"

namespace {

constexpr quint32 keyA = 0, keyD = 2, keyF5 = 96, keyEscape = 53;

class SettingsWindowTest : public ::testing::Test {
protected:
    ScratchHome home;
    ScopedEnv english{"SELVANE_UI_LANG", "en"};
    ScopedEnv noConfigHome{"XDG_CONFIG_HOME", QByteArray()};
    TaskPool tasks{2};
    std::shared_ptr<FakeEngineControl> engines = std::make_shared<FakeEngineControl>();
    std::unique_ptr<SettingsWindow> window;
    int saved = 0;

    void open()
    {
        window = std::make_unique<SettingsWindow>(engines, tasks, KeyPositions::storedKeyCode);
        window->onSaved = [this] { ++saved; };
        window->showAndRaise();
    }
    template <class T>
    T* find(const char* name) const
    {
        T* found = window->findChild<T*>(QLatin1String(name));
        EXPECT_TRUE(found) << name;
        return found;
    }
    QString text(const char* name) const { return find<QLabel>(name)->text(); }
    void chooseProvider(const QString& id)
    {
        auto* popup = find<QComboBox>("providerPopup");
        popup->setCurrentIndex(popup->findText(CloudProviders::displayName(id)));
        Q_EMIT popup->activated(popup->currentIndex());
    }
    void click(const QString& accessibleName) const
    {
        for (QPushButton* button : window->findChildren<QPushButton*>())
            if (button->accessibleName() == accessibleName && button->isVisible())
                return button->click();
        ADD_FAILURE() << "no button " << accessibleName.toStdString();
    }
    // A key press as the X server reports it, with the key's native scan code.
    void press(quint32 storedCode, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        const int key = storedCode == keyEscape ? Qt::Key_Escape
            : storedCode == keyF5               ? Qt::Key_F5
                                                : Qt::Key_A + int(storedCode);
        QKeyEvent event(QEvent::KeyPress, key, modifiers, KeyTable::keycode(storedCode), 0, 0);
        QApplication::sendEvent(window.get(), &event);
    }
};

TEST_F(SettingsWindowTest, DraftsSurviveProviderSwitchesAndTheFirstSaveRetiresTheOlderKey)
{
    changeSettings([](AppSettings& settings) { settings.doubaoApiKey = QStringLiteral(" old-key "); });
    open();
    auto* key = find<QLineEdit>("keyField");
    auto* model = find<QLineEdit>("cloudModelField");
    EXPECT_EQ(key->text(), QStringLiteral("old-key"));
    model->setText(QStringLiteral("my-doubao"));
    chooseProvider(QStringLiteral("openai"));
    EXPECT_TRUE(key->text().isEmpty());
    EXPECT_EQ(model->text(), QStringLiteral("gpt-4o-mini")) << "the default model is shown";
    key->setText(QStringLiteral("sk-open"));
    chooseProvider(QStringLiteral("doubao"));
    EXPECT_EQ(key->text(), QStringLiteral("old-key"));
    EXPECT_EQ(model->text(), QStringLiteral("my-doubao"));
    chooseProvider(QStringLiteral("openai"));
    EXPECT_EQ(key->text(), QStringLiteral("sk-open"));
    model->setText(QStringLiteral(" gpt-4o-mini "));

    click(QStringLiteral("Save"));
    const AppSettings stored = SettingsStore::load(true);
    EXPECT_EQ(stored.cloudKeys,
              (QMap<QString, QString>{{QStringLiteral("doubao"), QStringLiteral("old-key")},
                                      {QStringLiteral("openai"), QStringLiteral("sk-open")}}));
    EXPECT_EQ(stored.cloudModels, (QMap<QString, QString>{{QStringLiteral("doubao"), QStringLiteral("my-doubao")}}))
        << "a model equal to the default is not stored";
    EXPECT_TRUE(stored.doubaoApiKey.isEmpty());
    EXPECT_EQ(stored.activeProvider, QStringLiteral("openai"));
    EXPECT_TRUE(saved == 1 && !window->isVisible());
}

TEST_F(SettingsWindowTest, TheCloudTestStoresTheKeyFirstAndNamesWhatToFix)
{
    // The endpoint's status (its path), its answer, and what the window then says. 402 as DeepSeek
    // sends it: an "invalid…" code, yet the credit is what is missing.
    const std::tuple<int, const char*, QString> cases[] = {
        {400, R"({"error":{"message":"Model Not Exist","type":"INVALID_request_error"}})",
         QStringLiteral("✗ Key is wrong or lacks access")},
        {402, R"({"error":{"message":"Insufficient Balance","type":"unknown_error","code":"invalid_request_error"}})",
         QStringLiteral("✗ Rate-limited or out of credit")},
        {200, R"({"choices":[{"message":{"role":"assistant","content":"hi"}}]})", QStringLiteral("✓ Works")},
    };
    LocalHttpServer server;
    server.server.Post(R"(/(\d+)/chat/completions)",
                       [&cases](const httplib::Request& request, httplib::Response& response) {
                           response.status = std::stoi(request.matches[1]);
                           for (const auto& [status, body, shown] : cases)
                               if (status == response.status)
                                   response.set_content(body, "application/json");
                       });
    ASSERT_TRUE(server.start());
    open();
    chooseProvider(QStringLiteral("custom"));
    auto* endpoint = find<QLineEdit>("customBaseURLField");
    EXPECT_TRUE(endpoint->isVisible());

    click(QStringLiteral("Test"));
    EXPECT_EQ(text("testResultLabel"), QStringLiteral("Enter a key first"));
    find<QLineEdit>("keyField")->setText(QStringLiteral("sk-test"));
    endpoint->setText(QStringLiteral("  "));
    click(QStringLiteral("Test"));
    EXPECT_EQ(text("testResultLabel"), QStringLiteral("Enter an endpoint first"));
    EXPECT_FALSE(QFileInfo::exists(SettingsStore::path())) << "nothing is stored before a test can run";

    for (const auto& [status, body, expected] : cases) {
        endpoint->setText(server.url(QStringLiteral("/%1/chat/completions").arg(status)));
        click(QStringLiteral("Test"));
        EXPECT_EQ(text("testResultLabel"), QStringLiteral("Testing…"));
        EXPECT_TRUE(processEventsUntil([&] { return text("testResultLabel") != QStringLiteral("Testing…"); }));
        EXPECT_EQ(text("testResultLabel"), expected) << status;
    }
    click(QStringLiteral("Cancel"));
    EXPECT_EQ(SettingsStore::load(true).cloudKey(QStringLiteral("custom")), QStringLiteral("sk-test"))
        << "a tested key stays stored";
}

TEST_F(SettingsWindowTest, RecordersFollowTheShortcutRulesAndEqualShortcutsBlockTheSave)
{
    open();
    auto* main = find<ShortcutRecorder>("hotkeyRecorder");
    auto* screenText = find<ShortcutRecorder>("ocrHotkeyRecorder");
    const Shortcut stored = main->pending();
    auto hint = [](ShortcutRecorder* recorder) { return recorder->findChild<QLabel*>()->text(); };

    main->startRecording();
    press(keyA);
    EXPECT_TRUE(main->isRecording() && hint(main).startsWith(QStringLiteral("Include Ctrl, Alt or Super")));
    press(keyEscape);
    EXPECT_TRUE(!main->isRecording() && main->pending() == stored && hint(main).isEmpty()) << "Escape cancels";
    main->startRecording();
    press(keyF5);
    EXPECT_TRUE(!main->isRecording() && main->pending() == (Shortcut{keyF5, 0})) << "a function key needs no modifier";

    screenText->startRecording();
    press(keyF5);
    EXPECT_TRUE(screenText->isRecording() && hint(screenText).startsWith(QStringLiteral("Same as the main shortcut")));
    press(keyD, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(screenText->pending(), (Shortcut{keyD, 0x1800}));

    main->startRecording();
    press(keyD, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(main->pending(), screenText->pending());
    click(QStringLiteral("Save"));
    EXPECT_TRUE(hint(screenText).startsWith(QStringLiteral("Same as the main shortcut")));
    EXPECT_TRUE(window->isVisible() && saved == 0 && !QFileInfo::exists(SettingsStore::path())) << "nothing is written";
}

TEST_F(SettingsWindowTest, SavingKeepsWhatTheControlsCannotTellAndWritesTheAutostartEntry)
{
    engines->change([](FakeEngineControl::Script& script) { script.models.clear(); });
    changeSettings([](AppSettings& settings) {
        settings.qwenModel = QStringLiteral("qwen3:8b");
        settings.appLanguage = QStringLiteral("zh");
    });
    open();
    auto* models = find<QComboBox>("modelPopup");
    ASSERT_TRUE(processEventsUntil([&] { return !models->isEnabled(); }));
    EXPECT_EQ(models->currentText(), QStringLiteral("(no model downloaded)"));
    find<QComboBox>("appLangPopup")->setCurrentIndex(-1);
    // An entry of the former name is replaced by one named by the application id.
    ASSERT_TRUE(writeFile(Autostart::formerEntryPath(), "[Desktop Entry]\nExec=quillo\n"));
    find<QCheckBox>("autostartCheck")->setChecked(true);
    click(QStringLiteral("Save"));
    const AppSettings stored = SettingsStore::load(true);
    EXPECT_EQ(stored.qwenModel, QStringLiteral("qwen3:8b")) << "the managed engine without a model";
    EXPECT_EQ(stored.appLanguage, QStringLiteral("zh")) << "a language index outside the list";
    EXPECT_EQ(Autostart::entryPath(), home.path() + QStringLiteral("/.config/autostart/org.quillo.Quillo.desktop"));
    EXPECT_FALSE(QFileInfo::exists(Autostart::formerEntryPath()));
    const QByteArray entry = readFile(Autostart::entryPath());
    EXPECT_TRUE(entry.contains("\nExec=\"" + QCoreApplication::applicationFilePath().toUtf8() + "\"\n"));

    window->showAndRaise();
    auto* autostart = find<QCheckBox>("autostartCheck");
    EXPECT_TRUE(autostart->isChecked());
    autostart->setChecked(false);
    ASSERT_TRUE(writeFile(Autostart::formerEntryPath(), "[Desktop Entry]\nExec=quillo\n"));
    click(QStringLiteral("Save"));
    EXPECT_FALSE(QFileInfo::exists(Autostart::entryPath()));
    EXPECT_FALSE(QFileInfo::exists(Autostart::formerEntryPath())) << "switched off means no entry of either name";
}

}
