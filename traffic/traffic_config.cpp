#include "traffic/traffic_config.h"

#include "records/settings_records.h"

namespace kestrane {

TrafficConfig trafficConfigFrom(const Settings& settings, bool fastDisplay,
                                const std::filesystem::path& startDirectory)
{
    const SettingsRecord& r = settings.record;
    TrafficConfig c;
    c.bufferSize = r.bufferSize;
    c.displayMode = r.displayMode;
    c.ch2Mode = r.ch2Mode;
    c.showSentText = r.showSentText;
    c.autoLogging = settings.sampling.autoLogging;
    c.autoLogPrefix = fieldUtf8(settings.sampling.autoLogPrefix);
    c.idleClockFactor = r.idleClockFactor;
    c.idleRedisplayCount = r.idleRedisplayCount;
    c.trafficDisplayCount = r.trafficDisplayCount;
    c.fastDisplay = fastDisplay;
    c.logDirectory = startDirectory.empty() ? std::filesystem::path{} : startDirectory / "log";
    return c;
}

} // namespace kestrane
