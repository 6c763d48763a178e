#include "headless/extcap.h"

#include "app/app_core.h"
#include "app/capture_lines.h"
#include "platform/port_resolver.h"
#include "platform/system_reason.h"
#include "records/channel_settings.h"
#include "records/settings_files.h"
#include "timeline/capture_stream.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>

namespace kestrane::headless {

namespace {

constexpr const char* kParityNames[] = {"none", "odd", "even", "mark", "space"};
constexpr const char* kStopBitNames[] = {"1", "1.5", "2"};
constexpr const char* kFlowNames[] = {"none", "xonxoff", "rtscts"};
constexpr const char* kFlowDisplay[] = {"None", "XON/XOFF", "Hardware (RTS/CTS)"};

// How often the capture looks at the journal: frames close when their line has been quiet past
// their rule, so what closed reaches Wireshark within this much more.
constexpr int kWakeMs = 50;
// Bytes waiting for the fifo beyond which nothing more is taken from the journal (Wireshark
// fell behind: the journal bounds what waits, and says what it dropped).
constexpr std::size_t kPendingLimit = 4U << 20;
// How long a stop waits for Wireshark to take the last packets.
constexpr int kLastWriteMs = 1000;

// A text as one value of an extcap sentence: braces and line breaks would end it.
std::string sentenceText(std::string text)
{
    for (char& c : text) {
        if (c == '{')
            c = '(';
        else if (c == '}')
            c = ')';
        else if (c == '\n' || c == '\r')
            c = ' ';
    }
    return text;
}

std::string portDisplay(const CatalogPort& p)
{
    std::string text = "COM" + std::to_string(p.comNumber) + ": " + p.path;
    if (!p.description.empty())
        text += " (" + p.description + ")";
    return sentenceText(text);
}

const CatalogPort* findPort(const std::vector<CatalogPort>& ports, int com)
{
    for (const CatalogPort& p : ports)
        if (p.comNumber == com)
            return &p;
    return nullptr;
}

// A sentence "value {arg=N}{value=V}{display=D}" with the default marked.
void valueSentence(std::string& out, int arg, const std::string& value, const std::string& display, bool isDefault)
{
    out += "value {arg=" + std::to_string(arg) + "}{value=" + value + "}{display=" + sentenceText(display) + "}";
    if (isDefault)
        out += "{default=true}";
    out += "\n";
}

void argSentence(std::string& out, int number, const char* call, const char* display, const char* group,
                 const char* tooltip, bool required = false)
{
    out += "arg {number=" + std::to_string(number) + "}{call=" + call + "}{display=" + display + "}{type=selector}";
    if (required)
        out += "{required=true}";
    out += std::string("{tooltip=") + tooltip + "}{group=" + group + "}\n";
}


// The port a COM number of the listing opens: the number itself when ports.conf (or the
// on-board default) gives it, the device for this run when only the listing numbered it.
PortArgument portFor(int com, const std::vector<CatalogPort>& ports, const std::filesystem::path& folder)
{
    const PortResolver resolver(folder / "ports.conf");
    const CatalogPort* p = findPort(ports, com);
    if (p != nullptr && !resolver.entries().contains(com) && resolver.pathFor(com) != p->path)
        return PortArgument{0, p->path};
    return PortArgument{com, {}};
}

std::string portArgumentText(const PortArgument& p) { return p.com != 0 ? "COM" + std::to_string(p.com) : p.device; }

} // namespace

std::filesystem::path kestraneFolder(const char* kestraneHome, const char* home)
{
    if (kestraneHome != nullptr && *kestraneHome != '\0')
        return kestraneHome;
    return std::filesystem::path(home != nullptr && *home != '\0' ? home : "/") / "Kestrane";
}

std::vector<CatalogPort> extcapPorts(const std::filesystem::path& folder, const SerialDeviceTree& tree)
{
    return catalogPorts(folder / "ports.conf", listSerialDevices(tree), tree.consoleList, CatalogWrite::No).ports;
}

std::optional<ExtcapTarget> parseInterface(std::string_view interface)
{
    if (interface == kTapInterface)
        return ExtcapTarget{0, Ch2Mode::MonitorT};
    if (interface == kRelayInterface)
        return ExtcapTarget{0, Ch2Mode::MonitorRelay};
    if (interface.substr(0, kInterfacePrefix.size()) != kInterfacePrefix)
        return std::nullopt;
    const int com = comNumberOf(interface.substr(kInterfacePrefix.size() - 3));  // from "COM"
    if (com == 0)
        return std::nullopt;
    return ExtcapTarget{com, Ch2Mode::NotUsed};
}

std::string versionText() { return "extcap {version=" KESTRANE_VERSION "}\n"; }

std::string interfacesText(const std::vector<CatalogPort>& ports)
{
    std::string out = versionText();
    for (const CatalogPort& p : ports)
        out += "interface {value=" + std::string(kInterfacePrefix) + std::to_string(p.comNumber) + "}{display=Kestrane "
               + portDisplay(p) + "}\n";
    out += "interface {value=" + std::string(kTapInterface)
           + "}{display=Kestrane line monitor: two ports listening to one line (T connection)}\n";
    out += "interface {value=" + std::string(kRelayInterface)
           + "}{display=Kestrane relay: two ports, each passing on what the other receives}\n";
    return out;
}

std::string dltsText(std::string_view interface)
{
    (void)interface;  // every interface carries the serial link type
    return "dlt {number=250}{name=RTAC_SERIAL}{display=RTAC Serial}\n";
}

PortConfig defaultLine(const ExtcapTarget& target, const Settings& settings)
{
    const SettingsRecord& r = settings.record;
    int channel = 1;
    if (target.com != 0) {
        if (r.ch1ComNumber == target.com)
            channel = 1;
        else if (r.ch2ComNumber == target.com && r.ch2Mode != Ch2Mode::NotUsed)
            channel = 2;
        else
            return PortConfig{};  // a port no channel uses: the line defaults
    }
    return portConfigOf(channel == 1 ? settings.lineParams.ch1Dcb : settings.lineParams.ch2Dcb);
}

std::array<int, 2> defaultPair(const std::vector<CatalogPort>& ports, const Settings& settings)
{
    std::array<int, 2> pair{settings.record.ch1ComNumber, settings.record.ch2ComNumber};
    if (pair[0] == pair[1] || findPort(ports, pair[0]) == nullptr || findPort(ports, pair[1]) == nullptr) {
        pair = {0, 0};
        for (std::size_t i = 0; i < ports.size() && i < 2; ++i)
            pair[i] = ports[i].comNumber;
    }
    return pair;
}

std::string configText(const ExtcapTarget& target, const std::vector<CatalogPort>& ports, const Settings& settings)
{
    std::string out;
    int arg = 0;
    if (target.com == 0) {
        const std::array<int, 2> pair = defaultPair(ports, settings);
        for (int channel : {1, 2}) {
            const bool first = channel == 1;
            argSentence(out, arg, first ? "--ch1" : "--ch2", first ? "First port (CH1)" : "Second port (CH2)", "Ports",
                        first ? "The port on one side of the line (COM numbers as in ports.conf)"
                              : "The port on the other side of the line",
                        true);
            for (const CatalogPort& p : ports)
                valueSentence(out, arg, "COM" + std::to_string(p.comNumber), portDisplay(p),
                              p.comNumber == pair[static_cast<std::size_t>(channel - 1)]);
            ++arg;
        }
    }
    const PortConfig line = defaultLine(target, settings);

    argSentence(out, arg, "--rate", "Rate (baud)", "Line", "The line's rate in bits per second");
    std::vector<std::uint32_t> rates(kStandardBaudRates.begin(), kStandardBaudRates.end());
    if (std::find(rates.begin(), rates.end(), line.baudRate) == rates.end())
        rates.insert(std::upper_bound(rates.begin(), rates.end(), line.baudRate), line.baudRate);
    for (const std::uint32_t rate : rates)
        valueSentence(out, arg, std::to_string(rate), std::to_string(rate), rate == line.baudRate);
    ++arg;

    argSentence(out, arg, "--data-bits", "Data bits", "Line", "Data bits of a character");
    for (int bits = 5; bits <= 8; ++bits)
        valueSentence(out, arg, std::to_string(bits), std::to_string(bits), bits == line.byteSize);
    ++arg;

    argSentence(out, arg, "--parity", "Parity", "Line", "The parity bit of a character");
    for (std::uint8_t p = 0; p < 5; ++p)
        valueSentence(out, arg, kParityNames[p], kParityNames[p], p == line.parity);
    ++arg;

    argSentence(out, arg, "--stop-bits", "Stop bits", "Line", "Stop bits of a character");
    for (std::uint8_t s = 0; s < 3; ++s)
        valueSentence(out, arg, kStopBitNames[s], kStopBitNames[s], s == line.stopBits);
    ++arg;

    argSentence(out, arg, "--flow", "Flow control", "Line", "How the ports hold back the far end");
    for (int f = 0; f < 3; ++f)
        valueSentence(out, arg, kFlowNames[f], kFlowDisplay[f], f == std::clamp(line.flowControl, 0, 2));
    ++arg;

    argSentence(out, arg, "--protocol", "Payload protocol", "Payload",
                "Noted in the capture. Wireshark decodes it with Decode As: RTAC Serial Data -> the protocol; "
                "tshark with -d rtacser.data,NAME");
    for (const PayloadProtocol& p : kPayloadProtocols) {
        const std::string display = std::string(p.display) + (std::string_view(p.name) == "data" ? "" : std::string(" (-d rtacser.data,") + p.name + ")");
        valueSentence(out, arg, p.name, display, &p == &kPayloadProtocols[0]);
    }
    return out;
}

bool readCaptureOption(ArgReader& args, CaptureChoice& choice)
{
    // A choice among names: its index, or an error naming them.
    const auto named = [&args](std::span<const char* const> names, const char* what) -> std::optional<std::uint8_t> {
        const auto text = args.value();
        if (!text)
            return std::nullopt;
        for (std::size_t i = 0; i < names.size(); ++i)
            if (*text == names[i])
                return static_cast<std::uint8_t>(i);
        std::string list;
        for (const char* n : names)
            list += (list.empty() ? "" : ", ") + std::string(n);
        args.fail(std::string(what) + " takes " + list + ", not \"" + *text + "\"");
        return std::nullopt;
    };
    if (args.is("--rate")) {
        if (const auto n = args.number(50, 4'000'000))
            choice.rate = static_cast<std::uint32_t>(*n);
    } else if (args.is("--data-bits")) {
        if (const auto n = args.number(5, 8))
            choice.byteSize = static_cast<std::uint8_t>(*n);
    } else if (args.is("--parity")) {
        choice.parity = named(kParityNames, "--parity");
    } else if (args.is("--stop-bits")) {
        choice.stopBits = named(kStopBitNames, "--stop-bits");
    } else if (args.is("--flow")) {
        if (const auto f = named(kFlowNames, "--flow"))
            choice.flow = *f;
    } else if (args.is("--ch1") || args.is("--ch2")) {
        const bool ch1 = args.is("--ch1");
        if (const auto text = args.value()) {
            auto& port = ch1 ? choice.ch1 : choice.ch2;
            port = parsePortArgument(*text);
            if (!port)
                args.fail(std::string(ch1 ? "--ch1" : "--ch2") + " takes a port COM1 to COM255, a device path or a remote "
                          "line, not \"" + *text + "\"");
        }
    } else if (args.is("--protocol")) {
        if (const auto text = args.value()) {
            choice.protocol = findPayloadProtocol(*text);
            if (choice.protocol == nullptr) {
                std::string list;
                for (const PayloadProtocol& p : kPayloadProtocols)
                    list += (list.empty() ? "" : ", ") + std::string(p.name);
                args.fail("--protocol takes " + list + ", not \"" + *text + "\"");
                choice.protocol = &kPayloadProtocols[0];
            }
        }
    } else {
        return false;
    }
    return true;
}

// ---- the capture ----

ExtcapCapture::ExtcapCapture(AppCore& core, CaptureChoice choice, std::FILE* messages)
    : core_(core), choice_(std::move(choice)), messages_(messages)
{
}

ExtcapCapture::~ExtcapCapture()
{
    if (running_) {
        core_.closeChannel(2);
        core_.closeChannel(1);
    }
    if (fifo_ >= 0)
        ::close(fifo_);
}

int ExtcapCapture::fail(int code, const std::string& why)
{
    std::fprintf(messages_, "kestrane-extcap: %s\n", why.c_str());
    std::fflush(messages_);
    return code;
}

bool ExtcapCapture::used(int channel) const { return channel == 1 || choice_.target.ch2Mode != Ch2Mode::NotUsed; }

int ExtcapCapture::start(const std::vector<CatalogPort>& ports)
{
    const std::filesystem::path& folder = core_.startDirectory();
    Settings stored;
    loadQuellorn(stored, folder);
    loadQuellorn1(stored, folder);

    PortOptions options;
    options.ch2Mode = choice_.target.ch2Mode;
    if (choice_.target.com != 0) {
        options.ch1 = portFor(choice_.target.com, ports, folder);
        options.ch2Off = true;
    } else {
        const std::array<int, 2> pair = defaultPair(ports, stored);
        options.ch1 = choice_.ch1 ? *choice_.ch1 : portFor(pair[0], ports, folder);
        options.ch2 = choice_.ch2 ? *choice_.ch2 : portFor(pair[1], ports, folder);
        if (options.ch1->com != 0)
            options.ch1 = portFor(options.ch1->com, ports, folder);
        if (options.ch2->com != 0)
            options.ch2 = portFor(options.ch2->com, ports, folder);
        if (options.ch1->com == 0 && options.ch1->device.empty())
            return fail(kCannotStart, "no port for CH1: choose one in the interface's options (--ch1)");
        if (options.ch2->com == 0 && options.ch2->device.empty())
            return fail(kCannotStart, "no port for CH2: choose one in the interface's options (--ch2)");
        if (options.ch1->com == options.ch2->com && options.ch1->device == options.ch2->device)
            return fail(kCannotStart, "CH1 and CH2 are the same port (" + portArgumentText(*options.ch1) + "): choose two");
    }
    PortConfig line = defaultLine(choice_.target, stored);
    line.baudRate = choice_.rate.value_or(line.baudRate);
    line.byteSize = choice_.byteSize.value_or(line.byteSize);
    line.parity = choice_.parity.value_or(line.parity);
    line.stopBits = choice_.stopBits.value_or(line.stopBits);
    line.flowControl = choice_.flow.value_or(line.flowControl);
    // Given as --line is: a port that does not take them is not captured at other settings.
    options.line = LineSetting{line.baudRate, line.byteSize, line.parity, line.stopBits};

    loadSettings(core_, options);
    for (int channel : {1, 2})
        applyPortConfig(line, channelLine(core_.settings().lineParams, channel).dcb);
    if (const std::string why = openChannels(core_, options); !why.empty())
        return fail(kCannotStart, why);
    running_ = true;
    return kStopped;
}

int ExtcapCapture::openFifo(StopSignals& stops)
{
    // Wireshark opens its end as it starts reading; a fifo without a reader does not open for
    // writing (ENXIO), so the open is tried again while the stop signals are watched.
    while (true) {
        fifo_ = ::open(choice_.fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fifo_ >= 0)
            return -1;
        if (errno != ENXIO && errno != EINTR)
            return fail(kCannotStart, "cannot open " + choice_.fifo.string() + ": " + systemReason(errno, ReasonLanguage::English));
        pollfd p{stops.fd(), POLLIN, 0};
        if (::poll(&p, 1, kWakeMs) > 0 && stops.take() != 0)
            return kStopped;
    }
}

bool ExtcapCapture::flushOutput()
{
    while (pendingFrom_ < pending_.size()) {
        const ssize_t n = ::write(fifo_, pending_.data() + pendingFrom_, pending_.size() - pendingFrom_);
        if (n > 0) {
            pendingFrom_ += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;  // the fifo is full: go on when it takes more
        writeError_ = n < 0 ? errno : EIO;
        return false;
    }
    if (pendingFrom_ == pending_.size()) {
        pending_.clear();
        pendingFrom_ = 0;
    } else if (pendingFrom_ > kPendingLimit) {
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(pendingFrom_));
        pendingFrom_ = 0;
    }
    return true;
}

void ExtcapCapture::finish()
{
    if (!running_)
        return;
    running_ = false;
    // The receive threads store what they read before they end.
    core_.closeChannel(2);
    core_.closeChannel(1);
}

int ExtcapCapture::run(StopSignals& stops)
{
    if (const int code = openFifo(stops); code >= 0) {
        finish();
        return code;
    }
    std::array<timeline::CaptureLine, 2> lines = captureLines(core_, *choice_.protocol);
    // A single line is named as Wireshark lists it, even when this run named its device.
    if (choice_.target.com != 0)
        lines[0].name = "COM" + std::to_string(choice_.target.com);
    timeline::CaptureStream stream(lines, "kestrane-extcap " KESTRANE_VERSION);
    for (int channel : {1, 2}) {
        if (!used(channel))
            continue;
        stream.setRule(channel, core_.frameRule(channel));
    }
    stream.header(pending_);

    Channels& channels = core_.channels();
    const auto readerGone = [this] { return writeError_ == EPIPE; };
    while (true) {
        if (pending_.size() - pendingFrom_ < kPendingLimit)
            stream.take(core_.journal(), pending_, timeline::now().monoUs);
        if (!flushOutput()) {
            finish();
            return readerGone() ? kStopped
                                : fail(kFailed, "cannot write the capture: " + systemReason(writeError_, ReasonLanguage::English));
        }
        bool left = false;
        for (int channel : {1, 2})
            left = left || (used(channel) && (channels.running(channel) || channels.device(channel).awaiting));
        if (!left) {
            finish();
            stream.take(core_.journal(), pending_, timeline::now().monoUs, true);
            stream.finish(pending_);
            flushOutput();
            return fail(kFailed, "no line is left: the device is lost and not waited for (reconnect=off in ports.conf)");
        }
        pollfd fds[4] = {{stops.fd(), POLLIN, 0},
                         {channels.deviceEventFd(), POLLIN, 0},
                         {channels.watchFd(), POLLIN, 0},
                         {fifo_, static_cast<short>(pendingFrom_ < pending_.size() ? POLLOUT : 0), 0}};
        if (::poll(fds, 4, kWakeMs) < 0 && errno != EINTR) {
            finish();
            return fail(kFailed, "cannot wait for events: " + systemReason(errno, ReasonLanguage::English));
        }
        if ((fds[0].revents & POLLIN) && stops.take() != 0)
            break;
        // The reader closed its end: Wireshark stopped the capture.
        if (fds[3].revents & (POLLERR | POLLHUP)) {
            finish();
            return kStopped;
        }
        if ((fds[1].revents | fds[2].revents) & POLLIN)
            channels.handleDeviceEvents();
    }

    // Stopped: what the lines delivered until now goes out, the open frame closed.
    finish();
    stream.take(core_.journal(), pending_, timeline::now().monoUs, true);
    stream.finish(pending_);
    const std::int64_t until = timeline::now().monoUs + kLastWriteMs * 1000LL;
    while (flushOutput() && pendingFrom_ < pending_.size()) {
        const std::int64_t left = until - timeline::now().monoUs;
        pollfd p{fifo_, POLLOUT, 0};
        if (left <= 0 || ::poll(&p, 1, static_cast<int>(left / 1000) + 1) <= 0 || (p.revents & (POLLERR | POLLHUP)))
            break;
    }
    return kStopped;
}

} // namespace kestrane::headless
