// The pcapng capture format (the file Wireshark, tshark and libpcap open): a section header,
// one interface description per captured line, and one enhanced packet block per packet.
// The writer makes little-endian blocks into a byte vector; where they go (a file, a fifo, a
// rotating set of files) is the caller's. The reader takes a whole file's bytes, in either
// byte order, and refuses what does not hold together with the offset and the reason.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kestrane::pcapng {

// The link type of serial lines: a 12-byte event header before each packet's bytes.
inline constexpr std::uint16_t kLinkTypeRtacSerial = 250;
// if_tsresol of our interfaces: 10^-6 s.
inline constexpr std::uint8_t kMicroseconds = 6;

enum class Direction : std::uint8_t { Unknown = 0, Inbound = 1, Outbound = 2 };

struct Interface {
    std::uint16_t linkType = kLinkTypeRtacSerial;
    std::uint32_t snapLength = 0;  // 0: no limit
    std::string name;              // if_name
    std::string description;       // if_description
    std::uint8_t tsResolution = kMicroseconds;  // if_tsresol as stored (bit 7: a power of two)

    // Time stamp units in one second (10^n or 2^n); 0 when the resolution cannot be counted in 64 bits.
    [[nodiscard]] std::uint64_t unitsPerSecond() const;
};

struct Packet {
    std::uint32_t interfaceId = 0;  // index into the file's interfaces (across sections)
    std::uint64_t timestamp = 0;    // in the interface's units since 1970-01-01 00:00 UTC
    std::uint32_t originalLength = 0;
    Direction direction = Direction::Unknown;
    std::vector<std::uint8_t> data;
};

// ---- Writing ----
// A section header; `application` goes into shb_userappl.
void appendSectionHeader(std::vector<std::uint8_t>& out, std::string_view application);
void appendInterface(std::vector<std::uint8_t>& out, const Interface& interface);
// An enhanced packet block; `data` is stored whole (original length = captured length).
void appendPacket(std::vector<std::uint8_t>& out, std::uint32_t interfaceId, std::uint64_t timestamp,
                  Direction direction, std::span<const std::uint8_t> data);

// ---- Reading ----
struct File {
    std::vector<Interface> interfaces;
    std::vector<Packet> packets;
};

struct ReadError {
    std::size_t offset = 0;  // where the fault starts
    std::string reason;      // empty when the file was read whole
    [[nodiscard]] bool ok() const { return reason.empty(); }
};

// Reads every interface and enhanced packet block of every section; other blocks are skipped.
// On a fault, `file` keeps what was read before it (a capture cut short by a crash still shows
// its packets) and the error says where and why.
ReadError read(std::span<const std::uint8_t> bytes, File& file);

// A block larger than this is refused rather than believed (no line produces one).
inline constexpr std::uint32_t kMaxBlockLength = 16U * 1024U * 1024U;

} // namespace kestrane::pcapng
