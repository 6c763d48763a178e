// The display's magnification (表示倍率): 100, 150 or 200 %. The whole display is drawn larger
// while every computation (cells, lines, limits, inspection) keeps its own units. It is a
// choice of ours, not a field of the settings records, so it is kept in a small file of its own
// in the start folder: "display.conf" with the line "zoom=<percent>".
#pragma once

#include <array>
#include <filesystem>
#include <string_view>

namespace kestrane {

inline constexpr std::array<int, 3> kZoomSteps = {100, 150, 200};
inline constexpr const char* kDisplayConfFile = "display.conf";

// `percent` when it is one of the steps, else 100.
[[nodiscard]] int validZoom(int percent);
// The next step up or down from `percent` (staying at the ends).
[[nodiscard]] int zoomStep(int percent, int direction);

// The magnification a display.conf text holds: its last line "zoom=<percent>" with a step, else 100.
[[nodiscard]] int parseZoom(std::string_view text);
// The magnification kept in `folder`; 100 without a file or with anything unreadable in it.
[[nodiscard]] int loadZoom(const std::filesystem::path& folder);
// Keeps `percent` in `folder` (written whole, or not at all); false when it cannot be written.
bool saveZoom(const std::filesystem::path& folder, int percent);

} // namespace kestrane
