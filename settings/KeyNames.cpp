#include "settings/KeyNames.h"

#include "settings/L10n.h"

QString interfaceKeyName(KeyFormatter::WordKey key)
{
    switch (key) {
    case KeyFormatter::WordKey::enter: return L10n::t("key.return");
    case KeyFormatter::WordKey::space: return L10n::t("key.space");
    case KeyFormatter::WordKey::backspace: return L10n::t("key.backspace");
    }
    return {};
}
