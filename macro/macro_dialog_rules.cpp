#include "macro/macro_dialog_rules.h"

#include <algorithm>
#include <fstream>

namespace kestrane {

std::optional<int> macroClockButtonFor(std::int32_t periodMs)
{
    for (const MacroClockChoice& c : kMacroClockChoices)
        if (c.periodMs == periodMs)
            return c.id;
    return std::nullopt;
}

std::int32_t macroClockAfterOk(std::optional<int> checkedId)
{
    if (checkedId)
        for (const MacroClockChoice& c : kMacroClockChoices)
            if (c.id == *checkedId)
                return c.periodMs;
    return kDefaultMacroClockMs;
}

int macroTimerPeriod(std::int32_t macroClockMs) { return std::clamp(macroClockMs, 1, 1000); }

std::optional<std::vector<std::uint8_t>> readMacroFile(const std::filesystem::path& path)
{
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec))
        return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::vector<std::uint8_t> bytes(kMacroTextSize);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
    return bytes;
}

bool macroDisplaySwitchAllowed(std::int32_t displayMode) { return displayMode == 0; }

} // namespace kestrane
