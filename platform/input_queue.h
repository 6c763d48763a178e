// A port's input queue: the bytes taken from the device that no reader has taken yet, how many
// of them are the event character (EV_RXFLAG can only be seen here, before the bytes are read),
// whether it overflowed (CE_RXOVER) and the line errors the device reported with the bytes. Not
// thread-safe: the port core guards it. What belongs to the queued bytes is kept here, beside
// them (a line error's position in the stream would be too).
#pragma once

#include "platform/byte_ring.h"
#include "platform/comm_types.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace kestrane {

class InputQueue {
public:
    static constexpr std::size_t kCapacity = 64 * 1024;

    [[nodiscard]] std::size_t size() const { return ring_.size(); }
    [[nodiscard]] std::size_t room() const { return ring_.room(); }
    [[nodiscard]] bool empty() const { return ring_.empty(); }
    // Event characters among the queued bytes.
    [[nodiscard]] std::size_t eventChars() const { return eventChars_; }

    // Appends n bytes. When they do not fit, the oldest bytes make room and CE_RXOVER is set; of
    // more than the queue holds only the newest are kept.
    void push(const std::uint8_t* p, std::size_t n)
    {
        if (n > room()) {
            if (n > kCapacity) {
                p += n - kCapacity;
                n = kCapacity;
            }
            dropOldest(n - room());
            overflow_ = true;
        }
        ring_.push(p, n);
        eventChars_ += static_cast<std::size_t>(std::count(p, p + n, eventChar_));
    }

    std::size_t pop(std::uint8_t* p, std::size_t n)
    {
        const std::size_t k = ring_.pop(p, n);
        if (eventChars_ > 0)
            eventChars_ -= static_cast<std::size_t>(std::count(p, p + k, eventChar_));
        return k;
    }

    void clear()
    {
        ring_.clear();
        eventChars_ = 0;
    }

    void setEventChar(std::uint8_t c)
    {
        if (c == eventChar_)
            return;
        eventChar_ = c;
        eventChars_ = ring_.count(c);
    }

    // Line errors (CE_* bits) the device reported.
    void addErrors(std::uint32_t errors) { errors_ |= errors; }
    // The error word since the last call: the line errors and CE_RXOVER.
    std::uint32_t takeErrors()
    {
        const std::uint32_t e = errors_ | (overflow_ ? CE_RXOVER : 0);
        errors_ = 0;
        overflow_ = false;
        return e;
    }

private:
    void dropOldest(std::size_t n)
    {
        std::uint8_t scratch[4096];
        while (n > 0)
            n -= pop(scratch, std::min(n, sizeof scratch));
    }

    ByteRing ring_{kCapacity};
    std::uint8_t eventChar_ = 0x0D;
    std::size_t eventChars_ = 0;
    bool overflow_ = false;
    std::uint32_t errors_ = 0;
};

} // namespace kestrane
