#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <QWidget>

#include "ui/Tint.h"
#include "windows/SettingsDrafts.h"
#include "windows/ShortcutRecorder.h"

class EngineControl;
class TaskPool;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QScrollArea;

// The window in which the user edits every setting. Nothing is written while editing (except by
// the cloud test, which tests the stored configuration); the save button writes the whole record
// at once, cancel discards the edits, and every showing starts again from the stored settings.
// Engine questions run on the task pool and come back only while the window exists.
class SettingsWindow : public QWidget {
    Q_OBJECT
public:
    // `engines` may be empty only for rendering the window's picture, which asks no engine.
    SettingsWindow(std::shared_ptr<EngineControl> engines, TaskPool& tasks, ShortcutRecorder::KeyReader readKey,
                   QWidget* parent = nullptr);
    ~SettingsWindow() override;

    // Loads the stored settings into the controls, asks the engines afresh and brings the window
    // to the front, centred and scrolled to the top.
    void showAndRaise();

    // Called after a successful save (the caller then replaces the window, so a new language
    // takes effect) and by the "Download / manage models…" button.
    std::function<void()> onSaved;
    std::function<void()> onDownloadModel;

    // Draws the window's content, as loaded from the stored settings, to dir + "/settings.png";
    // honours SELVANE_PREVIEW_PROVIDER and SELVANE_PREVIEW_HOTKEY ("recording"). Returns the
    // files written.
    static QStringList renderPreview(const QString& dir);

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QWidget* buildContent();
    void buildLocalSection(QGridLayout* grid, int& row);
    void buildCloudSection(QGridLayout* grid, int& row);
    void buildEngineSection(QGridLayout* grid, int& row);
    void buildOtherSections(QGridLayout* grid, int& row);

    void loadIntoControls();
    void syncCloudFields(const QString& providerId);
    void captureCurrentCloudFields();
    void providerChanged(int index);
    void testCloud();
    // The warning and the consent button for a custom address that sends the key in clear.
    void updateClearTextWarning();
    // False, with the user pointed at the consent button, while such an address is unconfirmed.
    bool clearTextAccepted();
    void showTestResult(const char* key, Tint tint);

    void refreshOllamaStatus();
    void setStatus(bool running);
    void startOllama();
    void refreshModels();
    void refreshExternalModels();
    void updateExternalModelEnabled();
    void compareToggled();
    void save();
    void stopRecorders();

    std::shared_ptr<EngineControl> m_engines;
    TaskPool& m_tasks;
    SettingsDrafts m_drafts;
    QString m_currentProviderId;
    std::optional<QString> m_selectedExternalModel;
    const QStringList m_appLangIds;

    QScrollArea* m_scroll = nullptr;
    QWidget* m_content = nullptr;
    QLabel* m_ollamaStatus = nullptr;
    QComboBox* m_modelPopup = nullptr;
    QLabel* m_modelStatusLabel = nullptr;
    QRadioButton* m_engineBundledRadio = nullptr;
    QRadioButton* m_engineExternalRadio = nullptr;
    QComboBox* m_externalModelPopup = nullptr;
    QLabel* m_externalModelHint = nullptr;
    QComboBox* m_providerPopup = nullptr;
    QLineEdit* m_keyField = nullptr;
    QPushButton* m_getKeyButton = nullptr;
    QLineEdit* m_cloudModelField = nullptr;
    QList<QWidget*> m_customRowViews;
    QLineEdit* m_customBaseURLField = nullptr;
    QLabel* m_clearTextWarning = nullptr;
    QPushButton* m_clearTextConsent = nullptr;
    QString m_acceptedClearURL;
    QLabel* m_testResultLabel = nullptr;
    QCheckBox* m_compareCheck = nullptr;
    QButtonGroup* m_explainSeg = nullptr;
    QButtonGroup* m_rewriteSeg = nullptr;
    QButtonGroup* m_translateSeg = nullptr;
    QComboBox* m_translateDirPopup = nullptr;
    ShortcutRecorder* m_hotkeyRecorder = nullptr;
    ShortcutRecorder* m_ocrHotkeyRecorder = nullptr;
    QButtonGroup* m_fontSeg = nullptr;
    QComboBox* m_appLangPopup = nullptr;
    QCheckBox* m_autoRememberCheck = nullptr;
    QCheckBox* m_autostartCheck = nullptr;
    QCheckBox* m_pasteForMeCheck = nullptr;
};
