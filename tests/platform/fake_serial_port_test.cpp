// The fake port's own controls, which other tests rely on: write records and time-outs, held
// writes, injected line errors, modem lines, refused settings. (Its event, wake and time-out
// rules are held to the real port's in serial_port_contract_test.cpp.)
#include "support/fake_serial_port.h"
#include "support/port_events.h"

#include "thread_probe.h"

#include <gtest/gtest.h>

namespace kestrane {
namespace {

using namespace std::chrono_literals;
using test::describe;
using test::FakeSerialPort;
using test::PortEventLog;
using test::ProbeThread;
using test::threadsNamed;
using timeline::LineError;
using Watch = FakeSerialPort::ModemWatch;

std::vector<std::uint8_t> bytes(std::size_t n, std::uint8_t first = 0)
{
    std::vector<std::uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i)
        v[i] = static_cast<std::uint8_t>(first + i);
    return v;
}

TEST(FakeSerialPort, RecordsEveryWriteCallAndWhatItTook)
{
    FakeSerialPort fake;
    const auto frame = bytes(250);
    std::size_t written = 0;
    for (std::size_t off = 0; off < frame.size(); off += 100) {
        const std::size_t n = std::min<std::size_t>(100, frame.size() - off);
        ASSERT_EQ(fake.write(frame.data() + off, n, written), IoStatus::Ok);
        EXPECT_EQ(written, n);
    }
    EXPECT_EQ(fake.writeSizes(), (std::vector<std::size_t>{100, 100, 50}));
    EXPECT_EQ(fake.written(), frame);
}

TEST(FakeSerialPort, WriteLimitActsAsAWriteTimeoutAndFailureAsABrokenDevice)
{
    FakeSerialPort fake;
    const auto data = bytes(10);
    std::size_t written = 0;
    fake.setWriteLimit(4);
    ASSERT_EQ(fake.write(data.data(), data.size(), written), IoStatus::Ok);
    EXPECT_EQ(written, 4u);
    fake.setWriteLimit(0);
    ASSERT_EQ(fake.write(data.data(), data.size(), written), IoStatus::Ok);
    EXPECT_EQ(written, 0u);
    fake.setWriteLimit(std::nullopt);
    fake.setWriteFailure(true);
    EXPECT_EQ(fake.write(data.data(), data.size(), written), IoStatus::Failed);
    EXPECT_EQ(fake.written(), bytes(4));
    EXPECT_EQ(fake.writeSizes(), (std::vector<std::size_t>{10, 10, 10}));
}

TEST(FakeSerialPort, HeldWritesQueueBehindEachOtherAndTxabortEndsTheBlockedOne)
{
    FakeSerialPort fake;
    fake.holdWrites(true);
    const auto a = bytes(3, 'a'), b = bytes(3, 'x');
    IoStatus sa = IoStatus::Ok, sb = IoStatus::Failed;
    std::size_t wa = 0, wb = 0;
    {
        ProbeThread ta([&] { sa = fake.write(a.data(), a.size(), wa); }, [&] { fake.holdWrites(false); });
        ASSERT_TRUE(fake.waitForBlockedWrite(2000ms));
        ProbeThread tb([&] { sb = fake.write(b.data(), b.size(), wb); }, [&] { fake.holdWrites(false); });
        ASSERT_TRUE(tb.waitUntilAsleep());  // behind the first, on the write lock
        ASSERT_TRUE(fake.purgeComm(PURGE_TXABORT));
        ASSERT_TRUE(ta.joinWithin(2000ms));
        EXPECT_EQ(sa, IoStatus::Cancelled);
        // The second writer now holds the line and blocks itself, until released.
        ASSERT_TRUE(fake.waitForBlockedWrite(2000ms));
        fake.holdWrites(false);
        ASSERT_TRUE(tb.joinWithin(2000ms));
    }
    EXPECT_EQ(sb, IoStatus::Ok);
    EXPECT_EQ(fake.written(), b);
}

TEST(FakeSerialPort, InjectedErrorsAreReportedOnceWithTheQueueStatus)
{
    FakeSerialPort fake;
    fake.receive("abc");
    fake.setOutQueue(7);
    fake.injectErrors(CE_FRAME);
    fake.injectErrors(CE_BREAK);
    std::uint32_t errors = 0;
    ComStat st;
    ASSERT_TRUE(fake.clearCommError(errors, &st));
    EXPECT_EQ(errors, CE_FRAME | CE_BREAK);
    EXPECT_EQ(st.cbInQue, 3u);
    EXPECT_EQ(st.cbOutQue, 7u);
    ASSERT_TRUE(fake.clearCommError(errors, nullptr));
    EXPECT_EQ(errors, 0u);
}

TEST(FakeSerialPort, ModemLinesAndHoldStates)
{
    FakeSerialPort fake;
    fake.setModemStatus(MS_DSR_ON | MS_RLSD_ON);
    std::uint32_t ms = 0;
    ASSERT_TRUE(fake.getCommModemStatus(ms));
    EXPECT_EQ(ms, MS_DSR_ON | MS_RLSD_ON);

    Dcb d;
    applyLineDefaults(d);
    d.setFOutxCtsFlow(true);
    d.setFDtrControl(DTR_CONTROL_DISABLE);
    ASSERT_TRUE(fake.setCommState(d));
    EXPECT_FALSE(fake.dtr());
    ASSERT_TRUE(fake.escapeCommFunction(SETXOFF));
    std::uint32_t errors = 0;
    ComStat st;
    ASSERT_TRUE(fake.clearCommError(errors, &st));
    EXPECT_EQ(st.flags, ComStat::fCtsHold | ComStat::fXoffHold) << "CTS off under CTS flow control";

    fake.setModemLinesSupported(false);
    EXPECT_FALSE(fake.getCommModemStatus(ms));
    EXPECT_FALSE(fake.escapeCommFunction(SETRTS));
    EXPECT_EQ(fake.escapes(), (std::vector<int>{SETXOFF, SETRTS}));
}

TEST(FakeSerialPort, RefusedSettingsChangeNothing)
{
    FakeSerialPort fake;
    fake.rejectStates([](const Dcb& d) { return d.BaudRate > 115200; });
    Dcb d;
    ASSERT_TRUE(fake.getCommState(d));
    const Dcb before = d;
    d.BaudRate = 230400;
    EXPECT_FALSE(fake.setCommState(d));
    d.BaudRate = 9600;
    d.ByteSize = 9;  // refused by every port
    EXPECT_FALSE(fake.setCommState(d));
    ASSERT_TRUE(fake.getCommState(d));
    EXPECT_EQ(d, before);
}

TEST(FakeSerialPort, ReportsAWaiterAndCountsMaskChanges)
{
    FakeSerialPort fake;
    bool ok = false;
    std::uint32_t ev = 99;
    ProbeThread t([&] { ok = fake.waitCommEvent(ev); }, [&] { fake.setCommMask(0); });
    ASSERT_TRUE(fake.waitForWaiter(2000ms));
    ASSERT_TRUE(fake.setCommMask(EV_RXCHAR));
    ASSERT_TRUE(t.joinWithin(2000ms));
    EXPECT_TRUE(ok);
    EXPECT_EQ(ev, 0u);
    EXPECT_EQ(fake.mask(), EV_RXCHAR);
    EXPECT_EQ(fake.setCommMaskCalls(), 1);
}

// ---- The line's timeline (the port core's marks and events, and the modem watcher) ----

std::string readMarked(FakeSerialPort& fake, std::size_t n, ReadMarks& marks)
{
    std::string buf(n, '\0');
    std::size_t got = 0;
    fake.read(reinterpret_cast<std::uint8_t*>(buf.data()), n, got, 3000);
    fake.takeReadMarks(marks);
    buf.resize(got);
    return buf;
}

TEST(FakeSerialPort, AnErrorAtAByteComesWithTheReadThatDeliversItAndLightsTheErrorWord)
{
    FakeSerialPort fake;
    fake.setCommTimeouts(CommTimeouts{MAXDWORD, 0, 0, 0, 0});
    const auto before = timeline::now();
    fake.receive(std::vector<std::uint8_t>{'a', 'b', 'c', 'd', 'e', 'f'},
                 {{2, LineError::Parity, 0}, {4, LineError::Break, 0}});
    ReadMarks m;
    EXPECT_EQ(readMarked(fake, 3, m), "abc");
    EXPECT_EQ(describe(m.errors), "2 P");
    ASSERT_EQ(m.arrivals.size(), 1u);
    EXPECT_EQ(m.arrivals[0].offset, 0u);
    EXPECT_GE(m.arrivals[0].time.monoUs, before.monoUs);
    EXPECT_EQ(readMarked(fake, 3, m), "def");
    EXPECT_EQ(describe(m.errors), "1 B") << "before 'e'";
    std::uint32_t errors = 0;
    ASSERT_TRUE(fake.clearCommError(errors, nullptr));
    EXPECT_EQ(errors, CE_RXPARITY | CE_BREAK);
}

TEST(FakeSerialPort, ALineStateWithNothingToCarryItGoesToTheSinkAndOneDuringAReadFollowsItsBytes)
{
    FakeSerialPort fake;
    PortEventLog log;
    fake.setEventSink(log.sink());
    fake.lineState(LineError::Break);
    ASSERT_TRUE(log.waitFor(1));
    EXPECT_EQ(log.events()[0].kind, PortEvent::Kind::LineState);
    EXPECT_EQ(log.events()[0].error, LineError::Break);

    // A read that delivered "xy" and waits for its third byte carries the overrun after them.
    fake.setCommTimeouts(CommTimeouts{0, 0, 0, 0, 0});
    std::string got;
    ReadMarks m;
    ProbeThread t([&] { got = readMarked(fake, 3, m); }, [&] { fake.receive("?"); });
    fake.receive("xy");
    ASSERT_TRUE(test::eventually([&] { return fake.queued() == 0; }));
    fake.lineState(LineError::Overrun, 5);
    fake.receive("z");
    ASSERT_TRUE(t.joinWithin(3000ms));
    EXPECT_EQ(got, "xyz");
    EXPECT_EQ(describe(m.errors), "2 O5");
    EXPECT_EQ(log.events().size(), 1u) << "told once, with the read";
}

TEST(FakeSerialPort, ModemChangesReachTheSinkWithHowOftenTheLinesChanged)
{
    FakeSerialPort fake;
    PortEventLog log;
    fake.setEventSink(log.sink());
    fake.setModemStatus(MS_CTS_ON | MS_DSR_ON);
    fake.toggleModemLines(MS_RLSD_ON);
    fake.setModemStatus(MS_CTS_ON | MS_DSR_ON);  // no change: nothing told
    ASSERT_TRUE(log.waitFor(2));
    const auto e = log.events();
    ASSERT_EQ(e.size(), 2u);
    EXPECT_EQ(e[0].kind, PortEvent::Kind::ModemChange);
    EXPECT_EQ(e[0].lines, MS_CTS_ON | MS_DSR_ON);
    EXPECT_EQ(e[0].changed, MS_CTS_ON | MS_DSR_ON);
    EXPECT_EQ(e[0].count, 2u);
    EXPECT_EQ(e[1].lines, MS_CTS_ON | MS_DSR_ON);
    EXPECT_EQ(e[1].changed, MS_RLSD_ON);
    EXPECT_EQ(e[1].count, 2u) << "DCD dropped and came back";
}

// The port's own watcher on a driver that waits for changes (TIOCMIWAIT) and on one that is
// polled, both keeping counters.
class FakeModemWatch : public ::testing::TestWithParam<Watch> {};

TEST_P(FakeModemWatch, TheWatcherTellsEachChangeWithItsTimeAndCountsAToggleTwice)
{
    FakeSerialPort fake;
    PortEventLog log;
    fake.watchModemLines(GetParam());
    fake.setEventSink(log.sink());
    ASSERT_TRUE(fake.waitForModemWatch(2000ms));
    const auto before = timeline::now();
    fake.toggleModemLines(MS_CTS_ON);
    ASSERT_TRUE(log.waitFor(1));
    ASSERT_TRUE(fake.waitForModemWatch(2000ms));
    fake.setModemStatus(MS_RLSD_ON);
    ASSERT_TRUE(log.waitFor(2));
    ASSERT_TRUE(fake.waitForModemWatch(2000ms));
    fake.setModemStatus(MS_RLSD_ON | MS_RING_ON);
    // A waiting driver wakes only on RI's trailing edge (the edge its counter counts): the ring
    // shows as one event of two changes; a polled one sees both edges.
    const bool waits = GetParam() == Watch::Wait;
    if (!waits) {
        ASSERT_TRUE(log.waitFor(3));
        ASSERT_TRUE(fake.waitForModemWatch(2000ms));
    }
    fake.setModemStatus(MS_RLSD_ON);
    ASSERT_TRUE(log.waitFor(waits ? 3 : 4));

    const auto e = log.events();
    ASSERT_EQ(e.size(), waits ? 3u : 4u);
    EXPECT_EQ(e[0].changed, MS_CTS_ON);
    EXPECT_EQ(e[0].lines, 0u);
    EXPECT_EQ(e[0].count, 2u) << "off and on again within one look";
    EXPECT_GE(e[0].time.monoUs, before.monoUs);
    EXPECT_EQ(e[1].changed, MS_RLSD_ON);
    EXPECT_EQ(e[1].lines, MS_RLSD_ON);
    EXPECT_EQ(e[1].count, 1u);
    EXPECT_EQ(e.back().changed, MS_RING_ON);
    EXPECT_EQ(e.back().lines, MS_RLSD_ON);
    EXPECT_EQ(e.back().count, waits ? 2u : 1u);
    for (std::size_t i = 1; i < e.size(); ++i)
        EXPECT_GE(e[i].time.monoUs, e[i - 1].time.monoUs);
}

INSTANTIATE_TEST_SUITE_P(Drivers, FakeModemWatch, ::testing::Values(Watch::Wait, Watch::Poll),
                         [](const auto& p) { return p.param == Watch::Wait ? "Waiting" : "Polled"; });

TEST(FakeSerialPort, APolledDriverWithoutCountersSeesStatesOnly)
{
    FakeSerialPort fake;
    PortEventLog log;
    fake.watchModemLines(Watch::PollUncounted);
    fake.setEventSink(log.sink());
    ASSERT_TRUE(fake.waitForModemWatch(2000ms));
    fake.setModemStatus(MS_DSR_ON);
    ASSERT_TRUE(log.waitFor(1));
    EXPECT_EQ(log.events()[0].changed, MS_DSR_ON);
    EXPECT_EQ(log.events()[0].count, 1u);
}

TEST(FakeSerialPort, TheModemWatcherEndsWithThePortAtOnce)
{
    const int before = threadsNamed("modem lines");
    PortEventLog log;
    auto start = std::chrono::steady_clock::now();
    {
        FakeSerialPort fake;
        fake.watchModemLines(Watch::Wait);
        fake.setEventSink(log.sink());
        ASSERT_TRUE(fake.waitForModemWatch(2000ms));
        EXPECT_EQ(threadsNamed("modem lines"), before + 1);
        start = std::chrono::steady_clock::now();
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);
    EXPECT_TRUE(test::eventually([&] { return threadsNamed("modem lines") == before; }));
}

} // namespace
} // namespace kestrane
