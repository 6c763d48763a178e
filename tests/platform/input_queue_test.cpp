// The input queue's marks: each pop hands the arrival times and line errors of exactly the bytes
// it took, and bytes that go without a reader (overflow, clear) take their marks with them.
#include "platform/input_queue.h"

#include <gtest/gtest.h>

#include <string>

namespace kestrane {
namespace {

using timeline::LineError;

// A time whose steady clock reads `us`.
timeline::Stamp at(std::int64_t us) { return {1'700'000'000'000'000 + us, us}; }

void push(InputQueue& q, const std::string& s, std::int64_t us, std::vector<ReadMarks::Error> errors = {})
{
    q.push(reinterpret_cast<const std::uint8_t*>(s.data()), s.size(), at(us), errors);
}

// What a pop took, with its marks as text: "bytes | offset@time ... | offset kind[lost] ...".
std::string pop(InputQueue& q, std::size_t n, std::uint32_t offset = 0)
{
    static const char* const kNames[] = {"P", "F", "PF", "B", "O", "BO"};
    std::vector<std::uint8_t> buf(n);
    ReadMarks m;
    buf.resize(q.pop(buf.data(), n, &m, offset));
    std::string s(buf.begin(), buf.end());
    if (s.size() > 12)
        s = std::to_string(s.size()) + " bytes";
    s += " |";
    for (const auto& a : m.arrivals)
        s += " " + std::to_string(a.offset) + "@" + std::to_string(a.time.monoUs);
    s += " |";
    for (const auto& e : m.errors)
        s += " " + std::to_string(e.offset) + kNames[static_cast<int>(e.kind)] + (e.lost ? std::to_string(e.lost) : "");
    return s;
}

TEST(InputQueueMarks, APopHandsTheMarksOfExactlyTheBytesItTook)
{
    InputQueue q;
    push(q, "abc", 100);
    push(q, "defg", 200, {{1, LineError::Parity, 0}});
    EXPECT_EQ(pop(q, 5), "abcde | 0@100 3@200 | 4P");
    // Offsets count from where the bytes land in the caller's read.
    EXPECT_EQ(pop(q, 5, 10), "fg | 10@200 |");
    push(q, "h", 300);
    EXPECT_EQ(pop(q, 5), "h | 0@300 |") << "marks of bytes read before are gone";
}

TEST(InputQueueMarks, ABreakBetweenFillsGoesWithTheByteAfterItOrIsLoneAtTheEnd)
{
    InputQueue q;
    push(q, "ab", 1, {{2, LineError::Break, 0}});
    push(q, "c", 2);
    EXPECT_EQ(pop(q, 2), "ab | 0@1 |");
    EXPECT_EQ(pop(q, 1), "c | 0@2 | 0B");

    push(q, "de", 3);
    q.markAtEnd(LineError::Overrun, 4);
    LineError kind{};
    std::uint32_t lost = 0;
    EXPECT_FALSE(q.takeLoneError(kind, lost)) << "bytes before it are still queued";
    EXPECT_EQ(pop(q, 2), "de | 0@3 |");
    ASSERT_TRUE(q.takeLoneError(kind, lost)) << "nothing after it yet";
    EXPECT_EQ(kind, LineError::Overrun);
    EXPECT_EQ(lost, 4u);
    EXPECT_FALSE(q.takeLoneError(kind, lost));
}

TEST(InputQueueMarks, OverflowDropsTheOldestBytesWithTheirMarksAndSaysHowManyWereLost)
{
    InputQueue q;
    const std::string old(InputQueue::kCapacity - 10, 'o');
    push(q, old, 1, {{5, LineError::Framing, 0}});
    push(q, std::string(30, 'n'), 2);
    EXPECT_EQ(q.takeErrors(), CE_RXOVER);
    EXPECT_EQ(pop(q, InputQueue::kCapacity),
              std::to_string(InputQueue::kCapacity) + " bytes | 0@1 " + std::to_string(old.size() - 20) + "@2 | 0BO20");

    // More than the queue holds: the whole queue and the oldest of the push are lost.
    push(q, "abc", 3);
    push(q, std::string(InputQueue::kCapacity + 7, 'x'), 4);
    EXPECT_EQ(pop(q, InputQueue::kCapacity), std::to_string(InputQueue::kCapacity) + " bytes | 0@4 | 0BO10");
}

TEST(InputQueueMarks, AnOverflowWhileTheLastLossIsUnreadAddsToIt)
{
    InputQueue q;
    push(q, std::string(InputQueue::kCapacity, 'a'), 1);
    push(q, "bb", 2);
    push(q, "ccc", 3);
    const std::string got = pop(q, 1);
    EXPECT_EQ(got, "a | 0@1 | 0BO5");
}

TEST(InputQueueMarks, ClearTakesEveryMark)
{
    InputQueue q;
    push(q, "ab", 1, {{1, LineError::Parity, 0}, {2, LineError::Break, 0}});
    q.clear();
    push(q, "c", 2);
    EXPECT_EQ(pop(q, 5), "c | 0@2 |");
    LineError kind{};
    std::uint32_t lost = 0;
    EXPECT_FALSE(q.takeLoneError(kind, lost));
}

TEST(InputQueueMarks, AFullArrivalRingGivesTheOldestBytesALaterTimeNeverAnEarlierOne)
{
    InputQueue q;
    for (std::size_t i = 0; i <= InputQueue::kArrivalMarks; ++i)
        push(q, "x", static_cast<std::int64_t>(i));
    EXPECT_EQ(pop(q, 3), "xxx | 0@1 2@2 |");
    EXPECT_EQ(pop(q, 1), "x | 0@3 |");
}

} // namespace
} // namespace kestrane
