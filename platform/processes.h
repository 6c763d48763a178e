// Starting other programs: the companion tools, the text editor, the PDF reader, and the
// desktop's handler for a document. Programs are started detached; Kestrane never waits for them.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace kestrane {

class Processes {
public:
    // `programDir` is where the kestrane executable lies; `path` the search path (PATH).
    Processes(std::filesystem::path programDir, std::string path);
    // The running program's own folder and PATH.
    static Processes forThisProcess();

    // Finds `name` beside the program, then on the search path; a name ending in ".exe" is also
    // tried without it. Empty when not found. A name with a slash is taken as a path.
    [[nodiscard]] std::filesystem::path find(const std::string& name) const;

    // Starts `program` (found as above) with `args`; false when it cannot be found or started.
    bool start(const std::string& program, const std::vector<std::string>& args = {},
               const std::filesystem::path& workingDir = {}) const;

    // Opens `document` with the desktop's handler (xdg-open); false when that cannot be started.
    bool openDocument(const std::filesystem::path& document) const;

    // Starts the user's text editor on `file` (or in `folder` without a file): $VISUAL, then the
    // desktop's handler for text files (text only), then a known graphical editor that is installed.
    bool startEditor(const std::filesystem::path& file, const std::filesystem::path& folder = {}) const;

    // The folder the program lies in (empty when unknown).
    [[nodiscard]] const std::filesystem::path& programDir() const { return programDir_; }

    // The desktop's handler for documents; replaceable in tests.
    std::string desktopOpener = "xdg-open";

private:
    std::filesystem::path programDir_;
    std::vector<std::filesystem::path> searchPath_;
};

// Splits a parameter text into arguments at white space; double quotes group words.
std::vector<std::string> splitParameters(const std::string& text);

// Starts `argv[0]` (an absolute path) with `argv` detached: the child is not waited for and
// leaves no zombie. False when the program could not be executed.
bool spawnDetached(const std::vector<std::string>& argv, const std::filesystem::path& workingDir = {});

} // namespace kestrane
