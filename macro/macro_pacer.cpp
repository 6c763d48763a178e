#include "macro/macro_pacer.h"

#include <algorithm>

namespace kestrane {

void MacroPacer::start(std::int64_t nowMs, std::int64_t periodMs)
{
    running_ = true;
    polling_ = false;
    periodMs_ = std::max<std::int64_t>(periodMs, 1);
    nextTick_ = nowMs + periodMs_;
}

std::int64_t MacroPacer::nextDue() const { return polling_ ? std::min(nextTick_, nextPoll_) : nextTick_; }

bool MacroPacer::stepped(std::int64_t nowMs, bool polledWait)
{
    const bool tick = nowMs >= nextTick_;
    if (tick)
        nextTick_ += (nowMs - nextTick_) / periodMs_ * periodMs_ + periodMs_;
    if (!polledWait) {
        polling_ = false;
    } else if (!polling_ || nowMs >= nextPoll_) {
        // Polls run from the step that found the wait, every kWaitPollMs.
        nextPoll_ = polling_ ? nextPoll_ + (nowMs - nextPoll_) / kWaitPollMs * kWaitPollMs + kWaitPollMs
                             : nowMs + kWaitPollMs;
        polling_ = true;
    }
    return tick;
}

} // namespace kestrane
