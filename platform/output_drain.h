// Waiting until a driver's output queue has drained, within a write deadline. Linux has no
// drain with a time-out (tcdrain waits for ever), so the queue count is asked again after the
// time the line needs for what is left, on a wait that an abort ends.
#pragma once

#include "platform/comm_deadline.h"

#include <algorithm>
#include <cstdint>
#include <optional>

namespace kestrane {

enum class DrainOutcome { Drained, TimedOut, Aborted, Failed };

// How long `queued` bytes take on the line at `baud` (ten bits a character), as the next wait:
// at least 1 ms, at most 20 ms so a faster drain (a FIFO the count does not see) is noticed soon.
inline int drainWaitMs(std::uint32_t queued, std::uint32_t baud)
{
    const std::uint64_t rate = baud ? baud : 9600;
    const std::uint64_t ms = (std::uint64_t{queued} * 10 * 1000 + rate - 1) / rate;
    return static_cast<int>(std::clamp<std::uint64_t>(ms, 1, 20));
}

// `outQueue(count)` asks the driver for the bytes not yet sent (false: the device failed);
// `sleepUnlessAborted(ms)` waits and returns false when the write was aborted meanwhile.
// `left` is the count still queued when the deadline passed (TimedOut).
template <typename OutQueue, typename Sleep>
DrainOutcome waitOutputDrained(OutQueue outQueue, Sleep sleepUnlessAborted,
                               std::optional<CommClock::time_point> deadline, std::uint32_t baud,
                               std::uint32_t& left)
{
    left = 0;
    for (;;) {
        std::uint32_t queued = 0;
        if (!outQueue(queued))
            return DrainOutcome::Failed;
        if (queued == 0)
            return DrainOutcome::Drained;
        const int untilDeadline = pollTimeoutMs(deadline, CommClock::now());
        if (untilDeadline == 0) {
            left = queued;
            return DrainOutcome::TimedOut;
        }
        int wait = drainWaitMs(queued, baud);
        if (untilDeadline > 0)
            wait = std::min(wait, untilDeadline);
        if (!sleepUnlessAborted(wait))
            return DrainOutcome::Aborted;
    }
}

} // namespace kestrane
