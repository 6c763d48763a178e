#include "app/program_options.h"

#include <string_view>

namespace kestrane {

ProgramOptions parseProgramOptions(int argc, const char* const* argv)
{
    ProgramOptions o;
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        if (a == "-h" || a == "--help") {
            o.action = ProgramOptions::Action::Help;
            return o;  // help answers whatever else was given
        }
        if (a == "--version") {
            if (o.action == ProgramOptions::Action::Run)
                o.action = ProgramOptions::Action::Version;
            continue;
        }
        if (o.action == ProgramOptions::Action::Mistake)
            continue;  // the first mistake is told; a later --help still wins
        o.action = ProgramOptions::Action::Mistake;
        if (a.size() > 1 && a[0] == '-') {
            const auto eq = a.find('=');
            o.mistake = "unknown option " + std::string(a.substr(0, eq));
        } else {
            o.mistake = "unexpected argument \"" + std::string(a) + "\"";
        }
    }
    return o;
}

const char* programUsage() { return "usage: kestrane [--help] [--version]"; }

std::string programVersion() { return "kestrane " KESTRANE_VERSION; }

const char* programHelp()
{
    return R"(Usage: kestrane [--help] [--version]

Kestrane watches and drives one or two RS-232C serial lines (CH1, CH2): as a terminal, or
spliced into a line as a monitor (T connection or relay), with every byte recorded with its
channel and direction. It opens a window (Qt 6; the display comes from DISPLAY or
WAYLAND_DISPLAY, or QT_QPA_PLATFORM).

It works in the folder it is started from: the settings files Quellorn.dat, Quellorn1.dat,
Quellorn2.dat and draw_size.dat (read at the start, written when the window closes),
ports.conf (COM numbers to devices, or rfc2217:// and tcp:// lines served by another machine),
display.conf and the log folder live there. The first start in a new folder says on the splash
that each settings file is missing (3 s each) and then offers the COM-port dialog.

  -h, --help     This text.
  --version      The version.

SIGINT (Ctrl-C), SIGTERM and SIGHUP close the window as its 終了 does (the settings are
written); during the splash they end the program without writing anything.

Programs without a window on the same core: kestrane-record, kestrane-macro, kestrane-log;
kestrane-demo tries Kestrane on a simulated instrument. Each explains itself with --help.

Exit status: 0 closed; 2 a mistake in the command line.
)";
}

} // namespace kestrane
