// Text typed into the settings dialogs' number fields and the DCB dialog, and ports.conf as the
// port numbering finds and extends it.
#include "fuzz/check_support.h"
#include "platform/code_page.h"
#include "platform/port_catalog.h"
#include "platform/port_resolver.h"
#include "settings/dcb_settings.h"
#include "settings/dialog_values.h"

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string_view>
#include <vector>

namespace kestrane::fuzz {

namespace {

namespace fs = std::filesystem;

// The C library's reading of a decimal field, which the dialogs follow (saturating like strtoll).
std::int64_t plainDecimal(std::string_view text)
{
    const std::string copy(text.substr(0, text.find('\0')));
    errno = 0;
    return std::strtoll(copy.c_str(), nullptr, 10);
}

std::vector<std::string> splitLines(std::string_view text)
{
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t nl = text.find('\n', start);
        out.emplace_back(text.substr(start, nl == std::string_view::npos ? std::string_view::npos : nl - start));
        if (nl == std::string_view::npos)
            break;
        start = nl + 1;
    }
    return out;
}

std::string readAll(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

std::string checkDialogFields(Bytes data)
{
    const std::string_view text(reinterpret_cast<const char*>(data.data()), data.size());
    KCHECK(decimalValue(text) == plainDecimal(text), "decimal field differs from strtoll");
    const std::int64_t wide = plainDecimal(text);
    KCHECK(decimalInt32(text) == (wide > INT32_MAX ? INT32_MAX : wide < INT32_MIN ? INT32_MIN : wide),
           "32-bit field not held in range");
    KCHECK(decimalUint32(text) == static_cast<std::uint32_t>(static_cast<std::uint64_t>(wide)), "unsigned field not cut");
    const std::uint32_t first = data.size() >= 4 ? static_cast<std::uint32_t>(data[0] | data[1] << 8 | data[2] << 16 |
                                                                               static_cast<std::uint32_t>(data[3]) << 24)
                                                 : 0;
    KCHECK(hexValue(hexText(first)) == first, "hexadecimal text does not read back");
    const std::size_t fit = cp932Fit(text, 31);
    KCHECK(fit <= 31 && cp932Fit(text.substr(0, fit), 31) == fit, "cut text too long or split inside a character");

    // Any record survives the DCB dialog unchanged (but for the 2-bit members' 3, which becomes 2).
    if (data.size() >= Dcb::kSize + CommTimeouts::kSize) {
        Dcb d = Dcb::fromBytes(std::span<const std::uint8_t, Dcb::kSize>(data.data(), Dcb::kSize));
        const CommTimeouts t = CommTimeouts::fromBytes(
            std::span<const std::uint8_t, CommTimeouts::kSize>(data.data() + Dcb::kSize, CommTimeouts::kSize));
        d.setFDtrControl(twoBitControl(d.fDtrControl()));
        d.setFRtsControl(twoBitControl(d.fRtsControl()));
        Dcb back = d;
        back.flags = ~d.flags;
        CommTimeouts tb;
        readDcbControlValues(dcbControlValues(d, t), back, tb);
        KCHECK(back == d, "DCB changed by the dialog");
        KCHECK(tb == t, "time-outs changed by the dialog");
    }

    // The text's lines typed into the edits, in the dialog's order: each member is its field's reading.
    const std::vector<std::string> lines = splitLines(text);
    DcbControlValues v;
    std::size_t line = 0;
    for (const DcbControl& c : kDcbControls)
        if (!c.check)
            v.edits[c.id] = line < lines.size() ? lines[line++] : std::string();
    Dcb d;
    CommTimeouts t;
    readDcbControlValues(v, d, t);
    KCHECK(d.fDtrControl() <= 2 && d.fRtsControl() <= 2, "2-bit control stored as 3");
    KCHECK(d.XonLim == static_cast<std::uint16_t>(decimalUint32(v.edits[414])), "XonLim");
    KCHECK(d.EvtChar == static_cast<std::uint8_t>(hexValue(v.edits[420])), "EvtChar");
    KCHECK(d.BaudRate == decimalUint32(v.edits[401]), "BaudRate");
    KCHECK(t.WriteTotalTimeoutConstant == decimalUint32(v.edits[425]), "WriteTotalTimeoutConstant");
    return {};
}

std::string checkPortsCatalog(Bytes data)
{
    // In memory where the system has it: the check writes ports.conf on every run.
    std::error_code shm;
    const fs::path base = fs::is_directory("/dev/shm", shm) && ::access("/dev/shm", W_OK) == 0 ? fs::path("/dev/shm")
                                                                                             : fs::temp_directory_path();
    std::string tmpl = (base / "kestrane-fuzz-XXXXXX").string();
    if (::mkdtemp(tmpl.data()) == nullptr)
        return {};
    const fs::path dir = tmpl;
    struct Cleanup {
        fs::path dir;
        ~Cleanup()
        {
            std::error_code ec;
            fs::remove_all(dir, ec);
        }
    } cleanup{dir};

    const std::string old(reinterpret_cast<const char*>(data.data()), data.size());
    const fs::path conf = dir / "ports.conf";
    std::ofstream(conf, std::ios::binary) << old;
    fs::create_directories(dir / "dev");
    std::vector<SerialDevice> devices;
    for (const char* name : {"ttyACM0", "ttyS1", "ttyUSB0", "ttyS200"}) {
        std::ofstream(dir / "dev" / name) << "";
        devices.push_back({name, (dir / "dev" / name).string(), {}, std::string("device ") + name});
    }
    devices[2].stableName = (dir / "dev" / "usb-X-if00").string();

    const auto before = parsePortsConf(old);
    const PortCatalog first = catalogPorts(conf, devices, dir / "no-console");
    const std::string written = readAll(conf);
    KCHECK(written.compare(0, old.size(), old) == 0, "the old text of ports.conf was changed");
    const auto after = parsePortsConf(written);
    for (const auto& [n, path] : before)
        KCHECK(after.count(n) == 1 && after.at(n) == path, "an old entry changed its path");

    std::set<int> numbers;
    for (const CatalogPort& p : first.ports) {
        KCHECK(p.comNumber >= 1 && p.comNumber <= 255, "listed number outside 1..255");
        KCHECK(numbers.insert(p.comNumber).second, "a number listed twice");
        KCHECK(after.count(p.comNumber) == 1 && after.at(p.comNumber) == p.path, "a listed port is not in ports.conf");
    }
    // Every device not already named by an entry got a number, unless all were taken.
    if (before.size() < 200) {
        for (const SerialDevice& d : devices) {
            bool listed = false;
            for (const CatalogPort& p : first.ports)
                listed = listed || p.path == d.devicePath || p.path == d.stableName || p.description == d.description;
            KCHECK(listed, "a device was left without a number");
        }
    }
    // Looked at again: the same list, the file untouched.
    const PortCatalog second = catalogPorts(conf, devices, dir / "no-console");
    KCHECK(second.newNumbers.empty(), "numbers given twice");
    KCHECK(readAll(conf) == written, "ports.conf changed on a second look");
    KCHECK(second.ports.size() == first.ports.size(), "the list changed on a second look");
    return {};
}

} // namespace kestrane::fuzz
