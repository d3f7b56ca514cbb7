#include "tray/StatusMenu.h"

#include <QKeySequence>
#include <QMenu>

#include "settings/CloudProviders.h"
#include "settings/L10n.h"

StatusMenu::StatusMenu(Commands commands, Probes probes, QObject* parent)
    : QObject(parent)
    , m_commands(std::move(commands))
    , m_probes(std::move(probes))
    , m_menu(std::make_unique<QMenu>())
{
    m_menu->setAccessibleName(QStringLiteral("Quillo"));
    connect(m_menu.get(), &QMenu::aboutToShow, this, &StatusMenu::refresh);
}

StatusMenu::~StatusMenu() = default;

QString StatusMenu::engineLine(const AppSettings& settings)
{
    const QString provider = CloudProviders::displayName(settings.activeProvider);
    const QString cloud =
        L10n::tf(settings.activeCloudConfigured() ? "menu.cloud.configuredWithName" : "menu.cloud.unconfiguredWithName",
                 {provider});
    return L10n::tf("menu.engineLine", {cloud, settings.qwenModel});
}

QString StatusMenu::knowledgeTitle(int count)
{
    return count > 0 ? L10n::tf("menu.knowledgeWithCount", {QString::number(count)}) : L10n::t("menu.knowledge");
}

QAction* StatusMenu::addCommand(QMenu* menu, const QString& title, const std::function<void()>& command)
{
    QAction* action = menu->addAction(title);
    if (command)
        connect(action, &QAction::triggered, this, [command] { command(); });
    return action;
}

void StatusMenu::rebuild(const State& state)
{
    const AppSettings& settings = state.settings;
    QMenu* menu = m_menu.get();
    for (QMenu* submenu : menu->findChildren<QMenu*>(Qt::FindDirectChildrenOnly))
        submenu->deleteLater();
    menu->clear();
    const auto plain = [menu](const QString& title) { menu->addAction(title)->setEnabled(false); };

    plain(L10n::t("menu.appName"));
    menu->addSeparator();
    plain(L10n::tf("menu.hotkeyHint", {settings.hotKeyDisplay()}));
    plain(engineLine(settings));
    menu->addSeparator();

    QMenu* model = menu->addMenu(L10n::t("menu.model"));
    model->addAction(L10n::tf("menu.model.current", {settings.qwenModel}))->setEnabled(false);
    model->addSeparator();
    addCommand(model, L10n::t("menu.model.download"), m_commands.openModelPicker);
    if (state.bundledEngine)
        addCommand(model, L10n::t("menu.model.delete"), m_commands.deleteDownloadedModel);
    menu->addSeparator();

    QMenu* fontSize = menu->addMenu(L10n::t("menu.fontSize"));
    const auto& steps = AppSettings::fontScaleSteps();
    for (int step = 0; step < steps.size(); ++step) {
        QAction* action =
            addCommand(fontSize, L10n::t(steps[step].l10nKey), [this, step] { m_commands.setFontScale(step); });
        action->setData(step);
        action->setCheckable(true);
        action->setChecked(step == settings.fontScaleStepIndex());
    }
    menu->addSeparator();

    const QString screenOCR = L10n::t("menu.screenOCR");
    addCommand(menu,
               state.screenshotShortcutActive
                   ? L10n::tf("menu.screenOCR.withKey", {screenOCR, settings.ocrHotKeyDisplay()})
                   : L10n::tf("menu.screenOCR.disabled", {screenOCR}),
               m_commands.startScreenOCR);
    menu->addSeparator();

    addCommand(menu, knowledgeTitle(m_probes.knowledgeCount()), m_commands.openKnowledge)->setData(knowledgeTag);
    addCommand(menu, L10n::t("menu.settings"), m_commands.openSettings)
        ->setShortcut(QKeySequence(QStringLiteral("Ctrl+,")));
    addCommand(menu, L10n::t("menu.checkAuth"), m_commands.openAccessibilitySettings);
    addCommand(menu, L10n::t("menu.guide"), m_commands.openOnboarding);
    addCommand(menu, L10n::t("menu.checkUpdate"), m_commands.checkForUpdates);
    menu->addSeparator();
    addCommand(menu, L10n::t("menu.quit"), m_commands.quit)->setShortcut(QKeySequence(QStringLiteral("Ctrl+Q")));

    refreshWarnings();
}

void StatusMenu::refresh()
{
    for (QAction* action : m_menu->actions()) {
        if (action->data() == knowledgeTag)
            action->setText(knowledgeTitle(m_probes.knowledgeCount()));
    }
    refreshWarnings();
}

void StatusMenu::refreshWarnings()
{
    for (QAction* action : m_menu->actions()) {
        if (action->data() == warningTag) {
            m_menu->removeAction(action);
            action->deleteLater();
        }
    }
    QList<std::pair<const char*, std::function<void()>>> warnings;
    if (!m_probes.trusted())
        warnings.append({"menu.perm.needAX", m_commands.openOnboarding});
    if (!m_probes.screenAccess())
        warnings.append({"menu.perm.needScreen", m_commands.guideScreenRecording});
    if (!m_probes.engineUsable())
        warnings.append({"menu.perm.needEngine", m_commands.openModelPicker});
    if (warnings.isEmpty())
        return;
    QAction* first = m_menu->actions().value(0);
    QList<QAction*> inserted;
    for (const auto& [key, command] : warnings) {
        auto* action = new QAction(L10n::t(key), m_menu.get());
        connect(action, &QAction::triggered, this, [command] { command(); });
        inserted.append(action);
    }
    auto* separator = new QAction(m_menu.get());
    separator->setSeparator(true);
    inserted.append(separator);
    for (QAction* action : inserted) {
        action->setData(warningTag);
        m_menu->insertAction(first, action);
    }
}
