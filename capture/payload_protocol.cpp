#include "capture/payload_protocol.h"

namespace kestrane::pcapng {

const PayloadProtocol* findPayloadProtocol(std::string_view name)
{
    for (const PayloadProtocol& p : kPayloadProtocols)
        if (name == p.name)
            return &p;
    return nullptr;
}

std::string payloadNote(const PayloadProtocol& protocol)
{
    if (&protocol == &kPayloadProtocols[0])
        return {};
    return std::string("; payload ") + protocol.display + " (tshark -d rtacser.data," + protocol.name + ")";
}

} // namespace kestrane::pcapng
