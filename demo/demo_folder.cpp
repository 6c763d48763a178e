#include "demo/demo_folder.h"

#include "settings/settings_files.h"

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

std::string portsConfText(const std::filesystem::path& instrument, const std::filesystem::path& host)
{
    return "# Written by kestrane-demo while it runs: the demo instrument's two pseudo-terminals.\n"
           "# COM1 is the instrument's line, COM2 the host's side of the same line.\n"
           "COM1=" + instrument.string() + "\n" +
           "COM2=" + host.string() + "\n";
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

} // namespace kestrane::demo
