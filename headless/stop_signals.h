// SIGINT, SIGTERM and SIGHUP as a descriptor to poll. The signals are blocked for the whole
// process, so construct this before any thread starts (threads inherit the mask) and only the
// descriptor hears them: the program ends at a point of its choosing, never inside a write.
// SIGPIPE is ignored (a closed output is an error of the write, not a death). When the descriptor
// cannot be made the signals are unblocked again (their default action ends the program) and
// error() tells why; the programs then refuse to start.
#pragma once

namespace kestrane::headless {

class StopSignals {
public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    [[nodiscard]] int fd() const { return fd_; }
    // The errno of a failed start (0 when the signals are watched).
    [[nodiscard]] int error() const { return error_; }
    // The signal that arrived, or 0 when none is pending.
    int take();

private:
    int fd_ = -1;
    int error_ = 0;
};

// When `stops` failed: tells it on stderr ("PROGRAM: cannot watch the stop signals: REASON")
// and returns true.
bool stopSignalsFailed(const StopSignals& stops, const char* program);

// "SIGINT", "SIGTERM", "SIGHUP", or "signal N".
[[nodiscard]] const char* stopSignalName(int signal);

} // namespace kestrane::headless
