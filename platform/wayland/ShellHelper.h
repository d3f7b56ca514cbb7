#pragma once

#include <functional>
#include <optional>

#include <QPoint>
#include <QString>

class QObject;

// Quillo's own GNOME Shell extension, as its client sees it on the session bus (org.quillo.Shell,
// interface org.quillo.Shell1): the pointer, the primary selection and the placing of our windows,
// none of which a Wayland client may do itself, and the accelerators of the two shortcuts it
// takes for us (each calls our Trigger or TriggerOcr). The extension ships in the package as two
// builds, one per module system of the Shell; the user turns it on once.
namespace ShellHelper {

// The extension's builds: for GNOME Shell 45 and later, and for 43 and 44.
constexpr char modulesUuid[] = "quillo@quillo.org";
constexpr char legacyUuid[] = "quillo-legacy@quillo.org";

// Whether the extension is running in this session (a quick question to the bus daemon).
bool answers();

// The build that fits a Shell of that version ("43.9", "48.beta"); the newer one when unknown.
QString uuidFor(const QString& shellVersion);

// The accelerator the Shell's key bindings understand ("<Alt><Super>e", "F9") for a stored
// shortcut (positional key code and Carbon modifier mask); empty when the key has no name there.
QString accelerator(quint32 keyCode, quint32 modifiers);

// Turns on the build that fits the running Shell, for the next login on Wayland (the Shell loads
// extensions only when it starts): `gnome-extensions enable`. Answers on the context's thread
// whether the Shell's settings took it.
void turnOn(QObject* context, std::function<void(bool)> done);

// The calls below never block the caller for long: they return at once and answer on the
// context's thread (nothing when the context is gone), or wait a bounded time.
void pointer(QObject* context, std::function<void(std::optional<QPoint>)> answer);
// Puts the window of that process whose title starts so with its corner at `to`, at least
// `margin` px inside the work area of the pointer's monitor, above the others. The extension
// waits a little for the window to be mapped. Answers where it went, or nothing.
void placeWindow(qint64 pid, const QString& title, QPoint to, int margin, QObject* context,
                 std::function<void(std::optional<QPoint>)> answer);
// name: "trigger" or "trigger-ocr"; an empty accelerator leaves that shortcut unbound.
void bindShortcut(const QString& name, const QString& accelerator);
// The primary selection's text; nothing when the extension did not answer in time. Any thread.
std::optional<QString> primary(int timeoutMs);

}
