// Modem-input changes as events with their time: the arithmetic of a change (which lines, how
// many changes, from the states and the driver's counters) and the watcher, a thread of its own
// per port with modem lines, from the event sink's setting until the port is destroyed.
//
// The watcher blocks in the driver's wait for a change (TIOCMIWAIT) and reads the counters
// after it, so a line that toggled twice during one wait counts twice. Where the driver cannot
// wait, it looks at the lines (and counters) every kModemPollInterval. A blocking wait is ended
// by a signal of our own sent to the thread (its handler does nothing and does not restart the
// call, so the wait returns EINTR); it is sent again every few milliseconds until the thread
// has ended, as one sent just before the thread blocks is not seen by the wait.
#pragma once

#include "platform/serial_port.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace kestrane {

// How often the lines are looked at where the driver cannot wait for a change: events are
// this exact in time; 100 looks a second cost next to nothing while a port is open.
inline constexpr std::chrono::milliseconds kModemPollInterval{10};

// Changes a driver counted per line (TIOCGICOUNT): CTS, DSR and DCD count every edge, RI only
// its trailing edge.
struct ModemCounts {
    std::uint32_t cts = 0;
    std::uint32_t dsr = 0;
    std::uint32_t ring = 0;
    std::uint32_t dcd = 0;
};
// Steps from `before` to `after` (the counters wrap).
ModemCounts countSteps(const ModemCounts& before, const ModemCounts& after);

struct ModemChange {
    std::uint32_t lines = 0;    // MS_* bits after it
    std::uint32_t changed = 0;  // MS_* bits of the lines that changed (one that came back too)
    std::uint32_t count = 0;    // changes in all; 0: nothing changed
};
// The change from the lines `before` to `after` (MS_* bits), with the counters' steps between
// the two looks when the driver keeps them: a line whose steps and states disagree changed once
// more than its steps say (the looks fell between edges).
ModemChange modemChange(std::uint32_t before, std::uint32_t after, const ModemCounts* steps);
// The event that tells `change`, heard at `at`.
PortEvent modemEvent(const ModemChange& change, timeline::Stamp at);

// What the watcher needs of a device.
class ModemDevice {
public:
    enum class Wait { Changed, Interrupted, Unsupported, Failed };
    virtual ~ModemDevice() = default;
    // The modem inputs now (MS_* bits); false when the device has none or is gone.
    virtual bool lines(std::uint32_t& ms) = 0;
    // The driver's change counters; false when it keeps none.
    virtual bool counts(ModemCounts& c) = 0;
    // Blocks until an input changes (Changed), interrupt() (Interrupted), or says the driver
    // cannot wait (Unsupported) or the device is gone (Failed).
    virtual Wait waitForChange() = 0;
    // Ends a waitForChange blocked in `thread`; called again until the watcher has ended.
    virtual void interrupt(std::thread& thread) = 0;
};

// Ends a blocking system call of `thread` with EINTR (the watcher's signal).
void interruptBlockedCall(std::thread& thread);

class ModemWatcher {
public:
    // Starts watching `device` (which must outlive the watcher); `report` gets each change.
    ModemWatcher(ModemDevice& device, std::function<void(const PortEvent&)> report);
    ~ModemWatcher();
    ModemWatcher(const ModemWatcher&) = delete;
    ModemWatcher& operator=(const ModemWatcher&) = delete;

    // Ends the thread (at once: a blocked wait is interrupted) and joins it.
    void stop();
    // The driver cannot wait for a change: the lines are looked at every kModemPollInterval.
    [[nodiscard]] bool polling() const { return polling_.load(); }

private:
    void run();

    ModemDevice& device_;
    std::function<void(const PortEvent&)> report_;
    std::mutex m_;
    std::condition_variable cv_;
    bool stopping_ = false;
    bool ended_ = false;
    std::atomic<bool> polling_{false};
    std::thread thread_;
};

} // namespace kestrane
