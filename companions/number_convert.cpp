#include "companions/number_convert.h"

#include <cctype>

namespace kestrane {

namespace {

int digitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z')
        return c - 'A' + 10;
    return 99;
}

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return s;
}

} // namespace

std::int64_t IntegerType::minimum() const
{
    return isSigned ? -(std::int64_t{1} << (bits - 1)) : 0;
}

std::int64_t IntegerType::maximum() const
{
    return isSigned ? (std::int64_t{1} << (bits - 1)) - 1 : (std::int64_t{1} << bits) - 1;
}

ParseResult parseNumber(std::string_view text, Radix radix, IntegerType type)
{
    text = trimmed(text);
    if (text.empty())
        return {ParseError::Empty, 0};

    bool negative = false;
    if (radix == Radix::Decimal && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.size() > 2 && text[0] == '0') {
        const char p = static_cast<char>(std::tolower(static_cast<unsigned char>(text[1])));
        if ((radix == Radix::Hex && p == 'x') || (radix == Radix::Binary && p == 'b') || (radix == Radix::Octal && p == 'o'))
            text.remove_prefix(2);
    }

    const int base = static_cast<int>(radix);
    std::uint64_t magnitude = 0;
    bool anyDigit = false;
    bool tooBig = false;
    for (const char c : text) {
        if (c == ' ' || c == '_')
            continue;
        const int d = digitValue(c);
        if (d >= base)
            return {ParseError::NotANumber, 0};
        anyDigit = true;
        magnitude = magnitude * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(d);
        if (magnitude > 0xFFFFFFFFull + 1) {
            // Saturate: out of every range, and no overflow however many digits follow.
            tooBig = true;
            magnitude = 0xFFFFFFFFull + 2;
        }
    }
    if (!anyDigit)
        return {ParseError::NotANumber, 0};
    if (tooBig)
        return {ParseError::OutOfRange, 0};

    if (radix == Radix::Decimal) {
        const std::int64_t value = negative ? -static_cast<std::int64_t>(magnitude) : static_cast<std::int64_t>(magnitude);
        if (value < type.minimum() || value > type.maximum())
            return {ParseError::OutOfRange, 0};
        return {ParseError::None, static_cast<std::uint32_t>(static_cast<std::uint64_t>(value) & type.mask())};
    }
    if (magnitude > type.mask())
        return {ParseError::OutOfRange, 0};
    return {ParseError::None, static_cast<std::uint32_t>(magnitude)};
}

std::string formatNumber(std::uint32_t pattern, Radix radix, IntegerType type)
{
    pattern &= type.mask();
    if (radix == Radix::Decimal) {
        std::int64_t value = pattern;
        if (type.isSigned && (pattern >> (type.bits - 1)) != 0)
            value -= std::int64_t{1} << type.bits;
        return std::to_string(value);
    }
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    if (radix == Radix::Hex) {
        for (int shift = type.bits - 4; shift >= 0; shift -= 4)
            out.push_back(kDigits[(pattern >> shift) & 0xF]);
    } else if (radix == Radix::Binary) {
        for (int bit = type.bits - 1; bit >= 0; --bit) {
            out.push_back((pattern >> bit) & 1u ? '1' : '0');
            if (bit % 4 == 0 && bit != 0)
                out.push_back(' ');
        }
    } else {
        do {
            out.insert(out.begin(), kDigits[pattern & 7u]);
            pattern >>= 3;
        } while (pattern != 0);
    }
    return out;
}

} // namespace kestrane
