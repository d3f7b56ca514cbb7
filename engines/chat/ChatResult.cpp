#include "engines/chat/ChatResult.h"

QString ChatResult::description() const
{
    if (!failure)
        return {};
    return std::visit(
        [](const auto& error) -> QString {
            if constexpr (std::is_same_v<std::decay_t<decltype(error)>, Cancelled>)
                return {};
            else
                return error.description();
        },
        *failure);
}
