// When the macro interpreter is stepped: at each tick of the macro clock, and while a
// reception, time or input-bit wait runs also every kWaitPollMs between the ticks, so such a wait
// ends close to its time whatever the clock. The macro dialog's timer, the simulation and a loop
// on poll() all drive the interpreter by it: wait until nextDue(), step, then call stepped().
#pragma once

#include <cstdint>

namespace kestrane {

class MacroPacer {
public:
    static constexpr std::int64_t kWaitPollMs = 20;

    // A run begins at `nowMs` with a clock of `periodMs`: the first tick is one period later.
    void start(std::int64_t nowMs, std::int64_t periodMs);
    void stop() { running_ = false; }
    [[nodiscard]] bool running() const { return running_; }
    [[nodiscard]] std::int64_t periodMs() const { return periodMs_; }

    // When the next step is due, in the milliseconds of the clock handed to start().
    [[nodiscard]] std::int64_t nextDue() const;
    // After a step made at `nowMs`; `polledWait` tells whether the interpreter now waits in a
    // reception, time or input-bit wait. Returns whether the step was a tick of the macro clock
    // (ticks missed meanwhile are dropped, as a timer drops them).
    bool stepped(std::int64_t nowMs, bool polledWait);

private:
    bool running_ = false;
    bool polling_ = false;
    std::int64_t periodMs_ = 0;
    std::int64_t nextTick_ = 0;
    std::int64_t nextPoll_ = 0;
};

} // namespace kestrane
