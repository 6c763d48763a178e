// A log file as text, for grep, diff and spreadsheets: why a file is not a sound log, in words
// (checkLog, traffic/log_file.h, finds it), and the display's forms (ASC, HEX, time-stamped ASC)
// and CSV.
//
// The forms are drawn by the display's own rules (drawByte): byte i lies in cell i % width of
// display line i / width, a Shift-JIS pair shows as one character in its lead byte's cell, a
// control byte as its control picture (a space as a space), HEX as two digits. Each display
// line becomes one text row per tag it holds, upper rows first as in the window:
//   00000 CH1 SEND |...     tag '0' (in the line-monitor modes: CH2 2chR, what CH2 received)
//   00000 CH2 SEND |...     tag '2', red in the window
//   00000 CH1 READ |...     tag '1' (line monitor: CH1 1chR)
//   00000 CH2 READ |...     tag '3', red in the window
// The number is the index of the line's first byte. With colour, CH2's cells are red.
// Time-stamped ASC also starts a new line at every time stamp, so each stamped chunk begins one.
// CSV: "time,channel,direction,bytes": one row per run of one tag (at most 100 bytes, a new
// row at each time stamp), the stamp's day and time in the time column, the bytes in hex.
#pragma once

#include "traffic/time_stamp.h"
#include "traffic/traffic_planes.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace kestrane::headless {

struct LogImage {
    std::int32_t length = 0;
    std::array<std::uint8_t, kTrafficPlaneSize> tags{};
    std::array<std::uint8_t, kTrafficPlaneSize> data{};
};

// A whole log (72004 bytes, a stored length within the planes, a known tag for every stored
// byte), or why the bytes are not one.
struct LogRead {
    std::unique_ptr<LogImage> image;
    std::string error;  // a sentence about the damage, without the file's name
};
[[nodiscard]] LogRead parseLog(std::span<const std::uint8_t> bytes);
[[nodiscard]] LogRead readLog(const std::filesystem::path& path);

enum class LogForm { Asc, Hex, Time, Csv };

struct LogTextOptions {
    LogForm form = LogForm::Asc;
    int width = 64;        // cells per display line (1..1000)
    bool monitor = false;  // the log was recorded in a line-monitor mode: tag '0' is what CH2 received
    bool colour = false;   // CH2's cells in red (ANSI), as the window draws them
};

[[nodiscard]] std::string logText(const LogImage& log, const LogTextOptions& options);

// A time stamp (traffic/time_stamp.h) of CH1 (tag '1') or CH2 (tags '0' and '3') starting at
// `index` of the stored bytes, all of the tag of its first byte: its length, or 0 when none starts there.
[[nodiscard]] int timeStampAt(const LogImage& log, std::int32_t index);
// That time stamp itself (its length 0 when none starts there).
[[nodiscard]] TimeStamp logTimeStamp(const LogImage& log, std::int32_t index);

} // namespace kestrane::headless
