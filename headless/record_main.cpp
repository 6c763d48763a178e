// kestrane-record: records CH1 and CH2 without a window into automatic-log pages. See kHelp.
#include "app/app_core.h"
#include "headless/recorder.h"
#include "capture/payload_protocol.h"
#include "traffic/log_file.h"

#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <cstring>
#include <optional>
#include <utility>
#include <string>

using namespace kestrane;
using namespace kestrane::headless;

namespace {

constexpr const char* kHelp = R"(Usage: kestrane-record [OPTIONS]

Records serial traffic without a window, for hours or days: every byte received on CH1 and CH2
(and, as a relay, passed on to the other port) is stored with its channel and direction and
written page by page into numbered log files, which the window opens (ファイル → 開く) and
kestrane-log prints. Runs until SIGINT (Ctrl-C), SIGTERM or SIGHUP, which write the page in
progress as a complete log file; nothing read before the signal is lost.

Ports and modes (default: the settings files of the folder, as the window saved them):
  --folder DIR     The folder with the settings files (Quellorn.dat, Quellorn1.dat,
                   Quellorn2.dat) and ports.conf, as the window's start folder (default: the
                   current folder). Missing files mean the window's defaults. The recorder never
                   writes them.
  --ch1 PORT       CH1's port: COM1..COM255 (ports.conf maps numbers to devices, and a number
                   without an entry means /dev/ttyS<n-1>), or a device path (/dev/ttyUSB0) or
                   a remote line (rfc2217://HOST:PORT, tcp://HOST:PORT) for this run only
                   (ports.conf is not written).
  --ch2 PORT       CH2's port, in the same forms; without --tap or --relay, and unless the
                   settings use CH2 as a line monitor, a second port of its own. --ch2 none:
                   CH2 not used.
  --tap            Line monitor, T connection: both ports only listen to one line.
  --relay          Line monitor, relay: every byte received on one port is sent out on the other.
  --line RATE[,DPS]  Line settings of both ports instead of those of Quellorn1.dat: the rate,
                   and data bits, parity (N O E M S) and stop bits (1, 1.5, 2), e.g. 115200 or
                   9600,7E1. Flow control and time-outs stay as the settings file has them.

Log files:
  --log-dir DIR    Where the pages go (default: the folder's log/, created when missing).
  --prefix TEXT    File names TEXT<n>.log (default: the settings' automatic-logging prefix,
                   "Log" without a settings file; at most 31 bytes).
                   Each page holds up to 36000 bytes of traffic (the buffer size of the settings
                   times 60, less a margin) in a log file of 72004 bytes. Numbering goes on after
                   the highest number already in the folder, so a restart never overwrites a page.
                   Pages always leave {floor} MiB free on the log folder's file system: below
                   that, pages are held back (said once) while recording goes on, and are
                   written again from the next page on once {resume} MiB are free.
  --time-stamps    Store the time (<6d9:5,7> for CH1, <6D9:5,7> for CH2) before every received
                   chunk, as the window's time-stamped display does. In relay mode only the
                   received bytes are passed on.
  --checkpoint S   Also write the page in progress every S seconds while it grows (default 60;
                   0: only at the end), so a crash or power cut loses at most that much.

Captures for Wireshark (beside the pages, in the same folder):
  --pcapng         Also write the lines as pcapng captures, which Wireshark and tshark open:
                   one interface per channel, one packet per frame (split where the line goes
                   quiet) with the time of its first byte to the microsecond and the control
                   lines of that moment, one per line error, modem-line change and loss. The
                   files take turns: TEXT_<n>_<YYYYMMDDhhmmss>.pcapng (TEXT the page prefix), each
                   written as .part and renamed when it ends; the next begins with the packet
                   after the last one of the one before.
  --pcapng-size SIZE  End a capture once it holds SIZE bytes (k, M, G: KiB, MiB, GiB; default
                   64M, at least 4k).
  --pcapng-time T  Also end a capture after T seconds (m, h, d: minutes, hours, days; default:
                   no time limit).
  --pcapng-keep N  Keep at most N captures in the folder, the one being written included
                   (default 20): the oldest are removed, those of earlier runs too, so a
                   capture running for weeks never fills the disk.
  --protocol NAME  The payload protocol the interfaces name, so the reader knows what to decode
                   it as: {protocols} (tshark -d rtacser.data,NAME; for Modbus RTU also
                   -o mbrtu.crc_verification:TRUE to check each CRC).
                   The --pcapng-* options and --protocol imply --pcapng.

Output:
  On a terminal one status line is kept up to date: bytes received on each channel (in relay
  mode: passed each way), the kinds of line errors seen, losses and reconnections, and the page
  being filled. Events are printed above it, one a line with the date and time: the start,
  each completed page, line errors (at most once a minute per channel), a lost device, a
  reconnection, a page that could not be written, pages held back for want of room and written
  again, the end (without a terminal with the last status line).
  --events         Also print what happened on the lines apart from their bytes, as it
                   happens, one a line: the time (ISO 8601, local, to the microsecond: when the
                   program took the bytes from the driver or heard of the change), the channel,
                   the kind and what it was. Line errors at their byte ("CH1 line-error parity
                   at byte 1234": bytes counted from the first one recorded, across all pages,
                   time stamps included), modem-line changes ("CH2 modem CTS=1 DSR=1 RI=0 DCD=0
                   changed DCD"), and what the program and the user did: opened, closed, lost,
                   reconnected, line settings applied, purge, DTR/RTS, break, XOFF/XON, and
                   whether the driver holds the low latency asked for.
  --quiet          Only the events, also on a terminal (always so without a terminal, e.g.
                   under systemd, where they go to the journal).
  -h, --help       This text.

A device that goes away (an unplugged USB adapter) is reopened with its line settings when it
comes back, as in the window, unless ports.conf says reconnect=off. Recording goes on on the
other channel meanwhile.

Exit status: 0 stopped by a signal, every page written; 1 the last page could not be written,
or no channel is left (every device lost with reconnection off); 2 recording could not start:
a port does not open (the reason is printed), the log folder cannot be used, or a mistake in
the command line.

Example: relay between COM3 and COM4 at 115200 baud, pages in ./log:
  kestrane-record --ch1 COM3 --ch2 COM4 --relay --line 115200,8N1
A systemd unit for running it day and night is installed as
/usr/share/doc/kestrane/examples/kestrane-record.service.
)";

// "64M" and the like: a size in bytes (k, M, G for KiB, MiB, GiB).
std::optional<std::uint64_t> parseSize(const std::string& text)
{
    std::uint64_t n = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (error != std::errc{} || end == text.data())
        return std::nullopt;
    const std::string unit(end, text.data() + text.size());
    const int shift = unit.empty() ? 0 : unit == "k" || unit == "K" ? 10 : unit == "M" ? 20 : unit == "G" ? 30 : -1;
    if (shift < 0 || n > (std::uint64_t{1} << (63 - shift)))
        return std::nullopt;
    return n << shift;
}

// "90", "15m", "6h", "7d": seconds.
std::optional<std::int64_t> parseDuration(const std::string& text)
{
    std::int64_t n = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (error != std::errc{} || end == text.data() || n <= 0 || n > 366LL * 86400)
        return std::nullopt;
    const std::string unit(end, text.data() + text.size());
    const std::int64_t scale = unit.empty() || unit == "s" ? 1 : unit == "m" ? 60 : unit == "h" ? 3600 : unit == "d" ? 86400 : 0;
    if (scale == 0 || n * scale > 366LL * 86400)
        return std::nullopt;
    return n * scale;
}

std::string protocolNames()
{
    std::string names;
    for (const pcapng::PayloadProtocol& p : pcapng::kPayloadProtocols)
        names += (names.empty() ? "" : ", ") + std::string(p.name);
    return names;
}

// The help with the free-space numbers of the page writer.
std::string helpText()
{
    std::string text = kHelp;
    text.replace(text.find("{protocols}"), std::strlen("{protocols}"), protocolNames());
    for (const auto& [name, bytes] : {std::pair{"{floor}", kAutoLogFreeSpaceFloor},
                                      std::pair{"{resume}", kAutoLogFreeSpaceFloor + kAutoLogResumeMargin}})
        text.replace(text.find(name), std::strlen(name), std::to_string(bytes >> 20));
    return text;
}

} // namespace

int main(int argc, char* argv[])
{
    StopSignals stops;  // before any thread starts, so only its descriptor hears the signals
    if (stopSignalsFailed(stops, "kestrane-record"))
        return Recorder::kCannotStart;
    ArgReader args(argc, argv);
    RecordOptions options;
    std::filesystem::path folder = ".";
    bool quiet = false;
    while (args.next()) {
        if (args.is("-h") || args.is("--help")) {
            std::fputs(helpText().c_str(), stdout);
            return 0;
        }
        if (readPortOption(args, options.ports, true))
            continue;
        if (args.is("--folder")) {
            folder = args.value().value_or(folder.string());
        } else if (args.is("--log-dir")) {
            if (const auto dir = args.value())
                options.logDir = *dir;
        } else if (args.is("--prefix")) {
            options.prefix = args.value();
            if (options.prefix && options.prefix->size() > 31)
                args.fail("--prefix takes at most 31 bytes");
        } else if (args.is("--time-stamps")) {
            args.checkSwitch();
            options.timeStamps = true;
        } else if (args.is("--checkpoint")) {
            options.checkpointSeconds = static_cast<int>(args.number(0, 86400).value_or(options.checkpointSeconds));
        } else if (args.is("--events")) {
            args.checkSwitch();
            options.events = true;
        } else if (args.is("--pcapng")) {
            args.checkSwitch();
            options.pcapng = true;
        } else if (args.is("--pcapng-size")) {
            options.pcapng = true;
            if (const auto text = args.value()) {
                const auto size = parseSize(*text);
                if (!size || *size < 4096)
                    args.fail("--pcapng-size takes a size of at least 4k, e.g. 64M");
                else
                    options.rotation.maxBytes = *size;
            }
        } else if (args.is("--pcapng-time")) {
            options.pcapng = true;
            if (const auto text = args.value()) {
                if (const auto seconds = parseDuration(*text))
                    options.rotation.maxSeconds = *seconds;
                else
                    args.fail("--pcapng-time takes a time of at most a year, e.g. 3600, 15m, 6h or 1d");
            }
        } else if (args.is("--pcapng-keep")) {
            options.pcapng = true;
            options.rotation.keep = static_cast<int>(args.number(1, 100000).value_or(options.rotation.keep));
        } else if (args.is("--protocol")) {
            options.pcapng = true;
            if (const auto text = args.value()) {
                if (const pcapng::PayloadProtocol* p = pcapng::findPayloadProtocol(*text))
                    options.protocol = p;
                else
                    args.fail("--protocol takes " + protocolNames());
            }
        } else if (args.is("--quiet")) {
            args.checkSwitch();
            quiet = true;
        } else {
            args.unknown();
        }
    }
    std::error_code ec;
    if (!args.failed() && !std::filesystem::is_directory(folder, ec))
        args.fail("the folder " + folder.string() + " does not exist");
    if (args.failed())
        return usageError("kestrane-record", args.error(), Recorder::kCannotStart);

    AppCore core(std::filesystem::absolute(folder).lexically_normal());
    Console console(stdout, !quiet && ::isatty(STDOUT_FILENO));
    Recorder recorder(core, options, console);
    if (const int code = recorder.start(); code != Recorder::kStopped)
        return code;
    return recorder.run(stops);
}
