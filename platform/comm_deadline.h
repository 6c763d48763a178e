// The read and write time-outs of a port (COMMTIMEOUTS) as deadlines on the monotonic clock,
// kept apart from any device so the arithmetic can be checked on its own and shared by every
// implementation of the serial-port service.
#pragma once

#include "platform/comm_types.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace kestrane {

using CommClock = std::chrono::steady_clock;

namespace detail {

// start + ms, or nothing when the sum lies beyond any wait worth keeping (about 34 years):
// such a deadline is "wait forever" and must not overflow the time point.
inline std::optional<CommClock::time_point> afterMs(CommClock::time_point start, std::uint64_t ms)
{
    constexpr std::uint64_t kForever = std::uint64_t{1} << 40;
    if (ms >= kForever)
        return std::nullopt;
    return start + std::chrono::milliseconds(static_cast<std::int64_t>(ms));
}

// A byte count small enough that multiplier * count cannot overflow 64 bits.
inline std::uint64_t clampCount(std::size_t n)
{
    return std::min<std::uint64_t>(n, std::uint64_t{1} << 32);
}

inline std::optional<CommClock::time_point> earlier(std::optional<CommClock::time_point> a,
                                                    std::optional<CommClock::time_point> b)
{
    if (!a)
        return b;
    if (!b)
        return a;
    return std::min(*a, *b);
}

} // namespace detail

// One read of n bytes: when it is complete and how long it may still wait.
//  - interval MAXDWORD, both totals 0: return at once with what is there;
//  - interval MAXDWORD, multiplier MAXDWORD, 0 < constant < MAXDWORD: return as soon as one
//    byte is there, else after `constant` ms;
//  - otherwise a total of multiplier * n + constant ms from the start (none when both are 0)
//    and an interval between bytes counted only after the first byte (none when 0 or MAXDWORD).
// capMs >= 0 bounds the whole read on top of that.
class ReadDeadline {
public:
    ReadDeadline(const CommTimeouts& t, std::size_t n, int capMs, CommClock::time_point start) : n_(n)
    {
        const std::uint32_t ri = t.ReadIntervalTimeout;
        const std::uint32_t rm = t.ReadTotalTimeoutMultiplier;
        const std::uint32_t rc = t.ReadTotalTimeoutConstant;
        if (ri == MAXDWORD && rm == 0 && rc == 0) {
            immediate_ = true;
        } else if (ri == MAXDWORD && rm == MAXDWORD && rc != 0 && rc != MAXDWORD) {
            firstByte_ = true;
            total_ = detail::afterMs(start, rc);
        } else {
            if (rm != 0 || rc != 0)
                total_ = detail::afterMs(start, std::uint64_t{rm} * detail::clampCount(n) + rc);
            if (ri != 0 && ri != MAXDWORD)
                intervalMs_ = ri;
        }
        if (capMs >= 0)
            total_ = detail::earlier(total_, start + std::chrono::milliseconds(capMs));
    }

    // True when a read holding `got` bytes returns now without waiting any further.
    [[nodiscard]] bool satisfied(std::size_t got) const
    {
        return got >= n_ || immediate_ || (firstByte_ && got > 0);
    }

    // New bytes arrived at `now`: the interval starts again.
    void bytesArrived(CommClock::time_point now)
    {
        lastByte_ = now;
        sawByte_ = true;
    }

    // When the read ends if nothing more arrives; nothing means it may wait forever.
    [[nodiscard]] std::optional<CommClock::time_point> deadline() const
    {
        std::optional<CommClock::time_point> d = total_;
        if (intervalMs_ && sawByte_)
            d = detail::earlier(d, lastByte_ + std::chrono::milliseconds(intervalMs_));
        return d;
    }

private:
    std::size_t n_;
    bool immediate_ = false;
    bool firstByte_ = false;
    std::optional<CommClock::time_point> total_;
    std::uint32_t intervalMs_ = 0;
    // A plain time point and a flag (an optional here trips GCC's maybe-uninitialized analysis).
    CommClock::time_point lastByte_{};
    bool sawByte_ = false;
};

// One write of n bytes: multiplier * n + constant ms from the start; both 0 means no time-out.
inline std::optional<CommClock::time_point> writeDeadline(const CommTimeouts& t, std::size_t n,
                                                          CommClock::time_point start)
{
    const std::uint32_t wm = t.WriteTotalTimeoutMultiplier;
    const std::uint32_t wc = t.WriteTotalTimeoutConstant;
    if (wm == 0 && wc == 0)
        return std::nullopt;
    return detail::afterMs(start, std::uint64_t{wm} * detail::clampCount(n) + wc);
}

// A poll() time-out in ms until `deadline`: -1 for none, never negative otherwise, rounded up so
// a wait never ends a fraction of a millisecond early and comes back for a zero-length poll.
inline int pollTimeoutMs(std::optional<CommClock::time_point> deadline, CommClock::time_point now)
{
    if (!deadline)
        return -1;
    if (*deadline <= now)
        return 0;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - now).count();
    return left > INT_MAX ? INT_MAX : static_cast<int>(left);
}

} // namespace kestrane
