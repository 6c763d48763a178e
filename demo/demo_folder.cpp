#include "demo/demo_folder.h"

#include "records/settings_files.h"

#include <fstream>

namespace kestrane::demo {

Settings demoSettings()
{
    Settings s;
    SettingsRecord& r = s.record;
    r.ch1ComNumber = 1;
    r.ch2Mode = Ch2Mode::Independent;
    r.ch2ComNumber = 2;
    r.sendStartCharOn = 1;
    setFixedText(r.sendStartCharHex, "02");
    r.sendStopCharOn = 1;
    setFixedText(r.sendStopCharHex, "03");
    r.sendChecksumOn = 1;
    r.checksumMethod = 0;
    r.checksumOutputForm = 0;
    // Traffic never stops in the demo: closing it (or stopping the demo) should not ask.
    r.noExitSaveQuery = 1;
    return s;
}

std::string portsConfText(const std::string& instrument, const std::string& host)
{
    return "# Written by kestrane-demo while it runs: the demo instrument's two lines.\n"
           "# COM1 is the instrument's line, COM2 the host's side of the same line.\n"
           "COM1=" + instrument + "\n" +
           "COM2=" + host + "\n";
}

bool writeDemoSettingsIfMissing(const std::filesystem::path& folder)
{
    std::error_code ec;
    if (std::filesystem::exists(folder / kQuellornFile, ec))
        return true;
    const Settings s = demoSettings();
    bool ok = saveQuellorn1(s, folder);
    ok &= saveQuellorn2(s, folder);
    ok &= saveDrawSize(s, folder);
    ok &= saveQuellorn(s, folder);  // last: its presence means the set is complete
    return ok;
}

namespace {

// Writes `text` unless the file exists; lines end with CR LF, as Kestrane reads them.
bool writeIfMissing(const std::filesystem::path& path, const char* const* lines, std::size_t count)
{
    std::error_code ec;
    if (std::filesystem::exists(path, ec))
        return true;
    std::ofstream out(path, std::ios::binary);
    for (std::size_t i = 0; i < count; ++i)
        out << lines[i] << "\r\n";
    return static_cast<bool>(out.flush());
}

} // namespace

bool writeDemoFilesIfMissing(const std::filesystem::path& folder)
{
    std::error_code ec;
    std::filesystem::create_directories(folder / "log", ec);
    std::filesystem::create_directories(folder / "macro", ec);
    // Frames for "送信" (hex send notation, byte XOR check) and a plain line for "ASCで送信".
    static constexpr const char* kFixedStrings[] = {
        "02\"RD\"0316",
        "02\"ID\"030D",
        "02\"ST\"0307",
        "RD",
    };
    // Asks the instrument for its reading every second (the comment line holds no command word).
    static constexpr const char* kPollMacro[] = {
        "Demo - asks the instrument for its reading every second, until stopped.",
        ":L01",
        "SEND 02\"RD\"0316",
        "ZRED 05,010,020",
        "TIME 010",
        "GOTO L01",
        "PEND",
    };
    bool ok = writeIfMissing(folder / "mdata.txt", kFixedStrings, std::size(kFixedStrings));
    ok &= writeIfMissing(folder / "macro" / "poll.txt", kPollMacro, std::size(kPollMacro));
    return ok;
}

} // namespace kestrane::demo
