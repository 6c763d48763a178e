// Shift-JIS (code page 932) byte classes, shared by the display logic and the text conversions.
#pragma once

#include <cstdint>

namespace kestrane {

// A Shift-JIS lead byte: it pairs with the byte after it.
[[nodiscard]] constexpr bool isShiftJisLead(std::uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

} // namespace kestrane
