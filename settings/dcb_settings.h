// What the DCB dialog (TDialog11 / TDialog11a) and the serial-settings dialog compute, without
// widgets: every DCB and COMMTIMEOUTS member as a control value and back, the defaults, and the
// line parameters of the port-configuration dialog.
#pragma once

#include "platform/comm_types.h"
#include "i18n/language.h"
#include "platform/serial_port.h"

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace kestrane {

inline constexpr const char* kSettingsNotConfirmedText = I18N_NOOP("Kestrane", "設定内容が確認出来ません。");
inline constexpr const char* kDcbDefaultsLabel = "9600,8,n1,off";

// ---- dialog 711 ----

// One control of dialog 711.
struct DcbControl {
    int id;
    const char* label;
    bool check;      // a check box, else an edit
    int maxLength;   // longest input of an edit
};
// Every control in the order of the dialog's table.
extern const std::vector<DcbControl> kDcbControls;

// The control values: check boxes and edit texts by control id.
struct DcbControlValues {
    std::map<int, bool> checks;
    std::map<int, std::string> edits;
};

// Fills every control from the stores: bits as check boxes, fDtrControl and fRtsControl as their
// 2-bit values, fDummy2 as its 17-bit value, the five characters in hexadecimal.
[[nodiscard]] DcbControlValues dcbControlValues(const Dcb& dcb, const CommTimeouts& timeouts);

// "OK": the stores from the controls. The 2-bit controls take the lowest two bits with 3 turned
// into 2; limits are cut to 16 bits, characters and the byte-wide members to 8 bits; -1 in a
// time-out is MAXDWORD. Members without a control (DCBlength, the reserved words) stay.
void readDcbControlValues(const DcbControlValues& values, Dcb& dcb, CommTimeouts& timeouts);

// The 2-bit control rule: lowest two bits, 3 becomes 2.
[[nodiscard]] constexpr std::uint32_t twoBitControl(std::int64_t typed)
{
    const auto v = static_cast<std::uint32_t>(static_cast<std::uint64_t>(typed) & 3u);
    return v == 3 ? 2 : v;
}

// ---- the port-configuration dialog of the serial-settings command ----

// The line parameters the port-configuration dialog edits. Flow control as the line summary
// codes it (flowControlCode, records/): 0 none, 1 Xon/Xoff, 2 hardware (RTS/CTS).
struct PortConfig {
    std::uint32_t baudRate = 9600;
    std::uint8_t byteSize = 8;
    std::uint8_t parity = NOPARITY;
    std::uint8_t stopBits = ONESTOPBIT;
    std::int32_t flowControl = 0;
};

// The rates offered in the list; any other rate may be typed.
inline constexpr std::array<std::uint32_t, 17> kStandardBaudRates = {
    110, 300, 600, 1200, 2400, 4800, 9600, 14400, 19200, 38400, 57600, 115200, 230400, 460800, 921600, 1000000, 2000000};

[[nodiscard]] PortConfig portConfigOf(const Dcb& dcb);
// Writes the choice into `dcb`. The flow-control members change only when the choice differs
// from what the record already codes, so settings made in the DCB dialog survive a change of rate.
void applyPortConfig(const PortConfig& config, Dcb& dcb);

// The rate typed into the rate field: decimal digits only (blanks around them allowed), 1 or more.
[[nodiscard]] bool parseBaudRate(const std::string& text, std::uint32_t& rate);

// The messages of the serial-settings command: the error number and the configuration size.
[[nodiscard]] std::string setCommStateErrorText(int error, int size);
// The configuration record's size on this system (the record the dialog works on).
inline constexpr int kCommConfigSize = 52;
// The error numbers reported with it.
inline constexpr int kErrorInvalidParameter = 87;
inline constexpr int kErrorDeviceNotConnected = 1167;
// The line under that message that says why: the settings the device did not take (and what it
// has instead), or the system's reason; empty when the port gave none.
[[nodiscard]] std::string setStateFailureReason(const SetStateFailure& failure);

} // namespace kestrane
