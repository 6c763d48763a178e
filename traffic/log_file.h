// The log file: an image of one tag/data pair of the traffic buffer, the same for saved and
// automatic logs. Exactly 72004 bytes:
//   offset 0      4 bytes  stored length, int32 little-endian
//   offset 4      36000    tag plane
//   offset 36004  36000    data plane
// The planes are always written whole; only the first stored-length bytes mean anything.
#pragma once

#include "platform/atomic_file.h"
#include "traffic/traffic_planes.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string_view>

namespace kestrane {

inline constexpr std::size_t kLogHeaderSize = 4;
inline constexpr std::size_t kLogFileSize = kLogHeaderSize + 2 * static_cast<std::size_t>(kTrafficPlaneSize);

// Automatic logging never fills the disk: a page is written only while this much stays free on
// the log folder's file system after it. Once pages are held back, they are written again when
// the floor and the margin are free, so a disk at the edge does not switch on and off each page.
inline constexpr std::uint64_t kAutoLogFreeSpaceFloor = 64ULL << 20;  // 64 MiB
inline constexpr std::uint64_t kAutoLogResumeMargin = 16ULL << 20;    // 16 MiB

using PlaneView = std::span<const std::uint8_t, kTrafficPlaneSize>;
using MutablePlaneView = std::span<std::uint8_t, kTrafficPlaneSize>;

// Creates or overwrites `path` (through a temporary file renamed into place, so a failed write
// leaves the old file whole) with `length` and both planes. Fails, with the system's reason,
// when the file cannot be created or not every byte could be written.
[[nodiscard]] FileWriteResult writeLogFile(const std::filesystem::path& path, std::int32_t length,
                                           PlaneView tagPlane, PlaneView dataPlane);

// A stored length taken from a file is only trusted inside the plane: negative becomes 0 and
// anything above 36000 becomes 36000, so every index derived from it stays in the planes.
[[nodiscard]] std::int32_t clampStoredLength(std::int32_t length);

// Whether the bytes of a log file are a sound log, and if not the first thing wrong with them:
// fewer than the 4 bytes of the length (no log at all), not exactly 72004 bytes, a stored length
// outside 0..36000, or a stored byte with a tag other than '0' to '3'. The window's loader reads
// anything but the first (see readLogFile); the programs without a window refuse any of them.
struct LogSoundness {
    enum class Fault { None, NoLength, WrongSize, LengthOutsidePlane, UnknownTag };
    Fault fault = Fault::None;
    std::size_t fileSize = 0;        // NoLength, WrongSize
    std::int32_t storedLength = 0;   // LengthOutsidePlane
    std::int32_t index = 0;          // UnknownTag: the first such byte
    std::uint8_t tag = 0;            // ... and its tag
    [[nodiscard]] bool sound() const { return fault == Fault::None; }
};
[[nodiscard]] LogSoundness checkLog(std::span<const std::uint8_t> bytes);

// The same for the bytes of a log file already read (at most the first 72004 count).
[[nodiscard]] std::optional<std::int32_t> readLogBytes(std::span<const std::uint8_t> bytes,
                                                       MutablePlaneView tagPlane, MutablePlaneView dataPlane);

// Reads the 4-byte length, then up to 72000 bytes into the tag plane and on into the data plane
// (as one contiguous image). A short file loads what it holds and the rest of the planes keeps
// its previous content. Returns the (clamped) stored length, or nothing when the file cannot be
// opened or holds fewer than 4 bytes; in that case the planes are not touched.
[[nodiscard]] std::optional<std::int32_t> readLogFile(const std::filesystem::path& path,
                                                      MutablePlaneView tagPlane, MutablePlaneView dataPlane);

// <logDirectory>/<prefix><pageCounter>.log, the counter in decimal without leading zeros.
// Always a file directly inside logDirectory: a '/' of the prefix is written as '_'.
[[nodiscard]] std::filesystem::path autoLogPath(const std::filesystem::path& logDirectory,
                                                std::string_view prefix, std::int32_t pageCounter);

} // namespace kestrane
