#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

class DesktopSession;

// The other applications x11 tests and benchmarks read from and write to, started inside the
// test desktop and driven with xdotool as a user would. Each start waits until the application
// is ready for keys and returns null when it never got there.
namespace TargetApps {

// The Qt editor of the test helpers (quillo_text_target) showing the text; an accessible one
// registers with the accessibility bus. Extra arguments as the helper takes them (--select).
QProcess* startQtEditor(DesktopSession& desktop, const QString& text, bool accessible,
                        const QStringList& extraArgs = {});
// The Qt editor's text after its last change.
QString editorText(QProcess* editor);

// mousepad (GTK) editing a file that holds the text.
QProcess* startMousepad(DesktopSession& desktop, const QString& path, const QString& text);

// xterm showing one line, selected with a triple click, which sets PRIMARY.
QProcess* startXtermWithSelectedLine(DesktopSession& desktop, const QString& line);

bool typeKeys(const DesktopSession& desktop, const QStringList& keys);
// From the start of the text: past `skip` characters, then `count` selected with shift+Right.
bool selectByKeyboard(const DesktopSession& desktop, int skip, int count);

void clearPrimarySelection();

}
