// The one way out for everything the program sends of its own accord: a frame is written to
// its channel's port in pieces of at most 100 bytes and, once all of it went out, handed to the
// record as sent data. Runs on the GUI thread.
#pragma once

#include "platform/serial_port.h"
#include "sending/send_result.h"

#include <cstdint>
#include <span>

namespace kestrane {

class Channels;

// Where transmitted frames are recorded (the traffic buffer, which leaves them out in the
// line-monitor modes and while sent text is not shown), as ReceiveSink is for received bytes.
class SentSink {
public:
    virtual ~SentSink() = default;
    // Once per frame that went out whole; `pieces` (offsets in the frame) say when each piece
    // was handed to the device.
    virtual void appendSent(int channel, std::span<const std::uint8_t> frame,
                            std::span<const ReadMarks::Arrival> pieces) = 0;
};

TransmitResult transmitFrame(Channels& channels, SentSink& record, int channel, std::span<const std::uint8_t> frame);

} // namespace kestrane
