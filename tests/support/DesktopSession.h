#pragma once

#include <memory>
#include <vector>

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>

// The private desktop an x11 test runs in (tests/support/in-desktop.sh set DISPLAY, HOME and the
// session bus), and the other applications a test drives there with xdotool, as a user would.
// Each start waits until the application is ready for keys (null when it never got there); what
// was started ends with this object at the latest.
class DesktopSession {
public:
    DesktopSession() = default;
    ~DesktopSession()
    {
        for (const auto& process : m_processes)
            stop(process.get());
    }

    static QString homePath() { return qEnvironmentVariable("HOME"); }

    // Its standard output is kept for reading when asked for, else discarded like its errors.
    QProcess* start(const QString& program, const QStringList& args,
                    const QProcessEnvironment& extra = QProcessEnvironment(), bool readOutput = false);
    static void stop(QProcess* process);

    // The Qt editor of tools/text_target (quillo_text_target) showing the text; an accessible one
    // registers with the accessibility bus. Extra arguments as the helper takes them (--select).
    QProcess* startQtEditor(const QString& text, bool accessible, const QStringList& extraArgs = {});
    // Waits until the Qt editor shows the text; returns the last text it showed.
    static QString waitForEditorText(QProcess* editor, const QString& expected);
    // quillo on that Qt platform, its controls readable over AT-SPI, once it owns its name on the
    // session bus.
    QProcess* startQuillo(const QString& platform, QProcessEnvironment extra = {});
    // Starts the program and waits until its window is the active one.
    QProcess* startWindow(const QString& program, const QStringList& args, const QProcessEnvironment& extra = {});
    // mousepad (GTK) editing a file that holds the text.
    QProcess* startMousepad(const QString& path, const QString& text);
    // xterm showing one line, selected with a triple click, which sets PRIMARY.
    QProcess* startXtermWithSelectedLine(const QString& line);
    // Clicks into the first line of the active window: 3 clicks select it, 1 collapses a selection.
    static bool clickFirstLine(int clicks);

    static bool typeKeys(const QStringList& keys);
    // From the start of the text: past `skip` characters, then `count` selected with shift+Right.
    static bool selectByKeyboard(int skip, int count);
    static QString primarySelection();
    static void clearPrimarySelection();
    // Whether some client owns the X selection of that name (a tray host, a compositing manager).
    static bool selectionOwned(const char* name);

private:
    std::vector<std::unique_ptr<QProcess>> m_processes;
};
