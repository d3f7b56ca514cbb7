#include "app/Modes.h"

#include <QApplication>
#include <QIcon>
#include <QPalette>
#include <QPixmapCache>
#include <QProcess>
#include <QTimer>

#include "app/AppServices.h"
#include "app/Out.h"
#include "engines/ollama/EngineControl.h"
#include "speech/SpeechInput.h"
#include "tray/AppDelegate.h"
#include "tray/PouchIcon.h"
#include "tray/SingleInstance.h"

namespace {

constexpr int pixmapCacheKb = 1024;

int runTrayApplication(const QStringList& args)
{
    // The tray application has no window of its own: closing one never ends it.
    QApplication::setQuitOnLastWindowClosed(false);
    // The panel's contents are built anew at every showing, and every new widget's palette gives the style's
    // pixmaps new cache keys: the default 10 MB cache would fill with pixmaps never drawn again.
    // One panel and one window need far less.
    QPixmapCache::setCacheLimit(pixmapCacheKb);
    // Taskbars, window switchers and Wayland compositors match the windows to the installed
    // desktop entry and icon by this application id.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.quillo.Quillo"));
    // Looking the icon up in the themes reads their indexes and loads the icon engines (8 ms on a
    // virtual machine): that waits until the tray icon is up, and comes before any window can show.
    QTimer::singleShot(0, qApp, [] {
        QApplication::setWindowIcon(
            QIcon::fromTheme(QStringLiteral("quillo"), PouchIcon::make(PouchIcon::colorFor(QApplication::palette()))));
    });
    AppDelegate* delegate = nullptr;
    SingleInstance instance([&delegate](SingleInstance::Command command) {
        if (delegate)
            delegate->handle(command);
    });
    if (!instance.claim()) {
        // Quillo runs already in this session: launching it again opens its settings.
        switch (SingleInstance::send(SingleInstance::Command::settings)) {
        case SingleInstance::Delivery::delivered: return 0;
        case SingleInstance::Delivery::unreachable:
            out(QStringLiteral("quillo: another Quillo is already running here, but without a session bus shared with "
                               "it this launch cannot reach it"));
            return 1;
        default: out(QStringLiteral("quillo: another Quillo holds this session but does not answer")); return 1;
        }
    }
    int status = 0;
    bool relaunch = false;
    {
        AppServices services;
        {
            AppDelegate controller({services.engines(), services.actionEngine(), services.knowledge(), services.tasks(),
                                    services.selectionCapture(), services.screenText(), services.clipboard(),
                                    services.workspace(), &SpeechInput::onDevice});
            delegate = &controller;
            controller.applicationDidFinishLaunching();
            status = QCoreApplication::exec();
            delegate = nullptr;
            relaunch = controller.relaunchRequested();
        } // the shortcuts are released here
        services.engines()->shutdown();
    }
    // Last, so that a successor started now finds the shortcuts, the engine's port and the name free.
    instance.release();
    if (relaunch)
        QProcess::startDetached(QCoreApplication::applicationFilePath(), args.mid(1));
    return status;
}

}

const Mode normalMode = {AppObject::gui, nullptr, "start the tray application", runTrayApplication};
