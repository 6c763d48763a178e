// The time stamp that time-stamped ASC stores in front of each received chunk, as ordinary data
// bytes of the chunk's tag: "<%dd%d:%d,%d>" on CH1, "<%dD%d:%d,%d>" on CH2 (day of the month,
// hour, minute, second, in decimal without leading zeros). Written by the traffic buffer, read
// back by whoever turns a log into text.
#pragma once

#include "platform/clock.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace kestrane {

// The longest stamp a calendar time gives: "<31d23:59,60>".
inline constexpr std::size_t kTimeStampMaxLength = 13;

struct TimeStampText {
    std::array<char, 64> chars{};  // room for any four ints, whatever a clock returns
    int length = 0;
    [[nodiscard]] std::string_view view() const { return {chars.data(), static_cast<std::size_t>(length)}; }
};

// The stamp of `time` on `channel` (1: 'd', any other: 'D').
[[nodiscard]] TimeStampText timeStampText(int channel, const CalendarTime& time);

struct TimeStamp {
    CalendarTime time;
    int length = 0;  // bytes of the stamp
};

// The stamp of `channel` that `bytes` start with: one or two digits per number, a day 1..31, an
// hour 0..23, a minute 0..59 and a second 0..60; nothing when they start with none.
[[nodiscard]] std::optional<TimeStamp> readTimeStamp(int channel, std::span<const std::uint8_t> bytes);

} // namespace kestrane
