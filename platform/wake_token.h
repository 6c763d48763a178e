// A wake-up token on an eventfd: a write sets it, a read takes it. Used by the ports to end a
// wait that blocks in poll() on another thread.
#pragma once

#include <unistd.h>

#include <cstdint>

namespace kestrane {

inline void signalFd(int fd)
{
    const std::uint64_t one = 1;
    // The counter cannot overflow in practice; a failed write would only lose a wake that is
    // already pending.
    [[maybe_unused]] const auto r = ::write(fd, &one, sizeof one);
}

// True when a token was there (and is now taken).
inline bool takeFd(int fd)
{
    std::uint64_t v = 0;
    return ::read(fd, &v, sizeof v) == static_cast<ssize_t>(sizeof v);
}

} // namespace kestrane
