// The number converter's arithmetic (dornex): one value shown in decimal, hexadecimal, binary
// and octal as a signed or unsigned integer of 8, 16 or 32 bits.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kestrane {

enum class Radix : int { Decimal = 10, Hex = 16, Binary = 2, Octal = 8 };

struct IntegerType {
    int bits = 16;          // 8, 16 or 32
    bool isSigned = false;

    [[nodiscard]] std::uint32_t mask() const { return bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1u; }
    [[nodiscard]] std::int64_t minimum() const;
    [[nodiscard]] std::int64_t maximum() const;
};

enum class ParseError { None, Empty, NotANumber, OutOfRange };

struct ParseResult {
    ParseError error = ParseError::None;
    std::uint32_t pattern = 0;  // the value's bits (only the type's low bits are used)
};

// Reads `text` in `radix`. Decimal is the value: it must lie in the type's range (a minus sign
// only for signed types). Hexadecimal, binary and octal are the bit pattern: any value that fits
// in the type's bits (so FF is -1 as a signed 8-bit number). Spaces and underscores between
// digits are ignored; 0x, 0b and 0o prefixes are accepted in their radix.
[[nodiscard]] ParseResult parseNumber(std::string_view text, Radix radix, IntegerType type);

// The pattern written in `radix`: decimal as the type reads it (signed or unsigned),
// hexadecimal with bits/4 digits, binary with `bits` digits in groups of four, octal as is.
[[nodiscard]] std::string formatNumber(std::uint32_t pattern, Radix radix, IntegerType type);

} // namespace kestrane
