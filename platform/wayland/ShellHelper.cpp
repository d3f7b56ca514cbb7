#include "platform/wayland/ShellHelper.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QProcess>
#include <QVersionNumber>

#include <gio/gio.h>

#include "core/KeyFormatter.h"
#include "core/UsKeyLayout.h"

namespace ShellHelper {

namespace {

constexpr char service[] = "org.quillo.Shell";
constexpr char path[] = "/org/quillo/Shell";
constexpr char interface[] = "org.quillo.Shell1";
// The Shell answers from its main loop: long only while it is stuck, and then nothing helps.
constexpr int callTimeoutMs = 2000;
// The extension waits up to 3 s for a window to be mapped before it answers.
constexpr int placeTimeoutMs = 5000;
constexpr int firstModulesShell = 45;

// Adds the extension to the Shell's list of enabled ones, for a Shell that does not know it yet
// (installed after it started) and so refuses to enable it itself.
bool enableInShellSettings(const QString& uuid)
{
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    GSettingsSchema* schema = source ? g_settings_schema_source_lookup(source, "org.gnome.shell", TRUE) : nullptr;
    if (!schema)
        return false;
    g_settings_schema_unref(schema);
    GSettings* settings = g_settings_new("org.gnome.shell");
    gchar** enabled = g_settings_get_strv(settings, "enabled-extensions");
    const QByteArray id = uuid.toUtf8();
    bool done = g_strv_contains(enabled, id.constData());
    if (!done) {
        GStrvBuilder* builder = g_strv_builder_new();
        g_strv_builder_addv(builder, const_cast<const char**>(enabled));
        g_strv_builder_add(builder, id.constData());
        gchar** more = g_strv_builder_end(builder);
        done = g_settings_set_strv(settings, "enabled-extensions", more);
        g_strfreev(more);
        g_strv_builder_unref(builder);
        g_settings_sync();
    }
    g_strfreev(enabled);
    g_object_unref(settings);
    return done;
}

QDBusMessage helperCall(const QString& method, const QVariantList& arguments = {})
{
    QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(service), QString::fromLatin1(path),
                                                       QString::fromLatin1(interface), method);
    call.setArguments(arguments);
    return call;
}

// The keysym names of the keys whose character is not their name.
QString keysymName(quint32 keyCode)
{
    struct Named {
        quint32 keyCode;
        const char* name;
    };
    static constexpr Named named[] = {
        {36, "Return"},     {76, "KP_Enter"}, {48, "Tab"},    {49, "space"}, {51, "BackSpace"},
        {117, "Delete"},    {53, "Escape"},   {115, "Home"},  {119, "End"},  {116, "Page_Up"},
        {121, "Page_Down"}, {123, "Left"},    {124, "Right"}, {125, "Down"}, {126, "Up"},
    };
    for (const Named& key : named) {
        if (key.keyCode == keyCode)
            return QString::fromLatin1(key.name);
    }
    if (KeyFormatter::isFunctionKey(keyCode))
        return KeyFormatter::displayChar(keyCode);
    static const QHash<QChar, QString> punctuation{
        {u'-', QStringLiteral("minus")},       {u'=', QStringLiteral("equal")},
        {u'[', QStringLiteral("bracketleft")}, {u']', QStringLiteral("bracketright")},
        {u';', QStringLiteral("semicolon")},   {u'\'', QStringLiteral("apostrophe")},
        {u',', QStringLiteral("comma")},       {u'.', QStringLiteral("period")},
        {u'/', QStringLiteral("slash")},       {u'\\', QStringLiteral("backslash")},
        {u'`', QStringLiteral("grave")},
    };
    const QString character = UsKeyLayout().characterFor(keyCode).toLower();
    if (character.size() != 1)
        return {};
    if (character.at(0).isLetterOrNumber())
        return character;
    return punctuation.value(character.at(0));
}

// Answers on the context's thread once the call is done; nothing when the context went first.
void callAsync(const QDBusMessage& call, int timeoutMs, QObject* context, std::function<void(const QDBusMessage&)> done)
{
    auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call, timeoutMs), context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context,
                     [done = std::move(done)](QDBusPendingCallWatcher* finished) {
                         finished->deleteLater();
                         done(finished->reply());
                     });
}

}

bool answers()
{
    const QDBusConnection bus = QDBusConnection::sessionBus();
    return bus.isConnected() && bus.interface()->isServiceRegistered(QString::fromLatin1(service)).value();
}

QString uuidFor(const QString& shellVersion)
{
    const QVersionNumber version = QVersionNumber::fromString(shellVersion);
    const bool legacy = !version.isNull() && version.majorVersion() < firstModulesShell;
    return QString::fromLatin1(legacy ? legacyUuid : modulesUuid);
}

QString accelerator(quint32 keyCode, quint32 modifiers)
{
    const QString key = keysymName(keyCode);
    if (key.isEmpty())
        return {};
    QString held;
    if (modifiers & KeyFormatter::controlMask)
        held += QStringLiteral("<Control>");
    if (modifiers & KeyFormatter::optionMask)
        held += QStringLiteral("<Alt>");
    if (modifiers & KeyFormatter::shiftMask)
        held += QStringLiteral("<Shift>");
    if (modifiers & KeyFormatter::commandMask)
        held += QStringLiteral("<Super>");
    return held + key;
}

void turnOn(QObject* context, std::function<void(bool)> done)
{
    QDBusMessage version =
        QDBusMessage::createMethodCall(QStringLiteral("org.gnome.Shell"), QStringLiteral("/org/gnome/Shell"),
                                       QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    version.setArguments({QStringLiteral("org.gnome.Shell"), QStringLiteral("ShellVersion")});
    callAsync(version, callTimeoutMs, context, [context, done = std::move(done)](const QDBusMessage& reply) {
        const QString shellVersion = reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()
            ? reply.arguments().constFirst().value<QDBusVariant>().variant().toString()
            : QString();
        const QString uuid = uuidFor(shellVersion);
        auto* process = new QProcess(context);
        QObject::connect(process, &QProcess::finished, context,
                         [process, done, uuid](int code, QProcess::ExitStatus status) {
                             process->deleteLater();
                             done((status == QProcess::NormalExit && code == 0) || enableInShellSettings(uuid));
                         });
        QObject::connect(process, &QProcess::errorOccurred, context,
                         [process, done, uuid](QProcess::ProcessError error) {
                             if (error != QProcess::FailedToStart)
                                 return;
                             process->deleteLater();
                             done(enableInShellSettings(uuid));
                         });
        process->start(QStringLiteral("gnome-extensions"), {QStringLiteral("enable"), uuid});
    });
}

void pointer(QObject* context, std::function<void(std::optional<QPoint>)> answer)
{
    callAsync(helperCall(QStringLiteral("GetPointer")), callTimeoutMs, context,
              [answer = std::move(answer)](const QDBusMessage& reply) {
                  const QVariantList values = reply.arguments();
                  if (reply.type() != QDBusMessage::ReplyMessage || values.size() != 2)
                      return answer(std::nullopt);
                  answer(QPoint(values[0].toInt(), values[1].toInt()));
              });
}

void placeWindow(qint64 pid, const QString& title, QPoint to, int margin, QObject* context,
                 std::function<void(std::optional<QPoint>)> answer)
{
    const QDBusMessage call =
        helperCall(QStringLiteral("PlaceWindow"), {uint(pid), title, to.x(), to.y(), uint(std::max(margin, 0))});
    callAsync(call, placeTimeoutMs, context, [answer = std::move(answer)](const QDBusMessage& reply) {
        const QVariantList values = reply.arguments();
        if (reply.type() != QDBusMessage::ReplyMessage || values.size() != 3 || !values[0].toBool())
            return answer(std::nullopt);
        answer(QPoint(values[1].toInt(), values[2].toInt()));
    });
}

void bindShortcut(const QString& name, const QString& accelerator)
{
    QDBusConnection::sessionBus().call(helperCall(QStringLiteral("BindShortcut"), {name, accelerator}), QDBus::NoBlock);
}

std::optional<QString> primary(int timeoutMs)
{
    const QDBusMessage reply =
        QDBusConnection::sessionBus().call(helperCall(QStringLiteral("GetPrimary")), QDBus::Block, timeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 1)
        return std::nullopt;
    return reply.arguments().constFirst().toString();
}

}
