// COM numbers to device paths from ports.conf, and refusing the system console.
#include "platform/port_resolver.h"

#include "support/pty_pair.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>

namespace kestrane {
namespace {

using test::PtyPair;
using test::TempDir;

void writeText(const std::filesystem::path& p, const std::string& text)
{
    std::ofstream(p) << text;
}

TEST(PortResolver, ReadsEntriesAndIgnoresCommentsAndBadLines)
{
    TempDir dir;
    writeText(dir / "ports.conf",
              "# serial ports of the test bench\n"
              "\n"
              "COM1=/dev/ttyUSB0\n"
              "  com3 =  /tmp/my port  \n"
              "Com12=/dev/serial/by-id/usb-FTDI-if00   # the long cable\n"
              "COM0=/dev/ttyS9\n"
              "COM256=/dev/ttyS9\n"
              "COMX=/dev/ttyS9\n"
              "COM-2=/dev/ttyS9\n"
              "COM 4=/dev/ttyS9\n"
              "COM5\n"
              "COM6=\n"
              "LPT1=/dev/lp0\n"
              "#COM7=/dev/ttyS9\n"
              "COM255=/dev/last\n");
    const PortResolver r(dir / "ports.conf");
    const std::map<int, std::string> expected = {
        {1, "/dev/ttyUSB0"},
        {3, "/tmp/my port"},
        {12, "/dev/serial/by-id/usb-FTDI-if00"},
        {255, "/dev/last"},
    };
    EXPECT_EQ(r.entries(), expected);
    EXPECT_EQ(r.pathFor(3), "/tmp/my port");
    EXPECT_EQ(r.pathFor(255), "/dev/last");
}

TEST(PortResolver, NumbersWithoutAnEntryAreTheOnBoardPorts)
{
    TempDir dir;
    writeText(dir / "ports.conf", "COM2=/dev/ttyUSB1\n");
    const PortResolver r(dir / "ports.conf");
    EXPECT_EQ(r.pathFor(1), "/dev/ttyS0");
    EXPECT_EQ(r.pathFor(2), "/dev/ttyUSB1");
    EXPECT_EQ(r.pathFor(12), "/dev/ttyS11");
    EXPECT_EQ(r.pathFor(0), "");
    EXPECT_EQ(r.pathFor(256), "");
}

TEST(PortResolver, AMissingFileMeansNoEntries)
{
    TempDir dir;
    const PortResolver r(dir / "ports.conf");
    EXPECT_TRUE(r.entries().empty());
    EXPECT_EQ(r.pathFor(4), "/dev/ttyS3");
}

TEST(PortResolver, LaterLinesOverrideEarlierOnes)
{
    TempDir dir;
    writeText(dir / "ports.conf", "COM1=/dev/a\nCOM1=/dev/b\n");
    EXPECT_EQ(PortResolver(dir / "ports.conf").pathFor(1), "/dev/b");
}

class ConsoleRefusal : public ::testing::Test {
protected:
    // The console list names ttys relative to /dev, as the kernel's does ("tty0 ttyS0").
    std::string nameUnderDev(const std::string& path) { return path.substr(std::string("/dev/").size()); }

    TempDir dir;
    PtyPair console;
    PtyPair other;
};

TEST_F(ConsoleRefusal, AListedTtyIsTheConsoleUnderAnyName)
{
    writeText(dir / "active", "tty0 " + nameUnderDev(console.slavePath()) + "\n");
    std::filesystem::create_symlink(console.slavePath(), dir / "link");
    const PortResolver r(dir / "ports.conf", dir / "active");

    EXPECT_TRUE(r.isConsole(console.slavePath()));
    EXPECT_TRUE(r.isConsole((dir / "link").string()));
    EXPECT_FALSE(r.isConsole(other.slavePath()));
    EXPECT_FALSE(r.isConsole((dir / "nothing-here").string()));
}

TEST_F(ConsoleRefusal, TheConsoleAliasesAreRefusedWhateverTheListSays)
{
    const PortResolver r(dir / "ports.conf", dir / "no-such-list");
    EXPECT_TRUE(r.isConsole("/dev/console"));
    EXPECT_FALSE(r.isConsole(console.slavePath()));
}

} // namespace
} // namespace kestrane
