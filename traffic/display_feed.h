// What the traffic buffer hands each stored chunk to: the fast display (draws at once) or the
// low-speed feed (keeps the screen cell map without drawing).
#pragma once

#include <cstdint>

namespace kestrane {

// Display kinds: 0 upper row black (CH1 sent, CH2 received in the line-monitor modes),
// 1 lower row black (CH1 received), 2 upper row red (CH2 sent), 3 lower row red (CH2 received
// as an independent port).
//
// The buffer calls these on the appending thread (a receive thread or the sending thread)
// while it holds the display interlock, and only in ASC mode (displayMode 0). An
// implementation must not take the interlock itself, must not call the buffer's operations
// that take it (append, clear, load, save, configure) and must not wait for the GUI thread.
// `bytes` points into the buffer and is valid only during the call.
class DisplayFeed {
public:
    virtual ~DisplayFeed() = default;
    virtual void feedFast(const std::uint8_t* bytes, int count, int kind) = 0;
    virtual void feedLowSpeed(const std::uint8_t* bytes, int count, int kind) = 0;
};

// The feed used until the display installs its own: ignores everything.
class NullDisplayFeed final : public DisplayFeed {
public:
    void feedFast(const std::uint8_t*, int, int) override {}
    void feedLowSpeed(const std::uint8_t*, int, int) override {}
};

} // namespace kestrane
