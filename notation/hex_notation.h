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

// How a step of the notation read the text.
enum class HexStep : std::uint8_t {
    Quote,        // a quote that opens or closes a literal: nothing is sent
    Literal,      // one character inside quotes, sent as it stands
    Pair,         // two hexadecimal digits
    OneDigit,     // a digit and a character that is none: the digit's value
    NoDigit,      // a pair whose first character is no digit: 00
    DroppedLast,  // an odd last character outside quotes: nothing is sent
};

// Reads `text` in the notation, handing every step to `visit(kind, position, byte)` (position of
// its first character; byte 0 for Quote and DroppedLast); stops early when visit returns false.
// A quote of the other kind inside quotes is an ordinary character; outside quotes a quote
// counts only where a pair would start.
template <typename Step>
void scanHexNotation(std::string_view text, Step&& visit)
{
    enum class Quote { None, Double, Single };
    Quote quote = Quote::None;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        const std::size_t at = i;
        if (c == '"' && quote != Quote::Single) {
            quote = quote == Quote::Double ? Quote::None : Quote::Double;
            ++i;
            if (!visit(HexStep::Quote, at, std::uint8_t{0}))
                break;
            continue;
        }
        if (c == '\'' && quote != Quote::Double) {
            quote = quote == Quote::Single ? Quote::None : Quote::Single;
            ++i;
            if (!visit(HexStep::Quote, at, std::uint8_t{0}))
                break;
            continue;
        }
        if (quote != Quote::None) {
            ++i;
            if (!visit(HexStep::Literal, at, static_cast<std::uint8_t>(c)))
                break;
        } else if (i + 1 < text.size()) {
            const char second = text[i + 1];
            i += 2;
            const HexStep kind = hexDigitValue(c) < 0         ? HexStep::NoDigit
                                 : hexDigitValue(second) < 0 ? HexStep::OneDigit
                                                              : HexStep::Pair;
            if (!visit(kind, at, hexPairValue(c, second)))
                break;
        } else {
            visit(HexStep::DroppedLast, at, std::uint8_t{0});
            break;
        }
    }
}

// Hands every byte of `text` in the notation to `emit(byte)`; stops early when emit returns
// false. An odd last character outside quotes is dropped.
template <typename Emit>
void decodeHexNotation(std::string_view text, Emit&& emit)
{
    scanHexNotation(text, [&](HexStep kind, std::size_t, std::uint8_t byte) {
        return kind == HexStep::Quote || kind == HexStep::DroppedLast || emit(byte);
    });
}

} // namespace kestrane
