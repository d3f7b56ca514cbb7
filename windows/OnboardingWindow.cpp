#include "windows/OnboardingWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include "engines/ollama/EngineControl.h"
#include "platform/PlatformServices.h"
#include "settings/HomeDir.h"
#include "settings/L10n.h"
#include "settings/PrivateFile.h"
#include "settings/SettingsStore.h"
#include "ui/Tint.h"
#include "ui/Typography.h"
#include "windows/ModelPicker.h"
#include "windows/WindowParts.h"

namespace {

using WindowParts::button;
using WindowParts::text;

constexpr int windowWidth = 560;
constexpr int contentMargin = (windowWidth - 536) / 2;
constexpr int pollMs = 2000;

QString markerPath()
{
    return HomeDir::dataDir() + QStringLiteral("/onboarded");
}

QFrame* separator()
{
    auto* line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

void setStatus(QLabel* label, bool granted, const char* grantedKey, const char* missingKey)
{
    label->setText(L10n::t(granted ? grantedKey : missingKey));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Tints::color(granted ? Tint::green : Tint::orange, Tints::isDark(palette)));
    label->setPalette(palette);
}

// The buttons of one permission, side by side, hidden together where nothing is to be granted.
QWidget* buttonGroup(std::initializer_list<QPushButton*> buttons)
{
    auto* group = new QWidget;
    auto* line = new QHBoxLayout(group);
    line->setContentsMargins(0, 0, 0, 0);
    for (QPushButton* button : buttons)
        line->addWidget(button);
    return group;
}

// A permission: its title, live status line, buttons and the explanation under them.
QWidget* permissionRow(const char* titleKey, QLabel* status, QWidget* buttons, const QString& why)
{
    auto* row = new QWidget;
    auto* column = new QVBoxLayout(row);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(4);
    column->addWidget(text(L10n::t(titleKey), 13, Tint::label, QFont::DemiBold));
    auto* line = new QHBoxLayout;
    line->addWidget(status, 1);
    line->addWidget(buttons);
    column->addLayout(line);
    column->addWidget(text(why, 11.5, Tint::tertiaryLabel));
    return row;
}

}

OnboardingWindow::OnboardingWindow(std::shared_ptr<EngineControl> engines, TaskPool& tasks, Desktop desktop,
                                   QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint)
    , m_engines(std::move(engines))
    , m_desktop(std::move(desktop))
    , m_pollTimer(new QTimer(this))
{
    setWindowTitle(L10n::t("onboard.title"));
    setAccessibleName(windowTitle());
    if (m_engines->isBundled())
        m_modelPicker = new ModelPicker(m_engines, tasks);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(buildContent());
    setFixedWidth(windowWidth);
    m_pollTimer->setInterval(pollMs);
    connect(m_pollTimer, &QTimer::timeout, this, &OnboardingWindow::refreshPermissions);
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state == Qt::ApplicationActive && isVisible())
            raise();
    });
}

OnboardingWindow::~OnboardingWindow() = default;

QWidget* OnboardingWindow::buildContent()
{
    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(contentMargin, 16, contentMargin, 16);
    column->setSpacing(10);
    column->addWidget(text(L10n::t("onboard.heading"), 19, Tint::label, QFont::DemiBold));
    const QString shortcut = SettingsStore::load().hotKeyDisplay();
    column->addWidget(text(L10n::tf("onboard.intro", {shortcut}), 13, Tint::secondaryLabel));

    auto* where = new QHBoxLayout;
    const QIcon icon = m_desktop.trayIcon.isNull() ? QApplication::windowIcon() : m_desktop.trayIcon;
    if (!icon.isNull()) {
        auto* picture = new QLabel;
        picture->setPixmap(icon.pixmap(28, 28));
        where->addWidget(picture, 0, Qt::AlignTop);
    }
    where->addWidget(text(L10n::t("onboard.menubar.where"), 12.5, Tint::label), 1);
    column->addLayout(where);

    column->addWidget(separator());
    m_axStatusLabel = text({}, 12.5, Tint::orange);
    QPushButton* grantAx = button("onboard.ax.grantBtn");
    connect(grantAx, &QPushButton::clicked, this, [this] {
        Platform::services().accessibility->turnOnSessionSwitch();
        refreshPermissions();
    });
    column->addWidget(
        permissionRow("onboard.ax.title", m_axStatusLabel, buttonGroup({grantAx}), L10n::t("onboard.ax.why")));

    m_screenStatusLabel = text({}, 12.5, Tint::orange);
    QPushButton* allowScreen = button("wayland.btn.allowScreen");
    connect(allowScreen, &QPushButton::clicked, this, [this, allowScreen] {
        allowScreen->setEnabled(false);
        Platform::services().screenImages->allow(this, [this, allowScreen](const ScreenImages::Shot&) {
            allowScreen->setEnabled(true);
            refreshPermissions();
        });
    });
    const bool screenAsked = m_desktop.screenCapture == ScreenCapture::askFirst;
    m_screenButtons = buttonGroup({allowScreen});
    m_screenButtons->setVisible(screenAsked);
    column->addWidget(permissionRow("onboard.screen.title", m_screenStatusLabel, m_screenButtons,
                                    L10n::t(screenAsked ? "onboard.screen.askedWhy" : "onboard.screen.whyFree")));

    if (m_modelPicker) {
        column->addWidget(separator());
        column->addWidget(text(L10n::t("onboard.model.title"), 13, Tint::label, QFont::DemiBold));
        column->addWidget(m_modelPicker);
    }

    column->addWidget(separator());
    column->addWidget(text(L10n::t("onboard.try.title"), 13, Tint::label, QFont::DemiBold));
    auto* sample = new QLineEdit(L10n::tf("onboard.try.sample", {shortcut}));
    sample->setReadOnly(true);
    sample->setFixedWidth(488);
    sample->setFont(Typography::font(13, 1.0));
    sample->setAccessibleName(L10n::t("onboard.try.title"));
    sample->setCursorPosition(0);
    column->addWidget(sample);
    column->addWidget(text(L10n::tf("onboard.try.hint", {shortcut}), 11.5, Tint::secondaryLabel));

    column->addWidget(separator());
    QPushButton* start = button("onboard.startBtn");
    start->setFixedWidth(120);
    start->setDefault(true);
    connect(start, &QPushButton::clicked, this, &QWidget::close);
    column->addWidget(start, 0, Qt::AlignRight);
    return content;
}

bool OnboardingWindow::hasOnboarded()
{
    return QFileInfo::exists(markerPath());
}

void OnboardingWindow::markOnboarded()
{
    if (PrivateFile::ensureDirectory(HomeDir::dataDir()))
        PrivateFile::writeAtomically(markerPath(), "1");
}

void OnboardingWindow::showAndRaise()
{
    if (m_modelPicker)
        m_modelPicker->detect();
    present();
}

void OnboardingWindow::showModelPicker()
{
    if (m_modelPicker)
        m_modelPicker->showPicker();
    present();
}

void OnboardingWindow::present()
{
    refreshPermissions();
    m_pollTimer->start();
    resize(sizeHint());
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    show();
    raise();
    activateWindow();
}

void OnboardingWindow::refreshPermissions()
{
    Accessibility& accessibility = *Platform::services().accessibility;
    setStatus(m_axStatusLabel, accessibility.isTrusted() && accessibility.sessionSwitchOn(), "onboard.ax.trusted",
              "onboard.ax.notTrusted");
    if (m_desktop.screenCapture == ScreenCapture::free)
        setStatus(m_screenStatusLabel, true, "onboard.screen.free", "onboard.screen.free");
    else
        setStatus(m_screenStatusLabel, m_desktop.screenCapturable && m_desktop.screenCapturable(),
                  "onboard.screen.allowed", "onboard.screen.notTrusted");
}

void OnboardingWindow::closeEvent(QCloseEvent* event)
{
    markOnboarded();
    m_pollTimer->stop();
    if (m_modelPicker)
        m_modelPicker->cancelDownload();
    QWidget::closeEvent(event);
    if (onFinished)
        onFinished();
}

void OnboardingWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        close();
    else
        QWidget::keyPressEvent(event);
}
