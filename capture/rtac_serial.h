// The packet header of serial-line captures (link type 250, Wireshark's "RTAC Serial"): 12
// big-endian bytes before each packet's bytes: the time (seconds since 1970 and microseconds,
// kept equal to the packet block's own time), what happened, and the modem lines at that moment.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace kestrane::rtac {

inline constexpr std::size_t kHeaderSize = 12;

enum class Event : std::uint8_t {
    StatusChange = 0x00,    // a modem line changed (the lines byte holds the new state)
    DataSent = 0x01,        // DATA_TX_START: the bytes that follow were sent
    DataReceived = 0x02,    // DATA_RX_START: the bytes that follow were received
    DataSentEnd = 0x03,
    DataReceivedEnd = 0x04,
    CaptureDataLost = 0x05, // bytes or events were lost before here
    CaptureComplete = 0x06,
    FramingError = 0x07,
    ParityError = 0x08,
    Break = 0x09,
    Overflow = 0x0A,        // the device or the driver overran
};

// The lines byte.
namespace line {
inline constexpr std::uint8_t kCts = 0x01;
inline constexpr std::uint8_t kDcd = 0x02;
inline constexpr std::uint8_t kDsr = 0x04;
inline constexpr std::uint8_t kRts = 0x08;
inline constexpr std::uint8_t kDtr = 0x10;
inline constexpr std::uint8_t kRing = 0x20;
} // namespace line

struct Header {
    std::uint32_t seconds = 0;
    std::uint32_t microseconds = 0;
    Event event = Event::StatusChange;
    std::uint8_t lines = 0;
};

void appendHeader(std::vector<std::uint8_t>& out, const Header& header);
// The header at the start of a packet's data; nothing when it is shorter than a header.
std::optional<Header> parseHeader(std::span<const std::uint8_t> data);
// Wireshark's name of an event type ("DATA_TX_START", ...), "UNKNOWN" for others.
const char* eventName(std::uint8_t event);

} // namespace kestrane::rtac
