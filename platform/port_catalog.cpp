#include "platform/port_catalog.h"

#include "platform/atomic_file.h"
#include "platform/port_resolver.h"
#include "platform/remote_address.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <system_error>

namespace kestrane {

namespace fs = std::filesystem;

namespace {

bool sameFile(const std::string& a, const std::string& b)
{
    if (a == b)
        return true;
    std::error_code ec;
    const bool same = fs::equivalent(a, b, ec);
    return !ec && same;
}

// A path that ports.conf can hold on one line: no comment sign, no line break, no blanks at the ends.
bool writable(const std::string& path)
{
    return !path.empty() && path.find_first_of("#\r\n") == std::string::npos && path.front() != ' ' &&
           path.back() != ' ' && path.front() != '\t' && path.back() != '\t';
}

std::string oneLine(std::string text)
{
    for (char& c : text)
        if (c == '\r' || c == '\n')
            c = ' ';
    return text;
}

// Appends `lines` to the file: the old text and the new lines replace the file in one step.
bool appendLines(const fs::path& file, const std::string& lines)
{
    std::string text;
    {
        std::ifstream in(file, std::ios::binary);
        if (in)
            text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        else if (fs::exists(file))
            return false;  // there, but not readable: never overwrite it
    }
    if (!text.empty() && text.back() != '\n')
        text.push_back('\n');
    text += lines;
    return writeFileAtomically(file, {std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size())});
}

// k for "ttyS<k>", else -1.
int uartIndex(const std::string& name)
{
    if (name.rfind("ttyS", 0) != 0 || name.size() < 5 || name.size() > 8)
        return -1;
    int k = 0;
    for (std::size_t i = 4; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9')
            return -1;
        k = k * 10 + (name[i] - '0');
    }
    return k;
}

} // namespace

PortCatalog catalogPorts(const fs::path& confFile, const std::vector<SerialDevice>& devices, const fs::path& consoleList,
                         CatalogWrite write)
{
    const PortResolver resolver(confFile, consoleList);
    const std::map<int, std::string>& entries = resolver.entries();

    std::set<int> taken;
    for (const auto& [n, path] : entries)
        taken.insert(n);

    struct Numbered {
        const SerialDevice* device;
        int number;
        bool isNew;
        bool implicit;  // the on-board default number of a UART
    };
    std::vector<Numbered> numbered;
    std::vector<const SerialDevice*> waiting;

    // Known devices, and UARTs on their default numbers, before anyone gets a free number.
    for (const SerialDevice& d : devices) {
        int known = 0;
        for (const auto& [n, path] : entries) {
            if (path == d.stableName || sameFile(path, d.devicePath)) {
                known = n;
                break;
            }
        }
        if (known != 0) {
            numbered.push_back({&d, known, false, false});
            continue;
        }
        const int k = uartIndex(d.name);
        if (k >= 0 && k + 1 <= 255 && taken.count(k + 1) == 0) {
            taken.insert(k + 1);
            numbered.push_back({&d, k + 1, true, true});
            continue;
        }
        waiting.push_back(&d);
    }
    // A free number is not one a listed UART answers to by default.
    std::set<int> reserved = taken;
    for (const SerialDevice& d : devices)
        if (const int k = uartIndex(d.name); k >= 0 && k + 1 <= 255)
            reserved.insert(k + 1);
    int next = 1;
    for (const SerialDevice* d : waiting) {
        while (next <= 255 && reserved.count(next) != 0)
            ++next;
        if (next > 255)
            break;  // every number is in use: the rest cannot be offered
        reserved.insert(next);
        numbered.push_back({d, next, true, false});
    }

    std::string lines;
    for (const Numbered& n : numbered) {
        if (!n.isNew)
            continue;
        const std::string path = writable(n.device->stableName) ? n.device->stableName : n.device->devicePath;
        if (!writable(path))
            continue;
        lines += "# " + oneLine(n.device->description) + " (" + oneLine(n.device->name) + ")\n";
        lines += "COM" + std::to_string(n.number) + "=" + path + "\n";
    }
    PortCatalog out;
    const bool saved = lines.empty() || write == CatalogWrite::No || appendLines(confFile, lines);
    out.saveFailed = !saved;

    std::set<int> listed;
    for (const Numbered& n : numbered) {
        const std::string path = writable(n.device->stableName) ? n.device->stableName : n.device->devicePath;
        if (n.isNew && !writable(path))
            continue;
        // Without its entry a new number would open the on-board port of that number instead.
        if (n.isNew && !saved && !n.implicit)
            continue;
        if (n.isNew && saved)
            out.newNumbers.push_back(n.number);
        out.ports.push_back({n.number, n.isNew ? path : entries.at(n.number), n.device->description});
        listed.insert(n.number);
    }
    for (const auto& [n, path] : entries) {
        if (listed.count(n) != 0)
            continue;
        if (looksRemote(path)) {  // a line served on another machine: offered as it is named
            out.ports.push_back({n, path, {}});
            continue;
        }
        std::error_code ec;
        if (!fs::exists(path, ec) || resolver.isConsole(path))
            continue;
        out.ports.push_back({n, path, {}});
    }
    std::sort(out.ports.begin(), out.ports.end(),
              [](const CatalogPort& a, const CatalogPort& b) { return a.comNumber < b.comNumber; });
    std::sort(out.newNumbers.begin(), out.newNumbers.end());
    return out;
}

} // namespace kestrane
