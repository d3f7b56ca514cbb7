#include "windows/SettingsWindow.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QGridLayout>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QUrl>
#include <QVBoxLayout>

#include "core/KeyFormatter.h"
#include "core/TaskPool.h"
#include "engines/chat/CloudClient.h"
#include "engines/ollama/EngineControl.h"
#include "platform/PlatformServices.h"
#include "prompts/PromptLibrary.h"
#include "settings/CloudProviders.h"
#include "settings/EndpointSecurity.h"
#include "settings/L10n.h"
#include "settings/SettingsStore.h"
#include "speech/DictationModel.h"
#include "windows/Autostart.h"
#include "windows/SettingsLayout.h"
#include "windows/SettingsTestResult.h"
#include "windows/WaylandBlock.h"
#include "windows/WindowParts.h"

using namespace SettingsLayout;
using WindowParts::button;

SettingsWindow::SettingsWindow(std::shared_ptr<EngineControl> engines, TaskPool& tasks,
                               ShortcutRecorder::KeyReader readKey, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_engines(std::move(engines))
    , m_tasks(tasks)
    , m_currentProviderId(CloudProviders::defaultId())
    , m_appLangIds{QStringLiteral("auto"), QStringLiteral("zh"), QStringLiteral("en")}
{
    setWindowTitle(L10n::t("settings.title"));
    setAccessibleName(windowTitle());
    m_hotkeyRecorder = new ShortcutRecorder(
        L10n::t("settings.row.hotkey"), {AppSettings::defaultHotKeyCode, AppSettings::defaultHotKeyModifiers}, readKey);
    m_ocrHotkeyRecorder =
        new ShortcutRecorder(L10n::t("settings.row.ocrHotkey"),
                             {AppSettings::defaultOCRHotKeyCode, AppSettings::defaultOCRHotKeyModifiers}, readKey);
    m_ocrHotkeyRecorder->refuseEqualTo([this] { return m_hotkeyRecorder->pending(); });
    m_content = buildContent();
    const std::pair<QObject*, const char*> names[] = {{m_ollamaStatus, "ollamaStatus"},
                                                      {m_modelPopup, "modelPopup"},
                                                      {m_modelStatusLabel, "modelStatusLabel"},
                                                      {m_engineBundledRadio, "engineBundledRadio"},
                                                      {m_engineExternalRadio, "engineExternalRadio"},
                                                      {m_externalModelPopup, "externalModelPopup"},
                                                      {m_externalModelHint, "externalModelHint"},
                                                      {m_providerPopup, "providerPopup"},
                                                      {m_keyField, "keyField"},
                                                      {m_cloudModelField, "cloudModelField"},
                                                      {m_customBaseURLField, "customBaseURLField"},
                                                      {m_testResultLabel, "testResultLabel"},
                                                      {m_compareCheck, "compareCheck"},
                                                      {m_explainSeg, "explainSeg"},
                                                      {m_rewriteSeg, "rewriteSeg"},
                                                      {m_translateSeg, "translateSeg"},
                                                      {m_translateDirPopup, "translateDirPopup"},
                                                      {m_hotkeyRecorder, "hotkeyRecorder"},
                                                      {m_ocrHotkeyRecorder, "ocrHotkeyRecorder"},
                                                      {m_fontSeg, "fontSeg"},
                                                      {m_appLangPopup, "appLangPopup"},
                                                      {m_autoRememberCheck, "autoRememberCheck"},
                                                      {m_autostartCheck, "autostartCheck"},
                                                      {m_pasteForMeCheck, "pasteForMeCheck"}};
    for (const auto& [object, name] : names)
        object->setObjectName(QLatin1String(name)); // what tests and the picture ask for

    m_scroll = new QScrollArea(this);
    m_scroll->setWidget(m_content);
    m_scroll->setWidgetResizable(true);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_scroll);

    const int contentWidth = m_content->width() + m_scroll->verticalScrollBar()->sizeHint().width();
    const int contentHeight = m_content->sizeHint().height();
    const QScreen* screen = QGuiApplication::primaryScreen();
    const int screenHeight = screen ? screen->availableGeometry().height() : contentHeight;
    const int height = std::min(contentHeight, std::max(screenHeight - 80, 360));
    resize(contentWidth, height);
    setMinimumSize(contentWidth, std::min(height, 360));
    setMaximumSize(contentWidth, std::max(contentHeight, height));
}

SettingsWindow::~SettingsWindow() = default;

QWidget* SettingsWindow::buildContent()
{
    auto* content = new QWidget;
    auto* grid = new QGridLayout(content);
    grid->setContentsMargins(margin, 14, margin, 0);
    grid->setHorizontalSpacing(controlsX - margin - labelWidth);
    grid->setVerticalSpacing(6);
    grid->setColumnMinimumWidth(0, labelWidth);
    grid->setColumnMinimumWidth(1, contentWidth - controlsX - margin);
    int row = 0;
    buildLocalSection(grid, row);
    buildCloudSection(grid, row);
    buildEngineSection(grid, row);
    buildOtherSections(grid, row);

    auto* cancel = new QPushButton(L10n::t("common.cancel"));
    auto* saveButton = new QPushButton(L10n::t("common.save"));
    for (QPushButton* button : {cancel, saveButton}) {
        button->setMinimumSize(72, 26);
        button->setAccessibleName(button->text());
    }
    saveButton->setDefault(true);
    connect(cancel, &QPushButton::clicked, this, &QWidget::close);
    connect(saveButton, &QPushButton::clicked, this, &SettingsWindow::save);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(10);
    buttons->addStretch();
    buttons->addWidget(cancel);
    buttons->addWidget(saveButton);
    grid->addItem(new QSpacerItem(0, 8), row++, 0);
    grid->addLayout(buttons, row++, 0, 1, 2);
    grid->addItem(new QSpacerItem(0, 46), row++, 0);

    content->setFixedWidth(contentWidth);
    return content;
}

void SettingsWindow::buildLocalSection(QGridLayout* grid, int& row)
{
    addHeading(grid, row, "settings.section.local");

    m_ollamaStatus = statusLabel(L10n::t("settings.status.checking"));
    auto* start = button("settings.btn.start");
    connect(start, &QPushButton::clicked, this, &SettingsWindow::startOllama);
    addRow(grid, row, "settings.row.localService", {m_ollamaStatus, start});

    m_modelPopup = comboBox(L10n::t("settings.row.model"), 220);
    auto* manage = button("settings.btn.manageModels");
    connect(manage, &QPushButton::clicked, this, [this] {
        if (onDownloadModel)
            onDownloadModel();
    });
    addRow(grid, row, "settings.row.model", {m_modelPopup});
    m_modelStatusLabel = smallLabel();
    addRow(grid, row, nullptr, {manage, m_modelStatusLabel});

    m_engineBundledRadio = new QRadioButton(L10n::t("settings.engine.bundled"));
    m_engineExternalRadio = new QRadioButton(L10n::t("settings.engine.external"));
    for (QRadioButton* radio : {m_engineBundledRadio, m_engineExternalRadio}) {
        radio->setAccessibleName(radio->text());
        connect(radio, &QRadioButton::clicked, this, [this] {
            updateExternalModelEnabled();
            refreshExternalModels();
        });
    }
    addRow(grid, row, "settings.row.engineSource", {m_engineBundledRadio, m_engineExternalRadio});

    m_externalModelPopup = comboBox(L10n::t("settings.row.externalModel"), 220);
    connect(m_externalModelPopup, &QComboBox::activated, this,
            [this] { m_selectedExternalModel = m_externalModelPopup->currentText(); });
    auto* refresh = button("settings.btn.refresh");
    connect(refresh, &QPushButton::clicked, this, &SettingsWindow::refreshExternalModels);
    addRow(grid, row, "settings.row.externalModel", {m_externalModelPopup, refresh});
    m_externalModelHint = smallLabel();
    addBelow(grid, row, m_externalModelHint);

    // The user installs the speech model, so the window says where it goes.
    const DictationModel::Status dictation = DictationModel::status();
    auto* dictationStatus = smallLabel();
    dictationStatus->setText(
        dictation.available ? L10n::t("settings.dictation.ready")
                            : L10n::tf("settings.dictation.missing", {QDir::toNativeSeparators(dictation.modelDir)}));
    dictationStatus->setTextInteractionFlags(Qt::TextSelectableByMouse);
    addRow(grid, row, "settings.row.dictation", {dictationStatus});
}

void SettingsWindow::buildCloudSection(QGridLayout* grid, int& row)
{
    addSeparator(grid, row);
    addHeading(grid, row, "settings.section.cloud");

    m_providerPopup = comboBox(L10n::t("settings.row.provider"), 230);
    for (const CloudProvider& provider : CloudProviders::all())
        m_providerPopup->addItem(CloudProviders::displayName(provider.id));
    connect(m_providerPopup, &QComboBox::activated, this, &SettingsWindow::providerChanged);
    addRow(grid, row, "settings.row.provider", {m_providerPopup});

    m_keyField = lineEdit(L10n::t("settings.row.cloudKey"), L10n::t("settings.placeholder.cloudKey"));
    m_keyField->setEchoMode(QLineEdit::Password);
    m_getKeyButton = button("settings.btn.getKey");
    connect(m_getKeyButton, &QPushButton::clicked, this, [this] {
        const QUrl url(CloudProviders::find(m_currentProviderId).keyURL, QUrl::StrictMode);
        if (url.isValid() && !url.isRelative())
            QDesktopServices::openUrl(url);
    });
    addRow(grid, row, "settings.row.cloudKey", {m_keyField, m_getKeyButton});

    m_cloudModelField = lineEdit(L10n::t("settings.row.cloudModel"), {});
    addRow(grid, row, "settings.row.cloudModel", {m_cloudModelField});

    m_customBaseURLField =
        lineEdit(L10n::t("settings.row.customBaseURL"), L10n::t("settings.placeholder.customBaseURL"));
    m_customRowViews = {addRow(grid, row, "settings.row.customBaseURL", {m_customBaseURLField}), m_customBaseURLField};
    for (QLineEdit* field : {m_keyField, m_cloudModelField, m_customBaseURLField})
        connect(field, &QLineEdit::textEdited, this, [this] { m_testResultLabel->clear(); });
    m_clearTextWarning = smallLabel();
    setTextTint(m_clearTextWarning, L10n::t("settings.customURL.clearWarning"), Tint::orange);
    m_clearTextWarning->setAccessibleName(m_clearTextWarning->text());
    addBelow(grid, row, m_clearTextWarning);
    m_clearTextConsent = button("settings.customURL.accept");
    connect(m_clearTextConsent, &QPushButton::clicked, this, [this] {
        m_acceptedClearURL = m_customBaseURLField->text().trimmed();
        m_testResultLabel->clear();
        updateClearTextWarning();
    });
    addBelow(grid, row, m_clearTextConsent);
    connect(m_customBaseURLField, &QLineEdit::textChanged, this, &SettingsWindow::updateClearTextWarning);

    auto* test = button("settings.btn.test");
    connect(test, &QPushButton::clicked, this, &SettingsWindow::testCloud);
    m_testResultLabel = statusLabel({});
    // Read out as the result it shows; what it is goes in the description.
    m_testResultLabel->setAccessibleDescription(L10n::t("settings.test.resultName"));
    addRow(grid, row, nullptr, {test, m_testResultLabel});
    auto* privacy = smallLabel();
    privacy->setText(L10n::t("settings.cloud.privacy"));
    addBelow(grid, row, privacy);
}

void SettingsWindow::buildEngineSection(QGridLayout* grid, int& row)
{
    addSeparator(grid, row);
    addHeading(grid, row, "settings.section.engine");
    m_compareCheck = checkBox("settings.compare");
    connect(m_compareCheck, &QCheckBox::toggled, this, &SettingsWindow::compareToggled);
    addRow(grid, row, nullptr, {m_compareCheck});
    const QStringList localCloud{L10n::t("settings.seg.local"), L10n::t("settings.seg.cloud")};
    m_explainSeg = segments(grid, row, "settings.row.explainUse", localCloud);
    m_rewriteSeg = segments(grid, row, "settings.row.rewriteUse", localCloud);
    m_translateSeg = segments(grid, row, "settings.row.translateUse", localCloud);
}

void SettingsWindow::buildOtherSections(QGridLayout* grid, int& row)
{
    addSeparator(grid, row);
    addHeading(grid, row, "settings.section.translate");
    m_translateDirPopup = comboBox(L10n::t("settings.row.translateTo"), 180);
    for (const PromptLibrary::TranslateDirection& direction : PromptLibrary::translateDirections())
        m_translateDirPopup->addItem(direction.displayName());
    addRow(grid, row, "settings.row.translateTo", {m_translateDirPopup});

    addSeparator(grid, row);
    addHeading(grid, row, "settings.section.hotkey");
    addRow(grid, row, "settings.row.hotkey", {m_hotkeyRecorder});
    addRow(grid, row, "settings.row.ocrHotkey", {m_ocrHotkeyRecorder});

    addSeparator(grid, row);
    addHeading(grid, row, "settings.section.font");
    QStringList steps;
    for (const AppSettings::FontScaleStep& step : AppSettings::fontScaleSteps())
        steps << L10n::t(step.l10nKey);
    m_fontSeg = segments(grid, row, "settings.row.fontSize", steps);

    addSeparator(grid, row);
    addHeading(grid, row, "settings.section.appLang");
    m_appLangPopup = comboBox(L10n::t("settings.row.appLang"), 180);
    for (const char* key : {"settings.appLang.auto", "settings.appLang.zh", "settings.appLang.en"})
        m_appLangPopup->addItem(L10n::t(key));
    addRow(grid, row, "settings.row.appLang", {m_appLangPopup});

    addSeparator(grid, row);
    addHeading(grid, row, "settings.section.knowledge");
    m_autoRememberCheck = checkBox("settings.autoRemember");
    addRow(grid, row, nullptr, {m_autoRememberCheck});

    addSeparator(grid, row);
    addHeading(grid, row, "settings.section.startup");
    m_autostartCheck = checkBox("settings.autostart");
    addRow(grid, row, nullptr, {m_autostartCheck});

    // Only where the desktop hands keys out with the user's leave: elsewhere keys are typed anyway,
    // and the box keeps the stored choice unseen.
    m_pasteForMeCheck = checkBox("settings.pasteForMe");
    m_pasteForMeCheck->setToolTip(L10n::t("settings.pasteForMe.hint"));
    m_pasteForMeCheck->setAccessibleDescription(m_pasteForMeCheck->toolTip());
    if (Platform::services().keys->needsLeave()) {
        addSeparator(grid, row);
        addHeading(grid, row, "settings.section.paste");
        addRow(grid, row, nullptr, {m_pasteForMeCheck});
    } else {
        m_pasteForMeCheck->setParent(grid->parentWidget());
        m_pasteForMeCheck->hide();
    }

    WaylandBlock::add(grid, row);
}

void SettingsWindow::showAndRaise()
{
    loadIntoControls();
    refreshOllamaStatus();
    refreshModels();
    refreshExternalModels();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    m_scroll->verticalScrollBar()->setValue(0);
    show();
    raise();
    activateWindow();
}

void SettingsWindow::loadIntoControls()
{
    const AppSettings settings = SettingsStore::load(true);
    m_drafts = SettingsDrafts::from(settings);
    // What is stored was accepted before (or written by the user's own hand).
    m_acceptedClearURL = settings.customBaseURL.trimmed();
    m_customBaseURLField->setText(settings.customBaseURL);
    m_currentProviderId = CloudProviders::find(settings.activeProvider).id;
    const int providerIndex = int(std::find_if(CloudProviders::all().begin(), CloudProviders::all().end(),
                                               [this](const CloudProvider& p) { return p.id == m_currentProviderId; })
                                  - CloudProviders::all().begin());
    m_providerPopup->setCurrentIndex(providerIndex < m_providerPopup->count() ? providerIndex : 0);
    syncCloudFields(m_currentProviderId);
    m_testResultLabel->clear();

    (settings.useExternalOllama ? m_engineExternalRadio : m_engineBundledRadio)->setChecked(true);
    m_selectedExternalModel = settings.useExternalOllama ? std::optional(settings.qwenModel) : std::nullopt;
    updateExternalModelEnabled();

    m_compareCheck->setChecked(settings.compareMode);
    m_explainSeg->button(settings.explainEngine == EngineChoice::cloud ? 1 : 0)->setChecked(true);
    m_rewriteSeg->button(settings.rewriteEngine == EngineChoice::cloud ? 1 : 0)->setChecked(true);
    m_translateSeg->button(settings.translateEngine == EngineChoice::cloud ? 1 : 0)->setChecked(true);

    stopRecorders();
    m_hotkeyRecorder->setPending({settings.hotKeyCode, settings.hotKeyModifiers});
    m_ocrHotkeyRecorder->setPending({settings.ocrHotKeyCode, settings.ocrHotKeyModifiers});
    m_hotkeyRecorder->clearHint();
    m_ocrHotkeyRecorder->clearHint();

    m_fontSeg->button(settings.fontScaleStepIndex())->setChecked(true);
    m_autoRememberCheck->setChecked(settings.autoRemember);
    m_pasteForMeCheck->setChecked(settings.pasteForMe);
    m_translateDirPopup->setCurrentIndex(
        std::max(0, int(PromptLibrary::translateDirectionIds().indexOf(settings.defaultTranslateDirection))));
    m_appLangPopup->setCurrentIndex(std::max(0, int(m_appLangIds.indexOf(settings.appLanguage))));
    m_autostartCheck->setChecked(Autostart::isEnabled());
    compareToggled();
}

void SettingsWindow::syncCloudFields(const QString& providerId)
{
    const CloudProvider& provider = CloudProviders::find(providerId);
    m_keyField->setText(m_drafts.key(provider.id));
    m_cloudModelField->setText(m_drafts.model(provider.id));
    m_cloudModelField->setPlaceholderText(provider.defaultModel);
    for (QWidget* view : m_customRowViews)
        view->setVisible(provider.isCustom());
    m_getKeyButton->setEnabled(!provider.keyURL.isEmpty());
    updateClearTextWarning();
}

void SettingsWindow::captureCurrentCloudFields()
{
    m_drafts.capture(m_currentProviderId, m_keyField->text(), m_cloudModelField->text());
}

void SettingsWindow::providerChanged(int index)
{
    captureCurrentCloudFields();
    m_currentProviderId = CloudProviders::all().value(std::max(index, 0)).id;
    syncCloudFields(m_currentProviderId);
    m_testResultLabel->clear();
}

void SettingsWindow::testCloud()
{
    captureCurrentCloudFields();
    if (m_drafts.key(m_currentProviderId).isEmpty())
        return showTestResult("settings.test.needKey", Tint::orange);
    if (CloudProviders::find(m_currentProviderId).isCustom() && m_customBaseURLField->text().trimmed().isEmpty())
        return showTestResult("settings.test.needURL", Tint::orange);
    if (!clearTextAccepted())
        return;
    // The test runs against the stored configuration, so a tested key stays stored.
    AppSettings settings = SettingsStore::load(true);
    m_drafts.writeTo(settings, m_currentProviderId, m_customBaseURLField->text());
    SettingsStore::save(settings);
    showTestResult("settings.test.testing", Tint::secondaryLabel);
    m_tasks.run(
        this, [](std::stop_token stop) { return CloudClient::smokeTest(stop); },
        [this](const ChatResult& result) {
            if (result.ok())
                showTestResult("settings.test.ok", Tint::green);
            else
                showTestResult(SettingsTestResult::failKey(*result.failure), Tint::red);
        });
}

void SettingsWindow::updateClearTextWarning()
{
    const bool custom = CloudProviders::find(m_currentProviderId).isCustom();
    const QString url = m_customBaseURLField->text();
    m_clearTextWarning->setVisible(custom && EndpointSecurity::sendsKeyInClear(url));
    m_clearTextConsent->setVisible(custom && EndpointSecurity::needsConsent(url, m_acceptedClearURL));
}

bool SettingsWindow::clearTextAccepted()
{
    if (!CloudProviders::find(m_currentProviderId).isCustom()
        || !EndpointSecurity::needsConsent(m_customBaseURLField->text(), m_acceptedClearURL))
        return true;
    showTestResult("settings.customURL.acceptFirst", Tint::orange);
    m_scroll->ensureWidgetVisible(m_clearTextConsent);
    m_clearTextConsent->setFocus();
    return false;
}

void SettingsWindow::showTestResult(const char* key, Tint tint)
{
    setTextTint(m_testResultLabel, L10n::t(key), tint);
}

void SettingsWindow::refreshOllamaStatus()
{
    setTextTint(m_ollamaStatus, L10n::t("settings.status.checking"), Tint::secondaryLabel);
    m_tasks.run(
        this, [engines = m_engines](std::stop_token stop) { return engines->isRunning(stop); },
        [this](bool running) { setStatus(running); });
}

void SettingsWindow::setStatus(bool running)
{
    if (running)
        setTextTint(m_ollamaStatus, L10n::t("settings.status.running"), Tint::green);
    else
        setTextTint(m_ollamaStatus, L10n::t("settings.status.stopped"), Tint::orange);
}

void SettingsWindow::startOllama()
{
    setTextTint(m_ollamaStatus, L10n::t("settings.status.starting"), Tint::secondaryLabel);
    m_tasks.run(
        this, [engines = m_engines](std::stop_token stop) { return engines->ensureRunning(stop); },
        [this](bool running) {
            setStatus(running);
            refreshModels();
        });
}

void SettingsWindow::refreshModels()
{
    const bool bundled = m_engines->isBundled();
    if (bundled)
        setTextTint(m_modelStatusLabel, L10n::t("settings.status.checking"), Tint::tertiaryLabel);
    m_tasks.run(
        this, [engines = m_engines](std::stop_token stop) { return engines->models(stop); },
        [this, bundled](const QStringList& models) {
            const QString stored = SettingsStore::load().qwenModel;
            m_modelPopup->clear();
            m_modelPopup->setEnabled(true);
            if (!models.isEmpty()) {
                m_modelPopup->addItems(models);
                m_modelPopup->setCurrentIndex(std::max(0, int(models.indexOf(stored))));
            }
            if (!bundled) {
                if (models.isEmpty())
                    m_modelPopup->addItem(stored);
                m_modelStatusLabel->clear();
            } else if (models.isEmpty()) {
                m_modelPopup->addItem(L10n::t("settings.model.none"));
                m_modelPopup->setEnabled(false);
                setTextTint(m_modelStatusLabel, L10n::t("settings.model.noneDownloaded"), Tint::tertiaryLabel);
            } else {
                setTextTint(m_modelStatusLabel, L10n::tf("settings.model.downloaded", {m_modelPopup->currentText()}),
                            Tint::tertiaryLabel);
            }
        });
}

void SettingsWindow::refreshExternalModels()
{
    m_tasks.run(
        this, [engines = m_engines](std::stop_token stop) { return engines->ownOllamaModels(stop); },
        [this](const QStringList& models) {
            m_externalModelPopup->clear();
            if (models.isEmpty()) {
                m_externalModelHint->setText(m_engineExternalRadio->isChecked() ? L10n::t("settings.external.notFound")
                                                                                : QString());
                return;
            }
            m_externalModelHint->clear();
            m_externalModelPopup->addItems(models);
            const qsizetype selected = m_selectedExternalModel && !m_selectedExternalModel->isEmpty()
                ? models.indexOf(*m_selectedExternalModel)
                : -1;
            m_externalModelPopup->setCurrentIndex(selected >= 0 ? int(selected) : 0);
            m_selectedExternalModel = m_externalModelPopup->currentText();
        });
}

void SettingsWindow::updateExternalModelEnabled()
{
    const bool external = m_engineExternalRadio->isChecked();
    m_externalModelPopup->setEnabled(external);
    if (!external)
        m_externalModelHint->clear();
}

void SettingsWindow::compareToggled()
{
    // In compare mode the popup offers both engines, so the per-action choice does not apply.
    const bool perAction = !m_compareCheck->isChecked();
    for (QButtonGroup* group : {m_explainSeg, m_rewriteSeg, m_translateSeg})
        for (QAbstractButton* segment : group->buttons())
            segment->setEnabled(perAction);
}

void SettingsWindow::save()
{
    if (!clearTextAccepted())
        return;
    AppSettings settings = SettingsStore::load(true);
    captureCurrentCloudFields();
    m_drafts.writeTo(settings, m_currentProviderId, m_customBaseURLField->text());

    settings.useExternalOllama = m_engineExternalRadio->isChecked();
    if (!settings.useExternalOllama) {
        if (m_modelPopup->isEnabled() && !m_modelPopup->currentText().isEmpty())
            settings.qwenModel = m_modelPopup->currentText();
    } else {
        const QString candidate = m_externalModelPopup->currentIndex() >= 0
            ? m_externalModelPopup->currentText()
            : m_selectedExternalModel.value_or(QString());
        if (!candidate.trimmed().isEmpty())
            settings.qwenModel = candidate;
    }

    settings.compareMode = m_compareCheck->isChecked();
    auto engine = [](const QButtonGroup* group) {
        return group->checkedId() == 1 ? EngineChoice::cloud : EngineChoice::local;
    };
    settings.explainEngine = engine(m_explainSeg);
    settings.rewriteEngine = engine(m_rewriteSeg);
    settings.translateEngine = engine(m_translateSeg);

    stopRecorders();
    const Shortcut main = m_hotkeyRecorder->pending();
    const Shortcut screenText = m_ocrHotkeyRecorder->pending();
    if (main == screenText) {
        m_ocrHotkeyRecorder->showSameAsMain();
        return;
    }
    settings.hotKeyCode = main.keyCode;
    settings.hotKeyModifiers = main.modifiers;
    settings.ocrHotKeyCode = screenText.keyCode;
    settings.ocrHotKeyModifiers = screenText.modifiers;

    const auto& steps = AppSettings::fontScaleSteps();
    settings.fontScale = steps[std::clamp(m_fontSeg->checkedId(), 0, int(steps.size()) - 1)].scale;
    settings.autoRemember = m_autoRememberCheck->isChecked();
    settings.pasteForMe = m_pasteForMeCheck->isChecked();
    const int direction = m_translateDirPopup->currentIndex();
    if (direction >= 0 && direction < PromptLibrary::translateDirectionIds().size())
        settings.defaultTranslateDirection = PromptLibrary::translateDirectionIds()[direction];
    const int language = m_appLangPopup->currentIndex();
    if (language >= 0 && language < m_appLangIds.size())
        settings.appLanguage = m_appLangIds[language];

    SettingsStore::save(settings);
    Autostart::setEnabled(m_autostartCheck->isChecked(), QCoreApplication::applicationFilePath());
    if (onSaved)
        onSaved();
    close();
}

void SettingsWindow::stopRecorders()
{
    m_hotkeyRecorder->stopRecording();
    m_ocrHotkeyRecorder->stopRecording();
}

void SettingsWindow::closeEvent(QCloseEvent* event)
{
    stopRecorders();
    QWidget::closeEvent(event);
}

void SettingsWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier)
        close();
    else if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
             && !(event->modifiers() & ~Qt::KeypadModifier))
        save();
    else
        QWidget::keyPressEvent(event);
}
