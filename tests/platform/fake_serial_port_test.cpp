// The fake port's own controls, which other tests rely on: write records and time-outs, held
// writes, injected line errors, modem lines, refused settings. (Its event, wake and time-out
// rules are held to the real port's in serial_port_contract_test.cpp.)
#include "support/fake_serial_port.h"

#include "thread_probe.h"

#include <gtest/gtest.h>

namespace kestrane {
namespace {

using namespace std::chrono_literals;
using test::FakeSerialPort;
using test::ProbeThread;

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

} // namespace
} // namespace kestrane
