#pragma once

#include <QString>

// The three actions are named by these Chinese words everywhere (prompts, option rows, popup
// actions, knowledge entries, profile injection), whatever the interface language.
namespace ActionKey {

inline const QString explain = QStringLiteral("解释");
inline const QString translate = QStringLiteral("翻译");
inline const QString rewrite = QStringLiteral("改写");

}
