// The macro's reception reads the traffic buffer through this adapter: the bytes of one tag
// from a position up to the stored length, and the buffer's reception marker.
#pragma once

#include "macro/macro_host.h"

namespace kestrane {

class TrafficBuffer;

class TrafficBufferAccess final : public MacroTraffic {
public:
    explicit TrafficBufferAccess(TrafficBuffer& buffer) : buffer_(buffer) {}

    // Reads under the display interlock's repaint role, so an overflow step, a clear or a load
    // never moves the planes in the middle of a pass.
    std::int32_t scan(std::int32_t from, std::uint8_t tag, const std::function<void(std::uint8_t)>& take) override;
    [[nodiscard]] std::int32_t storedLength() const override;
    [[nodiscard]] std::int32_t receptionMarker() const override;
    void setReceptionMarker(std::int32_t marker) override;

private:
    TrafficBuffer& buffer_;
};

} // namespace kestrane
