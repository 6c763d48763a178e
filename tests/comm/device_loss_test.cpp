// A device that goes away and comes back, on pty pairs reached through a symbolic link (as
// ports.conf may name one): the loss is reported with what arrived before it stored, sends fail
// at once, the relay in the other direction goes on, and the channel reopens by itself with its
// stored line parameters when the link leads to a device again.
#include "app/app_core.h"
#include "comm/channel.h"
#include "comm/transmit.h"
#include "device_events.h"
#include "platform/posix_serial_port.h"
#include "support/pty_pair.h"
#include "support/temp_dir.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <fstream>
#include <thread>

namespace kestrane {
namespace {

using namespace std::chrono_literals;
using test::PtyPair;
using test::TempDir;
using test::handleUntil;
using test::processCpuSeconds;
using test::storedText;
using State = DeviceStatus::State;

std::vector<std::uint8_t> bytes(const std::string& s) { return {s.begin(), s.end()}; }

// Points the link at `target` in one step, as udev replaces a by-id link.
void pointLink(const std::filesystem::path& link, const std::string& target)
{
    const auto tmp = link.string() + ".new";
    std::filesystem::remove(tmp);
    std::filesystem::create_symlink(target, tmp);
    std::filesystem::rename(tmp, link);
}

// CH1 on a link to a pty pair, CH2 (relay) on a pty pair of its own.
struct LinkedPorts {
    TempDir dir;
    std::unique_ptr<PtyPair> far1 = std::make_unique<PtyPair>();
    PtyPair far2;
    std::filesystem::path link = dir / "ttyUSB-link";
    std::unique_ptr<AppCore> core;

    // CH1's reads wait for a full chunk within a long receive gap, so a hang-up can come while
    // bytes are already read.
    static constexpr CommTimeouts kCh1Timeouts{0, 0, 0, 3, 400};

    explicit LinkedPorts(const std::string& extraConf = {})
    {
        std::filesystem::create_symlink(far1->slavePath(), link);
        std::ofstream(dir / "ports.conf") << "COM1=" << link.string() << "\nCOM2=" << far2.slavePath() << "\n"
                                          << extraConf;
        core = std::make_unique<AppCore>(dir.path());
        Settings& s = core->settings();
        s.record.ch2Mode = Ch2Mode::MonitorRelay;
        s.record.ch2ComNumber = 2;
        s.lineParams.ch1Dcb.BaudRate = 19200;
        s.lineParams.ch1Dcb.EvtChar = '#';
        s.lineParams.ch1Timeouts = kCh1Timeouts;
        s.record.ch1RxGapMs = 5000;
        core->applySettings();
        core->traffic().clearTraffic();
        EXPECT_EQ(channels().openChannel(1, 1), OpenResult::Opened);
        EXPECT_EQ(channels().openChannel(2, 2), OpenResult::Opened);
    }
    Channels& channels() { return core->channels(); }
    const DeviceStatus& device1() { return channels().device(1); }
};

TEST(DeviceLoss, ReportedWithTheBytesBeforeItThenTheDeviceIsTakenBackWhenItReturns)
{
    LinkedPorts p;
    EXPECT_EQ(p.device1().state, State::Open);
    EXPECT_EQ(p.device1().path, p.link.string());

    p.far1->send("before last");
    std::this_thread::sleep_for(300ms);  // read, but the read waits for more
    p.far1->closeMaster();  // unplugged
    const auto lostAt = std::chrono::steady_clock::now();
    ASSERT_TRUE(handleUntil(p.channels(), [&] { return p.device1().state == State::Lost; }));
    EXPECT_LT(std::chrono::steady_clock::now() - lostAt, 2s) << "the loss is heard at once, not by polling";
    EXPECT_EQ(p.device1().lossReason, LossReason::HungUp);
    EXPECT_TRUE(p.device1().awaiting);
    EXPECT_FALSE(p.channels().running(1));
    EXPECT_EQ(storedText(*p.core), "before last");

    // While it is away: a send fails at once, CH2 goes on receiving, nothing wakes us up.
    const auto sendAt = std::chrono::steady_clock::now();
    EXPECT_EQ(p.core->transmit(1, bytes("x")), TransmitResult::WriteFailed);
    EXPECT_LT(std::chrono::steady_clock::now() - sendAt, 500ms);
    p.far2.send("still");
    ASSERT_TRUE(handleUntil(p.channels(), [&] { return storedText(*p.core) == "before laststill"; }));
    // Waiting for the device costs nothing: the process sleeps (other programs' ptys coming and
    // going in the watched folders may wake it, which changes nothing).
    const double cpuBefore = processCpuSeconds();
    EXPECT_FALSE(handleUntil(p.channels(), [&] { return p.device1().state != State::Lost; }, 500ms));
    EXPECT_LT(processCpuSeconds() - cpuBefore, 0.1);
    EXPECT_TRUE(p.device1().awaiting);

    // Plugged in again (another pty behind the same name).
    PtyPair back;
    pointLink(p.link, back.slavePath());
    ASSERT_TRUE(handleUntil(p.channels(), [&] { return p.device1().state == State::Open; }));
    EXPECT_TRUE(p.device1().reconnectedAt.has_value());
    EXPECT_FALSE(p.device1().awaiting);
    EXPECT_TRUE(p.channels().running(1));

    // The stored line parameters are on the device again.
    SerialPort* port = p.channels().port(1);
    ASSERT_NE(port, nullptr);
    Dcb dcb;
    ASSERT_TRUE(port->getCommState(dcb));
    EXPECT_EQ(dcb.BaudRate, 19200u);
    EXPECT_EQ(dcb.EvtChar, '#');
    EXPECT_EQ(dcb, p.core->settings().lineParams.ch1Dcb);
    CommTimeouts t;
    ASSERT_TRUE(port->getCommTimeouts(t));
    EXPECT_EQ(t, LinkedPorts::kCh1Timeouts);

    // Bytes from the new far end are stored and relayed, and the relay runs both ways again.
    back.send(std::string(100, 'a'));  // one full chunk: the read completes at once
    // (CH2's far end also got what CH1 relayed before the loss.)
    EXPECT_EQ(p.far2.receive(111, 5s), bytes("before last" + std::string(100, 'a')));
    EXPECT_EQ(storedText(*p.core), "before laststill" + std::string(100, 'a'));
    p.far2.send("home");
    EXPECT_EQ(back.receive(4, 5s), bytes("home"));
}

TEST(DeviceLoss, TheRelayTowardsTheLostDeviceNeverBlocksTheOtherDirection)
{
    LinkedPorts p;
    p.far1->closeMaster();
    ASSERT_TRUE(handleUntil(p.channels(), [&] { return p.device1().state == State::Lost; }));
    // A steady stream into CH2, all of it meant for the lost CH1.
    std::string all;
    for (int i = 0; i < 50; ++i) {
        const std::string piece = "piece" + std::to_string(i) + ";";
        p.far2.send(piece);
        all += piece;
    }
    ASSERT_TRUE(handleUntil(p.channels(), [&] { return storedText(*p.core) == all; }));
}

TEST(DeviceLoss, WithReconnectionSwitchedOffTheChannelStaysClosed)
{
    LinkedPorts p("reconnect=off\n");
    p.far1->closeMaster();
    ASSERT_TRUE(handleUntil(p.channels(), [&] { return p.device1().state == State::Lost; }));
    EXPECT_FALSE(p.device1().awaiting);
    PtyPair back;
    pointLink(p.link, back.slavePath());
    EXPECT_FALSE(handleUntil(p.channels(), [&] { return p.device1().state == State::Open; }, 500ms));
}

TEST(DeviceLoss, ClosingTheChannelStopsWaitingForTheDevice)
{
    LinkedPorts p;
    p.far1->closeMaster();
    ASSERT_TRUE(handleUntil(p.channels(), [&] { return p.device1().state == State::Lost; }));
    ASSERT_TRUE(p.device1().awaiting);
    p.channels().closeChannel(1);
    EXPECT_EQ(p.device1().state, State::Closed);
    EXPECT_FALSE(p.device1().awaiting);
    PtyPair back;
    pointLink(p.link, back.slavePath());
    EXPECT_FALSE(handleUntil(p.channels(), [&] { return p.channels().running(1); }, 500ms));
}

// udev makes a device node owned by root and gives it its group a moment later: a user who is
// not root can open it only after that change, which must wake the watch too.
TEST(DeviceLoss, ADeviceBackRootOnlyIsReopenedOnceItsModeLetsUsIn)
{
    TempDir dir;
    const auto node = dir / "ttyUSB0";  // stands for the device node; the pty behind it is the device
    auto far = std::make_unique<PtyPair>();
    std::string behind = far->slavePath();
    test::writeFileBytes(node, {});
    std::filesystem::permissions(node, std::filesystem::perms(0660));
    int refused = 0;
    Settings settings;
    Channels channels(settings, [&](int, OpenError& e) -> std::unique_ptr<SerialPort> {
        struct stat st {};
        if (::stat(node.c_str(), &st) != 0 || (st.st_mode & 0060) == 0) {
            ++refused;
            e = OpenError(::stat(node.c_str(), &st) != 0 ? OpenError::NotFound : OpenError::PermissionDenied, EACCES,
                          node.string());
            return nullptr;
        }
        auto port = openPosixSerialPort(behind, e);
        e.path = node.string();
        return port;
    });
    ASSERT_EQ(channels.openChannel(1, 1), OpenResult::Opened);
    far->closeMaster();
    std::filesystem::remove(node);
    ASSERT_TRUE(handleUntil(channels, [&] { return channels.device(1).state == State::Lost; }));
    ASSERT_TRUE(channels.device(1).awaiting);

    far = std::make_unique<PtyPair>();
    behind = far->slavePath();
    test::writeFileBytes(node, {});
    std::filesystem::permissions(node, std::filesystem::perms(0600));  // root only, for now
    ASSERT_TRUE(handleUntil(channels, [&] { return refused > 0; }));
    EXPECT_EQ(channels.device(1).state, State::Lost);
    std::filesystem::permissions(node, std::filesystem::perms(0660));  // the group is let in
    ASSERT_TRUE(handleUntil(channels, [&] { return channels.running(1); }));
    far->send("back");
    EXPECT_EQ(channels.device(1).state, State::Open);
}

TEST(DeviceLoss, ADeviceBackUnderAnotherNumberIsFoundByItsByIdName)
{
    TempDir dir;
    auto far = std::make_unique<PtyPair>();
    // dir/ttyUSB0 stands for the kernel's node, dir/by-id for /dev/serial/by-id.
    std::filesystem::create_directory(dir / "by-id");
    std::filesystem::create_symlink(far->slavePath(), dir / "ttyUSB0");
    std::filesystem::create_symlink(far->slavePath(), dir / "by-id" / "usb-FTDI_A1B2-if00");
    std::ofstream(dir / "ports.conf") << "COM1=" << (dir / "ttyUSB0").string() << "\n";
    AppCore core(dir.path());
    core.channels().setByIdFolder(dir / "by-id");
    ASSERT_EQ(core.channels().openChannel(1, 1), OpenResult::Opened);
    EXPECT_EQ(core.channels().device(1).alias, (dir / "by-id" / "usb-FTDI_A1B2-if00").string());

    far->closeMaster();  // unplugged: the node goes
    std::filesystem::remove(dir / "ttyUSB0");
    ASSERT_TRUE(handleUntil(core.channels(), [&] { return core.channels().device(1).state == State::Lost; }));

    PtyPair back;  // back as ttyUSB1, under the same by-id name
    std::filesystem::create_symlink(back.slavePath(), dir / "ttyUSB1");
    pointLink(dir / "by-id" / "usb-FTDI_A1B2-if00", back.slavePath());
    ASSERT_TRUE(handleUntil(core.channels(), [&] { return core.channels().device(1).state == State::Open; }));
    back.send(std::string(100, 'b'));
    ASSERT_TRUE(handleUntil(core.channels(), [&] { return storedText(core) == std::string(100, 'b'); }));
}

TEST(DeviceOpen, AFailedOpenKeepsTheReasonTheSystemErrorAndThePath)
{
    TempDir dir;
    std::ofstream(dir / "ports.conf") << "COM3=" << (dir / "nothing-here").string() << "\n";
    Settings settings;
    Channels channels(settings, systemPortOpener(dir.path()));
    const unsigned before = channels.deviceVersion();
    EXPECT_EQ(channels.openChannel(1, 3), OpenResult::PortWillNotOpen);
    const DeviceStatus& d = channels.device(1);
    EXPECT_EQ(d.openFailure.kind, OpenError::NotFound);
    EXPECT_EQ(d.openFailure.systemError, ENOENT);
    EXPECT_EQ(d.openFailure.path, (dir / "nothing-here").string());
    EXPECT_EQ(d.state, State::Closed);
    EXPECT_NE(channels.deviceVersion(), before);

    PtyPair pty;
    std::ofstream(dir / "ports.conf") << "COM3=" << pty.slavePath() << "\n";
    EXPECT_EQ(channels.openChannel(1, 3), OpenResult::Opened);
    EXPECT_EQ(channels.device(1).openFailure.kind, OpenError::None);
    EXPECT_EQ(channels.device(1).state, State::Open);
}

} // namespace
} // namespace kestrane
