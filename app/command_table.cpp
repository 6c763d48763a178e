#include "app/command_table.h"

namespace kestrane {

void CommandTable::add(int id, Handler handler, EnableTest enabled)
{
    rows_[id] = Row{std::move(handler), std::move(enabled)};
}

bool CommandTable::hasHandler(int id) const
{
    const auto it = rows_.find(id);
    return it != rows_.end() && it->second.handler;
}

bool CommandTable::isEnabled(int id) const
{
    const auto it = rows_.find(id);
    if (it == rows_.end() || !it->second.handler)
        return false;
    if (it->second.enabled)
        return it->second.enabled();
    return rule_ ? rule_(id).value_or(true) : true;
}

bool CommandTable::dispatch(int id) const
{
    const auto it = rows_.find(id);
    if (it == rows_.end() || !it->second.handler)
        return false;
    it->second.handler();
    return true;
}

std::optional<bool> CommandTable::checked(int id) const
{
    const auto it = checks_.find(id);
    if (it == checks_.end() || !it->second)
        return std::nullopt;
    return it->second();
}

} // namespace kestrane
