// The demo's start folder: ports.conf naming the demo's two ports, and first-run settings that
// open both ports and frame what the send dialogs send as the instrument expects.
#pragma once

#include "records/settings_records.h"

#include <filesystem>
#include <string>

namespace kestrane::demo {

// COM1: the instrument's line; COM2: the host's side of the line. CH2 is a second independent
// port; frames go out as STX data ETX with a byte-XOR check; no question about saving at exit.
[[nodiscard]] Settings demoSettings();

// The text of ports.conf for the two lines (device paths, or remote lines served by ser2net).
[[nodiscard]] std::string portsConfText(const std::string& instrument, const std::string& host);

// Writes the four settings files when the folder has none yet (the user's later changes stay);
// false when a file could not be written.
bool writeDemoSettingsIfMissing(const std::filesystem::path& folder);

// Creates the log and macro folders and, where they are missing, fixed strings (mdata.txt) and
// an example macro (macro/poll.txt) that talk to the instrument; false when one cannot be written.
bool writeDemoFilesIfMissing(const std::filesystem::path& folder);

} // namespace kestrane::demo
