// What the line's timeline needs of the settings: how long a character takes on a channel's
// line, and the quiet time that ends a frame when the user chose one. That choice is ours, not
// a field of the settings records, so it is kept in a small file of its own in the start folder:
// "timeline.conf" with the lines "ch1QuietUs=<microseconds>" and "ch2QuietUs=<microseconds>".
#pragma once

#include "platform/atomic_file.h"
#include "platform/comm_types.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace kestrane {

inline constexpr const char* kTimelineConfFile = "timeline.conf";
// The quiet times a user may choose: 1 µs to 10 s.
inline constexpr std::int64_t kMinQuietUs = 1;
inline constexpr std::int64_t kMaxQuietUs = 10'000'000;

struct TimelineSettings {
    std::array<std::optional<std::int64_t>, 2> quietUs;  // CH1, CH2; nothing: follow the line
};

// The settings a timeline.conf text holds; lines it does not know and values out of range are
// left out (the line's own rule then holds).
[[nodiscard]] TimelineSettings parseTimelineSettings(std::string_view text);
[[nodiscard]] std::string timelineSettingsText(const TimelineSettings& settings);
// Those kept in `folder`; none without a file.
[[nodiscard]] TimelineSettings loadTimelineSettings(const std::filesystem::path& folder);
// Keeps them in `folder` (written whole, or not at all).
FileWriteResult saveTimelineSettings(const std::filesystem::path& folder, const TimelineSettings& settings);

// Bits one character takes on the line: the start bit, the data bits, the parity bit when the
// line has one, the stop bits (one and a half count as two).
[[nodiscard]] int bitsPerCharacter(const Dcb& dcb);

} // namespace kestrane
