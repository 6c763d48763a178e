// kestrane-extcap: Kestrane's lines as capture interfaces of Wireshark and tshark (their
// "extcap" protocol). Wireshark asks the program for its interfaces, their link type and their
// options, each in a run of its own, then starts a capture run that writes a pcapng stream into
// a fifo Wireshark reads, and stops it with SIGTERM (or by closing the fifo).
//
// Interfaces: kestrane-COM<n> for every line the COM-port dialog offers (the entries of
// ports.conf whose device exists, remote lines, and the serial ports found in sysfs, never
// opened, with the numbers they have or would get: nothing is written), and kestrane-tap and
// kestrane-relay, a line monitor on a pair of ports chosen in the options. The folder of
// ports.conf and the settings files is the desktop start's: KESTRANE_HOME, else ~/Kestrane
// (Wireshark starts the program in a folder of its own).
//
// A capture opens the ports as the programs without a window do (the same openers: exclusive,
// the console refused) with the line settings of the options, and writes the line's timeline as
// packets of the serial link type: one per frame (split where the line goes quiet), one per
// line error, modem-line change and loss.
#pragma once

#include "capture/payload_protocol.h"
#include "headless/port_setup.h"
#include "headless/stop_signals.h"
#include "platform/port_catalog.h"
#include "platform/serial_device_list.h"
#include "settings/dcb_settings.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrane {
class AppCore;
struct Settings;
}

namespace kestrane::headless {

// The folder Kestrane keeps ports.conf and its settings in when not started from a terminal:
// `kestraneHome` (the environment's KESTRANE_HOME) when set, else <home>/Kestrane.
[[nodiscard]] std::filesystem::path kestraneFolder(const char* kestraneHome, const char* home);

inline constexpr std::string_view kInterfacePrefix = "kestrane-COM";
inline constexpr std::string_view kTapInterface = "kestrane-tap";
inline constexpr std::string_view kRelayInterface = "kestrane-relay";

using pcapng::findPayloadProtocol;
using pcapng::kPayloadProtocols;
using pcapng::PayloadProtocol;

// The lines offered (the COM-port dialog's list, nothing written).
[[nodiscard]] std::vector<CatalogPort> extcapPorts(const std::filesystem::path& folder,
                                                   const SerialDeviceTree& tree = {});

// Which lines an interface captures: COM n alone, or a pair as a line monitor.
struct ExtcapTarget {
    int com = 0;           // kestrane-COM<n>; 0 for the tap and the relay
    std::int32_t ch2Mode;  // Ch2Mode: NotUsed, MonitorT or MonitorRelay
};
[[nodiscard]] std::optional<ExtcapTarget> parseInterface(std::string_view interface);

// The answers to Wireshark's questions, each line a sentence of the extcap protocol.
[[nodiscard]] std::string versionText();
[[nodiscard]] std::string interfacesText(const std::vector<CatalogPort>& ports);
[[nodiscard]] std::string dltsText(std::string_view interface);
// The options of `target`; their defaults are the line settings Kestrane keeps for that port
// (its channel's in the settings files; the line defaults for a port no channel uses).
[[nodiscard]] std::string configText(const ExtcapTarget& target, const std::vector<CatalogPort>& ports,
                                     const Settings& settings);
// The line settings a capture uses when Wireshark passes none (tshark passes only what was set).
[[nodiscard]] PortConfig defaultLine(const ExtcapTarget& target, const Settings& settings);
// The defaults of a pair: the settings' CH1 and CH2 ports when they are offered, else the first two.
[[nodiscard]] std::array<int, 2> defaultPair(const std::vector<CatalogPort>& ports, const Settings& settings);

// What a capture run was asked for.
struct CaptureChoice {
    ExtcapTarget target;
    std::string interface;
    std::filesystem::path fifo;
    std::optional<std::uint32_t> rate;
    std::optional<std::uint8_t> byteSize, parity, stopBits;  // as the DCB holds them
    std::optional<std::int32_t> flow;                        // flowControlCode: 0 none, 1 XON/XOFF, 2 RTS/CTS
    std::optional<PortArgument> ch1, ch2;                    // the pair of the tap and the relay
    const PayloadProtocol* protocol = &kPayloadProtocols[0];
};
// Takes the current argument when it is one of the capture's options; false for any other.
bool readCaptureOption(ArgReader& args, CaptureChoice& choice);

class ExtcapCapture {
public:
    // Exit codes of a capture run.
    static constexpr int kStopped = 0;      // stopped by a signal, or Wireshark closed the fifo
    static constexpr int kFailed = 1;       // the fifo could not be written, or no line is left
    static constexpr int kCannotStart = 2;  // a port does not open, or a mistake in the options

    // `messages`: where the reasons go (Wireshark shows the program's standard error).
    ExtcapCapture(AppCore& core, CaptureChoice choice, std::FILE* messages);
    ~ExtcapCapture();
    ExtcapCapture(const ExtcapCapture&) = delete;
    ExtcapCapture& operator=(const ExtcapCapture&) = delete;

    // Reads the settings files, puts the options in place and opens the ports.
    int start(const std::vector<CatalogPort>& ports);
    // Opens the fifo (waiting for Wireshark to open its end) and writes the capture into it
    // until a stop signal, the reader closing it, or no line left. The exit code.
    int run(StopSignals& stops);

private:
    int fail(int code, const std::string& why);
    [[nodiscard]] bool used(int channel) const;
    int openFifo(StopSignals& stops);
    // Writes what is pending without blocking; false when the reader went away (EPIPE) or the
    // write failed (`writeError_`).
    bool flushOutput();
    void finish();

    AppCore& core_;
    CaptureChoice choice_;
    std::FILE* messages_;
    int fifo_ = -1;
    std::vector<std::uint8_t> pending_;
    std::size_t pendingFrom_ = 0;
    int writeError_ = 0;
    bool running_ = false;
};

} // namespace kestrane::headless
