#include "settings/dialog_values.h"

#include <cstdio>
#include <limits>

namespace kestrane {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

} // namespace

std::int64_t decimalValue(std::string_view text) noexcept
{
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    constexpr std::uint64_t kLimit = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    std::uint64_t magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const auto digit = static_cast<std::uint64_t>(text[i] - '0');
        if (magnitude > (kLimit - digit) / 10) {
            magnitude = kLimit + (negative ? 1 : 0);
            break;
        }
        magnitude = magnitude * 10 + digit;
    }
    if (negative)
        return magnitude > kLimit ? std::numeric_limits<std::int64_t>::min() : -static_cast<std::int64_t>(magnitude);
    return static_cast<std::int64_t>(magnitude);
}

std::int32_t decimalInt32(std::string_view text) noexcept
{
    const std::int64_t v = decimalValue(text);
    if (v > std::numeric_limits<std::int32_t>::max())
        return std::numeric_limits<std::int32_t>::max();
    if (v < std::numeric_limits<std::int32_t>::min())
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(v);
}

std::uint32_t decimalUint32(std::string_view text) noexcept
{
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(decimalValue(text)) & 0xFFFFFFFFu);
}

std::uint32_t hexValue(std::string_view text) noexcept
{
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    std::uint64_t v = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        unsigned digit = 0;
        if (c >= '0' && c <= '9')
            digit = static_cast<unsigned>(c - '0');
        else if (c >= 'a' && c <= 'f')
            digit = static_cast<unsigned>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            digit = static_cast<unsigned>(c - 'A' + 10);
        else
            break;
        v = v * 16 + digit;
        if (v > 0xFFFFFFFFu)
            return 0xFFFFFFFFu;
    }
    return static_cast<std::uint32_t>(v);
}

std::string hexText(std::uint32_t value)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%x", value);
    return buf;
}

} // namespace kestrane
