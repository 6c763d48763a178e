// The traffic buffer's own copy of the settings it uses. The GUI edits the settings records;
// the receive threads must not read them while that happens, so the GUI pushes this copy into
// the buffer (TrafficBuffer::configure) whenever a relevant setting or the display speed changes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace kestrane {

struct Settings;

struct TrafficConfig {
    std::int32_t bufferSize = 600;        // capacity = bufferSize x 60
    std::int32_t displayMode = 0;         // 0 ASC, 1 HEX, 2 time-stamped ASC
    std::int32_t ch2Mode = 0;             // 0 unused, 1 independent port, 3/7 line monitor
    std::int32_t showSentText = 1;        // 0: sent messages are not recorded
    std::int32_t autoLogging = 0;         // 1: two alternating pages, full pages go to log files
    std::string autoLogPrefix = "Log";
    std::int32_t idleClockFactor = 10;
    std::int32_t idleRedisplayCount = 1;
    std::int32_t trafficDisplayCount = 1;
    bool fastDisplay = false;
    // Folder of the automatic logs ("log" below the start directory). Empty: no folder, so
    // automatic logs are never written.
    std::filesystem::path logDirectory;

    bool operator==(const TrafficConfig&) const = default;
};

[[nodiscard]] TrafficConfig trafficConfigFrom(const Settings& settings, bool fastDisplay,
                                              const std::filesystem::path& startDirectory);

} // namespace kestrane
