#include "notation/number_reader.h"

namespace kestrane {

namespace {

bool isBlank(char c, NumberRules::Blanks blanks) noexcept
{
    switch (blanks) {
    case NumberRules::Blanks::None: return false;
    case NumberRules::Blanks::SpaceTab: return c == ' ' || c == '\t';
    case NumberRules::Blanks::C: return c == ' ' || (c >= '\t' && c <= '\r');
    }
    return false;
}

char prefixLetter(int base) noexcept
{
    switch (base) {
    case 16: return 'x';
    case 2: return 'b';
    case 8: return 'o';
    default: return 0;
    }
}

} // namespace

NumberRead readNumber(std::string_view text, const NumberRules& rules) noexcept
{
    if (text.size() > rules.width)
        text = text.substr(0, rules.width);
    const auto base = static_cast<unsigned>(rules.base);
    const auto inBase = [base](char c) { return static_cast<unsigned>(digitValue(c)) < base; };
    const auto isSeparator = [&rules](char c) { return rules.separators && (c == ' ' || c == '_'); };

    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i], rules.blanks))
        ++i;
    bool negative = false;
    if (rules.sign && i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const char letter = prefixLetter(rules.base);
    if (rules.prefix && letter != 0 && i + 2 < text.size() && text[i] == '0' && (text[i + 1] | 0x20) == letter
        && (inBase(text[i + 2]) || isSeparator(text[i + 2])))
        i += 2;

    // The magnitude is held at the limit of its side, so no number of digits overflows it.
    const std::uint64_t limit = negative ? (rules.min < 0 ? 0 - static_cast<std::uint64_t>(rules.min) : 0)
                                         : (rules.max > 0 ? static_cast<std::uint64_t>(rules.max) : 0);
    NumberRead read;
    std::uint64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        if (isSeparator(text[i]))
            continue;
        if (!inBase(text[i]))
            break;
        read.digits = true;
        const auto digit = static_cast<std::uint64_t>(digitValue(text[i]));
        if (magnitude > limit / base || digit > limit - magnitude * base) {
            magnitude = limit;
            read.saturated = true;
        } else {
            magnitude = magnitude * base + digit;
        }
    }
    if (!read.digits)
        return {};
    read.end = i;
    read.value = negative ? static_cast<std::int64_t>(0 - magnitude) : static_cast<std::int64_t>(magnitude);
    // A side the range does not reach (a minus sign with min above 0): held at the nearer end.
    if (read.value < rules.min || read.value > rules.max) {
        read.value = read.value < rules.min ? rules.min : rules.max;
        read.saturated = true;
    }
    return read;
}

} // namespace kestrane
