#include "headless/port_setup.h"

#include "app/app_core.h"
#include "records/channel_settings.h"
#include "platform/port_resolver.h"
#include "platform/posix_serial_port.h"
#include "platform/remote_address.h"
#include "platform/system_reason.h"

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstring>

namespace kestrane::headless {

std::optional<LineSetting> parseLineSetting(std::string_view text)
{
    LineSetting line;
    const auto comma = text.find(',');
    const std::string_view rate = text.substr(0, comma);
    const char* end = rate.data() + rate.size();
    const auto [at, ec] = std::from_chars(rate.data(), end, line.baudRate);
    if (rate.empty() || ec != std::errc{} || at != end || line.baudRate < 50 || line.baudRate > 4'000'000)
        return std::nullopt;
    if (comma == std::string_view::npos)
        return line;
    const std::string_view frame = text.substr(comma + 1);
    if (frame.size() < 3 || frame[0] < '5' || frame[0] > '8')
        return std::nullopt;
    line.byteSize = static_cast<std::uint8_t>(frame[0] - '0');
    static constexpr std::string_view kParities = "NOEMS";
    const auto parity = kParities.find(static_cast<char>(std::toupper(static_cast<unsigned char>(frame[1]))));
    if (parity == std::string_view::npos)
        return std::nullopt;
    line.parity = static_cast<std::uint8_t>(parity);
    const std::string_view stop = frame.substr(2);
    if (stop == "1")
        line.stopBits = 0;
    else if (stop == "1.5")
        line.stopBits = 1;
    else if (stop == "2")
        line.stopBits = 2;
    else
        return std::nullopt;
    return line;
}

void applyLineSetting(Dcb& dcb, const LineSetting& line)
{
    dcb.BaudRate = line.baudRate;
    dcb.ByteSize = line.byteSize;
    dcb.Parity = line.parity;
    dcb.StopBits = line.stopBits;
    dcb.setFParity(line.parity != 0);  // check what the parity says
}

std::optional<PortArgument> parsePortArgument(std::string_view text)
{
    PortArgument port;
    if (looksRemote(text)) {
        if (!parseRemoteAddress(text))
            return std::nullopt;
        port.device = std::string(text);
        return port;
    }
    if (text.find('/') != std::string_view::npos) {
        std::error_code ec;
        port.device = std::filesystem::absolute(std::filesystem::path(text), ec).lexically_normal().string();
        return port;
    }
    port.com = comNumberOf(text);
    if (port.com == 0 && !text.empty() && std::isdigit(static_cast<unsigned char>(text.front())))
        port.com = comNumberOf("COM" + std::string(text));
    if (port.com == 0)
        return std::nullopt;
    return port;
}

bool readPortOption(ArgReader& args, PortOptions& ports, bool monitorModes)
{
    const bool ch1 = args.is("--ch1");
    if (ch1 || args.is("--ch2")) {
        const auto text = args.value();
        if (!text)
            return true;
        if (!ch1 && (*text == "none" || *text == "off")) {
            ports.ch2Off = true;
            return true;
        }
        auto& port = ch1 ? ports.ch1 : ports.ch2;
        port = parsePortArgument(*text);
        if (!port) {
            args.fail(std::string(ch1 ? "--ch1" : "--ch2") + " takes a port COM1 to COM255 (or its number), a device path"
                      + " such as /dev/ttyUSB0, or rfc2217://HOST:PORT or tcp://HOST:PORT" + (ch1 ? "" : ", or none")
                      + ", not \"" + *text + "\"");
        }
    } else if (args.is("--line")) {
        if (const auto text = args.value()) {
            ports.line = parseLineSetting(*text);
            if (!ports.line)
                args.fail("--line takes RATE or RATE,DPS such as 115200 or 9600,7E1, not \"" + *text + "\"");
        }
    } else if (monitorModes && (args.is("--tap") || args.is("--relay"))) {
        args.checkSwitch();
        const std::int32_t mode = args.is("--tap") ? Ch2Mode::MonitorT : Ch2Mode::MonitorRelay;
        if (ports.ch2Mode && *ports.ch2Mode != mode)
            args.fail("choose --tap or --relay, not both");
        ports.ch2Mode = mode;
    } else {
        return false;
    }
    return true;
}

namespace {

// The COM numbers of the channels, the devices named on the command line mapped for this run.
void placePorts(AppCore& core, const PortOptions& ports)
{
    SettingsRecord& r = core.settings().record;
    if (ports.ch1 && ports.ch1->com)
        r.ch1ComNumber = ports.ch1->com;
    if (ports.ch2 && ports.ch2->com)
        r.ch2ComNumber = ports.ch2->com;
    const PortResolver resolver(core.startDirectory() / "ports.conf");
    const auto& entries = resolver.entries();
    NamedPorts named;
    for (int channel : {1, 2}) {
        const auto& port = ports.port(channel);
        if (!port || port->device.empty())
            continue;
        const auto& other = ports.port(otherChannel(channel));
        const int otherCom = other && other->device.empty() ? channelFields(r, otherChannel(channel)).comNumber : 0;
        int com = 0;
        for (const auto& [n, path] : entries)
            if (path == port->device && n != otherCom && !named.contains(n))
                com = n;
        for (int n = 1; com == 0 && n <= 255; ++n)
            if (!entries.contains(n) && n != otherCom && !named.contains(n))
                com = n;
        channelFields(r, channel).comNumber = com;
        if (com != 0 && !entries.contains(com))
            named[com] = port->device;
    }
    core.namePortsForThisRun(std::move(named));
}

} // namespace

void loadSettings(AppCore& core, const PortOptions& ports)
{
    core.loadGeneralSettings();
    core.loadLineSettings();
    core.loadSamplingSettings();
    Settings& s = core.settings();
    SettingsRecord& r = s.record;
    placePorts(core, ports);
    if (ports.ch2Mode)
        r.ch2Mode = *ports.ch2Mode;
    else if (ports.ch2 && r.ch2Mode == Ch2Mode::NotUsed)
        r.ch2Mode = Ch2Mode::Independent;  // a port for CH2 and no mode: a second port of its own
    if (ports.ch2Off)
        r.ch2Mode = Ch2Mode::NotUsed;
    if (ports.line) {
        applyLineSetting(s.lineParams.ch1Dcb, *ports.line);
        applyLineSetting(s.lineParams.ch2Dcb, *ports.line);
    }
    core.applySettings();
}

std::string portName(const AppCore& core, int com)
{
    if (const auto it = core.namedPorts().find(com); it != core.namedPorts().end())
        return it->second;
    return "COM" + std::to_string(com);
}

std::string refusedSettings(AppCore& core, int channel)
{
    static constexpr const char* kParity[] = {"none", "odd", "even", "mark", "space"};
    static constexpr const char* kStop[] = {"1", "1.5", "2"};
    const LineRefusal& refusal = core.channels().device(channel).refusal;
    const Dcb& d = refusal.asked;
    const std::uint32_t refused = refusal.failure.refused;
    std::string out;
    auto add = [&](const std::string& text) { out += (out.empty() ? "" : ", ") + text; };
    if (refused & SetStateFailure::Rate)
        add("rate " + std::to_string(d.BaudRate));
    if (refused & SetStateFailure::ByteSize)
        add("data bits " + std::to_string(d.ByteSize));
    if (refused & SetStateFailure::Parity)
        add(std::string("parity ") + (d.Parity < 5 ? kParity[d.Parity] : "?"));
    if (refused & SetStateFailure::StopBits)
        add(std::string("stop bits ") + (d.StopBits < 3 ? kStop[d.StopBits] : "?"));
    if (refused & SetStateFailure::FlowControl)
        add(std::string("flow control ") + (d.fOutxCtsFlow() ? "hardware" : d.fOutX() || d.fInX() ? "XON/XOFF" : "none"));
    if (const int err = refusal.failure.systemError; refused == 0 && err != 0)
        add(err == EINVAL ? std::string("that combination of settings") : "the settings: " + systemReason(err, ReasonLanguage::English));
    if (refusal.timeouts)
        add("the time-outs");
    if (refused != 0 && (refusal.failure.unanswered & refused) == refused)
        out += " (no answer)";
    return out;
}

std::string openChannels(AppCore& core, const PortOptions& ports)
{
    const SettingsRecord& r = core.settings().record;
    for (int channel : {1, 2}) {
        if (channel == 2 && r.ch2Mode == Ch2Mode::NotUsed)
            continue;
        const int com = channelFields(r, channel).comNumber;
        const OpenResult result = core.channels().openChannel(channel, com);
        const DeviceStatus& d = core.channels().device(channel);
        const std::string path = d.openFailure.path.empty() ? d.path : d.openFailure.path;
        const std::string device = path.empty() ? "COM" + std::to_string(com) : path;
        std::string why;
        switch (result) {
        case OpenResult::Opened:
            // Asked for on the command line and not taken: recording at other settings would
            // record garbage.
            if (ports.line && d.refusal.any())
                why = device + " does not take the settings of --line: it refused " + refusedSettings(core, channel);
            break;
        case OpenResult::PortNumberOutOfRange:
            why = com == 0 ? "no port is set for it (give --ch" + std::to_string(channel) + " COMn)"
                           : "COM" + std::to_string(com) + " lies outside COM1..COM255";
            break;
        case OpenResult::PortCannotBeConfigured:
            why = device + " opened, but its line settings could not be set: it refused " + refusedSettings(core, channel)
                  + ", and the defaults as well";
            break;
        case OpenResult::ThreadCannotBeCreated: why = "no receive thread can be started"; break;
        case OpenResult::PortWillNotOpen: why = describeOpenError(device, d.openFailure); break;
        }
        if (why.empty())
            continue;
        core.closeChannel(1);
        core.closeChannel(2);
        return "cannot open CH" + std::to_string(channel) + " (" + portName(core, com) + "): " + why;
    }
    return {};
}

} // namespace kestrane::headless
