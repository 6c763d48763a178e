// The line's timeline in words, for the programs without a window: one line for each entry that
// is not data, "<time> CH<n> <kind> <detail>", the time in ISO 8601 with microseconds and the
// local offset. `record` positions count every byte recorded since the start (all pages).
#pragma once

#include "timeline/journal.h"

#include <cstdint>
#include <string>

namespace kestrane::headless {

// "2026-12-08T14:05:07.123456+09:00"
[[nodiscard]] std::string isoTime(std::int64_t wallUs);
// "CH1 modem CTS=1 DSR=1 RI=0 DCD=0 changed CTS" and the like, without the time; empty for data.
[[nodiscard]] std::string entryText(const timeline::Entry& entry);
// The time and the text.
[[nodiscard]] std::string entryLine(const timeline::Entry& entry);

} // namespace kestrane::headless
