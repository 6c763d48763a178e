// The protocols tshark and Wireshark decode the serial link type's payload as ("Decode As"
// rtacser.data), by their short names: what the user names in the save dialog, the recorder and
// the extcap options, and what a capture's interface description tells the reader to set.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace kestrane::pcapng {

struct PayloadProtocol {
    const char* name;     // e.g. "mbrtu": tshark -d rtacser.data,mbrtu
    const char* display;  // e.g. "Modbus RTU"
};
inline constexpr std::array<PayloadProtocol, 9> kPayloadProtocols = {{
    {"data", "Not decoded (bytes)"},
    {"mbrtu", "Modbus RTU"},
    {"dnp3", "DNP 3.0"},
    {"iec60870_101", "IEC 60870-5-101"},
    {"iec60870_5_103", "IEC 60870-5-103"},
    {"cp2179", "CP2179"},
    {"lg8979", "LG 8979"},
    {"selfm", "SEL Fast Message"},
    {"synphasor", "IEEE C37.118 Synchrophasor"},
}};
// Nothing for a name tshark does not offer.
[[nodiscard]] const PayloadProtocol* findPayloadProtocol(std::string_view name);
// What an interface description adds for the protocol: "; payload Modbus RTU (tshark -d
// rtacser.data,mbrtu)", nothing for undecoded bytes.
[[nodiscard]] std::string payloadNote(const PayloadProtocol& protocol);

} // namespace kestrane::pcapng
