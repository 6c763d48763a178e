#include "capture/rtac_serial.h"

#include <iterator>

namespace kestrane::rtac {

namespace {

void putBe32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(v >> shift));
}

std::uint32_t getBe32(std::span<const std::uint8_t> in, std::size_t at)
{
    return (std::uint32_t{in[at]} << 24) | (std::uint32_t{in[at + 1]} << 16) | (std::uint32_t{in[at + 2]} << 8) | in[at + 3];
}

} // namespace

void appendHeader(std::vector<std::uint8_t>& out, const Header& header)
{
    putBe32(out, header.seconds);
    putBe32(out, header.microseconds);
    out.push_back(static_cast<std::uint8_t>(header.event));
    out.push_back(header.lines);
    out.push_back(0);  // footer, reserved
    out.push_back(0);
}

std::optional<Header> parseHeader(std::span<const std::uint8_t> data)
{
    if (data.size() < kHeaderSize)
        return std::nullopt;
    Header h;
    h.seconds = getBe32(data, 0);
    h.microseconds = getBe32(data, 4);
    h.event = static_cast<Event>(data[8]);
    h.lines = data[9];
    return h;
}

const char* eventName(std::uint8_t event)
{
    static const char* const names[] = {
        "STATUS_CHANGE", "DATA_TX_START", "DATA_RX_START", "DATA_TX_END", "DATA_RX_END", "CAPTURE_DATA_LOST",
        "CAPTURE_COMPLETE", "FRAMING_ERROR", "PARITY_ERROR", "SERIAL_BREAK_EVENT", "SERIAL_OVERFLOW_EVENT",
    };
    return event < std::size(names) ? names[event] : "UNKNOWN";
}

} // namespace kestrane::rtac
