// COM numbers to device paths. A text file "ports.conf" in the start-up directory maps
// numbers to any path, one "COM<n>=<path>" a line ('#' starts a comment); a number without an
// entry is /dev/ttyS<n-1>. The system's active console is never handed out.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <string_view>

namespace kestrane {

// "COM<n>" (any case) with n in 1..255 as n; 0 for any other text. The one reader of port
// names: ports.conf's keys and the programs' command lines.
[[nodiscard]] int comNumberOf(std::string_view name);

// The entries of a ports.conf text: COM number (1..255) to path. Lines without "=", with another
// key or with an empty path are skipped; a later line for the same number wins.
[[nodiscard]] std::map<int, std::string> parsePortsConf(std::string_view text);

// Whether a channel whose device was lost is opened again when the device returns: a line
// "reconnect=off" (or no, 0, false; any case) in ports.conf turns it off; the last such line wins.
[[nodiscard]] bool reconnectEnabled(std::string_view portsConfText);
// Sets that line in the ports.conf at `confFile`, keeping every other line. False when the file
// cannot be written.
bool setReconnectEnabled(const std::filesystem::path& confFile, bool enabled);

class PortResolver {
public:
    // Reads the map from `confFile` (a missing file means no entries).
    explicit PortResolver(const std::filesystem::path& confFile,
                          std::filesystem::path consoleList = "/sys/class/tty/console/active");

    // The device path for COM n (n in 1..255).
    [[nodiscard]] std::string pathFor(int comNumber) const;
    // True when `path` (after following links) is one of the system's active console ttys.
    [[nodiscard]] bool isConsole(const std::string& path) const;

    [[nodiscard]] const std::map<int, std::string>& entries() const { return entries_; }

private:
    std::map<int, std::string> entries_;
    std::filesystem::path consoleList_;
};

} // namespace kestrane
