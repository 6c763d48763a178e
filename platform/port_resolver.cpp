#include "platform/port_resolver.h"

#include "platform/atomic_file.h"

#include <sys/stat.h>

#include <cctype>
#include <fstream>
#include <optional>
#include <sstream>
#include <system_error>
#include <vector>

namespace kestrane {

namespace {

std::string trim(const std::string& s)
{
    std::size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b])))
        ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1])))
        --e;
    return s.substr(b, e - b);
}

// Two paths name the same terminal: one file after following links, or one character device.
bool sameDevice(const std::string& a, const std::string& b)
{
    std::error_code ec1, ec2;
    const auto ca = std::filesystem::canonical(a, ec1);
    const auto cb = std::filesystem::canonical(b, ec2);
    if (!ec1 && !ec2 && ca == cb)
        return true;
    struct stat sa {}, sb {};
    if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0)
        return false;
    return S_ISCHR(sa.st_mode) && S_ISCHR(sb.st_mode) && sa.st_rdev == sb.st_rdev;
}

} // namespace

int comNumberOf(std::string_view key)
{
    if (key.size() < 4 || key.size() > 6)
        return 0;
    for (std::size_t i = 0; i < 3; ++i)
        if (std::toupper(static_cast<unsigned char>(key[i])) != "COM"[i])
            return 0;
    int n = 0;
    for (std::size_t i = 3; i < key.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(key[i])))
            return 0;
        n = n * 10 + (key[i] - '0');
    }
    return (n >= 1 && n <= 255) ? n : 0;
}

std::map<int, std::string> parsePortsConf(std::string_view text)
{
    std::map<int, std::string> entries;
    std::istringstream in{std::string(text)};
    std::string line;
    while (std::getline(in, line)) {
        if (const auto hash = line.find('#'); hash != std::string::npos)
            line.erase(hash);
        const auto eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        const int n = comNumberOf(trim(line.substr(0, eq)));
        const std::string path = trim(line.substr(eq + 1));
        if (n == 0 || path.empty())
            continue;
        entries[n] = path;
    }
    return entries;
}

namespace {

std::string lower(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// The value of a "reconnect=" line, or nothing for any other line.
std::optional<bool> reconnectLine(std::string line)
{
    if (const auto hash = line.find('#'); hash != std::string::npos)
        line.erase(hash);
    const auto eq = line.find('=');
    if (eq == std::string::npos || lower(trim(line.substr(0, eq))) != "reconnect")
        return std::nullopt;
    const std::string v = lower(trim(line.substr(eq + 1)));
    return !(v == "off" || v == "no" || v == "0" || v == "false");
}

} // namespace

bool reconnectEnabled(std::string_view text)
{
    bool enabled = true;
    std::istringstream in{std::string(text)};
    std::string line;
    while (std::getline(in, line))
        if (const auto v = reconnectLine(line))
            enabled = *v;
    return enabled;
}

bool setReconnectEnabled(const std::filesystem::path& confFile, bool enabled)
{
    std::ifstream in(confFile, std::ios::binary);
    std::string out;
    std::string line;
    while (std::getline(in, line))
        if (!reconnectLine(line))
            out += line + "\n";
    out += enabled ? "reconnect=on\n" : "reconnect=off\n";
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(out.data());
    return writeFileAtomically(confFile, {std::span<const std::uint8_t>(bytes, out.size())});
}

PortResolver::PortResolver(const std::filesystem::path& confFile, std::filesystem::path consoleList)
    : consoleList_(std::move(consoleList))
{
    std::ifstream in(confFile, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    entries_ = parsePortsConf(text.str());
}

std::string PortResolver::pathFor(int comNumber) const
{
    if (comNumber < 1 || comNumber > 255)
        return {};
    if (const auto it = entries_.find(comNumber); it != entries_.end())
        return it->second;
    return "/dev/ttyS" + std::to_string(comNumber - 1);
}

bool PortResolver::isConsole(const std::string& path) const
{
    // The kernel's console list names ttys relative to /dev ("tty0 ttyS0"); the console and the
    // virtual-terminal aliases are refused whatever it says.
    std::vector<std::string> consoles{"/dev/console", "/dev/tty0", "/dev/tty"};
    std::ifstream in(consoleList_);
    std::string name;
    while (in >> name)
        consoles.push_back("/dev/" + name);
    for (const auto& c : consoles)
        if (sameDevice(path, c))
            return true;
    return false;
}

} // namespace kestrane
