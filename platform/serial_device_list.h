// The machine's serial ports, found in sysfs without opening any of them (opening raises DTR and
// RTS and resets some boards): USB adapters (ttyUSB*), ACM devices (ttyACM*) and UARTs whose
// type is known. Virtual ttys, phantom ttyS entries and the active console are left out.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace kestrane {

struct SerialDevice {
    std::string name;         // kernel name, "ttyUSB0"
    std::string devicePath;   // "/dev/ttyUSB0"
    std::string stableName;   // "/dev/serial/by-id/..." where udev made one, else empty
    std::string description;  // maker and product of a USB device, the driver of a UART
};

// Where the listing looks; tests point it at a prepared tree.
struct SerialDeviceTree {
    std::filesystem::path classTty = "/sys/class/tty";
    std::filesystem::path dev = "/dev";
    std::filesystem::path byId = "/dev/serial/by-id";
    std::filesystem::path consoleList = "/sys/class/tty/console/active";
};

// The devices in a stable order (by kernel name, numbers compared as numbers). `keepGoing` is
// asked before each entry of the tty class is looked at; false ends the listing with what was
// found so far.
std::vector<SerialDevice> listSerialDevices(const SerialDeviceTree& tree,
                                            const std::function<bool()>& keepGoing = {});

// "ttyUSB10" after "ttyUSB9": the prefixes compared as text, the trailing numbers as numbers.
bool naturalLess(const std::string& a, const std::string& b);

} // namespace kestrane
