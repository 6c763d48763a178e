#include "settings/dialog_values.h"

#include "notation/number_reader.h"

#include <cstdio>
#include <limits>

namespace kestrane {

std::int64_t decimalValue(std::string_view text) noexcept { return readNumber(text, NumberRules{}).value; }

std::int32_t decimalInt32(std::string_view text) noexcept
{
    NumberRules rules;
    rules.min = std::numeric_limits<std::int32_t>::min();
    rules.max = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(readNumber(text, rules).value);
}

std::uint32_t decimalUint32(std::string_view text) noexcept
{
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(decimalValue(text)) & 0xFFFFFFFFu);
}

std::uint32_t hexValue(std::string_view text) noexcept
{
    NumberRules rules;
    rules.base = 16;
    rules.sign = false;
    rules.min = 0;
    rules.max = 0xFFFFFFFF;
    return static_cast<std::uint32_t>(readNumber(text, rules).value);
}

std::string hexText(std::uint32_t value)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%x", value);
    return buf;
}

} // namespace kestrane
