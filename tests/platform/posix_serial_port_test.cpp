// The POSIX port on pseudo-terminal pairs: opening and its refusals, data both ways, back-pressure
// of the input queue, writes under time-outs and output flow control, line settings on the device.
#include "platform/posix_serial_port.h"

#include "support/pty_pair.h"
#include "support/temp_dir.h"
#include "thread_probe.h"

#include <grp.h>
#include <pwd.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>

namespace kestrane {
namespace {

using namespace std::chrono_literals;
using test::eventually;
using test::ProbeThread;
using test::PtyPair;
using test::TempDir;

std::unique_ptr<SerialPort> openOk(const std::string& path)
{
    OpenError e = OpenError::Other;
    auto p = openPosixSerialPort(path, e);
    EXPECT_TRUE(p) << path;
    EXPECT_EQ(e, OpenError::None);
    return p;
}

OpenError openError(const std::string& path)
{
    OpenError e = OpenError::None;
    const auto p = openPosixSerialPort(path, e);
    EXPECT_FALSE(p) << path;
    return e;
}

// ---- Opening ----

TEST(PosixOpen, APortIsHeldExclusivelyUntilClosed)
{
    PtyPair pty;
    TempDir dir;
    std::filesystem::create_symlink(pty.slavePath(), dir / "link");
    {
        const auto first = openOk(pty.slavePath());
        EXPECT_EQ(openError(pty.slavePath()), OpenError::Busy);
        EXPECT_EQ(openError((dir / "link").string()), OpenError::Busy) << "another name, the same device";
    }
    EXPECT_TRUE(openOk(pty.slavePath())) << "closing gives the port back";
}

TEST(PosixOpen, RefusesWhatIsNotATerminalOrNotThere)
{
    TempDir dir;
    test::writeFileBytes(dir / "plain-file", {1, 2, 3});
    EXPECT_EQ(openError((dir / "plain-file").string()), OpenError::NotATty);
    EXPECT_EQ(openError("/dev/null"), OpenError::NotATty);
    EXPECT_EQ(openError((dir / "missing").string()), OpenError::NotFound);
}

TEST(PosixOpen, OpeningMakesTheLineRawWhateverItWasBefore)
{
    PtyPair pty;
    // Someone left the line cooked: echo and CR to LF would corrupt the traffic.
    termios cooked{};
    ASSERT_EQ(tcgetattr(pty.master(), &cooked), 0);
    cooked.c_iflag |= ICRNL;
    cooked.c_lflag |= ECHO | ICANON;
    ASSERT_EQ(tcsetattr(pty.master(), TCSANOW, &cooked), 0);

    const auto port = openOk(pty.slavePath());
    pty.send(std::string("a\rb\n"));
    CommTimeouts t{0, 0, 0, 0, 0};
    ASSERT_TRUE(port->setCommTimeouts(t));
    std::uint8_t buf[4];
    std::size_t got = 0;
    ASSERT_EQ(port->read(buf, 4, got, 2000), IoStatus::Ok);
    EXPECT_EQ(std::string(buf, buf + got), "a\rb\n");
    EXPECT_TRUE(pty.receive(1, 50ms).empty()) << "nothing echoed";
}

TEST(PosixOpen, EveryRefusalHasAMessageNamingTheDevice)
{
    for (const OpenError e : {OpenError::NotFound, OpenError::Busy, OpenError::PermissionDenied,
                              OpenError::NotATty, OpenError::IsConsole, OpenError::Other})
        EXPECT_NE(describeOpenError("/dev/ttyUSB7", e).find("/dev/ttyUSB7"), std::string::npos);
    EXPECT_EQ(describeOpenError("/dev/ttyUSB7", OpenError::None), "");
}

TEST(PosixOpen, PermissionDeniedNamesTheDevicesGroupAndHowToJoinIt)
{
    TempDir dir;
    const auto dev = dir / "ttyFake";
    test::writeFileBytes(dev, {});
    // Give the file a group of its own (root may; others keep their own group, which still works).
    const gid_t gid = getgid() == 0 ? 20 : getgid();
    if (chown(dev.c_str(), static_cast<uid_t>(-1), gid) != 0)
        GTEST_SKIP() << "cannot set the group of a file here";
    const group* g = getgrgid(gid);
    const std::string groupName = g ? g->gr_name : std::to_string(gid);

    const std::string text = describeOpenError(dev.string(), OpenError::PermissionDenied);
    EXPECT_NE(text.find(groupName), std::string::npos) << text;
    const bool alreadyMember = getegid() == gid;
    if (!alreadyMember) {
        EXPECT_NE(text.find("usermod -aG " + groupName), std::string::npos) << text;
    }
    EXPECT_NE(text.find("log out and back in"), std::string::npos) << text;
}

// ---- A port open on a pty ----

class PosixPort : public ::testing::Test {
protected:
    void SetUp() override
    {
        port = openOk(pty.slavePath());
        ASSERT_TRUE(port);
        Dcb d;
        applyLineDefaults(d);
        ASSERT_TRUE(port->setCommState(d));
    }

    void setTimeouts(CommTimeouts t) { ASSERT_TRUE(port->setCommTimeouts(t)); }

    ComStat status()
    {
        std::uint32_t errors = 0;
        ComStat st;
        EXPECT_TRUE(port->clearCommError(errors, &st));
        return st;
    }

    // Reads until n bytes came or the cap ran out.
    std::vector<std::uint8_t> readAll(std::size_t n)
    {
        setTimeouts(CommTimeouts{0, 0, 0, 0, 0});
        std::vector<std::uint8_t> out(n);
        std::size_t got = 0;
        EXPECT_EQ(port->read(out.data(), n, got, 5000), IoStatus::Ok);
        out.resize(got);
        return out;
    }

    PtyPair pty;
    std::unique_ptr<SerialPort> port;
};

std::vector<std::uint8_t> allByteValues(int rounds)
{
    std::vector<std::uint8_t> v;
    for (int r = 0; r < rounds; ++r)
        for (int b = 0; b < 256; ++b)
            v.push_back(static_cast<std::uint8_t>(r % 2 ? 255 - b : b));
    return v;
}

TEST_F(PosixPort, EveryByteValueGoesThroughUnchangedBothWays)
{
    // Twice, with FF next to FF and next to 00, so the receive marks' escaping is exercised.
    const auto bytes = allByteValues(4);
    pty.send(bytes);
    EXPECT_EQ(readAll(bytes.size()), bytes);

    std::size_t written = 0;
    ASSERT_EQ(port->write(bytes.data(), bytes.size(), written), IoStatus::Ok);
    EXPECT_EQ(written, bytes.size());
    EXPECT_EQ(pty.receive(bytes.size(), 2000ms), bytes);
}

std::vector<std::uint8_t> letters(std::size_t n)
{
    std::vector<std::uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i)
        v[i] = static_cast<std::uint8_t>('a' + i % 26);
    return v;
}

TEST_F(PosixPort, AFullInputQueueWithAReaderToComeHoldsTheFarEndBackWithoutLosing)
{
    // More than the port's queue and the kernel's buffers together; the waits take bytes into
    // the queue but nobody reads yet.
    ASSERT_TRUE(port->setCommMask(EV_RXCHAR));
    const auto data = letters(200 * 1024);
    std::atomic<bool> sent{false};
    // Should the test fail half-way, the sender is freed by reading off what it sends.
    auto drainUntilSent = [&] {
        setTimeouts(CommTimeouts{MAXDWORD, 0, 0, 0, 0});
        std::vector<std::uint8_t> sink(64 * 1024);
        std::size_t n = 0;
        for (int i = 0; i < 5000 && !sent; ++i)
            if (port->read(sink.data(), sink.size(), n, 10) != IoStatus::Ok)
                break;
    };
    ProbeThread sender(
        [&] {
            pty.send(data);
            sent = true;
        },
        drainUntilSent);
    std::uint32_t ev = 0;
    ASSERT_TRUE(eventually([&] { return port->waitCommEvent(ev) && status().cbInQue >= 64 * 1024; }, 5000ms));
    ASSERT_TRUE(sender.waitUntilAsleep()) << "the far end is held back";
    EXPECT_FALSE(sent);
    std::uint32_t errors = 0;
    ComStat st;
    ASSERT_TRUE(port->clearCommError(errors, &st));
    EXPECT_EQ(errors & CE_RXOVER, 0u);

    const auto got = readAll(data.size());
    EXPECT_TRUE(got == data) << "every byte, in order: " << got.size();
    EXPECT_TRUE(sender.joinWithin(2000ms));
}

TEST_F(PosixPort, WithOnlyTheFlagEventAFullQueueDropsTheOldestAndStillFindsTheEventCharacter)
{
    Dcb d;
    ASSERT_TRUE(port->getCommState(d));
    d.EvtChar = '\r';
    ASSERT_TRUE(port->setCommState(d));
    ASSERT_TRUE(port->setCommMask(EV_RXFLAG));
    std::uint32_t ev = 0;
    ASSERT_TRUE(port->waitCommEvent(ev));  // takes the wake of setCommMask

    bool ok = false;
    ProbeThread waiter([&] { ok = port->waitCommEvent(ev); }, [&] { port->setCommMask(0); });
    // Far more than the queue holds, without the event character: the port keeps reading, so
    // the sender is never held back.
    const auto data = letters(200 * 1024);
    ASSERT_EQ(pty.sendFor(data, 5000ms), data.size()) << "the far end was held back";

    // Nothing more arrives: the waiter sleeps rather than spinning on its full queue.
    ASSERT_TRUE(eventually([&] { return status().cbInQue >= 64 * 1024 - 1; }, 5000ms));
    ASSERT_TRUE(waiter.waitUntilAsleep());
    const auto cpuBefore = waiter.cpuTime();
    std::this_thread::sleep_for(200ms);  // the observation window of the spin check
    EXPECT_LT(waiter.cpuTime() - cpuBefore, 100ms);

    pty.send("\r");
    ASSERT_TRUE(waiter.joinWithin(2000ms));
    EXPECT_TRUE(ok);
    EXPECT_EQ(ev, EV_RXFLAG);
    std::uint32_t errors = 0;
    ComStat st;
    ASSERT_TRUE(port->clearCommError(errors, &st));
    EXPECT_EQ(errors & CE_RXOVER, CE_RXOVER);

    // The queue holds the newest bytes, in order, ending with the event character.
    auto got = readAll(st.cbInQue);
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got.back(), '\r');
    got.pop_back();
    ASSERT_LE(got.size(), data.size());
    EXPECT_TRUE(std::equal(got.begin(), got.end(), data.end() - static_cast<std::ptrdiff_t>(got.size())));
    EXPECT_GT(got.size(), 32u * 1024);
}

TEST_F(PosixPort, WriteUnderSuspendedOutputReturnsShortAtItsDeadline)
{
    ASSERT_TRUE(port->escapeCommFunction(SETXOFF));
    EXPECT_TRUE(status().flags & ComStat::fXoffHold);
    setTimeouts(CommTimeouts{0, 0, 0, 2, 60});

    const std::vector<std::uint8_t> held = {'h', 'e', 'l', 'd', '!'};
    std::size_t written = 99;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(port->write(held.data(), held.size(), written), IoStatus::Ok);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 70ms);
    EXPECT_EQ(written, 0u);

    ASSERT_TRUE(port->escapeCommFunction(SETXON));
    EXPECT_FALSE(status().flags & ComStat::fXoffHold);
    const std::vector<std::uint8_t> sent = {'g', 'o'};
    ASSERT_EQ(port->write(sent.data(), sent.size(), written), IoStatus::Ok);
    EXPECT_EQ(written, 2u);
    EXPECT_EQ(pty.receive(10, 200ms), sent);
}

TEST_F(PosixPort, PurgeTxabortEndsABlockedWriteButNotTheNextOne)
{
    ASSERT_TRUE(port->escapeCommFunction(SETXOFF));
    setTimeouts(CommTimeouts{0, 0, 0, 0, 0});  // no write time-out: only the purge ends it
    const std::vector<std::uint8_t> data(16, 'x');
    IoStatus status = IoStatus::Ok;
    std::size_t written = 0;
    {
        ProbeThread t([&] { status = port->write(data.data(), data.size(), written); },
                      [&] { port->purgeComm(PURGE_TXABORT); });
        ASSERT_TRUE(t.waitUntilAsleep());
        ASSERT_TRUE(port->purgeComm(PURGE_TXABORT | PURGE_TXCLEAR));
        ASSERT_TRUE(t.joinWithin(2000ms));
        EXPECT_EQ(status, IoStatus::Cancelled);
    }
    // An abort with no write under way must not end the next write that has to wait.
    ASSERT_TRUE(port->purgeComm(PURGE_TXABORT));
    setTimeouts(CommTimeouts{0, 0, 0, 0, 100});
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(port->write(data.data(), data.size(), written), IoStatus::Ok);
    EXPECT_EQ(written, 0u);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 100ms);

    ASSERT_TRUE(port->escapeCommFunction(SETXON));
    ASSERT_EQ(port->write(data.data(), data.size(), written), IoStatus::Ok);
    EXPECT_EQ(written, data.size());
    EXPECT_EQ(pty.receive(data.size(), 2000ms), data);
}

TEST_F(PosixPort, AbortWritesEndsTheWriteUnderWayAndEveryLaterOneUntilResumed)
{
    ASSERT_TRUE(port->escapeCommFunction(SETXOFF));
    setTimeouts(CommTimeouts{0, 0, 0, 0, 0});  // no write time-out
    const std::vector<std::uint8_t> data(16, 'x');
    IoStatus status = IoStatus::Ok;
    std::size_t written = 0;
    {
        ProbeThread t([&] { status = port->write(data.data(), data.size(), written); }, [&] { port->abortWrites(); });
        ASSERT_TRUE(t.waitUntilAsleep());
        port->abortWrites();
        ASSERT_TRUE(t.joinWithin(2000ms));
        EXPECT_EQ(status, IoStatus::Cancelled);
    }
    // Unlike a purge, the abort also holds for a write that starts after it.
    ASSERT_TRUE(port->escapeCommFunction(SETXON));
    EXPECT_EQ(port->write(data.data(), data.size(), written), IoStatus::Cancelled);
    EXPECT_EQ(port->writeAndDrain(data.data(), data.size(), written), IoStatus::Cancelled);
    EXPECT_TRUE(pty.receive(1, 50ms).empty());

    port->resumeWrites();
    ASSERT_EQ(port->writeAndDrain(data.data(), data.size(), written), IoStatus::Ok);
    EXPECT_EQ(written, data.size());
    EXPECT_EQ(pty.receive(data.size(), 2000ms), data);
}

TEST_F(PosixPort, WritesFromTwoThreadsDoNotInterleave)
{
    // Each write is larger than the pty takes at once, so each goes out in several pieces.
    setTimeouts(CommTimeouts{0, 0, 0, 0, 5000});
    const std::vector<std::uint8_t> a(48 * 1024, 'A'), b(48 * 1024, 'B');
    IoStatus sa = IoStatus::Failed, sb = IoStatus::Failed;
    std::size_t wa = 0, wb = 0;
    {
        ProbeThread ta([&] { sa = port->write(a.data(), a.size(), wa); }, {});
        ProbeThread tb([&] { sb = port->write(b.data(), b.size(), wb); }, {});
        const auto got = pty.receive(a.size() + b.size(), 5000ms);
        ASSERT_EQ(got.size(), a.size() + b.size());
        const auto firstB = std::find(got.begin(), got.end(), 'B');
        const auto firstA = std::find(got.begin(), got.end(), 'A');
        // One block entirely before the other.
        if (got.front() == 'A')
            EXPECT_TRUE(std::all_of(firstB, got.end(), [](std::uint8_t c) { return c == 'B'; }));
        else
            EXPECT_TRUE(std::all_of(firstA, got.end(), [](std::uint8_t c) { return c == 'A'; }));
    }
    EXPECT_EQ(sa, IoStatus::Ok);
    EXPECT_EQ(sb, IoStatus::Ok);
    EXPECT_EQ(wa, a.size());
    EXPECT_EQ(wb, b.size());
}

TEST_F(PosixPort, PurgeRxclearDropsEverythingReceivedSoFar)
{
    pty.send(std::string("stale"));
    ASSERT_TRUE(eventually([&] { return status().cbInQue == 5; }));
    // Pull some into the port's own queue too.
    ASSERT_TRUE(port->setCommMask(EV_RXCHAR));
    std::uint32_t ev = 0;
    ASSERT_TRUE(port->waitCommEvent(ev));
    ASSERT_TRUE(port->waitCommEvent(ev));
    ASSERT_EQ(ev, EV_RXCHAR);

    ASSERT_TRUE(port->purgeComm(PURGE_RXCLEAR));
    EXPECT_EQ(status().cbInQue, 0u);
    pty.send(std::string("new"));
    EXPECT_EQ(readAll(3), (std::vector<std::uint8_t>{'n', 'e', 'w'}));
}

// ---- Line settings ----

TEST_F(PosixPort, InvalidRecordsAreRefusedAndChangeNothing)
{
    Dcb good;
    applyLineDefaults(good);
    good.BaudRate = 19200;
    good.EvtChar = '#';
    good.XonLim = 77;
    ASSERT_TRUE(port->setCommState(good));
    Dcb before;
    ASSERT_TRUE(port->getCommState(before));

    auto bad = [&](auto change) {
        Dcb d = good;
        d.BaudRate = 38400;  // would show if anything got through
        d.EvtChar = '!';
        change(d);
        return d;
    };
    const std::vector<std::pair<const char*, Dcb>> cases = {
        {"ByteSize 9", bad([](Dcb& d) { d.ByteSize = 9; })},
        {"Parity 7", bad([](Dcb& d) { d.Parity = 7; })},
        {"BaudRate 0", bad([](Dcb& d) { d.BaudRate = 0; })},
        {"1.5 stop bits with 8 data bits", bad([](Dcb& d) { d.StopBits = ONE5STOPBITS; })},
    };
    for (const auto& [what, d] : cases) {
        EXPECT_FALSE(port->setCommState(d)) << what;
        Dcb after;
        ASSERT_TRUE(port->getCommState(after));
        EXPECT_EQ(after, before) << what;
    }
}

TEST_F(PosixPort, ANonStandardRateAndTheUnholdableMembersReadBack)
{
    Dcb d;
    applyLineDefaults(d);
    d.BaudRate = 123457;
    d.XonLim = 100;
    d.XoffLim = 50;
    d.EvtChar = 0x03;
    d.EofChar = 0x1A;
    d.setFDtrControl(DTR_CONTROL_DISABLE);
    d.setFNull(true);
    d.setFOutX(true);
    d.XonChar = 0x05;
    d.XoffChar = 0x06;
    ASSERT_TRUE(port->setCommState(d));
    Dcb got;
    ASSERT_TRUE(port->getCommState(got));
    EXPECT_EQ(got, d);

    // The far end of the pair shares the settings: they really are on the device.
    termios master{};
    ASSERT_EQ(tcgetattr(pty.master(), &master), 0);
    EXPECT_TRUE(master.c_iflag & IXON);
    EXPECT_EQ(master.c_cc[VSTART], 0x05);
}

TEST_F(PosixPort, ASettingTheDeviceDoesNotTakeFailsTheSetAndNamesIt)
{
    // A pty keeps 8 data bits and no parity whatever it is told, and answers the set with success.
    Dcb before;
    ASSERT_TRUE(port->getCommState(before));
    Dcb d;
    applyLineDefaults(d);
    d.BaudRate = 4800;  // taken, but undone with the rest
    d.ByteSize = 7;
    d.Parity = EVENPARITY;
    EXPECT_FALSE(port->setCommState(d));
    const SetStateFailure failure = port->lastSetStateFailure();
    EXPECT_EQ(failure.systemError, EINVAL);
    EXPECT_EQ(failure.refused, SetStateFailure::ByteSize | SetStateFailure::Parity);
    // What the device has after the set was undone: its old rate, not the one it took meanwhile.
    EXPECT_EQ(failure.got.BaudRate, before.BaudRate);
    EXPECT_EQ(failure.got.ByteSize, 8);
    EXPECT_EQ(failure.got.Parity, NOPARITY);
    Dcb after;
    ASSERT_TRUE(port->getCommState(after));
    EXPECT_EQ(after, before) << "the device is left as it was";

    d.ByteSize = 8;
    d.Parity = NOPARITY;
    EXPECT_TRUE(port->setCommState(d));
    EXPECT_EQ(port->lastSetStateFailure().systemError, 0);
}

TEST_F(PosixPort, ModemLinesAreUnavailableOnAPtyWithoutFailingTheSettings)
{
    std::uint32_t ms = 0;
    EXPECT_FALSE(port->getCommModemStatus(ms));
    EXPECT_FALSE(port->escapeCommFunction(SETDTR));
    Dcb d;
    applyLineDefaults(d);
    d.setFDtrControl(DTR_CONTROL_DISABLE);
    d.setFRtsControl(RTS_CONTROL_ENABLE);
    EXPECT_TRUE(port->setCommState(d));
    EXPECT_FALSE(port->lost());
}

TEST_F(PosixPort, InputQueueCountsTheQueueAndTheKernel)
{
    pty.send(std::string("0123456789"));
    ASSERT_TRUE(eventually([&] { return status().cbInQue == 10; }));
    ASSERT_TRUE(port->setCommMask(EV_RXCHAR));
    std::uint32_t ev = 0;
    ASSERT_TRUE(port->waitCommEvent(ev));  // the wake
    ASSERT_TRUE(port->waitCommEvent(ev));  // moves the bytes into the port's queue
    EXPECT_EQ(status().cbInQue, 10u);
    std::uint8_t buf[4];
    std::size_t got = 0;
    setTimeouts(CommTimeouts{MAXDWORD, 0, 0, 0, 0});
    ASSERT_EQ(port->read(buf, 4, got, 100), IoStatus::Ok);
    EXPECT_EQ(status().cbInQue, 6u);
}

} // namespace
} // namespace kestrane
