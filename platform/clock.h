// Time sources: a monotonic millisecond tick and the local calendar time of the time stamps.
#pragma once

#include <cstdint>

namespace kestrane {

struct CalendarTime {
    int day = 1, hour = 0, minute = 0, second = 0;
};

class Clock {
public:
    virtual ~Clock() = default;
    [[nodiscard]] virtual std::int64_t tickMs() const = 0;
    [[nodiscard]] virtual CalendarTime localTime() const = 0;
};

// The system's clocks.
class SystemClock final : public Clock {
public:
    [[nodiscard]] std::int64_t tickMs() const override;
    [[nodiscard]] CalendarTime localTime() const override;
};

} // namespace kestrane
