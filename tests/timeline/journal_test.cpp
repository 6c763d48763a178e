#include "timeline/journal.h"

#include <gtest/gtest.h>

#include <thread>

namespace kestrane::timeline {
namespace {

std::vector<std::uint8_t> chunk(std::uint8_t first, std::size_t n)
{
    std::vector<std::uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i)
        v[i] = static_cast<std::uint8_t>(first + i);
    return v;
}

TEST(Journal, KeepsTheNewestEntriesAndTellsAReaderWhatItMissed)
{
    Journal j(4, 64);
    for (std::uint8_t i = 0; i < 6; ++i)
        j.appendData(1 + i % 2, Direction::Received, Stamp{i, i}, i * 10U, chunk(i, 3));
    EXPECT_EQ(j.size(), 4U);
    EXPECT_EQ(j.dropped(), 2U);
    EXPECT_EQ(j.lastSequence(), 6U);

    std::vector<Entry> out;
    EXPECT_EQ(j.copySince(0, out), 2U) << "entries 1 and 2 are gone";
    ASSERT_EQ(out.size(), 4U);
    EXPECT_EQ(out.front().sequence, 3U);
    EXPECT_EQ(out.back().record, 50U);
    out.clear();
    EXPECT_EQ(j.copySince(4, out, 1), 0U);
    ASSERT_EQ(out.size(), 1U);
    EXPECT_EQ(out[0].sequence, 5U);
    std::vector<std::uint8_t> bytes;
    ASSERT_TRUE(j.bytes(out[0], bytes));
    EXPECT_EQ(bytes, chunk(4, 3));
    out.clear();
    EXPECT_EQ(j.copySince(6, out), 0U);
    EXPECT_TRUE(out.empty());
}

TEST(Journal, BytesOverwrittenByNewerChunksAreRefusedNotMixedUp)
{
    Journal j(100, 10);
    const auto first = j.appendData(1, Direction::Sent, {}, 0, chunk(0x10, 6));
    j.appendData(1, Direction::Sent, {}, 6, chunk(0x20, 6));  // wraps the ring, over the first
    std::vector<Entry> out;
    j.copySince(first - 1, out);
    ASSERT_EQ(out.size(), 2U);
    std::vector<std::uint8_t> bytes{1};
    EXPECT_FALSE(j.bytes(out[0], bytes));
    EXPECT_TRUE(bytes.empty());
    ASSERT_TRUE(j.bytes(out[1], bytes));
    EXPECT_EQ(bytes, chunk(0x20, 6)) << "read back across the ring's end";
    // A chunk larger than the whole ring keeps no bytes but is still journalled.
    j.appendData(2, Direction::Received, {}, 12, chunk(0, 11));
    out.clear();
    j.copySince(j.lastSequence() - 1, out);
    EXPECT_EQ(out.at(0).count, 11U);
    EXPECT_FALSE(j.bytes(out[0], bytes));
}

TEST(Journal, ClearForgetsEntriesButNotTheirNumbers)
{
    Journal j(8, 64);
    j.appendData(1, Direction::Received, {}, 0, chunk(0, 2));
    Entry mark;
    mark.kind = Kind::Action;
    mark.detail = static_cast<std::uint8_t>(Action::UserMark);
    j.append(mark);
    j.clear();
    EXPECT_EQ(j.size(), 0U);
    std::vector<Entry> out;
    EXPECT_EQ(j.copySince(0, out), 2U);
    const auto next = j.append(mark);
    EXPECT_EQ(next, 3U);
    EXPECT_EQ(j.copySince(2, out), 0U);
    ASSERT_EQ(out.size(), 1U);
    EXPECT_EQ(out[0].kind, Kind::Action);
}

TEST(Journal, WritersOnSeveralThreadsEachKeepTheirOrder)
{
    Journal j(1 << 12, 1 << 14);
    auto writer = [&](int channel) {
        for (std::uint32_t i = 0; i < 1000; ++i)
            j.appendData(channel, Direction::Received, {}, i, chunk(static_cast<std::uint8_t>(i), 5));
    };
    std::thread a(writer, 1), b(writer, 2);
    std::vector<Entry> seen;
    std::uint64_t after = 0;
    while (seen.size() < 2000) {
        std::vector<Entry> batch;
        j.copySince(after, batch);
        if (!batch.empty())
            after = batch.back().sequence;
        seen.insert(seen.end(), batch.begin(), batch.end());
    }
    a.join();
    b.join();
    std::uint64_t next[3] = {0, 0, 0};
    std::vector<std::uint8_t> bytes;
    for (const Entry& e : seen) {
        EXPECT_EQ(e.record, next[e.channel]++);
        ASSERT_TRUE(j.bytes(e, bytes));
        EXPECT_EQ(bytes, chunk(static_cast<std::uint8_t>(e.record), 5));
    }
}

} // namespace
} // namespace kestrane::timeline
