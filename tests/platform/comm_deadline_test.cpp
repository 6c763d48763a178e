// Read and write time-outs as deadlines, on made-up time points (no waiting).
#include "platform/comm_deadline.h"
#include "platform/output_drain.h"

#include <gtest/gtest.h>

#include <vector>

namespace kestrane {
namespace {

using namespace std::chrono_literals;

const CommClock::time_point t0{std::chrono::hours(1000)};

CommTimeouts reads(std::uint32_t interval, std::uint32_t multiplier, std::uint32_t constant)
{
    CommTimeouts t;
    t.ReadIntervalTimeout = interval;
    t.ReadTotalTimeoutMultiplier = multiplier;
    t.ReadTotalTimeoutConstant = constant;
    return t;
}

TEST(ReadDeadline, IntervalMaxdwordWithZeroTotalsReturnsAtOnce)
{
    const ReadDeadline d(reads(MAXDWORD, 0, 0), 100, -1, t0);
    EXPECT_TRUE(d.satisfied(0));
}

TEST(ReadDeadline, MaxdwordMaxdwordConstantWaitsForTheFirstByteAtMostConstant)
{
    ReadDeadline d(reads(MAXDWORD, MAXDWORD, 250), 100, -1, t0);
    EXPECT_FALSE(d.satisfied(0));
    EXPECT_TRUE(d.satisfied(1));
    ASSERT_TRUE(d.deadline());
    EXPECT_EQ(*d.deadline(), t0 + 250ms);
    // Arriving bytes do not stretch it (there is no interval in this mode).
    d.bytesArrived(t0 + 200ms);
    EXPECT_EQ(*d.deadline(), t0 + 250ms);
}

TEST(ReadDeadline, MaxdwordMaxdwordWithoutConstantFollowsTheGeneralRules)
{
    // Constant 0: no "first byte" mode; the multiplier makes the total far away but present.
    const ReadDeadline d(reads(MAXDWORD, MAXDWORD, 0), 1, -1, t0);
    EXPECT_FALSE(d.satisfied(0));
    ASSERT_TRUE(d.deadline());
    EXPECT_EQ(*d.deadline(), t0 + std::chrono::milliseconds(std::int64_t{MAXDWORD}));
}

TEST(ReadDeadline, TotalIsMultiplierTimesCountPlusConstant)
{
    const ReadDeadline d(reads(0, 10, 50), 7, -1, t0);
    EXPECT_FALSE(d.satisfied(6));
    EXPECT_TRUE(d.satisfied(7));
    ASSERT_TRUE(d.deadline());
    EXPECT_EQ(*d.deadline(), t0 + 120ms);
}

TEST(ReadDeadline, IntervalCountsOnlyAfterTheFirstByteAndRestartsWithEach)
{
    ReadDeadline d(reads(30, 0, 0), 10, -1, t0);
    EXPECT_FALSE(d.deadline()) << "no byte yet: no interval, no total";
    d.bytesArrived(t0 + 1000ms);
    ASSERT_TRUE(d.deadline());
    EXPECT_EQ(*d.deadline(), t0 + 1030ms);
    d.bytesArrived(t0 + 1020ms);
    EXPECT_EQ(*d.deadline(), t0 + 1050ms);
}

TEST(ReadDeadline, TheEarlierOfIntervalAndTotalWins)
{
    ReadDeadline d(reads(30, 0, 100), 10, -1, t0);
    EXPECT_EQ(*d.deadline(), t0 + 100ms);
    d.bytesArrived(t0 + 10ms);
    EXPECT_EQ(*d.deadline(), t0 + 40ms);
    d.bytesArrived(t0 + 90ms);
    EXPECT_EQ(*d.deadline(), t0 + 100ms);
}

TEST(ReadDeadline, IntervalMaxdwordWithATotalIsNoInterval)
{
    ReadDeadline d(reads(MAXDWORD, 0, 100), 10, -1, t0);
    EXPECT_FALSE(d.satisfied(1));
    d.bytesArrived(t0 + 10ms);
    EXPECT_EQ(*d.deadline(), t0 + 100ms);
}

TEST(ReadDeadline, AllZeroWaitsForeverUntilTheCountIsComplete)
{
    const ReadDeadline d(reads(0, 0, 0), 10, -1, t0);
    EXPECT_FALSE(d.deadline());
    EXPECT_FALSE(d.satisfied(9));
    EXPECT_TRUE(d.satisfied(10));
}

TEST(ReadDeadline, CapBoundsEveryMode)
{
    EXPECT_EQ(*ReadDeadline(reads(0, 0, 0), 10, 40, t0).deadline(), t0 + 40ms);
    EXPECT_EQ(*ReadDeadline(reads(0, 10, 50), 10, 40, t0).deadline(), t0 + 40ms);
    EXPECT_EQ(*ReadDeadline(reads(0, 1, 5), 10, 40, t0).deadline(), t0 + 15ms);
    EXPECT_EQ(*ReadDeadline(reads(MAXDWORD, MAXDWORD, 250), 10, 40, t0).deadline(), t0 + 40ms);
    EXPECT_EQ(*ReadDeadline(reads(0, 0, 0), 10, 0, t0).deadline(), t0);
}

TEST(ReadDeadline, HugeTotalsDoNotOverflowTheClock)
{
    const ReadDeadline d(reads(0, MAXDWORD, MAXDWORD), std::size_t{1} << 31, -1, t0);
    EXPECT_FALSE(d.deadline()) << "beyond any useful wait: forever, not a wrapped time point";
}

TEST(ReadDeadline, ZeroBytesAreAlwaysComplete)
{
    EXPECT_TRUE(ReadDeadline(reads(0, 0, 0), 0, -1, t0).satisfied(0));
}

TEST(WriteDeadline, MultiplierTimesCountPlusConstantOrNone)
{
    CommTimeouts t;
    EXPECT_FALSE(writeDeadline(t, 100, t0));
    t.WriteTotalTimeoutMultiplier = 2;
    t.WriteTotalTimeoutConstant = 30;
    EXPECT_EQ(*writeDeadline(t, 100, t0), t0 + 230ms);
    t.WriteTotalTimeoutMultiplier = 0;
    EXPECT_EQ(*writeDeadline(t, 100, t0), t0 + 30ms);
}

TEST(PollTimeout, RoundsUpAndNeverGoesNegative)
{
    EXPECT_EQ(pollTimeoutMs(std::nullopt, t0), -1);
    EXPECT_EQ(pollTimeoutMs(t0 + 300us, t0), 1);
    EXPECT_EQ(pollTimeoutMs(t0 + 5ms, t0), 5);
    EXPECT_EQ(pollTimeoutMs(t0, t0), 0);
    EXPECT_EQ(pollTimeoutMs(t0 - 1ms, t0), 0);
    EXPECT_EQ(pollTimeoutMs(t0 + std::chrono::hours(24 * 365), t0), INT_MAX);
}

// ---- Waiting for the output queue to drain ----

namespace drain {

// A driver whose queue goes down by `perWait` bytes at each wait; records the waits asked for.
struct Driver {
    std::uint32_t queued;
    std::uint32_t perWait;
    std::vector<int> waits;
    bool failAfterFirst = false;
    int asked = 0;

    bool outQueue(std::uint32_t& q)
    {
        if (failAfterFirst && asked++ > 0)
            return false;
        q = queued;
        return true;
    }
    bool sleep(int ms)
    {
        waits.push_back(ms);
        queued -= std::min(queued, perWait);
        return true;
    }
};

DrainOutcome run(Driver& d, std::optional<CommClock::time_point> deadline, std::uint32_t baud, std::uint32_t& left)
{
    return waitOutputDrained([&](std::uint32_t& q) { return d.outQueue(q); }, [&](int ms) { return d.sleep(ms); },
                             deadline, baud, left);
}

} // namespace drain

TEST(OutputDrain, WaitsForTheLineTimeOfWhatIsLeftUntilTheQueueIsEmpty)
{
    drain::Driver d{300, 100, {}};
    std::uint32_t left = 99;
    EXPECT_EQ(drain::run(d, std::nullopt, 115200, left), DrainOutcome::Drained);
    EXPECT_EQ(left, 0u);
    // 300 bytes at 115200 baud take 26 ms (capped at 20), 200 take 18, 100 take 9.
    EXPECT_EQ(d.waits, (std::vector<int>{20, 18, 9}));

    drain::Driver empty{0, 0, {}};
    EXPECT_EQ(drain::run(empty, std::nullopt, 9600, left), DrainOutcome::Drained);
    EXPECT_TRUE(empty.waits.empty()) << "an empty queue costs no wait";
}

TEST(OutputDrain, AQueueThatDoesNotDrainRunsIntoTheDeadlineWithWhatIsLeft)
{
    drain::Driver held{70, 0, {}};
    std::uint32_t left = 0;
    const auto start = CommClock::now();
    EXPECT_EQ(drain::run(held, start + 60ms, 9600, left), DrainOutcome::TimedOut);
    EXPECT_EQ(left, 70u);
    EXPECT_FALSE(held.waits.empty());
    for (int w : held.waits) {
        EXPECT_GE(w, 0);
        EXPECT_LE(w, 60);
    }
}

TEST(OutputDrain, AnAbortOrAFailedQueryEndsTheWait)
{
    std::uint32_t left = 0;
    int waits = 0;
    EXPECT_EQ(waitOutputDrained([](std::uint32_t& q) { return q = 5, true; }, [&](int) { return ++waits < 3; },
                                std::nullopt, 9600, left),
              DrainOutcome::Aborted);
    EXPECT_EQ(waits, 3);

    drain::Driver failing{50, 10, {}};
    failing.failAfterFirst = true;
    EXPECT_EQ(drain::run(failing, std::nullopt, 9600, left), DrainOutcome::Failed);
}

TEST(OutputDrain, WaitsFollowTheLineSpeedWithinOneAndTwentyMilliseconds)
{
    EXPECT_EQ(drainWaitMs(1, 4000000), 1);
    EXPECT_EQ(drainWaitMs(10, 9600), 11);
    EXPECT_EQ(drainWaitMs(100, 9600), 20);
    EXPECT_EQ(drainWaitMs(100, 0), 20) << "an unknown speed counts as 9600";
}

} // namespace
} // namespace kestrane
