#pragma once

#include <functional>
#include <memory>

#include <QIcon>
#include <QWidget>

class EngineControl;
class ModelPicker;
class TaskPool;
class QLabel;
class QTimer;

// The getting-started window: the two permissions with their live status, the model step (when
// the built-in engine is present), a sentence to try the shortcut on, and the start button.
// Leaving it in any way writes the first-run marker, so it is not shown by itself again.
class OnboardingWindow : public QWidget {
    Q_OBJECT
public:
    // What the desktop layers above this one provide.
    // Whether this desktop asks the user before a program may capture the screen. X11 lets every
    // program capture it, so there is nothing to allow; a Wayland desktop hands out pictures of
    // the screen through the platform's ScreenImages, which this window asks while it has the
    // focus (the one moment GNOME shows its question).
    enum class ScreenCapture { free, askFirst };

    struct Desktop {
        QIcon trayIcon; // the tray item's picture; else the application's icon
        ScreenCapture screenCapture = ScreenCapture::askFirst;
        std::function<bool()> screenCapturable; // the screen can be captured here
    };

    OnboardingWindow(std::shared_ptr<EngineControl> engines, TaskPool& tasks, Desktop desktop,
                     QWidget* parent = nullptr);
    ~OnboardingWindow() override;

    // ~/.selvane/onboarded exists.
    static bool hasOnboarded();
    static void markOnboarded();

    // The whole guide, with the model step looking for a model first.
    void showAndRaise();
    // The guide with the model step already on the picker (the tray's model entry).
    void showModelPicker();

    // Called once the user has left the window (start button or closing it).
    std::function<void()> onFinished;

    // Draws the guide with the model picker to dir + "/onboarding.png"; returns the files written.
    static QStringList renderPreview(const QString& dir);

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QWidget* buildContent();
    void refreshPermissions();
    void present();

    std::shared_ptr<EngineControl> m_engines;
    Desktop m_desktop;
    ModelPicker* m_modelPicker = nullptr;
    QLabel* m_axStatusLabel = nullptr;
    QLabel* m_screenStatusLabel = nullptr;
    QWidget* m_screenButtons = nullptr;
    QTimer* m_pollTimer;
};
