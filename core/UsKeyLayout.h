#pragma once

#include "platform/KeyLayout.h"

// The answer of a US keyboard, used until the session's layout is known.
class UsKeyLayout final : public KeyLayout {
public:
    QString characterFor(quint32 keyCode) const override;
};
