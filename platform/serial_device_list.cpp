#include "platform/serial_device_list.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <set>
#include <system_error>

namespace kestrane {

namespace fs = std::filesystem;

namespace {

// The first line of a sysfs attribute, trimmed; empty when it cannot be read. Attributes are
// short: anything past 255 bytes is not ours to show.
std::string readAttribute(const fs::path& file)
{
    std::ifstream in(file);
    if (!in)
        return {};
    std::string line;
    std::getline(in, line);
    if (line.size() > 255)
        line.resize(255);
    std::size_t b = 0, e = line.size();
    while (b < e && std::isspace(static_cast<unsigned char>(line[b])))
        ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(line[e - 1])))
        --e;
    std::string out;
    for (std::size_t i = b; i < e; ++i) {
        const unsigned char c = static_cast<unsigned char>(line[i]);
        out.push_back(c < 0x20 || c == 0x7F ? ' ' : static_cast<char>(c));
    }
    return out;
}

bool startsWith(const std::string& s, const char* prefix)
{
    return s.rfind(prefix, 0) == 0;
}

std::set<std::string> consoleNames(const fs::path& list)
{
    std::set<std::string> names;
    std::ifstream in(list);
    std::string name;
    while (in >> name)
        names.insert(name);
    return names;
}

fs::path canonicalOrEmpty(const fs::path& p)
{
    std::error_code ec;
    fs::path c = fs::canonical(p, ec);
    return ec ? fs::path{} : c;
}

// The driver of a device: the first one up the parent chain that is not the serial core's own
// "port" or "ctrl" device.
std::string driverOf(const fs::path& device)
{
    fs::path at = device;
    for (int depth = 0; depth < 6 && !at.empty() && at != at.root_path(); ++depth) {
        std::error_code ec;
        const fs::path driver = fs::read_symlink(at / "driver", ec);
        if (!ec) {
            const std::string name = driver.filename().string();
            if (name != "port" && name != "ctrl")
                return name;
        }
        at = at.parent_path();
    }
    return {};
}

// "FTDI FT232R USB UART (0403:6001, A1B2C3)" from the nearest parent that is a USB device.
std::string usbDescription(const fs::path& device)
{
    fs::path at = device;
    for (int depth = 0; depth < 8 && !at.empty() && at != at.root_path(); ++depth) {
        std::error_code ec;
        if (fs::exists(at / "idVendor", ec)) {
            std::string text = readAttribute(at / "manufacturer");
            const std::string product = readAttribute(at / "product");
            if (!product.empty())
                text += (text.empty() ? "" : " ") + product;
            std::string ids = readAttribute(at / "idVendor") + ":" + readAttribute(at / "idProduct");
            if (const std::string serial = readAttribute(at / "serial"); !serial.empty())
                ids += ", " + serial;
            return text.empty() ? "USB (" + ids + ")" : text + " (" + ids + ")";
        }
        at = at.parent_path();
    }
    return {};
}

// by-id link targets (canonical) to the link's path.
std::vector<std::pair<fs::path, std::string>> stableNames(const fs::path& byId)
{
    std::vector<std::pair<fs::path, std::string>> out;
    std::error_code ec;
    for (fs::directory_iterator it(byId, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path target = canonicalOrEmpty(it->path());
        if (!target.empty())
            out.emplace_back(target, it->path().string());
    }
    std::sort(out.begin(), out.end(), [](const auto& a, const auto& b) { return a.second < b.second; });
    return out;
}

// Splits "ttyUSB12" into "ttyUSB" and 12 (no number: -1).
std::pair<std::string, long long> splitName(const std::string& s)
{
    std::size_t i = s.size();
    while (i > 0 && std::isdigit(static_cast<unsigned char>(s[i - 1])))
        --i;
    if (i == s.size() || s.size() - i > 15)
        return {s, -1};
    return {s.substr(0, i), std::stoll(s.substr(i))};
}

} // namespace

bool naturalLess(const std::string& a, const std::string& b)
{
    const auto [pa, na] = splitName(a);
    const auto [pb, nb] = splitName(b);
    if (pa != pb)
        return pa < pb;
    if (na != nb)
        return na < nb;
    return a < b;
}

std::vector<SerialDevice> listSerialDevices(const SerialDeviceTree& tree, const std::function<bool()>& keepGoing)
{
    const std::set<std::string> consoles = consoleNames(tree.consoleList);
    std::vector<fs::path> entries;
    std::error_code ec;
    for (fs::directory_iterator it(tree.classTty, ec), end; !ec && it != end; it.increment(ec))
        entries.push_back(it->path());
    std::sort(entries.begin(), entries.end(),
              [](const fs::path& a, const fs::path& b) { return naturalLess(a.filename().string(), b.filename().string()); });

    const auto byId = stableNames(tree.byId);
    std::vector<SerialDevice> devices;
    for (const fs::path& entry : entries) {
        if (keepGoing && !keepGoing())
            break;
        const std::string name = entry.filename().string();
        if (consoles.count(name) != 0)
            continue;
        // No device behind it: a virtual terminal, ptmx, the console alias.
        const fs::path device = canonicalOrEmpty(entry / "device");
        if (device.empty())
            continue;

        SerialDevice d;
        d.name = name;
        d.devicePath = (tree.dev / name).string();
        const std::string driver = driverOf(device);
        if (startsWith(name, "ttyUSB") || startsWith(name, "ttyACM")) {
            d.description = usbDescription(device);
            if (d.description.empty())
                d.description = driver.empty() ? std::string("USB") : driver;
        } else {
            // A UART: its type is 0 (unknown) when no hardware answered at its address.
            const std::string type = readAttribute(entry / "type");
            if (type.empty() || type.find_first_not_of('0') == std::string::npos ||
                type.find_first_not_of("0123456789") != std::string::npos)
                continue;
            d.description = "UART" + (driver.empty() ? std::string() : " (" + driver + ")");
        }
        if (const fs::path node = canonicalOrEmpty(d.devicePath); !node.empty()) {
            for (const auto& [target, link] : byId) {
                if (target == node) {
                    d.stableName = link;
                    break;
                }
            }
        }
        devices.push_back(std::move(d));
    }
    return devices;
}

} // namespace kestrane
