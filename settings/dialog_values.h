// How the settings dialogs read and write numbers in their edit fields: decimal as leading digits
// with an optional sign (no digits gives 0), characters as leading hexadecimal digits in either
// case, written back in lower case without prefix or padding.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kestrane {

// Leading blanks, an optional sign, then decimal digits; anything after them is ignored. No
// digits gives 0. Values beyond 64 bits are held at the largest (smallest) value.
[[nodiscard]] std::int64_t decimalValue(std::string_view text) noexcept;
// The same, held inside the 32-bit signed range (the fields the settings store as i32).
[[nodiscard]] std::int32_t decimalInt32(std::string_view text) noexcept;
// The same, as the low 32 bits (so -1 gives 0xFFFFFFFF, the "no limit" of the time-outs).
[[nodiscard]] std::uint32_t decimalUint32(std::string_view text) noexcept;

// Leading blanks, then hexadecimal digits of either case; no digits gives 0. Values beyond 32
// bits are held at 0xFFFFFFFF.
[[nodiscard]] std::uint32_t hexValue(std::string_view text) noexcept;

// "%x": lower case, no prefix, no padding ("d" for a carriage return, "11" for XON).
[[nodiscard]] std::string hexText(std::uint32_t value);

// The shortest period of a window timer: shorter (and zero or negative) periods are raised to it,
// as the system's timer service does, so a timer never spins.
inline constexpr int kShortestTimerMs = 10;
[[nodiscard]] constexpr int timerPeriodMs(std::int64_t requested) noexcept
{
    if (requested < kShortestTimerMs)
        return kShortestTimerMs;
    return requested > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(requested);
}

} // namespace kestrane
