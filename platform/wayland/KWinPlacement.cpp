#include "platform/wayland/KWinPlacement.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDir>
#include <QSaveFile>

namespace {

constexpr char service[] = "org.kde.KWin";

QDBusMessage scriptingCall(const QString& method, const QVariantList& arguments)
{
    QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(service), QStringLiteral("/Scripting"),
                                                       QStringLiteral("org.kde.kwin.Scripting"), method);
    call.setArguments(arguments);
    return call;
}

// KWin 6 puts a loaded script at /Scripting/Script<id>, KWin 5 at /<id>.
void runScript(int id, bool newPath = true)
{
    const QString path = newPath ? QStringLiteral("/Scripting/Script%1").arg(id) : QStringLiteral("/%1").arg(id);
    const QDBusMessage run = QDBusMessage::createMethodCall(
        QString::fromLatin1(service), path, QStringLiteral("org.kde.kwin.Script"), QStringLiteral("run"));
    auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(run));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, [id, newPath](QDBusPendingCallWatcher* done) {
        done->deleteLater();
        if (done->isError() && newPath)
            runScript(id, false);
    });
}

}

KWinPlacement::KWinPlacement()
    : m_pluginName(QStringLiteral("quillo-panels-%1").arg(QCoreApplication::applicationPid()))
{
    // KWin reads the script from a file; ours, in the user's private runtime directory.
    const QString dir = qEnvironmentVariable("XDG_RUNTIME_DIR", QDir::tempPath());
    m_scriptPath = dir + QLatin1Char('/') + m_pluginName + QStringLiteral(".js");
    QSaveFile file(m_scriptPath);
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.write(panelScript(QCoreApplication::applicationPid()).toUtf8());
    if (!file.commit())
        return;
    auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(
        scriptingCall(QStringLiteral("loadScript"), {m_scriptPath, m_pluginName})));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, [](QDBusPendingCallWatcher* done) {
        done->deleteLater();
        const QDBusPendingReply<int> id = *done;
        if (!id.isError() && id.value() >= 0)
            runScript(id.value());
    });
}

KWinPlacement::~KWinPlacement()
{
    QDBusConnection::sessionBus().call(scriptingCall(QStringLiteral("unloadScript"), {m_pluginName}), QDBus::NoBlock);
    QFile::remove(m_scriptPath);
}

QString KWinPlacement::panelScript(qint64 pid)
{
    return QStringLiteral(R"JS(
var pid = %1, title = "%2", offset = 12, margin = 8;
function place(w) {
    if (w.pid !== pid || String(w.caption).indexOf(title) !== 0)
        return;
    var p = workspace.cursorPos, g = w.frameGeometry;
    var area = workspace.clientArea(KWin.PlacementArea, w);
    var x = Math.max(area.x + margin, Math.min(p.x + offset, area.x + area.width - g.width - margin));
    var y = Math.max(area.y + margin, Math.min(p.y + offset, area.y + area.height - g.height - margin));
    w.frameGeometry = {x: x, y: y, width: g.width, height: g.height};
    w.keepAbove = true;
}
(workspace.windowAdded || workspace.clientAdded).connect(place);
)JS")
        .arg(pid)
        .arg(QString::fromLatin1(panelTitle));
}
