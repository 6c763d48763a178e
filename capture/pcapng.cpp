#include "capture/pcapng.h"

#include <algorithm>

namespace kestrane::pcapng {

namespace {

constexpr std::uint32_t kSectionHeader = 0x0A0D0D0A;
constexpr std::uint32_t kInterfaceDescription = 0x00000001;
constexpr std::uint32_t kEnhancedPacket = 0x00000006;
constexpr std::uint32_t kByteOrderMagic = 0x1A2B3C4D;

constexpr std::uint16_t kOptEnd = 0;
constexpr std::uint16_t kShbUserAppl = 4;
constexpr std::uint16_t kIfName = 2;
constexpr std::uint16_t kIfDescription = 3;
constexpr std::uint16_t kIfTsResol = 9;
constexpr std::uint16_t kEpbFlags = 2;

std::size_t padded(std::size_t n) { return (n + 3) & ~std::size_t{3}; }

void put16(std::vector<std::uint8_t>& out, std::uint16_t v)
{
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void putPadded(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> bytes)
{
    out.insert(out.end(), bytes.begin(), bytes.end());
    out.resize(out.size() + (padded(bytes.size()) - bytes.size()), 0);
}

void putOption(std::vector<std::uint8_t>& out, std::uint16_t code, std::span<const std::uint8_t> value)
{
    put16(out, code);
    put16(out, static_cast<std::uint16_t>(value.size()));
    putPadded(out, value);
}

void putTextOption(std::vector<std::uint8_t>& out, std::uint16_t code, std::string_view text)
{
    if (text.empty())
        return;
    // An option's length field holds 16 bits; longer texts are cut (names never come near).
    text = text.substr(0, 0xFFF0);
    putOption(out, code, {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

// A block: type, total length, body, total length again. `begin` is where its type went.
std::size_t beginBlock(std::vector<std::uint8_t>& out, std::uint32_t type)
{
    const std::size_t begin = out.size();
    put32(out, type);
    put32(out, 0);  // total length, set by endBlock
    return begin;
}

void endBlock(std::vector<std::uint8_t>& out, std::size_t begin)
{
    const auto total = static_cast<std::uint32_t>(out.size() - begin + 4);
    for (int i = 0; i < 4; ++i)
        out[begin + 4 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(total >> (8 * i));
    put32(out, total);
}

// Reads the fields of one section in its own byte order.
class Cursor {
public:
    Cursor(std::span<const std::uint8_t> bytes, bool bigEndian) : bytes_(bytes), big_(bigEndian) {}

    [[nodiscard]] std::uint16_t u16(std::size_t at) const
    {
        const auto a = bytes_[at], b = bytes_[at + 1];
        return static_cast<std::uint16_t>(big_ ? (a << 8) | b : (b << 8) | a);
    }
    [[nodiscard]] std::uint32_t u32(std::size_t at) const
    {
        std::uint32_t v = 0;
        for (std::size_t i = 0; i < 4; ++i)
            v |= static_cast<std::uint32_t>(bytes_[at + i]) << (big_ ? 8 * (3 - i) : 8 * i);
        return v;
    }

private:
    std::span<const std::uint8_t> bytes_;
    bool big_;
};

struct Option {
    std::uint16_t code;
    std::span<const std::uint8_t> value;
};

// Walks the options from `at` to `end` (the block's trailing length). False when one runs past it.
template <typename Visit>
bool forEachOption(std::span<const std::uint8_t> bytes, const Cursor& c, std::size_t at, std::size_t end, Visit visit)
{
    while (at + 4 <= end) {
        const std::uint16_t code = c.u16(at);
        const std::uint16_t length = c.u16(at + 2);
        if (code == kOptEnd)
            return true;
        if (at + 4 + padded(length) > end)
            return false;
        visit(Option{code, bytes.subspan(at + 4, length)});
        at += 4 + padded(length);
    }
    return at == end;
}

std::string text(std::span<const std::uint8_t> value)
{
    std::string s(value.begin(), value.end());
    // Strings may carry a terminating NUL of their writer's.
    if (const auto nul = s.find('\0'); nul != std::string::npos)
        s.resize(nul);
    return s;
}

} // namespace

std::uint64_t Interface::unitsPerSecond() const
{
    const unsigned exponent = tsResolution & 0x7F;
    if (tsResolution & 0x80)
        return exponent < 64 ? std::uint64_t{1} << exponent : 0;
    if (exponent > 19)
        return 0;
    std::uint64_t units = 1;
    for (unsigned i = 0; i < exponent; ++i)
        units *= 10;
    return units;
}

void appendSectionHeader(std::vector<std::uint8_t>& out, std::string_view application)
{
    const std::size_t begin = beginBlock(out, kSectionHeader);
    put32(out, kByteOrderMagic);
    put16(out, 1);  // major version
    put16(out, 0);  // minor version
    put32(out, 0xFFFFFFFF);  // section length: not given (the file may grow while it is read)
    put32(out, 0xFFFFFFFF);
    putTextOption(out, kShbUserAppl, application);
    put32(out, 0);  // opt_endofopt
    endBlock(out, begin);
}

void appendInterface(std::vector<std::uint8_t>& out, const Interface& interface)
{
    const std::size_t begin = beginBlock(out, kInterfaceDescription);
    put16(out, interface.linkType);
    put16(out, 0);
    put32(out, interface.snapLength);
    putTextOption(out, kIfName, interface.name);
    putTextOption(out, kIfDescription, interface.description);
    const std::uint8_t resolution[] = {interface.tsResolution};
    putOption(out, kIfTsResol, resolution);
    put32(out, 0);
    endBlock(out, begin);
}

void appendPacket(std::vector<std::uint8_t>& out, std::uint32_t interfaceId, std::uint64_t timestamp,
                  Direction direction, std::span<const std::uint8_t> data)
{
    const std::size_t begin = beginBlock(out, kEnhancedPacket);
    put32(out, interfaceId);
    put32(out, static_cast<std::uint32_t>(timestamp >> 32));
    put32(out, static_cast<std::uint32_t>(timestamp));
    put32(out, static_cast<std::uint32_t>(data.size()));
    put32(out, static_cast<std::uint32_t>(data.size()));
    putPadded(out, data);
    if (direction != Direction::Unknown) {
        std::vector<std::uint8_t> flags;
        put32(flags, static_cast<std::uint32_t>(direction));
        putOption(out, kEpbFlags, flags);
        put32(out, 0);
    }
    endBlock(out, begin);
}

ReadError read(std::span<const std::uint8_t> bytes, File& file)
{
    std::size_t at = 0;
    bool inSection = false;
    bool big = false;
    std::size_t sectionFirstInterface = 0;

    auto fail = [&](std::size_t where, std::string reason) { return ReadError{where, std::move(reason)}; };

    while (at < bytes.size()) {
        if (bytes.size() - at < 12)
            return fail(at, "the file ends inside a block");
        // The section header decides the byte order of everything up to the next one.
        const bool littleShb = bytes[at] == 0x0A && bytes[at + 1] == 0x0D && bytes[at + 2] == 0x0D && bytes[at + 3] == 0x0A;
        if (littleShb) {
            if (bytes.size() - at < 28)
                return fail(at, "the file ends inside a section header");
            const bool le = bytes[at + 8] == 0x4D && bytes[at + 9] == 0x3C && bytes[at + 10] == 0x2B && bytes[at + 11] == 0x1A;
            const bool be = bytes[at + 8] == 0x1A && bytes[at + 9] == 0x2B && bytes[at + 10] == 0x3C && bytes[at + 11] == 0x4D;
            if (!le && !be)
                return fail(at + 8, "unknown byte-order magic");
            big = be;
            inSection = true;
            sectionFirstInterface = file.interfaces.size();
        } else if (!inSection) {
            return fail(at, "not a pcapng file (no section header)");
        }
        const Cursor c(bytes, big);
        const std::uint32_t type = c.u32(at);
        const std::uint32_t length = c.u32(at + 4);
        if (length < 12 || length % 4 != 0)
            return fail(at, "a block length that is not a multiple of 4 of at least 12");
        if (length > kMaxBlockLength)
            return fail(at, "a block longer than 16 MiB");
        if (length > bytes.size() - at)
            return fail(at, "the file ends inside a block");
        const std::size_t end = at + length - 4;  // where the trailing length sits
        if (c.u32(end) != length)
            return fail(end, "the trailing block length differs from the leading one");

        if (type == kSectionHeader) {
            if (length < 28)
                return fail(at, "a section header too short");
            if (c.u16(at + 12) != 1)
                return fail(at + 12, "a section of an unknown major version");
        } else if (type == kInterfaceDescription) {
            if (length < 20)
                return fail(at, "an interface description too short");
            Interface interface;
            interface.linkType = c.u16(at + 8);
            interface.snapLength = c.u32(at + 12);
            if (!forEachOption(bytes, c, at + 16, end, [&](const Option& o) {
                    if (o.code == kIfName)
                        interface.name = text(o.value);
                    else if (o.code == kIfDescription)
                        interface.description = text(o.value);
                    else if (o.code == kIfTsResol && o.value.size() == 1)
                        interface.tsResolution = o.value[0];
                }))
                return fail(at, "an interface option runs past its block");
            if (interface.unitsPerSecond() == 0)
                return fail(at, "an interface time resolution finer than 64 bits can count");
            file.interfaces.push_back(std::move(interface));
        } else if (type == kEnhancedPacket) {
            if (length < 32)
                return fail(at, "a packet block too short");
            Packet packet;
            const std::uint32_t local = c.u32(at + 8);
            if (local >= file.interfaces.size() - sectionFirstInterface)
                return fail(at + 8, "a packet of an interface that was not described");
            packet.interfaceId = static_cast<std::uint32_t>(sectionFirstInterface + local);
            packet.timestamp = (std::uint64_t{c.u32(at + 12)} << 32) | c.u32(at + 16);
            const std::uint32_t captured = c.u32(at + 20);
            packet.originalLength = c.u32(at + 24);
            if (captured > end - (at + 28) || padded(captured) > end - (at + 28))
                return fail(at + 20, "a packet longer than its block");
            packet.data.assign(bytes.begin() + static_cast<std::ptrdiff_t>(at + 28),
                               bytes.begin() + static_cast<std::ptrdiff_t>(at + 28 + captured));
            if (!forEachOption(bytes, c, at + 28 + padded(captured), end, [&](const Option& o) {
                    if (o.code == kEpbFlags && o.value.size() == 4) {
                        const std::uint32_t flags = Cursor(o.value, big).u32(0);
                        // 11 is not a direction: left unknown.
                        const std::uint32_t d = flags & 3;
                        packet.direction = d == 3 ? Direction::Unknown : static_cast<Direction>(d);
                    }
                }))
                return fail(at, "a packet option runs past its block");
            file.packets.push_back(std::move(packet));
        }
        at += length;
    }
    if (!inSection)
        return fail(0, "an empty file");
    return {};
}

} // namespace kestrane::pcapng
