// The one reader of numbers typed as text: dialog fields, character texts, macro operands and the
// number converter all read through it, each with its own rules written out where it reads.
// Without a width and with C white space, a sign and the int64 range it reads as strtoll does; in
// base 16 with the prefix rule as strtol does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string_view>

namespace kestrane {

struct NumberRules {
    // White space skipped before the number.
    enum class Blanks : std::uint8_t {
        None,
        SpaceTab,  // spaces and tabs
        C,         // as isspace() in the C locale: space, \t, \n, \v, \f, \r
    };

    int base = 10;  // 2..36; letters of either case are the digits above 9
    Blanks blanks = Blanks::C;
    bool sign = true;  // an optional + or - after the white space
    // "0x" (base 16), "0b" (base 2) or "0o" (base 8), of either case, after the sign; it counts
    // only when a digit (or, with `separators`, a separator) follows it, otherwise the 0 alone is read.
    bool prefix = false;
    bool separators = false;  // spaces and underscores among the digits are passed over
    std::size_t width = std::numeric_limits<std::size_t>::max();  // characters examined at most
    // Saturation: a value outside [min, max] is held at the nearer end.
    std::int64_t min = std::numeric_limits<std::int64_t>::min();
    std::int64_t max = std::numeric_limits<std::int64_t>::max();
};

struct NumberRead {
    std::int64_t value = 0;  // 0 when no digit was read
    // Where reading stopped: the index of the first character not taken (after the digits and any
    // separators among or after them); 0 when no digit was read, as strtol leaves its end pointer.
    std::size_t end = 0;
    bool digits = false;     // at least one digit was read
    bool saturated = false;  // the value was held at min or max
};

// The value of a digit in a base up to 36 (letters of either case above 9); 36 for any other character.
[[nodiscard]] constexpr int digitValue(char c) noexcept
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z')
        return c - 'A' + 10;
    return 36;
}

// Reads white space, a sign, a prefix and digits from the start of `text` by `rules`, stopping at
// the first character that is not a digit of the base (a NUL among them).
[[nodiscard]] NumberRead readNumber(std::string_view text, const NumberRules& rules) noexcept;

} // namespace kestrane
