#include "tests/support/CompositorWindows.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryFile>

#include "platform/wayland/SwayIpc.h"
#include "tests/support/EventLoop.h"
#include "tests/support/Files.h"
#include "tests/support/RunProgram.h"

namespace {

constexpr int scriptWaitMs = 15000;
constexpr int escapeKeyCode = 1; // Linux input code
constexpr uint escapeKeysym = 0xff1b;

enum class Compositor { sway, kwin, gnomeShell };

const QString fakeInput = QStringLiteral(QUILLO_BIN_DIR "/kwin_fake_input");

Compositor compositor()
{
    const QString desktop = qEnvironmentVariable("XDG_CURRENT_DESKTOP");
    return desktop == QLatin1String("KDE")  ? Compositor::kwin
        : desktop == QLatin1String("GNOME") ? Compositor::gnomeShell
                                            : Compositor::sway;
}

QDBusMessage sessionCall(const QString& service, const QString& path, const QString& interface, const QString& method,
                         const QVariantList& arguments = {})
{
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface, method);
    call.setArguments(arguments);
    return QDBusConnection::sessionBus().call(call);
}

// The tests' GNOME Shell extension (tests/support/gnome-shell).
QDBusMessage testShellCall(const QString& method, const QVariantList& arguments = {})
{
    const QString name = QStringLiteral("org.quillo.TestShell");
    return sessionCall(name, QStringLiteral("/org/quillo/TestShell"), name, method, arguments);
}

QDBusMessage kwinCall(const QString& path, const QString& interface, const QString& method,
                      const QVariantList& arguments = {})
{
    return sessionCall(QStringLiteral("org.kde.KWin"), path, interface, method, arguments);
}

QRect rectOf(const QJsonObject& r)
{
    return {r[QLatin1String("x")].toInt(), r[QLatin1String("y")].toInt(), r[QLatin1String("width")].toInt(),
            r[QLatin1String("height")].toInt()};
}

std::optional<CompositorWindows::Window> gnomeShellWindow(qint64 pid, const QString& title)
{
    const QDBusReply<QString> windows = testShellCall(QStringLiteral("Windows"));
    if (!windows.isValid())
        return std::nullopt;
    for (const QJsonValue value : QJsonDocument::fromJson(windows.value().toUtf8()).array()) {
        const QJsonObject w = value.toObject();
        if (w[QLatin1String("pid")].toInteger() == pid && w[QLatin1String("title")].toString() == title)
            return CompositorWindows::Window{rectOf(w)};
    }
    return std::nullopt;
}

std::optional<CompositorWindows::Window> swayWindow(qint64 pid, const QString& title)
{
    const std::optional<QJsonDocument> tree =
        SwayIpc::request(qEnvironmentVariable("SWAYSOCK"), SwayIpc::Message::getTree);
    const std::optional<SwayIpc::Node> window = tree ? SwayIpc::findWindow(tree->object(), pid, title) : std::nullopt;
    if (!window)
        return std::nullopt;
    return CompositorWindows::Window{rectOf(window->object.value(QLatin1String("rect")).toObject()), window->floating,
                                     window->object.value(QLatin1String("sticky")).toBool()};
}

// Runs a KWin script and returns the lines it printed, which KWin writes to its log (named by
// in-wayland.sh) as "js: ..."; each printed line starts with a mark of this run.
QStringList runKWinScript(const QString& body)
{
    static int runs = 0;
    const QString mark = QStringLiteral("quillo-test-%1-%2").arg(QCoreApplication::applicationPid()).arg(++runs);
    QTemporaryFile file;
    if (!file.open())
        return {};
    file.write(QStringLiteral("var mark = \"%1\";\n%2\nprint(mark + \" end\");\n").arg(mark, body).toUtf8());
    file.close();
    const QDBusReply<int> id = kwinCall(QStringLiteral("/Scripting"), QStringLiteral("org.kde.kwin.Scripting"),
                                        QStringLiteral("loadScript"), {file.fileName(), mark});
    if (!id.isValid() || id.value() < 0)
        return {};
    // KWin 5 puts a loaded script at /<id>, KWin 6 at /Scripting/Script<id>.
    const QString script = QStringLiteral("org.kde.kwin.Script");
    if (kwinCall(QStringLiteral("/%1").arg(id.value()), script, QStringLiteral("run")).type()
        == QDBusMessage::ErrorMessage)
        kwinCall(QStringLiteral("/Scripting/Script%1").arg(id.value()), script, QStringLiteral("run"));
    const QString log = qEnvironmentVariable("QUILLO_TEST_COMPOSITOR_LOG");
    QStringList lines;
    processEventsUntil(
        [&] {
            lines.clear();
            for (const QByteArray& line : readFile(log).split('\n')) {
                const qsizetype at = line.indexOf((mark + QLatin1Char(' ')).toUtf8());
                if (at >= 0)
                    lines << QString::fromUtf8(line.mid(at + mark.size() + 1));
            }
            return lines.contains(QLatin1String("end"));
        },
        scriptWaitMs);
    kwinCall(QStringLiteral("/Scripting"), QStringLiteral("org.kde.kwin.Scripting"), QStringLiteral("unloadScript"),
             {mark});
    return lines;
}

std::optional<CompositorWindows::Window> kwinWindow(qint64 pid, const QString& title)
{
    const QString quoted = QString::fromUtf8(QJsonDocument(QJsonArray{title}).toJson(QJsonDocument::Compact));
    const QStringList lines = runKWinScript(QStringLiteral(R"JS(
var windows = workspace.windowList ? workspace.windowList() : workspace.clientList();
for (var i = 0; i < windows.length; ++i) {
    var w = windows[i], g = w.frameGeometry;
    if (w.pid === %1 && String(w.caption) === %2[0])
        print(mark + " window " + g.x + " " + g.y + " " + g.width + " " + g.height + " " + w.keepAbove);
})JS")
                                                .arg(pid)
                                                .arg(quoted));
    for (const QString& line : lines) {
        const QStringList f = line.split(QLatin1Char(' '));
        if (f.size() == 6 && f[0] == QLatin1String("window"))
            return CompositorWindows::Window{
                {f[1].toInt(), f[2].toInt(), f[3].toInt(), f[4].toInt()}, false, f[5] == QLatin1String("true")};
    }
    return std::nullopt;
}

}

namespace CompositorWindows {

std::optional<Window> find(qint64 pid, const QString& title)
{
    switch (compositor()) {
    case Compositor::kwin: return kwinWindow(pid, title);
    case Compositor::gnomeShell: return gnomeShellWindow(pid, title);
    case Compositor::sway: break;
    }
    return swayWindow(pid, title);
}

std::optional<QImage> screenshot()
{
    if (compositor() != Compositor::sway)
        return std::nullopt;
    const ProgramResult grim = runProgram(QStringLiteral("grim"), {QStringLiteral("-")});
    QImage image;
    if (grim.exitCode != 0 || !image.loadFromData(grim.out, "PNG"))
        return std::nullopt;
    return image;
}

bool movePointer(QPoint to)
{
    const QString x = QString::number(to.x()), y = QString::number(to.y());
    switch (compositor()) {
    case Compositor::kwin: return runProgram(fakeInput, {QStringLiteral("pointer"), x, y}).exitCode == 0;
    case Compositor::gnomeShell:
        return testShellCall(QStringLiteral("MovePointer"), {double(to.x()), double(to.y())}).type()
            == QDBusMessage::ReplyMessage;
    case Compositor::sway: break;
    }
    return runProgram(QStringLiteral("swaymsg"), arguments("seat - cursor set") << x << y).exitCode == 0;
}

bool tapEscape()
{
    switch (compositor()) {
    case Compositor::kwin:
        return runProgram(fakeInput, {QStringLiteral("key"), QString::number(escapeKeyCode)}).exitCode == 0;
    case Compositor::gnomeShell: return tapShellKey(escapeKeysym);
    case Compositor::sway: break;
    }
    return runProgram(QStringLiteral("wtype"), arguments("-k Escape")).exitCode == 0;
}

bool tapShellKey(uint keysym)
{
    return testShellCall(QStringLiteral("TapKey"), {keysym}).type() == QDBusMessage::ReplyMessage;
}

}
