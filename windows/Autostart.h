#pragma once

#include <QString>

// "Start Quillo when I log in": an XDG autostart entry in the user's configuration directory
// ($XDG_CONFIG_HOME/autostart, else ~/.config/autostart). The entry's presence is the setting;
// an entry of the name used before the application id (quillo.desktop) counts too and is
// replaced by the next change.
namespace Autostart {

QString entryPath();
QString formerEntryPath();
bool isEnabled();
// Writes the entry (atomically, starting `program`) or removes it; false when that failed.
bool setEnabled(bool enabled, const QString& program);

}
