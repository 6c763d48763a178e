// Shift-JIS (code page 932) byte classes, shared by the display logic and the text conversions.
#pragma once

#include <cstdint>

namespace kestrane {

// A Shift-JIS lead byte: it pairs with the byte after it.
[[nodiscard]] constexpr bool isShiftJisLead(std::uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// Tables of every pair have a row per lead byte: the lead bytes in order, 0 .. 59.
inline constexpr int kShiftJisLeadCount = 60;
[[nodiscard]] constexpr int shiftJisLeadIndex(std::uint8_t lead)
{
    return lead <= 0x9F ? lead - 0x81 : lead - 0xE0 + 31;
}

} // namespace kestrane
