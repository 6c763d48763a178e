// The fixed layout of the traffic record shared by the buffer and the log files.
#pragma once

#include <cstdint>

namespace kestrane {

// One plane holds the largest capacity the settings allow (600 x 60 bytes).
inline constexpr std::int32_t kTrafficPlaneSize = 36000;
// Planes 0/1: tags/data with automatic logging off; 2/3: page 0; 4/5: page 1.
inline constexpr std::int32_t kTrafficPlaneCount = 6;
inline constexpr std::int32_t kTrafficTotalSize = kTrafficPlaneSize * kTrafficPlaneCount;

// Tag bytes; the same digits are the display kinds handed to the display feed.
inline constexpr std::uint8_t kTagCh1Sent = '0';          // also CH2 received in the line-monitor modes
inline constexpr std::uint8_t kTagCh1Received = '1';
inline constexpr std::uint8_t kTagCh2Sent = '2';
inline constexpr std::uint8_t kTagCh2Received = '3';      // CH2 as a second independent port

} // namespace kestrane
