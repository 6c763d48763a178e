// Watching for a device path to appear: only inotify events wake the watcher, wherever on the way
// to the path a folder or link changes; the stable by-id name of a device; the reconnect switch.
#include "platform/path_watch.h"
#include "platform/port_resolver.h"

#include "support/pty_pair.h"
#include "support/temp_dir.h"

#include <poll.h>

#include <gtest/gtest.h>

#include <fstream>

namespace kestrane {
namespace {

namespace fs = std::filesystem;
using test::PtyPair;
using test::TempDir;

// Waits (without spinning) for the watcher to report something, and returns what appeared.
std::vector<int> awaitAppeared(PathWatch& w, int timeoutMs = 3000)
{
    pollfd p{w.fd(), POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) <= 0)
        return {};
    return w.takeAppeared();
}

bool quiet(PathWatch& w, int ms = 100)
{
    pollfd p{w.fd(), POLLIN, 0};
    return ::poll(&p, 1, ms) == 0;
}

TEST(PathWatch, ALinkCreatedOrReplacedInItsFolderIsReported)
{
    TempDir dir;
    PtyPair pty;
    PathWatch w;
    ASSERT_GE(w.fd(), 0);
    w.watch(7, (dir / "ttyLink").string());
    EXPECT_TRUE(quiet(w)) << "nothing happens, nothing is reported";

    fs::create_symlink(pty.slavePath(), dir / "ttyLink");
    EXPECT_EQ(awaitAppeared(w), std::vector<int>{7});

    // Replaced in one step (a rename over it), as udev does with its links.
    PtyPair other;
    fs::create_symlink(other.slavePath(), dir / "tmp");
    fs::rename(dir / "tmp", dir / "ttyLink");
    EXPECT_EQ(awaitAppeared(w), std::vector<int>{7});
}

TEST(PathWatch, FoldersThatDoNotExistYetAreFollowedDownAsTheyAppear)
{
    TempDir dir;
    PathWatch w;
    const auto target = dir / "serial" / "by-id" / "usb-FTDI_X-if00";
    w.watch(1, target.string());
    fs::create_directory(dir / "serial");
    EXPECT_TRUE(awaitAppeared(w).empty()) << "a folder on the way is not the device";
    fs::create_directory(dir / "serial" / "by-id");
    EXPECT_TRUE(awaitAppeared(w).empty());
    std::ofstream(target) << "";
    EXPECT_EQ(awaitAppeared(w), std::vector<int>{1});
}

TEST(PathWatch, ADanglingLinkIsReportedWhenItsTargetComesBack)
{
    TempDir dir;
    fs::create_directory(dir / "dev");
    fs::create_symlink(dir / "dev" / "ttyUSB0", dir / "link");
    PathWatch w;
    w.watch(3, (dir / "link").string());
    std::ofstream(dir / "dev" / "ttyUSB0") << "";
    EXPECT_EQ(awaitAppeared(w), std::vector<int>{3});
}

TEST(PathWatch, ANodeWhoseModeChangesIsReportedAgain)
{
    // A device node that appears root-only and is opened up a moment later (udev sets its group
    // and mode after creating it): the change of mode is news for whoever could not open it.
    TempDir dir;
    std::ofstream(dir / "ttyUSB0") << "";
    fs::permissions(dir / "ttyUSB0", fs::perms(0600));
    PathWatch w;
    w.watch(4, (dir / "ttyUSB0").string());
    EXPECT_TRUE(quiet(w));
    fs::permissions(dir / "ttyUSB0", fs::perms(0660));
    EXPECT_EQ(awaitAppeared(w), std::vector<int>{4});
}

TEST(PathWatch, UnwatchedPathsAreNotReported)
{
    TempDir dir;
    PathWatch w;
    w.watch(1, (dir / "a").string());
    w.watch(2, (dir / "b").string());
    w.unwatch(1);
    EXPECT_FALSE(w.watching(1));
    std::ofstream(dir / "a") << "";
    std::ofstream(dir / "b") << "";
    EXPECT_EQ(awaitAppeared(w), std::vector<int>{2});
}

TEST(SerialByIdAlias, FindsTheStableNameOfADevice)
{
    TempDir dir;
    PtyPair pty, other;
    fs::create_directory(dir / "by-id");
    fs::create_symlink(other.slavePath(), dir / "by-id" / "usb-Other-if00");
    fs::create_symlink(pty.slavePath(), dir / "by-id" / "usb-FTDI_FT232R_A1B2-if00");
    EXPECT_EQ(serialByIdAlias(pty.slavePath(), dir / "by-id"), (dir / "by-id" / "usb-FTDI_FT232R_A1B2-if00").string());
    EXPECT_EQ(serialByIdAlias((dir / "by-id" / "usb-Other-if00").string(), dir / "by-id"), "")
        << "a by-id name is already stable";
    EXPECT_EQ(serialByIdAlias("/nonexistent/ttyUSB9", dir / "by-id"), "");
    EXPECT_EQ(serialByIdAlias(pty.slavePath(), dir / "missing"), "");
}

TEST(ReconnectSwitch, OnUnlessPortsConfTurnsItOffAndTheLastLineWins)
{
    EXPECT_TRUE(reconnectEnabled(""));
    EXPECT_TRUE(reconnectEnabled("COM1=/dev/ttyUSB0\n"));
    for (const char* off : {"reconnect=off", "Reconnect = NO", "reconnect=0  # not now", "RECONNECT=false"})
        EXPECT_FALSE(reconnectEnabled(std::string("COM1=/dev/x\n") + off + "\n")) << off;
    EXPECT_TRUE(reconnectEnabled("reconnect=off\nreconnect=on\n"));
    EXPECT_TRUE(reconnectEnabled("# reconnect=off\n"));
    // The entries are untouched by it.
    EXPECT_EQ(parsePortsConf("reconnect=off\nCOM2=/dev/ttyUSB1\n").size(), 1u);
}

TEST(ReconnectSwitch, WritingItKeepsEveryOtherLine)
{
    TempDir dir;
    const auto conf = dir / "ports.conf";
    std::ofstream(conf) << "# my adapters\nCOM1=/dev/ttyUSB0\nreconnect=on\nCOM2=/dev/ttyUSB1\n";
    ASSERT_TRUE(setReconnectEnabled(conf, false));
    std::ifstream in(conf);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "# my adapters\nCOM1=/dev/ttyUSB0\nCOM2=/dev/ttyUSB1\nreconnect=off\n");
    EXPECT_FALSE(reconnectEnabled(text));
    ASSERT_TRUE(setReconnectEnabled(dir / "new.conf", true));
    EXPECT_TRUE(fs::exists(dir / "new.conf"));
}

} // namespace
} // namespace kestrane
