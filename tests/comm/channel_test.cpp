// Opening and closing channels on pseudo-terminals and fake ports: result codes, line
// parameters and their fall-back, the receive thread's start and prompt end.
#include "comm/channel.h"
#include "platform/posix_serial_port.h"
#include "support/fake_serial_port.h"
#include "support/pty_pair.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>

namespace kestrane {
namespace {

using namespace std::chrono_literals;
using test::FakeSerialPort;
using test::PtyPair;
using test::TempDir;

// Maps COM numbers through a ports.conf in a temporary start directory.
struct PortMap {
    TempDir dir;
    void map(int com, const std::string& path)
    {
        std::ofstream(dir / "ports.conf", std::ios::app) << "COM" << com << "=" << path << "\n";
    }
    PortOpener opener() const { return systemPortOpener(dir.path()); }
};

TEST(OpenChannel, PortNumbersOutsideTheRangeTouchNoDevice)
{
    Settings settings;
    int opened = 0;
    Channels channels(settings, [&](int, OpenError&) {
        ++opened;
        return std::unique_ptr<SerialPort>();
    });
    EXPECT_EQ(channels.openChannel(1, 0), kPortNumberOutOfRange);
    EXPECT_EQ(channels.openChannel(1, 256), kPortNumberOutOfRange);
    EXPECT_EQ(channels.openChannel(2, -3), kPortNumberOutOfRange);
    EXPECT_EQ(opened, 0);
    EXPECT_FALSE(channels.running(1));
}

TEST(OpenChannel, MissingOrHeldDevicesDoNotOpen)
{
    PortMap ports;
    PtyPair pty;
    ports.map(3, "/nonexistent/ttyNothing");
    ports.map(4, pty.slavePath());
    Settings settings;
    Channels channels(settings, ports.opener());
    EXPECT_EQ(channels.openChannel(1, 3), kPortWillNotOpen);

    OpenError err = OpenError::None;
    auto holder = openPosixSerialPort(pty.slavePath(), err);  // another holder of the device
    ASSERT_TRUE(holder);
    EXPECT_EQ(channels.openChannel(1, 4), kPortWillNotOpen);
    EXPECT_FALSE(channels.running(1));
    holder.reset();
    EXPECT_EQ(channels.openChannel(1, 4), kOpened);
    EXPECT_TRUE(channels.running(1));
}

TEST(OpenChannel, TheSystemConsoleIsRefused)
{
    PortMap ports;
    PtyPair pty;
    // The pty plays the console: its name is in the console list.
    std::ofstream(ports.dir / "console") << "tty0 " << pty.slavePath().substr(5) << "\n";  // "pts/N"
    ports.map(1, pty.slavePath());
    Settings settings;
    Channels channels(settings, systemPortOpener(ports.dir.path(), ports.dir / "console"));
    EXPECT_EQ(channels.openChannel(1, 1), kPortWillNotOpen);
    // Nothing was opened: another program can still take the device exclusively.
    OpenError err = OpenError::None;
    EXPECT_TRUE(openPosixSerialPort(pty.slavePath(), err));
}

TEST(OpenChannel, OpensAPtyAndSummarisesTheLine)
{
    PortMap ports;
    PtyPair pty;
    ports.map(5, pty.slavePath());
    Settings settings;
    settings.record.ch1BaudRate = 0;
    settings.record.ch1ByteSize = 0;
    settings.lineParams.ch1Dcb.BaudRate = 38400;
    Channels channels(settings, ports.opener());
    ASSERT_EQ(channels.openChannel(1, 5), kOpened);
    EXPECT_TRUE(channels.running(1));
    EXPECT_EQ(settings.record.ch1BaudRate, 38400u);
    EXPECT_EQ(settings.record.ch1ByteSize, 8);
    EXPECT_EQ(settings.record.ch1Parity, 0);
    EXPECT_EQ(settings.record.ch1StopBits, 0);
    EXPECT_EQ(settings.record.ch1FlowControl, 0);
    EXPECT_EQ(settings.lineParams.ch1Dcb.DCBlength, 28u);
    channels.closeChannel(1);
    EXPECT_FALSE(channels.running(1));
    EXPECT_EQ(channels.port(1), nullptr);
}

TEST(OpenChannel, RefusedStoredParametersFallBackToTheLineDefaults)
{
    PortMap ports;
    PtyPair pty;
    ports.map(2, pty.slavePath());
    Settings settings;
    settings.lineParams.ch2Dcb.ByteSize = 9;  // no device takes nine data bits
    settings.lineParams.ch2Dcb.BaudRate = 57600;
    settings.lineParams.ch2Timeouts = CommTimeouts{1, 1, 1, 1, 1};
    Channels channels(settings, ports.opener());
    ASSERT_EQ(channels.openChannel(2, 2), kOpened);
    EXPECT_EQ(settings.lineParams.ch2Dcb.BaudRate, 9600u);
    EXPECT_EQ(settings.lineParams.ch2Dcb.ByteSize, 8);
    EXPECT_EQ(settings.lineParams.ch2Timeouts, defaultTimeouts());
    EXPECT_EQ(settings.record.ch2BaudRate, 9600u);
    EXPECT_EQ(settings.record.ch2ByteSize, 8);
    EXPECT_EQ(settings.record.ch2Parity, 0);
    EXPECT_EQ(settings.record.ch2StopBits, 0);
}

TEST(OpenChannel, APortThatRefusesEvenTheDefaultsIsClosedAgain)
{
    Settings settings;
    FakeSerialPort* fake = nullptr;
    Channels channels(settings, [&](int, OpenError&) {
        auto p = std::make_unique<FakeSerialPort>();
        p->rejectStates([](const Dcb&) { return true; });
        fake = p.get();
        return std::unique_ptr<SerialPort>(std::move(p));
    });
    EXPECT_EQ(channels.openChannel(1, 1), kPortCannotBeConfigured);
    EXPECT_NE(fake, nullptr);
    EXPECT_FALSE(channels.running(1));
    EXPECT_EQ(channels.port(1), nullptr);
}

TEST(CloseChannel, EndsAThreadBlockedInItsEventWait)
{
    Settings settings;
    settings.record.ch1MaskRxChar = 1;
    settings.record.ch1MaskRxFlag = 1;
    FakeSerialPort* fake = nullptr;
    Channels channels(settings, [&](int, OpenError&) {
        auto p = std::make_unique<FakeSerialPort>();
        fake = p.get();
        return std::unique_ptr<SerialPort>(std::move(p));
    });
    ASSERT_EQ(channels.openChannel(1, 1), kOpened);
    ASSERT_TRUE(fake->waitForWaiter(5s));
    EXPECT_EQ(fake->mask(), EV_RXCHAR | EV_RXFLAG);
    const int masksBefore = fake->setCommMaskCalls();
    channels.closeChannel(1);  // returns only once the thread has ended
    EXPECT_FALSE(channels.running(1));
    EXPECT_EQ(channels.port(1), nullptr);
    EXPECT_GT(masksBefore, 0);
}

TEST(CloseChannel, EndsAThreadOnAPtyAndTheChannelOpensAgain)
{
    PortMap ports;
    PtyPair pty;
    ports.map(1, pty.slavePath());
    Settings settings;
    Channels channels(settings, ports.opener());
    for (int round = 0; round < 3; ++round) {
        ASSERT_EQ(channels.openChannel(1, 1), kOpened) << round;
        channels.closeChannel(1);
        EXPECT_FALSE(channels.running(1));
    }
}

TEST(CloseChannel, AVanishedDeviceLetsTheChannelCloseAndReopen)
{
    PortMap ports;
    auto pty = std::make_unique<PtyPair>();
    ports.map(1, pty->slavePath());
    Settings settings;
    Channels channels(settings, ports.opener());
    ASSERT_EQ(channels.openChannel(1, 1), kOpened);
    pty->closeMaster();  // the far end goes away, like a USB unplug
    channels.closeChannel(1);
    EXPECT_FALSE(channels.running(1));

    PtyPair fresh;
    PortMap again;
    again.map(1, fresh.slavePath());
    Channels reopened(settings, again.opener());
    EXPECT_EQ(reopened.openChannel(1, 1), kOpened);
}

TEST(StoreOperations, CaptureReadsBackAndFailsForAClosedPort)
{
    PortMap ports;
    PtyPair pty;
    ports.map(1, pty.slavePath());
    Settings settings;
    Channels channels(settings, ports.opener());
    settings.lineParams.ch1Dcb.BaudRate = 4800;
    EXPECT_EQ(channels.capture(1), 1);  // closed: the stores keep their contents
    EXPECT_EQ(settings.lineParams.ch1Dcb.BaudRate, 4800u);

    ASSERT_EQ(channels.openChannel(1, 1), kOpened);
    settings.lineParams.ch1Dcb.BaudRate = 1;  // changed in the store only
    settings.lineParams.ch1Timeouts = CommTimeouts{};
    EXPECT_EQ(channels.capture(1), 0);
    EXPECT_EQ(settings.lineParams.ch1Dcb.BaudRate, 4800u);
    EXPECT_EQ(settings.lineParams.ch1Timeouts, defaultTimeouts());
    EXPECT_EQ(channels.summarise(2), 1);
}

} // namespace
} // namespace kestrane
