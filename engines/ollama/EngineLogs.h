#pragma once

#include <QString>

// The local engines' log files live in ~/.selvane/logs, a directory only the user can enter,
// never at fixed names in the shared /tmp where anyone could plant or read them.
namespace EngineLogs {

inline constexpr char managedEngine[] = "managed-ollama.log";
inline constexpr char userEngine[] = "ollama.log";

// The path of the named log file, its directory created or narrowed to mode 0700; empty when
// no such private directory can be had (the engine then runs without a log file).
QString file(const char* name);

}
