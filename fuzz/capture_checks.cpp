// Capture files handed to kestrane-log: whatever the bytes, what was read holds together, and
// writing it again gives a file that reads back the same.
#include "capture/pcapng.h"
#include "fuzz/check_support.h"

#include <string>
#include <vector>

namespace kestrane::fuzz {

std::string checkPcapng(Bytes data)
{
    pcapng::File file;
    const pcapng::ReadError error = pcapng::read(data, file);
    KCHECK(error.ok() || error.offset <= data.size(), "a fault placed outside the file");
    for (const pcapng::Packet& p : file.packets) {
        KCHECK(p.interfaceId < file.interfaces.size(), "a packet of an interface that was not read");
        KCHECK(p.direction == pcapng::Direction::Unknown || p.direction == pcapng::Direction::Inbound ||
                   p.direction == pcapng::Direction::Outbound,
               "a direction that is none");
    }

    std::vector<std::uint8_t> again;
    pcapng::appendSectionHeader(again, "check");
    for (const pcapng::Interface& i : file.interfaces)
        pcapng::appendInterface(again, i);
    for (const pcapng::Packet& p : file.packets)
        pcapng::appendPacket(again, p.interfaceId, p.timestamp, p.direction, p.data);
    pcapng::File reread;
    const pcapng::ReadError e2 = pcapng::read(again, reread);
    KCHECK(e2.ok(), "what was read does not read back when written: " + e2.reason);
    KCHECK(reread.interfaces.size() == file.interfaces.size(), "interfaces lost in the round trip");
    for (std::size_t i = 0; i < file.interfaces.size(); ++i) {
        const auto &a = file.interfaces[i], &b = reread.interfaces[i];
        KCHECK(a.linkType == b.linkType && a.snapLength == b.snapLength && a.name == b.name &&
                   a.description == b.description && a.tsResolution == b.tsResolution,
               "an interface changed in the round trip");
    }
    KCHECK(reread.packets.size() == file.packets.size(), "packets lost in the round trip");
    for (std::size_t i = 0; i < file.packets.size(); ++i) {
        const auto &a = file.packets[i], &b = reread.packets[i];
        KCHECK(a.interfaceId == b.interfaceId && a.timestamp == b.timestamp && a.direction == b.direction &&
                   a.data == b.data,
               "a packet changed in the round trip");
    }
    return {};
}

} // namespace kestrane::fuzz
