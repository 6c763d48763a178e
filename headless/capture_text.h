// Captures (.pcapng) for kestrane-log: a capture as text, and a log page (.LOG) as a capture.
//
// As text, one packet is one row (continued on further rows past the width), its time to the
// resolution the file holds (microseconds for Kestrane's captures), local time:
//   # CH1 = COM3: /dev/ttyUSB0                       one line per interface
//   2025-06-15 12:34:56.123456 CH1 SEND |...           bytes sent (ASC, or HEX with --hex)
//   2025-06-15 12:34:56.143602 CH2 READ |...           bytes received
//   2025-06-15 12:34:56.150000 CH2 LINE |parity error; lines CTS DSR RTS DTR
// CHn is the file's n-th interface. Events of the serial link type (line errors, modem-line
// changes, losses) are LINE rows with the control lines of their moment. The time form puts the
// interval since the packet before after the time ("+0.020113"). CSV:
// "time,channel,direction,bytes,event,lines", one row per packet.
//
// A log page as a capture: interfaces CH1 and CH2 (serial link type), one packet per run of
// bytes of one channel and direction, a new packet at each time stamp. Times are no finer than
// the log holds: a log saved in the time-stamped mode gives each packet the time of the stamp
// before it (to the second; the interfaces say so with a resolution of one second), the year
// and month taken from when the file was saved; a log without stamps has no times (all 0,
// 1970-01-01). The stamps themselves are not line bytes and are left out of the packets.
#pragma once

#include "capture/pcapng.h"
#include "headless/log_text.h"

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kestrane::headless {

// Whether the bytes begin as a pcapng file (a section header's type).
[[nodiscard]] bool looksLikeCapture(std::span<const std::uint8_t> head);

// A whole capture, or why the bytes are not one (the reader's offset and reason).
struct CaptureRead {
    std::optional<pcapng::File> file;
    std::string error;  // a sentence without the file's name
};
[[nodiscard]] CaptureRead parseCapture(std::span<const std::uint8_t> bytes);
[[nodiscard]] CaptureRead readCapture(const std::filesystem::path& path);
// Captures larger than this are refused rather than read into memory whole.
inline constexpr std::uintmax_t kMaxCaptureFileSize = std::uintmax_t{2} << 30;

[[nodiscard]] std::string captureText(const pcapng::File& file, const LogTextOptions& options);

struct LogCaptureOptions {
    bool monitor = false;  // the log was recorded as a line monitor: tag '0' is what CH2 received
    std::string source;    // the log's name, for the interfaces' descriptions
    // When the file was saved (seconds since 1970): the stamps hold day and time only, the
    // latest stamp lies on or before this moment. Without it the stamps are not used.
    std::optional<std::time_t> savedAt;
};
[[nodiscard]] std::vector<std::uint8_t> logCapture(const LogImage& log, const LogCaptureOptions& options);

} // namespace kestrane::headless
