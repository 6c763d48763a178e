// kestrane-macro: runs a macro file on the serial ports without a window. See kHelp.
#include "app/app_core.h"
#include "headless/macro_runner.h"

#include <cstdio>
#include <cstdlib>
#include <string>

using namespace kestrane;
using namespace kestrane::headless;

namespace {

constexpr const char* kHelp = R"(Usage: kestrane-macro [OPTIONS] FILE

Runs a macro file on the serial ports without a window, with the interpreter of the macro
dialog (Macro実行) and its clock: one command per tick of the macro clock, and while a reception,
time or input-bit wait runs a step every 20 ms, so a wait ends on time. Made for automated
tests: the exit status says whether the macro got through.

It prints every change of what the dialog shows, one a line: the step counter, the status and
the macro's line, e.g. "00000012 waiting for reception (受信待) line 3". The statuses, each with
the dialog's word: running (処理中), waiting for reception (受信待), waiting for time (時間待),
waiting for a button (釦押待), waiting for an input bit (外入待), waiting for typed input
(文入待), finished (処理完). Notices about operands out of range are printed with their line.
A device lost meanwhile is told with its reason.

Ports (default: the settings files of the folder, as the window saved them):
  --folder DIR     The folder with the settings files (Quellorn.dat, Quellorn1.dat,
                   Quellorn2.dat) and ports.conf, as the window's start folder (default: the
                   current folder). The macro clock, the checksum case and whether sent frames
                   are recorded come from there too. Nothing is written there.
  --ch1 PORT       CH1's port: COM1..COM255 (ports.conf maps numbers to devices), or a device
                   path (/dev/ttyUSB0) or a remote line (rfc2217://HOST:PORT, tcp://HOST:PORT)
                   for this run only (ports.conf is not written).
  --ch2 PORT       CH2's port, in the same forms, as a second port of its own; --ch2 none: CH2
                   not used. Macros do not run while the settings use CH2 as a line monitor, as
                   in the window.
  --line RATE[,DPS]  Line settings of both ports instead of those of Quellorn1.dat, e.g.
                   115200 or 9600,7E1 (data bits, parity N O E M S, stop bits 1, 1.5 or 2).

The run:
  --clock MS       The macro clock in milliseconds, 1 to 1000, instead of the settings' (200
                   without a settings file).
  --timeout S      End the run after S seconds (a decimal number) with exit status 1.
  --button N       Answer a wait for a button (PUSE, PUSM) with Button N (1..6). Give it again
                   for the waits that follow, in order; the last one answers every later wait.
  --input1 TEXT    With --input2: answer a wait for typed input (ICHR) as if TEXT had been
  --input2 TEXT    typed into "Input 1" and "Input 2" and the done button (文字入力完了)
                   pressed (sent on the line as code page 932, at most 59 bytes each). Every
                   such wait gets them.
  --log FILE       Save the traffic of the run (what was sent and received, as the window's
                   traffic buffer holds it) as a log file, which the window opens and
                   kestrane-log prints.
  --quiet          Print only the outcome.
  -h, --help       This text.

Exit status:
  0  the macro ended at its end command (PEND), or ran past its last command;
  1  --timeout ran out, or SIGINT, SIGTERM or SIGHUP stopped the run;
  2  a send failed (which ends the run), the file cannot be read, a port does not open (the
     reason is printed), the log file cannot be written, or a mistake in the command line;
  3  the macro waits for what only a person can give: a button without --button, typed input
     without --input1/--input2, or an external input bit (BTON, BOFF), which nothing sets
     without a window.

Example: a pass/fail step of a test run, with a 30 s limit:
  kestrane-macro --ch1 COM3 --line 115200 --timeout 30 --log run.LOG macro/selftest.txt
)";

} // namespace

int main(int argc, char* argv[])
{
    StopSignals stops;  // before any thread starts, so only its descriptor hears the signals
    if (stopSignalsFailed(stops, "kestrane-macro"))
        return MacroRunner::kFailed;
    ArgReader args(argc, argv);
    MacroOptions options;
    std::filesystem::path folder = ".";
    while (args.next()) {
        if (args.is("-h") || args.is("--help")) {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (readPortOption(args, options.ports, false))
            continue;
        if (args.plain()) {
            if (!options.file.empty())
                args.fail("give one macro file, not \"" + options.file.string() + "\" and \"" + args.current() + "\"");
            options.file = args.current();
        } else if (args.is("--folder")) {
            folder = args.value().value_or(folder.string());
        } else if (args.is("--clock")) {
            if (const auto ms = args.number(1, 1000))
                options.clockMs = static_cast<int>(*ms);
        } else if (args.is("--timeout")) {
            if (const auto text = args.value()) {
                char* end = nullptr;
                const double seconds = std::strtod(text->c_str(), &end);
                if (text->empty() || *end != 0 || !(seconds > 0 && seconds <= 30 * 86400.0))
                    args.fail("--timeout takes a number of seconds above 0, not \"" + *text + "\"");
                options.timeoutSeconds = seconds;
            }
        } else if (args.is("--button")) {
            if (const auto n = args.number(1, 6))
                options.buttons.push_back(static_cast<int>(*n));
        } else if (args.is("--input1")) {
            options.input1 = args.value();
        } else if (args.is("--input2")) {
            options.input2 = args.value();
        } else if (args.is("--log")) {
            if (const auto file = args.value())
                options.log = *file;
        } else if (args.is("--quiet")) {
            args.checkSwitch();
            options.quiet = true;
        } else {
            args.unknown();
        }
    }
    std::error_code ec;
    if (options.file.empty())
        args.fail("no macro file given");
    else if (!std::filesystem::is_directory(folder, ec))
        args.fail("the folder " + folder.string() + " does not exist");
    if (args.failed())
        return usageError("kestrane-macro", args.error(), MacroRunner::kFailed);

    AppCore core(std::filesystem::absolute(folder).lexically_normal());
    MacroRunner runner(core, options, stdout);
    return runner.run(stops);
}
