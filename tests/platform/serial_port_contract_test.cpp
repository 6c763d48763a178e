// The rules every serial port keeps, checked on the POSIX port over a pseudo-terminal pair, on a
// remote line (ser2net serving a pseudo-terminal, reached over RFC 2217) and on the in-memory
// fake alike (so tests written against the fake hold for the real ports): level-triggered
// events, the wake by setCommMask, read time-outs, a lost device.
#include "platform/posix_serial_port.h"
#include "remote/remote_serial_port.h"

#include "support/fake_serial_port.h"
#include "support/pty_pair.h"
#include "support/ser2net_server.h"
#include "thread_probe.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>

namespace kestrane {
namespace {

using namespace std::chrono_literals;
using test::eventually;
using test::ProbeThread;

class PtyHarness {
public:
    PtyHarness()
    {
        OpenError e = OpenError::None;
        port_ = openPosixSerialPort(pty_.slavePath(), e);
        if (!port_)
            throw std::runtime_error("cannot open " + pty_.slavePath());
    }
    SerialPort& port() { return *port_; }
    void send(const std::string& bytes) { pty_.send(bytes); }
    void hangUp() { pty_.closeMaster(); }
    static constexpr LossReason kHangUpReason = LossReason::HungUp;

private:
    test::PtyPair pty_;
    std::unique_ptr<SerialPort> port_;
};

// The device is the far end of a pty pair that ser2net serves; a hang-up is the server going away.
class RemoteHarness {
public:
    RemoteHarness() : server_(pty_.slavePath())
    {
        if (!server_.running())
            throw std::runtime_error("ser2net does not serve " + pty_.slavePath() + " (is it installed?)");
        OpenError e = OpenError::None;
        port_ = openRemoteSerialPort(server_.url(), e);
        if (!port_)
            throw std::runtime_error("cannot open " + server_.url());
    }
    SerialPort& port() { return *port_; }
    void send(const std::string& bytes) { pty_.send(bytes); }
    void hangUp() { server_.stop(); }
    static constexpr LossReason kHangUpReason = LossReason::ClosedByServer;

private:
    test::PtyPair pty_;
    test::Ser2netServer server_;
    std::unique_ptr<SerialPort> port_;
};

class FakeHarness {
public:
    SerialPort& port() { return fake_; }
    void send(const std::string& bytes) { fake_.receive(bytes); }
    void hangUp() { fake_.hangUp(); }
    static constexpr LossReason kHangUpReason = LossReason::HungUp;

private:
    test::FakeSerialPort fake_;
};

template <class Harness>
class SerialPortContract : public ::testing::Test {
protected:
    void SetUp() override
    {
        Dcb d;
        applyLineDefaults(d);
        d.EvtChar = 0x0D;
        ASSERT_TRUE(port().setCommState(d));
    }

    SerialPort& port() { return h.port(); }

    std::uint32_t inQueue()
    {
        std::uint32_t errors = 0;
        ComStat st;
        return port().clearCommError(errors, &st) ? st.cbInQue : 0;
    }

    // The far end sends, and the bytes have reached the port.
    void arrive(const std::string& bytes)
    {
        const std::uint32_t before = inQueue();
        h.send(bytes);
        ASSERT_TRUE(eventually([&] { return inQueue() >= before + bytes.size(); }));
    }

    void setReadTimeouts(std::uint32_t interval, std::uint32_t multiplier, std::uint32_t constant)
    {
        CommTimeouts t;
        t.ReadIntervalTimeout = interval;
        t.ReadTotalTimeoutMultiplier = multiplier;
        t.ReadTotalTimeoutConstant = constant;
        ASSERT_TRUE(port().setCommTimeouts(t));
    }

    struct Read {
        IoStatus status;
        std::string bytes;
        std::chrono::milliseconds elapsed;
    };

    Read read(std::size_t n, int capMs)
    {
        std::string buf(n, '\0');
        std::size_t got = 0;
        const auto start = std::chrono::steady_clock::now();
        const IoStatus s = port().read(reinterpret_cast<std::uint8_t*>(buf.data()), n, got, capMs);
        const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
        buf.resize(got);
        return {s, buf, elapsed};
    }

    // Consumes a wake left by setCommMask, so the next wait is a real one.
    void settleMask(std::uint32_t mask)
    {
        ASSERT_TRUE(port().setCommMask(mask));
        std::uint32_t ev = 1;
        ASSERT_TRUE(port().waitCommEvent(ev));
        ASSERT_EQ(ev, 0u);
    }

    ProbeThread waiter(bool& ok, std::uint32_t& events)
    {
        return ProbeThread([&] { ok = port().waitCommEvent(events); }, [&] { port().setCommMask(0); });
    }

    Harness h;
};

using Implementations = ::testing::Types<PtyHarness, RemoteHarness, FakeHarness>;
class ImplementationNames {
public:
    template <class T>
    static std::string GetName(int)
    {
        if (std::is_same_v<T, PtyHarness>)
            return "PosixOnPty";
        return std::is_same_v<T, RemoteHarness> ? "RemoteOverSer2net" : "Fake";
    }
};
TYPED_TEST_SUITE(SerialPortContract, Implementations, ImplementationNames);

// ---- Events ----

TYPED_TEST(SerialPortContract, RxcharIsLevelTriggeredSoABurstIsReadInPasses)
{
    this->setReadTimeouts(MAXDWORD, 0, 0);
    this->settleMask(EV_RXCHAR);
    std::string burst(250, '\0');
    for (std::size_t i = 0; i < burst.size(); ++i)
        burst[i] = static_cast<char>(i);
    this->arrive(burst);

    std::string all;
    std::vector<std::size_t> passes;
    for (int i = 0; i < 3; ++i) {
        std::uint32_t ev = 0;
        ASSERT_TRUE(this->port().waitCommEvent(ev));
        ASSERT_EQ(ev, EV_RXCHAR) << "pass " << i;
        const auto r = this->read(100, 1000);
        ASSERT_EQ(r.status, IoStatus::Ok);
        passes.push_back(r.bytes.size());
        all += r.bytes;
    }
    EXPECT_EQ(passes, (std::vector<std::size_t>{100, 100, 50}));
    EXPECT_EQ(all, burst);

    // Nothing left: the next wait blocks until woken.
    bool ok = false;
    std::uint32_t ev = 99;
    ProbeThread t = this->waiter(ok, ev);
    ASSERT_TRUE(t.waitUntilAsleep());
    ASSERT_TRUE(this->port().setCommMask(EV_RXCHAR));
    ASSERT_TRUE(t.joinWithin(2000ms));
    EXPECT_TRUE(ok);
    EXPECT_EQ(ev, 0u);
}

TYPED_TEST(SerialPortContract, RxflagWaitsForTheEventCharacterWhileOtherBytesStayQueued)
{
    this->setReadTimeouts(MAXDWORD, 0, 0);
    this->settleMask(EV_RXFLAG);
    this->arrive("abc");

    bool ok = false;
    std::uint32_t ev = 0;
    ProbeThread t = this->waiter(ok, ev);
    ASSERT_TRUE(t.waitUntilAsleep()) << "bytes without the event character must not end the wait";
    EXPECT_EQ(this->inQueue(), 3u);
    this->h.send("\r");
    ASSERT_TRUE(t.joinWithin(2000ms));
    EXPECT_TRUE(ok);
    EXPECT_EQ(ev, EV_RXFLAG);
    EXPECT_EQ(this->read(10, 1000).bytes, "abc\r");
}

TYPED_TEST(SerialPortContract, RxflagEndsWithTheLastEventCharacterReadAndFollowsANewEventChar)
{
    this->setReadTimeouts(MAXDWORD, 0, 0);
    this->settleMask(EV_RXCHAR | EV_RXFLAG);
    this->arrive("ab\rcd;e");

    std::uint32_t ev = 0;
    ASSERT_TRUE(this->port().waitCommEvent(ev));
    EXPECT_EQ(ev, EV_RXCHAR | EV_RXFLAG);
    EXPECT_EQ(this->read(3, 1000).bytes, "ab\r");
    ASSERT_TRUE(this->port().waitCommEvent(ev));
    EXPECT_EQ(ev, EV_RXCHAR) << "the queued event character was read";

    Dcb d;
    ASSERT_TRUE(this->port().getCommState(d));
    d.EvtChar = ';';
    ASSERT_TRUE(this->port().setCommState(d));
    ASSERT_TRUE(this->port().waitCommEvent(ev));
    EXPECT_EQ(ev, EV_RXCHAR | EV_RXFLAG) << "';' already queued counts once it is the event character";
}

// ---- Wake ----

TYPED_TEST(SerialPortContract, SetCommMaskEndsAWaitBlockedInAnotherThread)
{
    this->settleMask(EV_RXCHAR | EV_RXFLAG);
    bool ok = false;
    std::uint32_t ev = 99;
    ProbeThread t = this->waiter(ok, ev);
    ASSERT_TRUE(t.waitUntilAsleep());
    ASSERT_TRUE(this->port().setCommMask(EV_RXCHAR));
    ASSERT_TRUE(t.joinWithin(2000ms));
    EXPECT_TRUE(ok);
    EXPECT_EQ(ev, 0u);
}

TYPED_TEST(SerialPortContract, AWakeWithNobodyWaitingEndsTheNextWaitOnceEvenBeforeQueuedData)
{
    this->settleMask(EV_RXCHAR);
    this->arrive("x");
    ASSERT_TRUE(this->port().setCommMask(EV_RXCHAR));
    std::uint32_t ev = 99;
    ASSERT_TRUE(this->port().waitCommEvent(ev));
    EXPECT_EQ(ev, 0u) << "a closing channel must be heard while data streams in";
    ASSERT_TRUE(this->port().waitCommEvent(ev));
    EXPECT_EQ(ev, EV_RXCHAR) << "the wake is taken once";
}

TYPED_TEST(SerialPortContract, AWakeEndsABlockedReadAndStaysForTheNextWait)
{
    this->setReadTimeouts(0, 0, 0);
    this->settleMask(EV_RXCHAR);
    this->arrive("abc");

    IoStatus status = IoStatus::Ok;
    std::size_t got = 0;
    std::uint8_t buf[10];
    ProbeThread t([&] { status = this->port().read(buf, sizeof buf, got, -1); },
                  [&] { this->port().setCommMask(0); });
    ASSERT_TRUE(t.waitUntilAsleep());
    ASSERT_TRUE(this->port().setCommMask(EV_RXCHAR));
    ASSERT_TRUE(t.joinWithin(2000ms));
    EXPECT_EQ(status, IoStatus::Cancelled);
    EXPECT_EQ(std::string(buf, buf + got), "abc");

    std::uint32_t ev = 99;
    ASSERT_TRUE(this->port().waitCommEvent(ev));
    EXPECT_EQ(ev, 0u);
}

TYPED_TEST(SerialPortContract, PurgeRxabortEndsABlockedReadButNotTheNextOne)
{
    this->setReadTimeouts(0, 0, 0);
    IoStatus status = IoStatus::Ok;
    std::size_t got = 0;
    std::uint8_t buf[4];
    {
        ProbeThread t([&] { status = this->port().read(buf, sizeof buf, got, -1); },
                      [&] { this->port().setCommMask(0); });
        ASSERT_TRUE(t.waitUntilAsleep());
        ASSERT_TRUE(this->port().purgeComm(PURGE_RXABORT));
        ASSERT_TRUE(t.joinWithin(2000ms));
        EXPECT_EQ(status, IoStatus::Cancelled);
    }
    this->arrive("wxyz");
    const auto r = this->read(4, 1000);
    EXPECT_EQ(r.status, IoStatus::Ok);
    EXPECT_EQ(r.bytes, "wxyz");
}

// ---- Read time-outs (every read is capped so a broken rule fails instead of hanging) ----

TYPED_TEST(SerialPortContract, ReadIntervalMaxdwordReturnsAtOnceWithWhatIsThere)
{
    this->setReadTimeouts(MAXDWORD, 0, 0);
    auto r = this->read(10, 2000);
    EXPECT_EQ(r.status, IoStatus::Ok);
    EXPECT_EQ(r.bytes, "");
    EXPECT_LT(r.elapsed, 1000ms);

    this->arrive("hello");
    r = this->read(10, 2000);
    EXPECT_EQ(r.bytes, "hello");
    EXPECT_LT(r.elapsed, 1000ms);
}

TYPED_TEST(SerialPortContract, ReadMaxdwordMaxdwordReturnsWithTheFirstBytesOrAfterTheConstant)
{
    this->setReadTimeouts(MAXDWORD, MAXDWORD, 120);
    auto r = this->read(10, 3000);
    EXPECT_EQ(r.status, IoStatus::Ok);
    EXPECT_EQ(r.bytes, "");
    EXPECT_GE(r.elapsed, 120ms);
    EXPECT_LT(r.elapsed, 2000ms);

    this->setReadTimeouts(MAXDWORD, MAXDWORD, 5000);
    this->arrive("ab");
    r = this->read(10, 3000);
    EXPECT_EQ(r.bytes, "ab");
    EXPECT_LT(r.elapsed, 2000ms) << "must not wait for more once a byte is there";
}

TYPED_TEST(SerialPortContract, ReadTotalTimeoutIsMultiplierTimesCountPlusConstant)
{
    this->setReadTimeouts(0, 20, 50);
    this->arrive("ab");
    const auto r = this->read(5, 3000);
    EXPECT_EQ(r.status, IoStatus::Ok);
    EXPECT_EQ(r.bytes, "ab");
    EXPECT_GE(r.elapsed, 150ms);
    EXPECT_LT(r.elapsed, 2000ms);
}

TYPED_TEST(SerialPortContract, ReadIntervalCountsOnlyAfterTheFirstByte)
{
    this->setReadTimeouts(40, 0, 0);
    // No byte: the interval never starts, only the cap ends the read.
    auto r = this->read(5, 200);
    EXPECT_EQ(r.bytes, "");
    EXPECT_GE(r.elapsed, 200ms);

    // Bytes there: the read ends one interval after them.
    this->arrive("xyz");
    r = this->read(5, 3000);
    EXPECT_EQ(r.status, IoStatus::Ok);
    EXPECT_EQ(r.bytes, "xyz");
    EXPECT_GE(r.elapsed, 40ms);
    EXPECT_LT(r.elapsed, 2000ms);
}

TYPED_TEST(SerialPortContract, ReadWithoutTimeoutsWaitsForTheFullCount)
{
    this->setReadTimeouts(0, 0, 0);
    this->arrive("abc");
    auto r = this->read(5, 150);
    EXPECT_EQ(r.status, IoStatus::Ok);
    EXPECT_EQ(r.bytes, "abc");
    EXPECT_GE(r.elapsed, 150ms) << "only the cap may end it short";

    this->arrive("defgh");
    r = this->read(5, 3000);
    EXPECT_EQ(r.bytes, "defgh");
    EXPECT_LT(r.elapsed, 2000ms);
}

TYPED_TEST(SerialPortContract, CapBoundsALongerTotal)
{
    this->setReadTimeouts(0, 0, 10000);
    const auto r = this->read(5, 100);
    EXPECT_EQ(r.status, IoStatus::Ok);
    EXPECT_GE(r.elapsed, 100ms);
    EXPECT_LT(r.elapsed, 5000ms);
}

// ---- Lost device ----

TYPED_TEST(SerialPortContract, AHangUpLosesThePortAndAWaiterSleepsUntilWoken)
{
    this->settleMask(EV_RXCHAR);
    bool ok = true;
    std::uint32_t ev = 99;
    ProbeThread t = this->waiter(ok, ev);
    ASSERT_TRUE(t.waitUntilAsleep());
    this->h.hangUp();
    ASSERT_TRUE(eventually([&] { return this->port().lost(); }));

    // A waiter on a hung-up line must sleep, not spin on the endless hang-up.
    ASSERT_TRUE(t.waitUntilAsleep());
    const auto cpuBefore = t.cpuTime();
    std::this_thread::sleep_for(300ms);  // the observation window of the spin check
    EXPECT_LT(t.cpuTime() - cpuBefore, 100ms);
    EXPECT_FALSE(t.joinWithin(0ms)) << "the wait returns only when woken";

    this->port().setCommMask(EV_RXCHAR);
    ASSERT_TRUE(t.joinWithin(2000ms));
    EXPECT_FALSE(ok);

    // From now on everything fails.
    Dcb d;
    applyLineDefaults(d);
    CommTimeouts to;
    std::uint32_t word = 0;
    ComStat st;
    std::uint8_t buf[4] = {1, 2, 3, 4};
    std::size_t n = 0;
    EXPECT_EQ(this->port().read(buf, 4, n, 100), IoStatus::Failed);
    EXPECT_EQ(this->port().write(buf, 4, n), IoStatus::Failed);
    EXPECT_FALSE(this->port().getCommState(d));
    EXPECT_FALSE(this->port().setCommState(d));
    EXPECT_FALSE(this->port().getCommTimeouts(to));
    EXPECT_FALSE(this->port().setCommTimeouts(to));
    EXPECT_FALSE(this->port().clearCommError(word, &st));
    EXPECT_FALSE(this->port().getCommModemStatus(word));
    EXPECT_FALSE(this->port().escapeCommFunction(SETXOFF));
    EXPECT_FALSE(this->port().purgeComm(PURGE_RXCLEAR));

    // A pending wake makes a wait on the lost port return at once; without one it blocks again.
    this->port().setCommMask(EV_RXCHAR);
    EXPECT_FALSE(this->port().waitCommEvent(ev));
}

TYPED_TEST(SerialPortContract, BytesTakenBeforeAHangUpAreStillReadThenReadsFail)
{
    this->settleMask(EV_RXCHAR);
    this->setReadTimeouts(0, 0, 0);
    this->arrive("last words");
    std::uint32_t ev = 0;
    // The wait takes the bytes from the device into the port.
    ASSERT_TRUE(this->port().waitCommEvent(ev));
    ASSERT_EQ(ev, EV_RXCHAR);
    this->h.hangUp();
    ASSERT_TRUE(eventually([&] {
        std::uint32_t errors = 0;
        ComStat st;
        return !this->port().clearCommError(errors, &st);
    }));
    // The wait still reports them rather than failing.
    ASSERT_TRUE(this->port().waitCommEvent(ev));
    EXPECT_EQ(ev, EV_RXCHAR);
    const auto r = this->read(100, 2000);
    EXPECT_EQ(r.status, IoStatus::Ok);
    EXPECT_EQ(r.bytes, "last words");
    EXPECT_EQ(this->read(100, 2000).status, IoStatus::Failed);
}

TYPED_TEST(SerialPortContract, TheLossIsReportedOnceWithItsReason)
{
    std::atomic<int> calls{0};
    this->port().setLossNotifier([&] { ++calls; });
    this->settleMask(EV_RXCHAR);
    bool ok = true;
    std::uint32_t ev = 0;
    ProbeThread t = this->waiter(ok, ev);
    ASSERT_TRUE(t.waitUntilAsleep());
    EXPECT_EQ(this->port().lossReason(), LossReason::None);
    this->h.hangUp();
    // Heard by the waiting thread itself, without anyone asking the port.
    ASSERT_TRUE(eventually([&] { return calls.load() == 1; }));
    EXPECT_EQ(this->port().lossReason(), TypeParam::kHangUpReason);
    std::uint8_t b[4];
    std::size_t n = 0;
    EXPECT_EQ(this->port().write(b, 4, n), IoStatus::Failed);
    EXPECT_EQ(calls.load(), 1);
    this->port().setCommMask(EV_RXCHAR);
    ASSERT_TRUE(t.joinWithin(2000ms));
}

TYPED_TEST(SerialPortContract, AHangUpEndsABlockedRead)
{
    this->setReadTimeouts(0, 0, 0);
    IoStatus status = IoStatus::Ok;
    std::size_t got = 0;
    std::uint8_t buf[4];
    ProbeThread t([&] { status = this->port().read(buf, sizeof buf, got, 5000); },
                  [&] { this->port().setCommMask(0); });
    ASSERT_TRUE(t.waitUntilAsleep());
    this->h.hangUp();
    ASSERT_TRUE(t.joinWithin(2000ms));
    EXPECT_EQ(status, IoStatus::Failed);
    EXPECT_TRUE(this->port().lost());
}

} // namespace
} // namespace kestrane
