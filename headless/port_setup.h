// What the programs on serial ports do first: read the settings files of their folder, let
// options replace the port choice and the line settings, and open the channels, telling why a
// port does not open.
#pragma once

#include "headless/command_line.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestrane {
class AppCore;
struct Dcb;
}

namespace kestrane::headless {

// Rate, data bits, parity and stop bits: "115200" or "115200,8N1", "9600,7E2", "19200,8O1.5".
struct LineSetting {
    std::uint32_t baudRate = 9600;
    std::uint8_t byteSize = 8;  // 5..8
    std::uint8_t parity = 0;    // 0 none, 1 odd, 2 even, 3 mark, 4 space (N O E M S)
    std::uint8_t stopBits = 0;  // 0 one, 1 one and a half, 2 two
};
[[nodiscard]] std::optional<LineSetting> parseLineSetting(std::string_view text);
void applyLineSetting(Dcb& dcb, const LineSetting& line);

// A port on the command line: "COM3", "com3" or "3"; a device path (with a '/', made absolute);
// or a remote line rfc2217://HOST:PORT or tcp://HOST:PORT.
struct PortArgument {
    int com = 0;         // 1..255, or 0 for a device
    std::string device;  // a path or a remote line, used for this run only
};
[[nodiscard]] std::optional<PortArgument> parsePortArgument(std::string_view text);

struct PortOptions {
    std::optional<PortArgument> ch1, ch2;  // instead of the settings' COM numbers
    // CH1's (1) or CH2's (any other).
    [[nodiscard]] const std::optional<PortArgument>& port(int channel) const { return channel == 1 ? ch1 : ch2; }
    bool ch2Off = false;                  // --ch2 none: CH2 not used
    std::optional<std::int32_t> ch2Mode;  // 3 T connection, 7 relay
    std::optional<LineSetting> line;      // for both channels, instead of Quellorn1.dat's
};
// Takes the current argument when it is one of the port options (--ch1, --ch2, --line, and with
// `monitorModes` --tap and --relay); false for any other argument.
bool readPortOption(ArgReader& args, PortOptions& ports, bool monitorModes);

// Reads Quellorn.dat, Quellorn1.dat and Quellorn2.dat of the core's folder (defaults where one
// is missing) and puts the options in place. A device named by its path or address gets the
// number ports.conf gives it, or else one that neither ports.conf nor the other channel uses,
// mapped for this run only.
void loadSettings(AppCore& core, const PortOptions& ports);
// "COM3", or the device when the command line named it for this run.
[[nodiscard]] std::string portName(const AppCore& core, int com);
// Opens CH1 and, unless CH2 is unused, CH2, as the window does at start. Empty when both
// opened; otherwise why (both channels closed again). A line that does not take the settings
// `ports.line` gave is not used (the window would fall back to the defaults).
[[nodiscard]] std::string openChannels(AppCore& core, const PortOptions& ports);
// The settings `channel`'s port refused at its open, with the values asked for ("rate 115200,
// data bits 7"), "(no answer)" when a server never answered them; empty when it took them all.
[[nodiscard]] std::string refusedSettings(AppCore& core, int channel);

} // namespace kestrane::headless
