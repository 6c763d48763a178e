// kestrane-log: prints a log file (.LOG) as text. See kHelp.
#include "headless/command_line.h"
#include "headless/log_text.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

using namespace kestrane::headless;

namespace {

constexpr const char* kHelp = R"(Usage: kestrane-log [FORM] [OPTIONS] FILE.LOG

Prints a Kestrane log file (a saved log or an automatic log page) as text, for grep, diff and
spreadsheets. The file is checked first: a damaged file is reported and nothing is printed.

Forms (one of them; --asc when none is given):
  --asc        ASC as the window shows it. Each display line of WIDTH cells becomes one row
               per channel and direction it holds, upper rows first as in the window:
                 00000 CH1 SEND |...   sent on CH1
                 00000 CH2 SEND |...   sent on CH2 (red in the window)
                 00000 CH1 READ |...   received on CH1
                 00000 CH2 READ |...   received on CH2 (red in the window)
               The number is the index of the line's first byte. A byte keeps its cell, so what
               was sent and what came back stand at the positions the window shows them.
               Control bytes show as their control pictures (CR as U+240D), a space as a space,
               Shift-JIS pairs as one character (the log's text is code page 932).
  --hex        HEX: every byte as two hexadecimal digits in its cell.
  --time       Time-stamped ASC: as --asc, and every time stamp (<6d9:5,7> for CH1, <6D9:5,7>
               for CH2, stored in front of each received chunk) starts a new line.
  --csv        CSV with the header "time,channel,direction,bytes": one row per run of bytes of
               one channel and direction (at most 100 bytes, a new row at each time stamp);
               time is the stamp's day and time ("6 09:05:07", empty without a stamp),
               channel 1 or 2, direction "sent" or "received", bytes in hexadecimal.

Options:
  --width N    Cells per display line, 1 to 1000 (default 64).
  --monitor    The log was recorded as a line monitor (T connection or relay): the upper row
               then holds what CH2 received (labelled "CH2 2chR", as the window's "2chR") and the
               lower row what CH1 received ("CH1 1chR"); in CSV such bytes count as CH2 received.
  --color WHEN Red for CH2's bytes, as in the window: auto (on a terminal; the default),
               always or never.
  -h, --help   This text.

Exit status: 0 printed; 1 the file cannot be read or is not a whole log (72004 bytes, a stored
length of 0 to 36000, a tag '0' to '3' for every stored byte); 2 a mistake in the command line.

Examples:
  kestrane-log log/Log12.log | grep -n 'READ.*OK'
  kestrane-log --csv log/Log12.log > Log12.csv
  diff <(kestrane-log --hex a.LOG) <(kestrane-log --hex b.LOG)
)";

} // namespace

int main(int argc, char* argv[])
{
    ArgReader args(argc, argv);
    LogTextOptions options;
    std::string file;
    int forms = 0;
    std::string colour = "auto";
    while (args.next()) {
        if (args.is("-h") || args.is("--help")) {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (args.plain()) {
            if (!file.empty())
                args.fail("give one log file, not \"" + file + "\" and \"" + args.current() + "\"");
            file = args.current();
        } else if (args.is("--asc") || args.is("--hex") || args.is("--time") || args.is("--csv")) {
            args.checkSwitch();
            ++forms;
            options.form = args.is("--asc") ? LogForm::Asc
                           : args.is("--hex") ? LogForm::Hex
                           : args.is("--time") ? LogForm::Time
                                               : LogForm::Csv;
        } else if (args.is("--width")) {
            options.width = static_cast<int>(args.number(1, 1000).value_or(options.width));
        } else if (args.is("--monitor")) {
            args.checkSwitch();
            options.monitor = true;
        } else if (args.is("--color") || args.is("--colour")) {
            colour = args.value().value_or(colour);
            if (colour != "auto" && colour != "always" && colour != "never")
                args.fail("--color takes auto, always or never, not \"" + colour + "\"");
        } else {
            args.unknown();
        }
    }
    if (forms > 1)
        args.fail("choose one form: --asc, --hex, --time or --csv");
    if (file.empty())
        args.fail("no log file given");
    if (args.failed())
        return usageError("kestrane-log", args.error(), 2);
    options.colour = options.form != LogForm::Csv && (colour == "always" || (colour == "auto" && ::isatty(STDOUT_FILENO)));

    const LogRead log = readLog(file);
    if (!log.image) {
        std::fprintf(stderr, "kestrane-log: %s %s\n", file.c_str(), log.error.c_str());
        return 1;
    }
    const std::string text = logText(*log.image, options);
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0)
        return 1;  // the reader went away (a closed pipe): nothing more to say
    return 0;
}
