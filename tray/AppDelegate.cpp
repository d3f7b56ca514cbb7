#include "tray/AppDelegate.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "capture/SelectionCaptureService.h"
#include "core/Graphemes.h"
#include "core/TaskPool.h"
#include "engines/ollama/EngineControl.h"
#include "engines/ollama/QwenClient.h"
#include "memory/KnowledgeStore.h"
#include "ocr/OCRDebugLog.h"
#include "ocr/ScreenCapturePermission.h"
#include "ocr/ScreenTextCapture.h"
#include "platform/PlatformServices.h"
#include "popup/view/PopupPanel.h"
#include "prompts/ActionOptions.h"
#include "settings/DataNotices.h"
#include "settings/HomeDir.h"
#include "settings/HotKeyRegistrar.h"
#include "settings/L10n.h"
#include "settings/SettingsStore.h"
#include "settings/UserFlags.h"
#include "tray/AppWindows.h"
#include "tray/StatusMenu.h"
#include "tray/TrayIcon.h"
#include "tray/UpdatePopups.h"
#include "windows/WaylandCapabilities.h"

namespace {

constexpr int launchDelayMs = 2500; // healing and readiness: the built-in engine comes up first
constexpr int onboardingDelayMs = 600;
constexpr int upgradeCheckDelayMs = 2000;
constexpr int trayLookDelayMs = 3000; // a tray host started with the session may come late
constexpr char noTrayNotified[] = "noTrayNotified";
constexpr char shortcutGuideShown[] = "shortcutBindingGuideShown";

bool trusted()
{
    return Platform::services().accessibility->isTrusted();
}

// Without an X server or a compositor to talk to, the accessibility switch is not the cause.
bool desktopReachable()
{
    return Platform::services().session.display != Session::Display::none;
}

// One line per launch in ~/.selvane/ax-debug.log; failures are ignored.
void logTrustStatus()
{
    HomeDir::ensureDataDir();
    QFile file(HomeDir::dataDir() + QStringLiteral("/ax-debug.log"));
    if (!file.open(QIODevice::Append | QIODevice::Text))
        return;
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    file.write(
        QStringLiteral("[launch] trusted=%1 path=%2\n")
            .arg(trusted() ? QStringLiteral("true") : QStringLiteral("false"), QCoreApplication::applicationFilePath())
            .toUtf8());
}

// A box of its own, not modal: the event loop, the shortcuts and the popup go on meanwhile. Gone
// when closed, or with its owner.
QMessageBox* messageBox(QMessageBox::Icon icon, const QString& title, const QString& text, QObject* owner)
{
    auto* box = new QMessageBox(icon, title, text);
    box->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(owner, &QObject::destroyed, box, [box] { delete box; });
    return box;
}

}

AppDelegate::AppDelegate(Services services, QObject* parent)
    : QObject(parent)
    , m_services(std::move(services))
    , m_popup(std::make_unique<PopupPanel>(
          PopupPanel::Services{m_services.actionEngine, m_services.knowledge, m_services.tasks, m_services.dictation,
                               Platform::services(), [] { return SettingsStore::load().fontScale; }}))
{
    m_windows =
        std::make_unique<AppWindows>(AppWindows::Services{m_services.engines, m_services.actionEngine,
                                                          m_services.knowledge, m_services.tasks, m_services.clipboard},
                                     AppWindows::Callbacks{[this] { settingsSaved(); }});
    m_updates = std::make_unique<UpdatePopups>(*m_popup, m_services.tasks);
    m_hotKeys = std::make_unique<HotKeyRegistrar>(HotKeyRegistrar::Callbacks{
        [this] { onHotKey(); },
        [this] { startScreenOCR(QStringLiteral("hotkey")); },
        [this](const HotKeyRegistrar::Notice& notice) { m_popup->show(notice.header, notice.body, Tint::orange); },
        [this] { setupStatusItem(); },
    });
    m_menu = std::make_unique<StatusMenu>(
        StatusMenu::Commands{
            [this] { m_windows->showModelPicker(); },
            [this] { deleteDownloadedModel(); },
            [this](int step) { setFontScale(step); },
            [this] { startScreenOCR(QStringLiteral("menu")); },
            [this] { m_windows->showKnowledge(); },
            [this] { m_windows->showSettings(); },
            [this] { openAccessibilitySettings(); },
            [this] { m_windows->showOnboarding(); },
            [this] { m_updates->checkForUpdateManually(); },
            [this] { showScreenRecordingGuide(); },
            [] { QCoreApplication::exit(0); },
        },
        StatusMenu::Probes{
            [this] { return m_services.knowledge.count(); },
            [] { return trusted(); },
            // A grab of the screen each time the menu opens, until one has worked: then it stays.
            [this] { return m_screenAccess = m_screenAccess || ScreenCapturePermission::effectiveAccess(); },
            [this] { return m_hasUsableLocalModel || SettingsStore::load().anyCloudKeyConfigured(); },
        });
}

AppDelegate::~AppDelegate()
{
    DataNotices::setListener({});
    // The shortcuts go first, so nothing reaches a controller half taken apart.
    Platform::services().hotKeys->setRoadChangedHandler({});
    m_hotKeys.reset();
    m_services.capture.cancel();
}

void AppDelegate::applicationDidFinishLaunching()
{
    logTrustStatus();
    // The shortcuts first, so the menu shows them as they registered.
    Platform::services().hotKeys->setRoadChangedHandler([this] { shortcutRoadChanged(); });
    m_hotKeys->registerHotKey();
    m_hotKeys->registerOCRHotKey();
    setupStatusItem();
    // The windows' callbacks are in place since the windows were made.
    // Applications started from now on join the accessibility bus, Qt 5 ones included.
    Platform::services().accessibility->ensureBusRunning();
    // A grant for typing keys the desktop remembers is taken up now, without asking, so that the
    // copy of a selection can use it; the first paste asks.
    if (SettingsStore::load().pasteForMe)
        Platform::services().keys->prepare(false, [](bool) {});
    const std::shared_ptr<EngineControl> engines = m_services.engines;
    if (engines->isBundled())
        m_services.tasks.start([engines](std::stop_token stop) { engines->ensureRunning(stop); });
    m_services.tasks.start([](std::stop_token stop) { QwenClient::prewarm(stop); });
    if (!AppWindows::hasOnboarded())
        QTimer::singleShot(onboardingDelayMs, this, [this] { m_windows->showOnboarding(); });
    m_updates->start();
    QTimer::singleShot(launchDelayMs, this, [this] { healLocalEngineOnLaunch(); });
    checkAccessibilityForUpgradedUser();
    QTimer::singleShot(launchDelayMs, this, [this] { refreshReadiness(); });
    QTimer::singleShot(trayLookDelayMs, this, [this] {
        tellIfNoTray();
        // What the start-up found wrong with the user's files first, then anything found later.
        DataNotices::setListener([this] {
            QMetaObject::invokeMethod(
                this, [this] { tellDataNotices(); }, Qt::QueuedConnection);
        });
        tellDataNotices();
    });
}

void AppDelegate::handle(SingleInstance::Command command)
{
    switch (command) {
    case SingleInstance::Command::trigger: onHotKey(); break;
    case SingleInstance::Command::triggerOCR: startScreenOCR(QStringLiteral("command")); break;
    case SingleInstance::Command::settings: m_windows->showSettings(); break;
    case SingleInstance::Command::knowledge: m_windows->showKnowledge(); break;
    case SingleInstance::Command::quit: QCoreApplication::exit(0); break;
    }
}

void AppDelegate::setupStatusItem()
{
    const std::shared_ptr<EngineControl> engines = m_services.engines;
    m_menu->rebuild({SettingsStore::load(true), engines->isBundled(), m_hotKeys->ocrHotKey() != nullptr});
    if (!m_tray)
        m_tray = std::make_unique<TrayIcon>(m_menu->menu());
}

void AppDelegate::settingsSaved()
{
    L10n::invalidate();
    m_hotKeys->registerHotKey();
    m_hotKeys->registerOCRHotKey();
    setupStatusItem();
    refreshReadiness();
    m_windows->renew();
    // Letting Quillo type keys was just chosen, in a window in front: where the desktop asks, now.
    if (SettingsStore::load().pasteForMe)
        Platform::services().keys->prepare(true, [](bool) {});
}

void AppDelegate::healLocalEngineOnLaunch()
{
    const std::shared_ptr<EngineControl> engines = m_services.engines;
    m_services.tasks.run(
        this, [engines](std::stop_token stop) { return engines->heal(stop); },
        [this](const LocalEngineHeal::Outcome& outcome) {
            if (!outcome.switched)
                return;
            setupStatusItem(); // the engine line names the new model
            if (LocalEngineHeal::claimSwitchNotice())
                m_popup->show(L10n::t("heal.switched.header"), L10n::tf("heal.switched.body", {outcome.model}),
                              Tint::green);
        });
}

void AppDelegate::refreshReadiness()
{
    const std::shared_ptr<EngineControl> engines = m_services.engines;
    m_services.tasks.run(
        this, [engines](std::stop_token stop) { return !engines->models(stop).isEmpty(); },
        [this](bool usable) {
            if (usable == m_hasUsableLocalModel)
                return;
            m_hasUsableLocalModel = usable;
            setupStatusItem();
        });
}

void AppDelegate::checkAccessibilityForUpgradedUser()
{
    if (!AppWindows::hasOnboarded())
        return;
    QTimer::singleShot(upgradeCheckDelayMs, this, [this] {
        if (trusted() || !desktopReachable() || !UserFlags::claim(UserFlags::upgradeAXPrompted))
            return;
        if (m_windows->onboardingShowing()) {
            UserFlags::set(UserFlags::upgradeAXPrompted, false); // told on a later launch
            return;
        }
        showPermissionGuide(L10n::t("upgrade.ax.body"));
    });
}

void AppDelegate::whenPopupFree(std::function<void()> tell)
{
    // A notice nobody asked for never takes a popup in use: it waits until the popup closes. Looked
    // at again from the event loop, as a popup also closes on its way to showing the next one.
    if (!m_popup->isShown()) {
        tell();
        return;
    }
    connect(
        m_popup.get(), &PopupPanel::closed, this, [this, tell = std::move(tell)] { whenPopupFree(tell); },
        Qt::ConnectionType(Qt::QueuedConnection | Qt::SingleShotConnection));
}

void AppDelegate::tellIfNoTray()
{
    if (TrayIcon::desktopHasTray())
        return;
    whenPopupFree([this] {
        if (!TrayIcon::desktopHasTray() && UserFlags::claim(noTrayNotified))
            showNoTrayGuide();
    });
}

void AppDelegate::showNoTrayGuide()
{
    QString body = L10n::t("tray.missing.body");
    if (Platform::services().session.desktop == Session::Desktop::gnome)
        body += QLatin1Char('\n') + L10n::t("tray.missing.gnome");
    m_popup->showAuthGuide(L10n::t("tray.missing.header"), body, Tint::blue,
                           {{L10n::t("tray.missing.settings"),
                             [this] {
                                 m_popup->close();
                                 m_windows->showSettings();
                             }},
                            {L10n::t("tray.missing.knowledge"), [this] {
                                 m_popup->close();
                                 m_windows->showKnowledge();
                             }}});
}

void AppDelegate::tellDataNotices()
{
    if (std::exchange(m_dataNoticeWaiting, true))
        return;
    whenPopupFree([this] {
        m_dataNoticeWaiting = false;
        const QStringList notices = DataNotices::take();
        if (!notices.isEmpty())
            m_popup->show(L10n::t("data.notice.header"), notices.join(QLatin1Char('\n')), Tint::orange);
    });
}

void AppDelegate::shortcutRoadChanged()
{
    // Told once: where the desktop takes no shortcut from us, or binds none by itself.
    const auto unbound = [] {
        const GlobalHotKeys::Road road = Platform::services().hotKeys->road();
        return road.kind == GlobalHotKeys::Road::Kind::desktopBinding
            || (road.kind == GlobalHotKeys::Road::Kind::portalBound && road.trigger.isEmpty());
    };
    if (unbound())
        whenPopupFree([this, unbound] {
            if (unbound() && UserFlags::claim(shortcutGuideShown))
                showShortcutGuide();
        });
}

void AppDelegate::showShortcutGuide()
{
    const GlobalHotKeys::Road road = Platform::services().hotKeys->road();
    const AppSettings settings = SettingsStore::load();
    WaylandCapabilities::Facts facts;
    facts.desktop = Platform::services().session.desktop;
    facts.shortcutRoad = road;
    facts.mainShortcut = {settings.hotKeyCode, settings.hotKeyModifiers};
    const WaylandCapabilities::Row binding = WaylandCapabilities::shortcutRow(facts);
    m_popup->showAuthGuide(L10n::t("wayland.guide.header"),
                           L10n::tf("wayland.guide.body", {binding.action, binding.copyText}), Tint::blue,
                           {{L10n::t("wayland.btn.copy"),
                             [copyText = binding.copyText] { QGuiApplication::clipboard()->setText(copyText); }},
                            {L10n::t("tray.missing.settings"), [this] {
                                 m_popup->close();
                                 m_windows->showSettings();
                             }}});
}

void AppDelegate::onHotKey()
{
    if (!trusted()) {
        if (desktopReachable())
            showPermissionGuide(L10n::t("auth.notTrusted.body"));
        else
            m_popup->show(L10n::t("auth.noDesktop.header"), L10n::t("auth.noDesktop.body"), Tint::orange);
        return;
    }
    const std::optional<qint64> targetPid = m_services.workspace.frontmostProcessId();
    m_services.capture.capture(this, [this, targetPid](std::optional<SelectionCapture::Result> result) {
        if (result)
            presentActions(*result, targetPid);
        else
            m_popup->show(L10n::t("capture.notFound.header"), L10n::t("capture.notFound.body"), Tint::orange);
    });
}

void AppDelegate::startScreenOCR(const QString& source)
{
    if (m_ocrCaptureInProgress) {
        OCRDebugLog::log(source + QStringLiteral(" · 触发被忽略（上一次截图还没结束）"));
        return;
    }
    m_ocrCaptureInProgress = true;
    OCRDebugLog::log(source + QStringLiteral(" · 触发，开始截图"));
    m_services.screenText.capture(this, [this, source](const ScreenTextCapture::Result& result) {
        m_ocrCaptureInProgress = false;
        const QString prefix = source + QStringLiteral(" · 拿到结果 · ");
        using Kind = ScreenTextCapture::Result::Kind;
        switch (result.kind) {
        case Kind::needsScreenPermission:
            OCRDebugLog::log(prefix + QStringLiteral("needsScreenPermission"));
            showScreenRecordingGuide();
            break;
        case Kind::cancelled: OCRDebugLog::log(prefix + QStringLiteral("cancelled（静默）")); break;
        case Kind::noText:
            OCRDebugLog::log(prefix + QStringLiteral("noText"));
            m_popup->show(L10n::t("ocr.noText.header"), L10n::t("ocr.noText.body"), Tint::orange);
            break;
        case Kind::text:
            OCRDebugLog::log(
                prefix + QStringLiteral("text(%1字) · 即将呈现动作弹窗").arg(Graphemes::split(result.text).size()));
            presentActions({result.text, QStringLiteral("OCR"), std::nullopt, std::nullopt}, std::nullopt);
            break;
        }
    });
}

void AppDelegate::presentActions(const SelectionCapture::Result& result, std::optional<qint64> targetPid)
{
    const AppSettings settings = SettingsStore::load(true);
    const std::shared_ptr<EngineControl> engines = m_services.engines;
    // With a cloud key something can always answer: only without one is the local engine asked,
    // which may take a request to the user's Ollama.
    if (settings.anyCloudKeyConfigured()) {
        continuePresenting(result, targetPid);
    } else {
        m_services.tasks.run(
            this, [engines, settings](std::stop_token stop) { return engines->readiness(settings, stop); },
            [this, result, targetPid](AIReadiness readiness) {
                if (readiness == AIReadiness::neitherConfigured)
                    showNotReadyPrompt();
                else
                    continuePresenting(result, targetPid);
            });
    }
    if (!settings.useExternalOllama) {
        m_services.tasks.run(
            this, [engines](std::stop_token stop) { return engines->heal(stop); },
            [this, result, targetPid](const LocalEngineHeal::Outcome& outcome) {
                if (!outcome.switched)
                    return;
                setupStatusItem();
                presentActions(result, targetPid);
            });
    }
}

void AppDelegate::continuePresenting(const SelectionCapture::Result& result, std::optional<qint64> targetPid)
{
    const AppSettings settings = SettingsStore::load();
    m_actionOptions = ActionOptions::fromStoredDefaults(settings);
    const std::optional<QString> before = settings.useContext ? result.contextBefore : std::nullopt;
    const std::optional<QString> after = settings.useContext ? result.contextAfter : std::nullopt;
    const std::shared_ptr<ActionOptions> options = m_actionOptions;
    m_popup->setOnOptionsChanged([options] { options->persist(); });
    m_popup->setOnActionRerun([this, text = result.text, options, before, after](const QString& actionKey) {
        m_popup->replaceActionsAndRerun(buildActions(text, *options, before, after), actionKey);
    });
    const QString header = L10n::tf("popup.header.read", {QString::number(Graphemes::split(result.text).size())});
    m_popup->showActions(header, result.text, buildActions(result.text, *options, before, after), options, targetPid,
                         result.method == QLatin1String("OCR") ? SourceKind::ocr : SourceKind::selection);
}

void AppDelegate::showPermissionGuide(const QString& body)
{
    m_popup->showAuthGuide(L10n::t("auth.notTrusted.header"), body, Tint::orange,
                           {{L10n::t("auth.btn.open"), [this] { openAccessibilitySettings(); }},
                            {L10n::t("auth.btn.relaunch"), [this] { relaunch(); }}});
}

void AppDelegate::openAccessibilitySettings()
{
    Accessibility& accessibility = *Platform::services().accessibility;
    if (!accessibility.sessionSwitchOn())
        accessibility.turnOnSessionSwitch();
    if (trusted() && accessibility.sessionSwitchOn())
        m_popup->show(L10n::t("auth.granted.header"), L10n::t("auth.granted.body"), Tint::green);
    else
        showPermissionGuide(L10n::t("auth.notTrusted.body"));
}

void AppDelegate::showScreenRecordingGuide()
{
    if (Platform::services().session.display == Session::Display::wayland) {
        showScreenTextGuide();
        return;
    }
    ScreenCapturePermission::request();
    m_popup->showAuthGuide(L10n::t("ocr.perm.header"), L10n::t("ocr.perm.body"), Tint::orange,
                           {{L10n::t("ocr.perm.openBtn"),
                             [this] {
                                 ScreenCapturePermission::request();
                                 ScreenCapturePermission::openSettings();
                                 m_popup->close();
                             }},
                            {L10n::t("ocr.perm.relaunchBtn"), [this] { relaunch(); }}});
}

// What to allow and where, with the one button that asks the desktop from this focused panel.
void AppDelegate::showScreenTextGuide()
{
    const WaylandCapabilities::Row row = ScreenCapturePermission::waylandRow();
    const char* button =
        row.fix == WaylandCapabilities::Fix::allowScreen ? "wayland.btn.allowScreen" : "wayland.btn.retryScreen";
    m_popup->showAuthGuide(L10n::t("ocr.perm.wayland.header"), L10n::tf("ocr.perm.wayland.body", {row.action}),
                           Tint::orange, {{L10n::t(button), [this] {
                                               ScreenCapturePermission::allow(this, [this](bool allowed) {
                                                   if (!allowed) {
                                                       showScreenTextGuide();
                                                       return;
                                                   }
                                                   m_popup->show(L10n::t("ocr.perm.allowed.header"),
                                                                 L10n::t("ocr.perm.allowed.body"), Tint::green);
                                               });
                                           }}});
}

void AppDelegate::showNotReadyPrompt()
{
    m_popup->showAuthGuide(L10n::t("notReady.title"), L10n::t("notReady.body"), Tint::orange,
                           {{L10n::t("notReady.btn.download"),
                             [this] {
                                 m_popup->close();
                                 m_windows->showModelPicker();
                             }},
                            {L10n::t("notReady.btn.cloud"),
                             [this] {
                                 m_popup->close();
                                 m_windows->showSettings();
                             }},
                            {L10n::t("notReady.btn.useOllama"), [this] { tryUseExistingOllama(); }}});
}

void AppDelegate::tryUseExistingOllama()
{
    const std::shared_ptr<EngineControl> engines = m_services.engines;
    m_services.tasks.run(
        this, [engines](std::stop_token stop) { return engines->ownOllamaModels(stop); },
        [this](const QStringList& models) {
            if (models.isEmpty()) {
                m_popup->show(L10n::t("notReady.title"), L10n::t("notReady.useOllama.notFound"), Tint::orange);
                return;
            }
            AppSettings settings = SettingsStore::load(true);
            settings.useExternalOllama = true;
            settings.qwenModel = models.first();
            SettingsStore::save(settings);
            setupStatusItem();
            m_popup->show(L10n::t("notReady.useOllama.foundHeader"),
                          L10n::tf("notReady.useOllama.found", {models.first()}), Tint::green);
        });
}

void AppDelegate::setFontScale(int step)
{
    const auto& steps = AppSettings::fontScaleSteps();
    if (step < 0 || step >= steps.size())
        return;
    AppSettings settings = SettingsStore::load(true);
    settings.fontScale = steps[step].scale;
    SettingsStore::save(settings);
    setupStatusItem();
}

void AppDelegate::deleteDownloadedModel()
{
    const QString model = SettingsStore::load(true).qwenModel;
    QMessageBox* confirm = messageBox(QMessageBox::Warning, L10n::t("model.delete.confirmTitle"),
                                      L10n::tf("model.delete.confirmBody", {model}), this);
    QPushButton* remove = confirm->addButton(L10n::t("common.delete"), QMessageBox::DestructiveRole);
    confirm->addButton(L10n::t("common.cancel"), QMessageBox::RejectRole);
    connect(remove, &QPushButton::clicked, this, [this, model] {
        const std::shared_ptr<EngineControl> engines = m_services.engines;
        m_services.tasks.run(
            this, [engines, model](std::stop_token stop) { return engines->deleteModel(model, stop); },
            [this](bool deleted) {
                QMessageBox* done =
                    messageBox(deleted ? QMessageBox::Information : QMessageBox::Warning,
                               L10n::t(deleted ? "model.delete.doneTitle" : "model.delete.failTitle"),
                               L10n::t(deleted ? "model.delete.doneBody" : "model.delete.failBody"), this);
                done->addButton(L10n::t("common.close"), QMessageBox::AcceptRole);
                done->show();
                if (deleted)
                    setupStatusItem();
            });
    });
    confirm->show();
}

void AppDelegate::relaunch()
{
    m_relaunch = true;
    QCoreApplication::exit(0);
}
