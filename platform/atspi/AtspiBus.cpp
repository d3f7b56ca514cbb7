#include "platform/atspi/AtspiBus.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <gio/gio.h>

namespace {

constexpr int callTimeoutMs = 2000;
constexpr auto busName = "org.a11y.Bus";
constexpr auto busPath = "/org/a11y/bus";
constexpr auto statusInterface = "org.a11y.Status";

// The reply of a call on the launcher, or null.
GVariant* callLauncher(const char* interface, const char* method, GVariant* parameters, const GVariantType* replyType)
{
    GVariant* owned = parameters ? g_variant_ref_sink(parameters) : nullptr;
    GDBusConnection* connection =
        AtspiBus::sessionBusKnown() ? g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr) : nullptr;
    GVariant* reply = connection
        ? g_dbus_connection_call_sync(connection, busName, busPath, interface, method, owned, replyType,
                                      G_DBUS_CALL_FLAGS_NONE, callTimeoutMs, nullptr, nullptr)
        : nullptr;
    if (connection)
        g_object_unref(connection);
    if (owned)
        g_variant_unref(owned);
    return reply;
}

void keepOnInGnome()
{
    if (!qgetenv("XDG_CURRENT_DESKTOP").toUpper().contains("GNOME"))
        return;
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    GSettingsSchema* schema =
        source ? g_settings_schema_source_lookup(source, "org.gnome.desktop.interface", TRUE) : nullptr;
    if (!schema)
        return;
    if (g_settings_schema_has_key(schema, "toolkit-accessibility")) {
        GSettings* settings = g_settings_new_full(schema, nullptr, nullptr);
        g_settings_set_boolean(settings, "toolkit-accessibility", TRUE);
        g_settings_sync();
        g_object_unref(settings);
    }
    g_settings_schema_unref(schema);
}

}

namespace AtspiBus {

bool sessionBusKnown()
{
    const QByteArray runtimeDir = qgetenv("XDG_RUNTIME_DIR");
    return qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS")
        || (!runtimeDir.isEmpty() && QFile::exists(QString::fromLocal8Bit(runtimeDir + "/bus")));
}

bool ensureRunning()
{
    GVariant* reply = callLauncher(busName, "GetAddress", nullptr, G_VARIANT_TYPE("(s)"));
    if (reply)
        g_variant_unref(reply);
    return reply != nullptr;
}

bool isEnabled()
{
    GVariant* reply = callLauncher("org.freedesktop.DBus.Properties", "Get",
                                   g_variant_new("(ss)", statusInterface, "IsEnabled"), G_VARIANT_TYPE("(v)"));
    if (!reply)
        return false;
    GVariant* value = nullptr;
    g_variant_get(reply, "(v)", &value);
    const bool enabled = value && g_variant_is_of_type(value, G_VARIANT_TYPE_BOOLEAN) && g_variant_get_boolean(value);
    if (value)
        g_variant_unref(value);
    g_variant_unref(reply);
    return enabled;
}

bool enable()
{
    GVariant* reply =
        callLauncher("org.freedesktop.DBus.Properties", "Set",
                     g_variant_new("(ssv)", statusInterface, "IsEnabled", g_variant_new_boolean(TRUE)), nullptr);
    if (reply)
        g_variant_unref(reply);
    keepOnInGnome();
    return isEnabled();
}

}
