#include "platform/clock.h"

#include <chrono>
#include <ctime>

namespace kestrane {

std::int64_t SystemClock::tickMs() const
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

CalendarTime SystemClock::localTime() const
{
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    return CalendarTime{tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

} // namespace kestrane
