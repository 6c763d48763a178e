// The hex send notation: hexadecimal pairs outside quotes, literal characters inside double or
// single quotes. The send dialogs, the macros and the HEX search all read typed text this way.
#pragma once

#include "notation/number_reader.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kestrane {

// Value of a hexadecimal digit, -1 for any other character.
constexpr int hexDigitValue(char c) noexcept
{
    const int value = digitValue(c);
    return value < 16 ? value : -1;
}

// One pair read as strtol("0x" + pair, nullptr, 16) reads it: two digits give their value, a
// digit followed by anything else gives that digit, and a first character that is no digit
// gives 0 (strtol then stops at the x of the prefix).
constexpr std::uint8_t hexPairValue(char first, char second) noexcept
{
    const int high = hexDigitValue(first);
    if (high < 0)
        return 0;
    const int low = hexDigitValue(second);
    return static_cast<std::uint8_t>(low < 0 ? high : high * 16 + low);
}

// Hands every byte of `text` in the notation to `emit(byte)`; stops early when emit returns
// false. A quote of the other kind inside quotes is an ordinary character; outside quotes a
// quote counts only where a pair would start; an odd last character outside quotes is dropped.
template <typename Emit>
void decodeHexNotation(std::string_view text, Emit&& emit)
{
    enum class Quote { None, Double, Single };
    Quote quote = Quote::None;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '"' && quote != Quote::Single) {
            quote = quote == Quote::Double ? Quote::None : Quote::Double;
            ++i;
            continue;
        }
        if (c == '\'' && quote != Quote::Double) {
            quote = quote == Quote::Single ? Quote::None : Quote::Single;
            ++i;
            continue;
        }
        std::uint8_t byte = 0;
        if (quote != Quote::None) {
            byte = static_cast<std::uint8_t>(c);
            ++i;
        } else if (i + 1 < text.size()) {
            byte = hexPairValue(c, text[i + 1]);
            i += 2;
        } else {
            break;
        }
        if (!emit(byte))
            break;
    }
}

} // namespace kestrane
