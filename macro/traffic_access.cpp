#include "macro/traffic_access.h"

#include "traffic/traffic_buffer.h"

#include <algorithm>

namespace kestrane {

std::int32_t TrafficBufferAccess::scan(std::int32_t from, std::uint8_t tag,
                                       const std::function<void(std::uint8_t)>& take)
{
    DisplayInterlock::RepaintGuard guard(buffer_.interlock());
    const std::int32_t stored = std::clamp(buffer_.storedLength(), 0,
                                           static_cast<std::int32_t>(kTrafficPlaneSize));
    std::int32_t at = std::max(from, 0);
    if (at > stored) {
        // The stored length went back below the position: the oldest half was dropped (the bytes
        // not yet seen moved down by half the capacity), or the buffer was cleared, loaded or
        // switched to the other automatic-logging page (everything stored is new).
        at -= buffer_.capacity() / 2;
        if (at < 0 || at > stored)
            at = 0;
    }
    const auto tags = buffer_.currentTagPlane();
    const auto data = buffer_.currentDataPlane();
    for (std::int32_t i = at; i < stored; ++i)
        if (tags[static_cast<std::size_t>(i)] == tag)
            take(data[static_cast<std::size_t>(i)]);
    return stored;
}

std::int32_t TrafficBufferAccess::storedLength() const { return buffer_.storedLength(); }

std::int32_t TrafficBufferAccess::receptionMarker() const { return buffer_.receptionMarker(); }

void TrafficBufferAccess::setReceptionMarker(std::int32_t marker) { buffer_.setReceptionMarker(marker); }

} // namespace kestrane
