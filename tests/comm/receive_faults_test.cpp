// Faults of the receive and relay paths found in use: closes that hang behind a relay write,
// a port relayed into before it is configured, bytes lost at a hang-up, reception stuck with
// only the flag event, error bits lost with a failed queue query, transmits that count bytes
// the line never sent; and several chunks taken per wake-up.
#include "app/app_core.h"
#include "comm/channel.h"
#include "comm/transmit.h"
#include "support/fake_serial_port.h"
#include "support/app/pty_core.h"
#include "support/eventually.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <thread>

namespace kestrane {
namespace {

using namespace std::chrono_literals;
using test::FakeSerialPort;
using test::PtyCore;
using test::TempDir;
using test::eventually;

// What the buffer holds, read under the interlock (an overflow moves the bytes).
std::string storedText(AppCore& core)
{
    TrafficBuffer& t = core.traffic();
    DisplayInterlock::Guard g(t.interlock(), DisplayInterlock::Producer::Transmit);
    const auto n = t.storedLength();
    return std::string(reinterpret_cast<const char*>(t.currentDataPlane().data()), static_cast<std::size_t>(n));
}

// A core on two fake ports.
struct FakeCore {
    TempDir dir;
    FakeSerialPort* port1 = nullptr;
    FakeSerialPort* port2 = nullptr;
    std::function<void(int, FakeSerialPort&)> prepare;
    AppCore core{dir.path(), [this](int com, OpenError&) {
                     auto p = std::make_unique<FakeSerialPort>();
                     (com == 1 ? port1 : port2) = p.get();
                     if (prepare)
                         prepare(com, *p);
                     return std::unique_ptr<SerialPort>(std::move(p));
                 }};
    explicit FakeCore(int ch2Mode, int displayMode = 0)
    {
        core.settings().record.ch2Mode = ch2Mode;
        core.settings().record.displayMode = displayMode;
        core.applySettings();
        core.traffic().clearTraffic();
    }
    void openBoth()
    {
        EXPECT_EQ(core.channels().openChannel(1, 1), OpenResult::Opened);
        EXPECT_EQ(core.channels().openChannel(2, 2), OpenResult::Opened);
    }
};

// ---- Closing a relaying channel ----

class RelayClose : public ::testing::TestWithParam<int> {};

TEST_P(RelayClose, EndsPromptlyWhileTheRelayWriteIsBlockedForEver)
{
    const int closing = GetParam();
    // CH2 has no write time-out and its far end never reads: CH1's relay write into it blocks.
    PtyCore p(Ch2Mode::MonitorRelay, [](Settings& s) { s.lineParams.ch2Timeouts.WriteTotalTimeoutMultiplier = 0;
                                   s.lineParams.ch2Timeouts.WriteTotalTimeoutConstant = 0; });
    const std::vector<std::uint8_t> flood(1024 * 1024, 'r');
    const std::size_t taken = p.far1.sendFor(flood, 5000ms, 500ms);
    ASSERT_LT(taken, flood.size()) << "the relay never blocked";

    auto closed = std::async(std::launch::async, [&] { p.core->channels().closeChannel(closing); });
    const bool prompt = closed.wait_for(2000ms) == std::future_status::ready;
    if (!prompt) {
        // Free the blocked write so the test ends: read what waits at CH2's far end.
        while (closed.wait_for(10ms) != std::future_status::ready)
            p.far2.receive(64 * 1024, 10ms);
    }
    EXPECT_TRUE(prompt) << "closeChannel(" << closing << ") hung behind the relay write";
    EXPECT_FALSE(p.core->channels().running(closing));

    // The channel left open still works.
    const int open = closing == 1 ? 2 : 1;
    EXPECT_TRUE(p.core->channels().running(open));
    p.core->channels().closeChannel(open);
}

INSTANTIATE_TEST_SUITE_P(EitherChannel, RelayClose, ::testing::Values(1, 2),
                         [](const ::testing::TestParamInfo<int>& p) { return "CH" + std::to_string(p.param); });

TEST(RelayOpen, ANewPortIsRelayedIntoOnlyOnceItIsConfigured)
{
    FakeCore f(Ch2Mode::MonitorRelay);
    ASSERT_EQ(f.core.channels().openChannel(1, 1), OpenResult::Opened);
    bool relayedTooEarly = false;
    f.prepare = [&](int com, FakeSerialPort& port) {
        if (com != 2)
            return;
        // While CH2 is being configured, CH1 receives: nothing may reach CH2 yet.
        port.setStateHook([&, p = &port] {
            f.port1->receive("early");
            relayedTooEarly = relayedTooEarly || p->waitForWritten(1, 300ms);
        });
    };
    ASSERT_EQ(f.core.channels().openChannel(2, 2), OpenResult::Opened);
    EXPECT_FALSE(relayedTooEarly);
    // Once open, the relay runs.
    f.port1->receive("late");
    ASSERT_TRUE(f.port2->waitForWritten(4, 5s));
    const auto w = f.port2->written();
    EXPECT_EQ(std::string(w.end() - 4, w.end()), "late");
}

// ---- Transmit waits for the line, the relay does not ----

TEST(TransmitDrain, AFrameTheLineDoesNotSendTimesOutAndIsNotRecorded)
{
    FakeCore f(Ch2Mode::Independent);
    f.core.settings().lineParams.ch1Timeouts = CommTimeouts{100, 2, 100, 0, 200};
    f.openBoth();
    f.port1->holdOutput(true);  // the driver takes the bytes but CTS holds the line
    const auto start = std::chrono::steady_clock::now();
    const std::vector<std::uint8_t> frame(40, 'F');
    EXPECT_EQ(f.core.transmit(1, frame), TransmitResult::WriteTimedOut);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 190ms);
    EXPECT_EQ(f.core.traffic().storedLength(), 0);

    f.port1->holdOutput(false);
    EXPECT_EQ(f.core.transmit(1, frame), TransmitResult::Transmitted);
    EXPECT_EQ(f.core.traffic().storedLength(), 40);
}

TEST(TransmitDrain, RelayWritesDoNotWaitForTheLine)
{
    FakeCore f(Ch2Mode::MonitorRelay);
    f.core.settings().lineParams.ch2Timeouts = CommTimeouts{100, 2, 100, 0, 5000};
    f.openBoth();
    f.port2->holdOutput(true);  // the relay target's line is held
    f.port1->receive("one");
    ASSERT_TRUE(f.port2->waitForWritten(3, 3s));
    // Had the relay write waited for the line, CH1's thread would still be in it for seconds.
    f.port1->receive("two");
    EXPECT_TRUE(eventually([&] { return storedText(f.core) == "onetwo"; }, 2000ms)) << storedText(f.core);
    ASSERT_TRUE(f.port2->waitForWritten(6, 2s));
    const auto w = f.port2->written();
    EXPECT_EQ(std::string(w.begin(), w.end()), "onetwo");
}

// ---- Bytes and error bits at a hang-up ----

TEST(HangUp, BytesReadJustBeforeTheFarEndClosesAreStored)
{
    // Reads wait for a full chunk (no read time-outs) within a long receive gap, so the hang-up
    // comes while the bytes are already read.
    PtyCore p(Ch2Mode::NotUsed, [](Settings& s) {
        s.lineParams.ch1Timeouts = CommTimeouts{0, 0, 0, 10, 1000};
        s.record.ch1RxGapMs = 5000;
    });
    p.far1.send("last words");
    std::this_thread::sleep_for(300ms);
    p.far1.closeMaster();
    EXPECT_TRUE(eventually([&] { return storedText(*p.core) == "last words"; }, 4000ms)) << storedText(*p.core);
}

TEST(HangUp, ErrorBitsSurviveAFailedQueueQuery)
{
    FakeCore f(Ch2Mode::NotUsed);
    ASSERT_EQ(f.core.channels().openChannel(1, 1), OpenResult::Opened);
    f.port1->setStatusQueryFailure(true);
    f.port1->injectErrors(CE_FRAME | CE_OVERRUN);
    f.port1->receive("xyz");
    ASSERT_TRUE(eventually([&] { return f.core.channels().accumulatedErrors(1) != 0; }, 3000ms));
    EXPECT_EQ(f.core.channels().accumulatedErrors(1), CE_FRAME | CE_OVERRUN);
    // Without the count the bytes are read all the same.
    EXPECT_TRUE(eventually([&] { return storedText(f.core) == "xyz"; }, 3000ms));
}

// ---- Reception with only the flag event ----

TEST(FlagEventOnly, ReceptionGoesOnAfterMoreThanTheQueueWithoutTheEventCharacter)
{
    PtyCore p(Ch2Mode::NotUsed, [](Settings& s) {
        s.record.ch1MaskRxChar = 0;
        s.record.ch1MaskRxFlag = 1;
    });
    const std::vector<std::uint8_t> noEnd(200 * 1024, 'n');
    ASSERT_EQ(p.far1.sendFor(noEnd, 5000ms), noEnd.size()) << "the far end was held back";
    p.far1.send("line\r");
    ASSERT_TRUE(eventually([&] {
        const std::string s = storedText(*p.core);
        return s.size() >= 5 && s.substr(s.size() - 5) == "line\r";
    }));
    EXPECT_EQ(p.core->channels().accumulatedErrors(1) & CE_RXOVER, CE_RXOVER);
    // And the next line comes through as usual.
    const auto before = p.core->traffic().storedLength();
    p.far1.send("next\r");
    ASSERT_TRUE(eventually([&] { return p.core->traffic().storedLength() == before + 5; }));
}

// ---- Several chunks per wake-up ----

TEST(ChunksPerWake, AFullQueueIsStoredChunkByChunkWithTimeStampsAndRelayedInOneWrite)
{
    FakeCore f(Ch2Mode::MonitorRelay, 2);  // relay, time-stamped display
    f.openBoth();
    std::string burst;
    for (int i = 0; i < 1000; ++i)
        burst += static_cast<char>('a' + i % 26);
    f.port1->receive(burst);
    ASSERT_TRUE(f.port2->waitForWritten(burst.size(), 5s));
    EXPECT_EQ(f.port2->writeSizes(), std::vector<std::size_t>{1000});
    const auto w = f.port2->written();
    EXPECT_EQ(std::string(w.begin(), w.end()), burst) << "only the bytes, never a time stamp";

    // Ten chunks of 100, each behind its own time-stamp text.
    ASSERT_TRUE(eventually([&] { return storedText(f.core).size() > burst.size(); }));
    const std::string stored = storedText(f.core);
    EXPECT_EQ(std::count(stored.begin(), stored.end(), '<'), 10);
    std::string bytesOnly;
    for (std::size_t at = 0; at < stored.size();) {
        const auto close = stored.find('>', at);
        ASSERT_NE(close, std::string::npos);
        const auto next = std::min(stored.find('<', close), stored.size());
        EXPECT_EQ(next - close - 1, 100u);
        bytesOnly += stored.substr(close + 1, next - close - 1);
        at = next;
    }
    EXPECT_EQ(bytesOnly, burst);
}

} // namespace
} // namespace kestrane
