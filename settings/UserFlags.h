#pragma once

#include <QString>

// The per-user preference flags kept apart from config.json: small facts about what the user has
// already been told. They live in one QSettings file under the home directory
// (~/.config/quillo/quillo.conf), placed from HomeDir like every other file of the program.
namespace UserFlags {

inline constexpr char autoSwitchedToExternalNotified[] = "autoSwitchedToExternalNotified";
inline constexpr char upgradeAXPrompted[] = "upgradeAXPrompted";
inline constexpr char lastNotifiedUpdateVersion[] = "lastNotifiedUpdateVersion";

QString path();

bool isSet(const char* key);
void set(const char* key, bool value);

// Sets the flag and tells whether it was unset before: true exactly once per user account.
bool claim(const char* key);

QString text(const char* key);
void setText(const char* key, const QString& value);

}
