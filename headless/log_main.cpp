// kestrane-log: prints a log file (.LOG) or a capture (.pcapng) as text, and turns a log into a
// capture. See kHelp.
#include "headless/capture_text.h"
#include "headless/command_line.h"
#include "headless/log_text.h"
#include "platform/atomic_file.h"
#include "platform/system_reason.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

using namespace kestrane;
using namespace kestrane::headless;

namespace {

constexpr const char* kHelp = R"(Usage: kestrane-log [FORM] [OPTIONS] FILE.LOG|FILE.pcapng
       kestrane-log --to-pcapng OUT.pcapng [--monitor] FILE.LOG

Prints a Kestrane log file (a saved log or an automatic log page) or a capture (.pcapng, as
Kestrane and Wireshark write them) as text, for grep, diff and spreadsheets. The file is checked
first: a damaged file is reported and nothing is printed. A file that starts as a pcapng file
(or is named .pcapng) is read as a capture, any other as a log.

Forms of a log (one of them; --asc when none is given):
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

Forms of a capture: one row per packet (continued past WIDTH cells), with its exact time
(local, to the resolution the file holds: microseconds for Kestrane's captures), the channel
(CHn: the capture's n-th interface, listed first as "# CHn = NAME: DESCRIPTION") and SEND or
READ with the bytes as in the forms above; line errors, modem-line changes and capture losses
are LINE rows with the control lines of that moment:
                 2025-06-15 12:34:56.123456 CH1 SEND |...
                 2025-06-15 12:34:56.150000 CH2 LINE |parity error; lines CTS DSR RTS DTR
  --asc, --hex as above; --time also gives the interval since the packet before
               ("+0.020113"); --csv has the header "time,channel,direction,bytes,event,lines".

Options:
  --width N    Cells per display line, 1 to 1000 (default 64).
  --monitor    The log was recorded as a line monitor (T connection or relay): the upper row
               then holds what CH2 received (labelled "CH2 2chR", as the window's "2chR") and the
               lower row what CH1 received ("CH1 1chR"); in CSV and in a capture such bytes
               count as CH2 received.
  --color WHEN Red for CH2's bytes, as in the window: auto (on a terminal; the default),
               always or never.
  --to-pcapng OUT
               Writes the log as a capture OUT instead of printing it (written whole or not at
               all). Interfaces CH1 and CH2, one packet per run of bytes of one channel and
               direction, a new packet at each time stamp. Times are no finer than the log
               holds: in a log saved with time stamps each packet has the time of the stamp
               before it, to the second (the year and month from when the file was last
               written; the stamps are left out of the packets); a log without stamps has no
               times (all 1970-01-01 00:00:00). The capture opens in Wireshark; to decode
               Modbus RTU: tshark -r OUT -d rtacser.data,mbrtu (see the README for others).
  -h, --help   This text.

Exit status: 0 printed (or written); 1 the file cannot be read, is not a whole log (72004 bytes,
a stored length of 0 to 36000, a tag '0' to '3' for every stored byte) or not a whole capture
(the byte where it breaks is given), or OUT cannot be written; 2 a mistake in the command line.

Examples:
  kestrane-log log/Log12.log | grep -n 'READ.*OK'
  kestrane-log --csv log/Log12.log > Log12.csv
  kestrane-log --hex modbus.pcapng
  kestrane-log --to-pcapng Log12.pcapng log/Log12.log
  diff <(kestrane-log --hex a.LOG) <(kestrane-log --hex b.LOG)
)";

// The first bytes of the file (fewer when it is shorter or cannot be read).
std::vector<std::uint8_t> head(const std::string& file)
{
    std::vector<std::uint8_t> bytes(4);
    std::ifstream in(file, std::ios::binary);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
    return bytes;
}

bool named(const std::string& file, std::string_view extension)
{
    if (file.size() < extension.size())
        return false;
    for (std::size_t i = 0; i < extension.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(file[file.size() - extension.size() + i])) != extension[i])
            return false;
    return true;
}

bool put(const std::string& text)
{
    // A reader that went away (a closed pipe) ends the printing: nothing more to say.
    return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && std::fflush(stdout) == 0;
}

} // namespace

int main(int argc, char* argv[])
{
    ArgReader args(argc, argv);
    LogTextOptions options;
    std::string file;
    int forms = 0;
    std::string colour = "auto";
    std::optional<std::string> toCapture;
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
        } else if (args.is("--to-pcapng")) {
            toCapture = args.value();
            if (toCapture && toCapture->empty())
                args.fail("--to-pcapng needs a file name");
        } else {
            args.unknown();
        }
    }
    if (forms > 1)
        args.fail("choose one form: --asc, --hex, --time or --csv");
    if (toCapture && forms > 0)
        args.fail("--to-pcapng writes a capture: it takes no form");
    if (file.empty())
        args.fail("no log file given");
    if (args.failed())
        return usageError("kestrane-log", args.error(), 2);
    options.colour = options.form != LogForm::Csv && (colour == "always" || (colour == "auto" && ::isatty(STDOUT_FILENO)));

    if (looksLikeCapture(head(file)) || (!toCapture && named(file, ".pcapng"))) {
        if (toCapture) {
            std::fprintf(stderr, "kestrane-log: %s is a capture already; --to-pcapng takes a log file\n", file.c_str());
            return 1;
        }
        const CaptureRead capture = readCapture(file);
        if (!capture.file) {
            std::fprintf(stderr, "kestrane-log: %s %s\n", file.c_str(), capture.error.c_str());
            return 1;
        }
        return put(captureText(*capture.file, options)) ? 0 : 1;
    }

    const LogRead log = readLog(file);
    if (!log.image) {
        std::fprintf(stderr, "kestrane-log: %s %s\n", file.c_str(), log.error.c_str());
        return 1;
    }
    if (!toCapture)
        return put(logText(*log.image, options)) ? 0 : 1;

    LogCaptureOptions capture;
    capture.monitor = options.monitor;
    capture.source = std::filesystem::path(file).filename().string();
    // The stamps give day and time; the month and year come from when the file was written.
    if (struct stat st {}; ::stat(file.c_str(), &st) == 0)
        capture.savedAt = st.st_mtime;
    const std::vector<std::uint8_t> bytes = logCapture(*log.image, capture);
    if (const FileWriteResult result = writeFileAtomically(*toCapture, {bytes}); !result) {
        std::fprintf(stderr, "kestrane-log: cannot write %s: %s\n", toCapture->c_str(),
                     systemReason(result.systemError, ReasonLanguage::English).c_str());
        return 1;
    }
    return 0;
}
