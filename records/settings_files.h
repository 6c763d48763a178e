// The four settings files: Quellorn.dat (general settings and the PDF reader), Quellorn1.dat
// (line parameters of both channels), Quellorn2.dat (sampling and automatic logging) and
// draw_size.dat (the frame size at start-up). Raw little-endian images, no header.
#pragma once

#include "platform/atomic_file.h"
#include "records/settings_records.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <span>

namespace kestrane {

inline constexpr std::size_t kQuellornSize = 566;
inline constexpr std::size_t kQuellorn1Size = 216;
inline constexpr std::size_t kQuellorn2Size = SamplingSettings::kSize;
inline constexpr std::size_t kDrawSizeSize = 4;

inline constexpr const char* kQuellornFile = "Quellorn.dat";
inline constexpr const char* kQuellorn1File = "Quellorn1.dat";
inline constexpr const char* kQuellorn2File = "Quellorn2.dat";
inline constexpr const char* kDrawSizeFile = "draw_size.dat";

// Byte images of the records.
void writeSettingsRecord(const SettingsRecord& r, std::span<std::uint8_t, SettingsRecord::kSize> out);
SettingsRecord readSettingsRecord(std::span<const std::uint8_t, SettingsRecord::kSize> in);
void writeLineParams(const LineParams& p, std::span<std::uint8_t, LineParams::kSize> out);
LineParams readLineParams(std::span<const std::uint8_t, LineParams::kSize> in);
void writeSamplingSettings(const SamplingSettings& s, std::span<std::uint8_t, SamplingSettings::kSize> out);
SamplingSettings readSamplingSettings(std::span<const std::uint8_t, SamplingSettings::kSize> in);

// File images.
std::array<std::uint8_t, kQuellornSize> quellornImage(const Settings& s);
std::array<std::uint8_t, kQuellorn1Size> quellorn1Image(const LineParams& p);
// Restores line parameters from the bytes of a Quellorn1.dat; a short file restores only the
// bytes it has, the others keep their values.
void applyQuellorn1Bytes(LineParams& p, std::span<const std::uint8_t> fileBytes);

// Load-time checks of the general settings (range corrections, then the event-mask rule).
void applyLoadTimeChecks(SettingsRecord& r);
// The start-up display rule; returns the initial display speed: 1 fast, 0 low speed (also for
// a damaged fastDisplayAtStart other than 0 or 1, which it stores back as 0).
int applyStartupDisplayRule(SettingsRecord& r);

// Loading from the bytes of a file (what the file loaders below do once the file is read): the
// bytes past the record are ignored and the bytes a short file lacks keep the rules of each file.
void loadQuellornBytes(Settings& s, std::span<const std::uint8_t> bytes);
void loadQuellorn2Bytes(Settings& s, std::span<const std::uint8_t> bytes);
void loadDrawSizeBytes(Settings& s, std::span<const std::uint8_t> bytes);

// Loading from `dir`. Each returns false when the file does not open; the defaults are then in place.
// loadQuellorn applies the defaults when missing, the text-length rules when read, and always the
// load-time checks (the display rule is separate).
bool loadQuellorn(Settings& s, const std::filesystem::path& dir);
bool loadQuellorn1(Settings& s, const std::filesystem::path& dir);
bool loadQuellorn2(Settings& s, const std::filesystem::path& dir);
bool loadDrawSize(Settings& s, const std::filesystem::path& dir);

// Writing into `dir`, each file through a temporary file renamed into place (a failed write leaves
// the old file whole). A file that cannot be written is skipped, with the system's reason.
[[nodiscard]] FileWriteResult saveQuellorn(const Settings& s, const std::filesystem::path& dir);
[[nodiscard]] FileWriteResult saveQuellorn1(const Settings& s, const std::filesystem::path& dir);
[[nodiscard]] FileWriteResult saveQuellorn2(const Settings& s, const std::filesystem::path& dir);
[[nodiscard]] FileWriteResult saveDrawSize(const Settings& s, const std::filesystem::path& dir);

} // namespace kestrane
