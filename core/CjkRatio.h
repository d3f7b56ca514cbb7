#pragma once

#include <algorithm>
#include <iterator>

#include <QStringView>

#include "core/ActionKey.h"

// Share of CJK characters (Han, kana, Hangul syllables) among the letters of a text. An empty or
// letter-less text gives 1.0, so digits and punctuation are never taken as foreign.
double cjkLetterRatio(QStringView text);

// Text whose CJK share is below this is foreign: "auto" translates it into Chinese, and the
// popup offers Translate first.
inline constexpr double foreignTextRatioLimit = 0.3;

inline bool isForeignText(QStringView text)
{
    return cjkLetterRatio(text) < foreignTextRatioLimit;
}

// For foreign text, moves the first translate action to the front; the others keep their order.
template <typename Actions, typename KeyOf>
void putTranslateFirstForForeignText(Actions& actions, QStringView text, KeyOf keyOf)
{
    if (!isForeignText(text))
        return;
    const auto translate = std::find_if(std::begin(actions), std::end(actions),
                                        [&](const auto& action) { return keyOf(action) == ActionKey::translate; });
    if (translate != std::end(actions))
        std::rotate(std::begin(actions), translate, std::next(translate));
}
