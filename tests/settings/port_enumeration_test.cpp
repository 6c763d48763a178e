// Listing the machine's serial ports from a prepared sysfs tree (never this machine's /sys) and
// numbering them stably in ports.conf; the port lists of dialog 703 with the 10-second question.
#include "platform/port_catalog.h"
#include "platform/serial_device_list.h"
#include "settings/com_port_settings.h"
#include "support/pty_pair.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>

namespace kestrane {
namespace {

namespace fs = std::filesystem;
using test::PtyPair;
using test::TempDir;

void write(const fs::path& p, const std::string& text)
{
    fs::create_directories(p.parent_path());
    std::ofstream(p) << text << "\n";
}

void link(const fs::path& target, const fs::path& at)
{
    fs::create_directories(at.parent_path());
    fs::create_directory_symlink(target, at);
}

std::string readAll(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A sysfs tree as the kernel lays it out, with /dev nodes (plain files) and udev's by-id links.
struct FakeSys {
    TempDir root;
    fs::path sys = root / "sys";
    fs::path dev = root / "dev";

    SerialDeviceTree tree() const
    {
        return SerialDeviceTree{sys / "class/tty", dev, dev / "serial/by-id", root / "console"};
    }
    fs::path driver(const std::string& name) const
    {
        const fs::path d = sys / "bus/drivers" / name;
        fs::create_directories(d);
        return d;
    }
    void classEntry(const std::string& name, const fs::path& ttyDir)
    {
        fs::create_directories(ttyDir);
        link(ttyDir, sys / "class/tty" / name);
        write(dev / name, "");
    }
    // A USB adapter: the USB device with its attributes, its interface, and the tty below.
    void addUsb(const std::string& name, const std::string& bus, const std::string& maker, const std::string& product,
                const std::string& serial, const std::string& byIdName = {})
    {
        const fs::path usb = sys / "devices/pci0000:00/usb1" / bus;
        write(usb / "idVendor", "0403");
        write(usb / "idProduct", "6001");
        write(usb / "manufacturer", maker);
        write(usb / "product", product);
        write(usb / "serial", serial);
        const fs::path iface = usb / (bus + ":1.0");
        fs::path deviceDir;
        if (name.rfind("ttyACM", 0) == 0) {
            deviceDir = iface;
            link(driver("cdc_acm"), iface / "driver");
        } else {
            deviceDir = iface / name;  // the usb-serial port
            fs::create_directories(deviceDir);
            link(driver("ftdi_sio"), deviceDir / "driver");
        }
        const fs::path ttyDir = deviceDir / "tty" / name;
        classEntry(name, ttyDir);
        link(deviceDir, ttyDir / "device");
        if (!byIdName.empty())
            link(fs::path("../..") / name, dev / "serial/by-id" / byIdName);
    }
    // A UART of the 8250 driver behind the serial core's port and controller devices.
    void addUart(const std::string& name, int type)
    {
        const fs::path base = sys / "devices/platform/serial8250";
        fs::create_directories(base);
        if (!fs::exists(base / "driver"))
            link(driver("serial8250"), base / "driver");
        const fs::path port = base / "serial8250:0" / ("serial8250:0." + name.substr(4));
        fs::create_directories(port);
        if (!fs::exists(port / "driver"))
            link(driver("port"), port / "driver");
        const fs::path ttyDir = port / "tty" / name;
        classEntry(name, ttyDir);
        link(port, ttyDir / "device");
        write(ttyDir / "type", std::to_string(type));
    }
    void addVirtual(const std::string& name) { classEntry(name, sys / "devices/virtual/tty" / name); }
    void unplug(const std::string& name)
    {
        fs::remove(sys / "class/tty" / name);
        fs::remove(dev / name);
        for (const auto& e : fs::directory_iterator(dev / "serial/by-id"))
            if (fs::read_symlink(e.path()).filename() == name)
                fs::remove(e.path());
    }
};

// The bench of most tests: a console UART, a real UART, a phantom UART, an FTDI adapter with a
// by-id name, an ACM device without one, virtual terminals.
struct Bench : FakeSys {
    Bench()
    {
        addVirtual("tty0");
        addVirtual("ptmx");
        addUart("ttyS0", 4);  // the console
        addUart("ttyS1", 4);
        addUart("ttyS2", 0);  // no UART answered at its address
        addUsb("ttyUSB0", "1-2", "FTDI", "FT232R USB UART", "A1B2C3", "usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0");
        addUsb("ttyACM0", "1-3", "Arduino (www.arduino.cc)", "Uno", "7563");
        write(root / "console", "tty0 ttyS0");
    }
};

std::vector<std::string> names(const std::vector<SerialDevice>& devices)
{
    std::vector<std::string> out;
    for (const auto& d : devices)
        out.push_back(d.name);
    return out;
}

std::vector<std::pair<int, std::string>> numbersAndPaths(const PortCatalog& c)
{
    std::vector<std::pair<int, std::string>> out;
    for (const auto& p : c.ports)
        out.emplace_back(p.comNumber, p.path);
    return out;
}

TEST(SerialDeviceList, HardwarePortsOnlyInNaturalOrderWithWhatTellsThemApart)
{
    Bench b;
    b.addUsb("ttyUSB10", "1-4", "Prolific", "PL2303", "P1");
    const std::vector<SerialDevice> found = listSerialDevices(b.tree());
    EXPECT_EQ(names(found), (std::vector<std::string>{"ttyACM0", "ttyS1", "ttyUSB0", "ttyUSB10"}));

    EXPECT_EQ(found[0].devicePath, (b.dev / "ttyACM0").string());
    EXPECT_EQ(found[0].stableName, "");
    EXPECT_EQ(found[0].description, "Arduino (www.arduino.cc) Uno (0403:6001, 7563)");
    EXPECT_EQ(found[1].description, "UART (serial8250)");  // the driver above the serial core's own devices
    EXPECT_EQ(found[2].stableName, (b.dev / "serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0").string());
    EXPECT_EQ(found[2].description, "FTDI FT232R USB UART (0403:6001, A1B2C3)");

    EXPECT_TRUE(naturalLess("ttyUSB9", "ttyUSB10"));
    EXPECT_FALSE(naturalLess("ttyUSB10", "ttyUSB9"));
    EXPECT_TRUE(naturalLess("ttyACM3", "ttyS0"));
}

TEST(SerialDeviceList, AMissingTreeListsNothing)
{
    TempDir dir;
    EXPECT_TRUE(listSerialDevices(SerialDeviceTree{dir / "none", dir / "dev", dir / "byid", dir / "console"}).empty());
}

TEST(PortCatalog, FirstSightNumbersAreWrittenAndKeptOnTheNextLook)
{
    Bench b;
    PtyPair pty;
    TempDir start;
    const fs::path conf = start / "ports.conf";
    write(conf, "# bench\nCOM5=" + pty.slavePath() + "\nCOM9=/nonexistent/unplugged");

    const PortCatalog first = catalogPorts(conf, listSerialDevices(b.tree()), b.root / "console");
    const std::string byId = (b.dev / "serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0").string();
    // The UART keeps its on-board number; the others take the lowest free ones; the pty of
    // ports.conf is listed, its missing entry is not.
    const std::vector<std::pair<int, std::string>> expected = {
        {1, (b.dev / "ttyACM0").string()}, {2, (b.dev / "ttyS1").string()}, {3, byId}, {5, pty.slavePath()}};
    EXPECT_EQ(numbersAndPaths(first), expected);
    EXPECT_EQ(first.newNumbers, (std::vector<int>{1, 2, 3}));
    EXPECT_FALSE(first.saveFailed);
    EXPECT_EQ(first.ports[2].description, "FTDI FT232R USB UART (0403:6001, A1B2C3)");

    const std::string text = readAll(conf);
    EXPECT_EQ(text.rfind("# bench\nCOM5=" + pty.slavePath() + "\nCOM9=/nonexistent/unplugged\n", 0), 0u) << text;
    EXPECT_NE(text.find("COM1=" + (b.dev / "ttyACM0").string() + "\n"), std::string::npos) << text;
    EXPECT_NE(text.find("COM3=" + byId + "\n"), std::string::npos) << text;

    // Looked at again (a restart): the same numbers, the file untouched.
    const PortCatalog second = catalogPorts(conf, listSerialDevices(b.tree()), b.root / "console");
    EXPECT_EQ(numbersAndPaths(second), expected);
    EXPECT_TRUE(second.newNumbers.empty());
    EXPECT_EQ(readAll(conf), text);
}

TEST(PortCatalog, AnAdapterKeepsItsNumberAcrossAReplugAndNewOnesTakeFreeNumbers)
{
    Bench b;
    TempDir start;
    const fs::path conf = start / "ports.conf";
    catalogPorts(conf, listSerialDevices(b.tree()), b.root / "console");

    // Replugged: the kernel calls it ttyUSB1 now; udev's by-id name follows it. The ACM device
    // is gone, and a second FTDI adapter arrives.
    b.unplug("ttyUSB0");
    b.unplug("ttyACM0");
    b.addUsb("ttyUSB1", "1-2", "FTDI", "FT232R USB UART", "A1B2C3", "usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0");
    b.addUsb("ttyUSB2", "1-5", "FTDI", "FT232R USB UART", "Z9", "usb-FTDI_FT232R_USB_UART_Z9-if00-port0");
    const PortCatalog after = catalogPorts(conf, listSerialDevices(b.tree()), b.root / "console");
    const std::vector<std::pair<int, std::string>> expected = {
        {2, (b.dev / "ttyS1").string()},
        {3, (b.dev / "serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0").string()},
        {4, (b.dev / "serial/by-id/usb-FTDI_FT232R_USB_UART_Z9-if00-port0").string()}};
    EXPECT_EQ(numbersAndPaths(after), expected);  // COM1 stays the absent ACM device's
    EXPECT_EQ(after.newNumbers, (std::vector<int>{4}));
}

TEST(PortCatalog, NumbersThatCannotBeWrittenAreNotOffered)
{
    Bench b;
    TempDir start;
    const fs::path conf = start / "no-such-folder" / "ports.conf";
    const PortCatalog c = catalogPorts(conf, listSerialDevices(b.tree()), b.root / "console");
    EXPECT_TRUE(c.saveFailed);
    // Only the UART, which COM2 reaches without an entry.
    EXPECT_EQ(numbersAndPaths(c), (std::vector<std::pair<int, std::string>>{{2, (b.dev / "ttyS1").string()}}));
}

TEST(PortCatalog, ConsoleEntriesAreNeverOffered)
{
    FakeSys s;
    PtyPair pty;
    TempDir start;
    write(s.root / "console", "tty0 " + pty.slavePath().substr(5));
    write(start / "ports.conf", "COM7=" + pty.slavePath());
    EXPECT_TRUE(catalogPorts(start / "ports.conf", {}, s.root / "console").ports.empty());
}

TEST(PortChoices, TheQuestionAfterTenSecondsKeepsWhatWasFound)
{
    Bench b;
    b.addUsb("ttyUSB10", "1-4", "Prolific", "PL2303", "P1");
    TempDir start;
    std::int64_t now = 0;
    const auto clock = [&] { return now += 3000; };  // every look at the clock is three seconds later
    int asked = 0;
    PortSources sources{b.tree(), start / "ports.conf"};

    const PortEnumeration stopped = enumeratePortChoices(sources, clock, [&] {
        ++asked;
        return false;
    });
    EXPECT_EQ(asked, 1);
    ASSERT_EQ(stopped.choices.size(), 1u);  // ptmx, tty0 and ttyACM0 were looked at before the question
    EXPECT_EQ(stopped.choices[0].text, "COM1");
    EXPECT_EQ(stopped.choices[0].path, (b.dev / "ttyACM0").string());

    asked = 0;
    now = 0;
    const PortEnumeration all = enumeratePortChoices(sources, clock, [&] {
        ++asked;
        return true;
    });
    EXPECT_EQ(asked, 2);  // asked again ten seconds after the first "yes"
    std::vector<std::string> texts;
    for (const auto& c : all.choices)
        texts.push_back(c.text);
    EXPECT_EQ(texts, (std::vector<std::string>{"COM1", "COM2", "COM3", "COM4"}));
}

} // namespace
} // namespace kestrane
