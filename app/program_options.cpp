#include "app/program_options.h"

#include <string_view>

namespace kestrane {

ProgramOptions parseProgramOptions(int argc, const char* const* argv)
{
    ProgramOptions o;
    auto mistake = [&o](std::string text) {
        if (o.action != ProgramOptions::Action::Mistake) {
            o.action = ProgramOptions::Action::Mistake;
            o.mistake = std::move(text);
        }
    };
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        // Options with a value: "--lang en" or "--lang=en".
        const auto eq = a.find('=');
        const std::string_view name = a.substr(0, eq);
        if (name == "--lang" || name == "--folder") {
            std::optional<std::string> value;
            if (eq != std::string_view::npos)
                value = std::string(a.substr(eq + 1));
            else if (i + 1 < argc)
                value = argv[++i];
            if (!value || value->empty()) {
                mistake(std::string(name) + " needs a value");
            } else if (name == "--lang") {
                if (*value == "en" || *value == "ja")
                    o.language = *value;
                else
                    mistake("--lang takes en or ja, not \"" + *value + "\"");
            } else {
                o.folder = *value;
            }
            continue;
        }
        if (a == "-h" || a == "--help") {
            o.action = ProgramOptions::Action::Help;
            return o;  // help answers whatever else was given
        }
        if (a == "--version") {
            if (o.action == ProgramOptions::Action::Run)
                o.action = ProgramOptions::Action::Version;
            continue;
        }
        // The first mistake is told; a later --help still wins.
        if (a.size() > 1 && a[0] == '-')
            mistake("unknown option " + std::string(name));
        else
            mistake("unexpected argument \"" + std::string(a) + "\"");
    }
    return o;
}

const char* programUsage() { return "usage: kestrane [--help] [--version] [--lang en|ja] [--folder DIR]"; }

std::string programVersion() { return "kestrane " KESTRANE_VERSION; }

const char* programHelp()
{
    return R"(Usage: kestrane [--help] [--version] [--lang en|ja] [--folder DIR]

Kestrane watches and drives one or two RS-232C serial lines (CH1, CH2): as a terminal, or
spliced into a line as a monitor (T connection or relay), with every byte recorded with its
channel and direction. It opens a window (Qt 6; the display comes from DISPLAY or
WAYLAND_DISPLAY, or QT_QPA_PLATFORM).

It works in the folder it is started from, or in DIR of --folder: the settings files
Quellorn.dat, Quellorn1.dat, Quellorn2.dat and draw_size.dat (read at the start, written when
the window closes), ports.conf (COM numbers to devices, or rfc2217:// and tcp:// lines served by
another machine), display.conf, language.conf and the log folder live there. The first start
in a new folder says on the splash that each settings file is missing (3 s each) and then offers
the COM-port dialog.

  -h, --help       This text.
  --version        The version.
  --lang en|ja     The language of the window, its messages and manuals: Japanese (ja) is
                   the default; English (en). Without it, KESTRANE_LANG (en or ja) decides,
                   then the choice made in the menu (Language / 言語, kept in language.conf
                   of the folder); the desktop's locale never does.
  --folder DIR     Work in DIR instead of the current folder.

SIGINT (Ctrl-C), SIGTERM and SIGHUP close the window as its 終了 does (the settings are
written); during the splash they end the program without writing anything.

Programs without a window on the same core: kestrane-record, kestrane-macro, kestrane-log;
kestrane-demo tries Kestrane on a simulated instrument. Each explains itself with --help.

Exit status: 0 closed; 2 a mistake in the command line.
)";
}

} // namespace kestrane
