// Read and write time-outs as deadlines, on made-up time points (no waiting).
#include "platform/comm_deadline.h"

#include <gtest/gtest.h>

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

} // namespace
} // namespace kestrane
