// Stable COM numbers for the machine's serial ports, kept in ports.conf: a device keeps the number
// it got when it was first seen, across replugs and restarts, as COM numbers do elsewhere.
#pragma once

#include "platform/serial_device_list.h"

#include <filesystem>
#include <string>
#include <vector>

namespace kestrane {

struct CatalogPort {
    int comNumber = 0;
    std::string path;         // what COM n opens (the ports.conf entry, or the on-board default)
    std::string description;  // maker and product, the UART driver; empty for other entries
};

struct PortCatalog {
    std::vector<CatalogPort> ports;  // by COM number
    std::vector<int> newNumbers;     // numbers given to devices seen for the first time
    bool saveFailed = false;         // ports.conf could not be written: those devices are left out
};

// Numbers `devices`: a device that an entry of `confFile` names (by its stable name, its path or
// the same device node) keeps that number; a UART ttyS<k> whose default number k+1 is free takes
// it; any other device gets the lowest free number. New numbers are appended to `confFile`
// (written to a temporary file and renamed into place; existing lines stay as they are). The
// result lists these devices, every remote line of `confFile` (rfc2217://, tcp://) and every other
// entry whose path exists, except the system's active consoles, ordered by number.
// With `CatalogWrite::No` nothing is written: new devices are listed with the numbers they would
// get (a program that must not touch ports.conf maps them for its own run).
enum class CatalogWrite { Yes, No };
PortCatalog catalogPorts(const std::filesystem::path& confFile, const std::vector<SerialDevice>& devices,
                         const std::filesystem::path& consoleList = "/sys/class/tty/console/active",
                         CatalogWrite write = CatalogWrite::Yes);

} // namespace kestrane
