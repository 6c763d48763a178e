// kestrane-extcap: Kestrane's lines as Wireshark capture interfaces. See kHelp.
#include "app/app_core.h"
#include "headless/command_line.h"
#include "headless/extcap.h"
#include "records/settings_files.h"

#include <cstdio>
#include <cstdlib>
#include <string>

using namespace kestrane;
using namespace kestrane::headless;

namespace {

constexpr const char* kHelp = R"(Usage: kestrane-extcap --extcap-interfaces
       kestrane-extcap --extcap-interface IF --extcap-dlts
       kestrane-extcap --extcap-interface IF --extcap-config
       kestrane-extcap --extcap-interface IF --capture --fifo PATH [OPTIONS]

Kestrane's serial lines as capture interfaces of Wireshark and tshark. Wireshark starts this
program itself: put it (or a link to it) in Wireshark's extcap folder, e.g.
~/.config/wireshark/extcap, and its lines appear in the interface list:
  kestrane-COM<n>   one port: every COM number the COM-port dialog offers (the entries of
                    ports.conf whose device is there, remote lines, the serial ports found)
  kestrane-tap      a line monitor: two ports listening to one line (T connection)
  kestrane-relay    a relay: two ports, each passing on what the other receives
Packets use the serial link type (250, "RTAC Serial"): one per frame (bytes of one port and
direction until the line is quiet for 3.5 characters), one per line error, break, modem-line
change and capture loss, with the control lines of that moment.

The folder with ports.conf and the settings files is $KESTRANE_HOME, else ~/Kestrane (as when
Kestrane starts from the desktop menu); --folder DIR names another. Nothing there is written.

Capture options (Wireshark's interface options; tshark: -o extcap.<interface>.<option>:VALUE,
the interface with '_' for '-', e.g. -o extcap.kestrane_com3.rate:19200). Without them the
line settings Kestrane keeps for that port are used:
  --rate N             bits per second (50 to 4000000)
  --data-bits N        5 to 8
  --parity P           none, odd, even, mark or space
  --stop-bits S        1, 1.5 or 2
  --flow F             none, xonxoff or rtscts
  --ch1 PORT, --ch2 PORT   the pair of kestrane-tap and kestrane-relay: COMn, a device path or
                       a remote line (rfc2217://HOST:PORT, tcp://HOST:PORT)
  --protocol NAME      the payload protocol, noted in the capture: data, mbrtu (Modbus RTU),
                       dnp3, iec60870_101, iec60870_5_103, cp2179, lg8979, selfm, synphasor.
                       Wireshark decodes it with Decode As (RTAC Serial Data); tshark with
                       -d rtacser.data,NAME, e.g. -d rtacser.data,mbrtu.

Other options: --extcap-version (the version), --folder DIR, -h/--help.

Exit status: 0 stopped by Wireshark (SIGTERM or SIGINT, or the fifo closed); 1 the capture
could not be written or no line is left; 2 a port does not open (the reason is printed) or a
mistake in the command line.
)";

} // namespace

int main(int argc, char* argv[])
{
    StopSignals stops;  // before any thread starts, so only its descriptor hears the signals
    ArgReader args(argc, argv);
    bool interfaces = false, dlts = false, config = false, capture = false, version = false;
    std::string interface;
    std::optional<std::filesystem::path> folder;
    CaptureChoice choice;
    while (args.next()) {
        if (args.is("-h") || args.is("--help")) {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (readCaptureOption(args, choice))
            continue;
        if (args.is("--extcap-interfaces")) {
            args.checkSwitch();
            interfaces = true;
        } else if (args.is("--extcap-version")) {
            // Wireshark names its own version along with the question for the interfaces.
            version = true;
            if (args.current().find('=') == std::string::npos)
                args.checkSwitch();
        } else if (args.is("--extcap-interface")) {
            interface = args.value().value_or("");
        } else if (args.is("--extcap-dlts")) {
            args.checkSwitch();
            dlts = true;
        } else if (args.is("--extcap-config")) {
            args.checkSwitch();
            config = true;
        } else if (args.is("--capture")) {
            args.checkSwitch();
            capture = true;
        } else if (args.is("--fifo")) {
            choice.fifo = args.value().value_or("");
        } else if (args.is("--extcap-capture-filter")) {
            if (const auto filter = args.value(); filter && !filter->empty())
                args.fail("Kestrane's interfaces take no capture filter (use a display filter)");
        } else if (args.is("--folder")) {
            if (const auto dir = args.value())
                folder = *dir;
        } else {
            args.unknown();
        }
    }
    std::optional<ExtcapTarget> target;
    if (!args.failed() && (dlts || config || capture)) {
        if (interface.empty())
            args.fail("no interface given (--extcap-interface)");
        else if (!(target = parseInterface(interface)))
            args.fail("unknown interface \"" + interface + "\"");
    }
    if (!args.failed() && capture && choice.fifo.empty())
        args.fail("no fifo given (--fifo PATH)");
    if (!args.failed() && !interfaces && !dlts && !config && !capture && !version)
        args.fail("nothing asked: --extcap-interfaces, --extcap-dlts, --extcap-config or --capture");
    if (args.failed())
        return usageError("kestrane-extcap", args.error(), ExtcapCapture::kCannotStart);
    if (stopSignalsFailed(stops, "kestrane-extcap"))
        return ExtcapCapture::kCannotStart;

    const std::filesystem::path home = std::filesystem::absolute(
        folder.value_or(kestraneFolder(std::getenv("KESTRANE_HOME"), std::getenv("HOME"))));
    if (interfaces) {
        std::fputs(interfacesText(extcapPorts(home)).c_str(), stdout);
        return 0;
    }
    if (dlts) {
        std::fputs(dltsText(interface).c_str(), stdout);
        return 0;
    }
    if (config) {
        Settings settings;
        loadQuellorn(settings, home);
        loadQuellorn1(settings, home);
        std::fputs(configText(*target, extcapPorts(home), settings).c_str(), stdout);
        return 0;
    }
    if (!capture) {
        std::fputs(versionText().c_str(), stdout);
        return 0;
    }
    choice.target = *target;
    choice.interface = interface;
    AppCore core(home);
    ExtcapCapture run(core, std::move(choice), stderr);
    if (const int code = run.start(extcapPorts(home)); code != ExtcapCapture::kStopped)
        return code;
    return run.run(stops);
}
