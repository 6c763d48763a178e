// Opening and closing channels on pseudo-terminals and fake ports: result codes, line
// parameters and their fall-back, the receive thread's start and prompt end.
#include "comm/channel.h"
#include "platform/posix_serial_port.h"
#include "support/fake_serial_port.h"
#include "support/pty_pair.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cerrno>
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

// CH1's COM1 on a pseudo-terminal.
struct PtyChannel {
    PortMap ports;
    PtyPair pty;
    Settings settings;
    Channels channels{settings, (ports.map(1, pty.slavePath()), ports.opener())};
};

// Channels whose ports are fakes; `fake` is the last one opened.
struct FakeChannel {
    Settings settings;
    FakeSerialPort* fake = nullptr;
    Channels channels{settings, [this](int, OpenError&) {
                          auto p = std::make_unique<FakeSerialPort>();
                          fake = p.get();
                          return std::unique_ptr<SerialPort>(std::move(p));
                      }};
};

TEST(OpenChannel, PortNumbersOutsideTheRangeTouchNoDevice)
{
    Settings settings;
    int opened = 0;
    Channels channels(settings, [&](int, OpenError&) {
        ++opened;
        return std::unique_ptr<SerialPort>();
    });
    EXPECT_EQ(channels.openChannel(1, 0), OpenResult::PortNumberOutOfRange);
    EXPECT_EQ(channels.openChannel(1, 256), OpenResult::PortNumberOutOfRange);
    EXPECT_EQ(channels.openChannel(2, -3), OpenResult::PortNumberOutOfRange);
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
    EXPECT_EQ(channels.openChannel(1, 3), OpenResult::PortWillNotOpen);

    OpenError err = OpenError::None;
    auto holder = openPosixSerialPort(pty.slavePath(), err);  // another holder of the device
    ASSERT_TRUE(holder);
    EXPECT_EQ(channels.openChannel(1, 4), OpenResult::PortWillNotOpen);
    EXPECT_FALSE(channels.running(1));
    holder.reset();
    EXPECT_EQ(channels.openChannel(1, 4), OpenResult::Opened);
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
    EXPECT_EQ(channels.openChannel(1, 1), OpenResult::PortWillNotOpen);
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
    ASSERT_EQ(channels.openChannel(1, 5), OpenResult::Opened);
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
    ASSERT_EQ(channels.openChannel(2, 2), OpenResult::Opened);
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
    EXPECT_EQ(channels.openChannel(1, 1), OpenResult::PortCannotBeConfigured);
    EXPECT_NE(fake, nullptr);
    EXPECT_FALSE(channels.running(1));
    EXPECT_EQ(channels.port(1), nullptr);
}

TEST(CloseChannel, EndsAThreadBlockedInItsEventWait)
{
    FakeChannel c;
    c.settings.record.ch1MaskRxChar = 1;
    c.settings.record.ch1MaskRxFlag = 1;
    Channels& channels = c.channels;
    ASSERT_EQ(channels.openChannel(1, 1), OpenResult::Opened);
    FakeSerialPort* fake = c.fake;
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
    PtyChannel c;
    Channels& channels = c.channels;
    for (int round = 0; round < 3; ++round) {
        ASSERT_EQ(channels.openChannel(1, 1), OpenResult::Opened) << round;
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
    ASSERT_EQ(channels.openChannel(1, 1), OpenResult::Opened);
    pty->closeMaster();  // the far end goes away, like a USB unplug
    channels.closeChannel(1);
    EXPECT_FALSE(channels.running(1));

    PtyPair fresh;
    PortMap again;
    again.map(1, fresh.slavePath());
    Channels reopened(settings, again.opener());
    EXPECT_EQ(reopened.openChannel(1, 1), OpenResult::Opened);
}

TEST(StoreOperations, CaptureReadsBackAndFailsForAClosedPort)
{
    PtyChannel c;
    Settings& settings = c.settings;
    Channels& channels = c.channels;
    settings.lineParams.ch1Dcb.BaudRate = 4800;
    EXPECT_TRUE(channels.capture(1).noPort);  // closed: the stores keep their contents
    EXPECT_EQ(settings.lineParams.ch1Dcb.BaudRate, 4800u);

    ASSERT_EQ(channels.openChannel(1, 1), OpenResult::Opened);
    settings.lineParams.ch1Dcb.BaudRate = 1;  // changed in the store only
    settings.lineParams.ch1Timeouts = CommTimeouts{};
    EXPECT_TRUE(channels.capture(1).ok());
    EXPECT_EQ(settings.lineParams.ch1Dcb.BaudRate, 4800u);
    EXPECT_EQ(settings.lineParams.ch1Timeouts, defaultTimeouts());
    EXPECT_TRUE(channels.summarise(2).noPort);
}

TEST(StoreOperations, ALineIsStoredOnlyWhenThePortTookIt)
{
    PtyChannel c;
    Settings& settings = c.settings;
    Channels& channels = c.channels;
    Dcb line = settings.lineParams.ch1Dcb;
    line.BaudRate = 19200;
    line.DCBlength = 0;
    EXPECT_TRUE(channels.apply(1, line).noPort);
    EXPECT_EQ(settings.lineParams.ch1Dcb.BaudRate, 9600u);

    ASSERT_EQ(channels.openChannel(1, 1), OpenResult::Opened);
    settings.lineParams.ch1Timeouts = CommTimeouts{1, 2, 3, 4, 5};  // in the store only: not applied
    ASSERT_TRUE(channels.apply(1, line).ok());
    EXPECT_EQ(settings.lineParams.ch1Dcb.BaudRate, 19200u);
    EXPECT_EQ(settings.lineParams.ch1Dcb.DCBlength, 28u);
    CommTimeouts timeouts;
    ASSERT_TRUE(channels.port(1)->getCommTimeouts(timeouts));
    EXPECT_EQ(timeouts, defaultTimeouts());

    // A pty keeps 8 data bits and no parity: refused, with what the device has after the set was
    // undone; neither the store nor the device keeps any of it.
    Dcb refused = line;
    refused.BaudRate = 38400;
    refused.ByteSize = 7;
    refused.Parity = EVENPARITY;
    const LineResult r = channels.apply(1, refused);
    EXPECT_FALSE(r.ok());
    EXPECT_TRUE(r.stateFailed);
    EXPECT_FALSE(r.lost);
    EXPECT_EQ(r.state.refused, SetStateFailure::ByteSize | SetStateFailure::Parity);
    EXPECT_EQ(r.state.got.BaudRate, 19200u);
    EXPECT_EQ(settings.lineParams.ch1Dcb.BaudRate, 19200u);
    EXPECT_EQ(settings.lineParams.ch1Dcb.ByteSize, 8);
    Dcb device;
    ASSERT_TRUE(channels.port(1)->getCommState(device));
    EXPECT_EQ(device.BaudRate, 19200u);
}

TEST(StoreOperations, ALostDeviceFailsThemAndSaysSo)
{
    FakeChannel c;
    Settings& settings = c.settings;
    Channels& channels = c.channels;
    ASSERT_EQ(channels.openChannel(1, 1), OpenResult::Opened);
    c.fake->hangUp();  // the port stays until the device events are handled
    const LineParams before = settings.lineParams;
    Dcb line = before.ch1Dcb;
    line.BaudRate = 19200;
    const LineResult set = channels.apply(1, line);
    EXPECT_TRUE(set.stateFailed);
    EXPECT_TRUE(set.lost);
    const LineResult read = channels.capture(1);
    EXPECT_TRUE(read.stateFailed);
    EXPECT_TRUE(read.timeoutsFailed);
    EXPECT_EQ(read.state.systemError, ENODEV);
    EXPECT_EQ(read.timeoutsError, ENODEV);
    EXPECT_FALSE(channels.summarise(1).ok());
    EXPECT_EQ(settings.lineParams, before);
}

} // namespace
} // namespace kestrane
