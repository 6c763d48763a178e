// The one way out for everything the program sends of its own accord: a frame is written to
// its channel's port in pieces of at most 100 bytes and, once all of it went out, recorded in
// the traffic buffer as sent data. Runs on the GUI thread.
#pragma once

#include <cstdint>
#include <span>

namespace kestrane {

class Channels;
class TrafficBuffer;

enum TransmitResult : int {
    kTransmitted = 0,     // every byte written; recorded (or recording is off)
    kWriteFailed = 1,     // a write failed; the port's error state was captured
    kWriteTimedOut = 2,   // a piece completed short: the port's write time-out ran out
    kBadChannel = 3,      // the channel was neither 1 nor 2; nothing written
};

int transmitFrame(Channels& channels, TrafficBuffer& traffic, int channel, std::span<const std::uint8_t> frame);

} // namespace kestrane
