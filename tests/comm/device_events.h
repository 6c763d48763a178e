// Shared by the tests of lost and reconnected devices: what the traffic buffer holds, the
// process's CPU time, and a loop that plays the GUI's part for the channels' device events.
#pragma once

#include "app/app_core.h"
#include "comm/channel.h"

#include <poll.h>
#include <sys/resource.h>

#include <chrono>
#include <string>

namespace kestrane::test {

inline std::string storedText(AppCore& core)
{
    TrafficBuffer& t = core.traffic();
    DisplayInterlock::Guard g(t.interlock(), DisplayInterlock::Producer::Transmit);
    const auto n = t.storedLength();
    return std::string(reinterpret_cast<const char*>(t.currentDataPlane().data()), static_cast<std::size_t>(n));
}

inline double processCpuSeconds()
{
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec)
           + static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

// Plays the GUI: waits on the two device descriptors (never polling fast) and handles what they
// report until `done` holds.
template <typename Pred>
bool handleUntil(Channels& ch, Pred done, std::chrono::milliseconds timeout = std::chrono::seconds(5))
{
    using namespace std::chrono;
    const auto deadline = steady_clock::now() + timeout;
    while (!done()) {
        const auto left = duration_cast<milliseconds>(deadline - steady_clock::now());
        if (left <= milliseconds(0))
            return false;
        pollfd p[2] = {{ch.deviceEventFd(), POLLIN, 0}, {ch.watchFd(), POLLIN, 0}};
        if (::poll(p, 2, static_cast<int>(std::min<std::int64_t>(left.count(), 100))) > 0)
            ch.handleDeviceEvents();
    }
    return true;
}

} // namespace kestrane::test
