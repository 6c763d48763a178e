// The command line of the window program `kestrane`: options that only print (help, version)
// and mistakes, decided before anything opens a window or touches a file.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace kestrane {

struct ProgramOptions {
    enum class Action { Run, Help, Version, Mistake };
    Action action = Action::Run;
    std::string mistake;  // for Mistake: one sentence, e.g. "unknown option --x"
    std::optional<std::string> language;           // --lang en|ja
    std::optional<std::filesystem::path> folder;   // --folder DIR: the start folder instead of the current one
};

// Reads the arguments after the program's name. The first mistake counts.
[[nodiscard]] ProgramOptions parseProgramOptions(int argc, const char* const* argv);

// What --help prints (English, as the other programs' help).
[[nodiscard]] const char* programHelp();
// What --version prints: "kestrane 1.91".
[[nodiscard]] std::string programVersion();
// The one usage line printed under a mistake.
[[nodiscard]] const char* programUsage();

} // namespace kestrane
