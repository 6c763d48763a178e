#include "companions/number_convert.h"

#include "notation/number_reader.h"

#include <cctype>

namespace kestrane {

namespace {

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

    // The whole text must be the number; a value beyond 64 bits is held there, out of every range.
    NumberRules rules;
    rules.base = static_cast<int>(radix);
    rules.blanks = NumberRules::Blanks::None;
    rules.sign = radix == Radix::Decimal;
    rules.prefix = true;
    rules.separators = true;
    const NumberRead read = readNumber(text, rules);
    if (!read.digits || read.end != text.size())
        return {ParseError::NotANumber, 0};

    if (radix == Radix::Decimal) {
        if (read.value < type.minimum() || read.value > type.maximum())
            return {ParseError::OutOfRange, 0};
        return {ParseError::None, static_cast<std::uint32_t>(static_cast<std::uint64_t>(read.value) & type.mask())};
    }
    if (read.value > static_cast<std::int64_t>(type.mask()))
        return {ParseError::OutOfRange, 0};
    return {ParseError::None, static_cast<std::uint32_t>(read.value)};
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
