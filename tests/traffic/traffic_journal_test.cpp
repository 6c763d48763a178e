// The journal the traffic buffer writes beside the record: every data entry's `record` finds its
// bytes in the record, also after the overflow step (oldest half dropped, or a page handed to
// automatic logging) and after time-stamp text; a chunk is split where its bytes arrived apart,
// line errors land at their byte; clear and load empty it.
#include "traffic/traffic_buffer.h"

#include "support/temp_dir.h"
#include "traffic_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace kestrane {
namespace {

using test::pattern;
using timeline::Entry;
using timeline::Kind;

struct Journalled {
    test::FixedClock clock;
    TrafficBuffer buffer{clock};
    timeline::Journal journal;
    TrafficConfig config;

    explicit Journalled(const std::function<void(TrafficConfig&)>& adjust = {})
    {
        config.ch2Mode = Ch2Mode::Independent;
        config.bufferSize = 200;  // capacity 12000
        if (adjust)
            adjust(config);
        buffer.configure(config);
        buffer.clearTraffic();
        buffer.setJournal(&journal);
    }
    std::vector<Entry> entries(Kind kind) const
    {
        std::vector<Entry> all, out;
        journal.copySince(0, all);
        for (const Entry& e : all)
            if (e.kind == kind)
                out.push_back(e);
        return out;
    }
    // Every data entry whose bytes the record still holds matches them there; returns how many.
    int checkRecordPositions()
    {
        int found = 0;
        for (const Entry& e : entries(Kind::Data)) {
            std::vector<std::uint8_t> bytes;
            if (!journal.bytes(e, bytes))
                continue;
            const auto at = buffer.recordIndex(e.record);
            if (!at)
                continue;
            ++found;
            for (std::size_t i = 0; i < bytes.size(); ++i)
                EXPECT_EQ(buffer.dataAt(*at + static_cast<std::int32_t>(i)), bytes[i]) << e.sequence << " byte " << i;
        }
        return found;
    }
};

TEST(TrafficJournal, RecordPositionsFindTheirBytesAcrossTheOverflowStepsAndTimeStamps)
{
    test::TempDir dir;
    for (const bool autoLog : {false, true}) {
        for (const bool stamped : {false, true}) {
            SCOPED_TRACE(testing::Message() << "autoLog " << autoLog << " stamped " << stamped);
            Journalled j([&](TrafficConfig& c) {
                c.autoLogging = autoLog ? 1 : 0;
                c.logDirectory = dir / "log";
                c.displayMode = stamped ? DisplayMode::TimeStampedAsc : DisplayMode::Asc;
            });
            std::uint64_t total = 0;
            for (unsigned seed = 0; seed < 400; ++seed) {
                const std::string bytes = pattern(60 + seed % 41, seed);
                if (seed % 7 == 3)
                    test::send(j.buffer, 1, bytes);
                else
                    test::receive(j.buffer, seed % 2 ? 2 : 1, bytes);
                total += bytes.size();
            }
            ASSERT_GT(j.buffer.recordBase(), 0u) << "the record overflowed";
            EXPECT_GT(j.checkRecordPositions(), 20);
            const auto data = j.entries(Kind::Data);
            std::uint64_t journalled = 0;
            for (const Entry& e : data)
                journalled += e.count;
            EXPECT_EQ(journalled, total) << "the journal keeps the received bytes, never the time-stamp text";
            // In the time-stamped mode a received chunk's record follows its text.
            const Entry& lastReceived = *std::find_if(data.rbegin(), data.rend(), [](const Entry& e) {
                return e.direction == timeline::Direction::Received;
            });
            if (stamped) {
                EXPECT_EQ(j.buffer.dataAt(*j.buffer.recordIndex(lastReceived.record) - 1), '>');
            }
            // Bytes dropped from the record are no longer found.
            EXPECT_FALSE(j.buffer.recordIndex(data.front().record).has_value());

            j.buffer.clearTraffic();
            EXPECT_EQ(j.journal.size(), 0u);
            EXPECT_EQ(j.buffer.recordBase(), 0u);
        }
    }
}

// One read's marks: its bytes arrived in two pieces, with a parity error on the first byte of
// the second piece and a break after the last byte; the wake-up's second chunk is stamped apart.
TEST(TrafficJournal, AChunkIsSplitWhereItsBytesArrivedApartAndErrorsLandAtTheirByte)
{
    Journalled j;
    test::receive(j.buffer, 1, "xyz");  // the record does not start at 0
    const std::string bytes = pattern(130, 9);
    ReadMarks marks;
    marks.arrivals = {{0, {1'000, 10}}, {40, {2'000, 20}}, {100, {3'000, 30}}};
    marks.errors = {{40, timeline::LineError::Parity, 0}, {120, timeline::LineError::Overrun, 7},
                    {130, timeline::LineError::Break, 0}};
    j.buffer.appendReceivedChunks(2, reinterpret_cast<const std::uint8_t*>(bytes.data()), 130, 100, &marks);

    std::vector<std::tuple<std::uint64_t, std::uint32_t, std::int64_t>> data;
    for (const Entry& e : j.entries(Kind::Data))
        if (e.channel == 2)
            data.emplace_back(e.record, e.count, e.time.monoUs);
    const std::vector<std::tuple<std::uint64_t, std::uint32_t, std::int64_t>> expected = {
        {3, 40, 10}, {43, 60, 20}, {103, 30, 30}};
    EXPECT_EQ(data, expected);
    const auto errors = j.entries(Kind::LineError);
    ASSERT_EQ(errors.size(), 3u);
    EXPECT_EQ(errors[0].record, 43u);
    EXPECT_EQ(errors[0].time.monoUs, 20);
    EXPECT_EQ(errors[1].record, 123u);
    EXPECT_EQ(errors[1].value, 7u) << "bytes lost before it";
    EXPECT_EQ(errors[2].record, 133u) << "a break after the last byte: before the next";
    EXPECT_EQ(static_cast<timeline::LineError>(errors[2].detail), timeline::LineError::Break);
    EXPECT_EQ(j.checkRecordPositions(), 4);

    // Each error follows the data entry that holds its byte.
    std::vector<Entry> all;
    j.journal.copySince(0, all);
    std::vector<Kind> kinds;
    for (const Entry& e : all)
        kinds.push_back(e.kind);
    EXPECT_EQ(kinds, (std::vector<Kind>{Kind::Data, Kind::Data, Kind::Data, Kind::LineError, Kind::Data,
                                         Kind::LineError, Kind::LineError}))
        << "xyz, then each error after the entry that holds its byte";
}

TEST(TrafficJournal, ALoadedLogStartsAnEmptyJournal)
{
    test::TempDir dir;
    Journalled j;
    test::receive(j.buffer, 1, "saved");
    ASSERT_TRUE(j.buffer.saveToLog(dir / "a.log"));
    test::receive(j.buffer, 1, "more");
    ASSERT_EQ(j.journal.size(), 2u);
    ASSERT_TRUE(j.buffer.loadFromLog(dir / "a.log"));
    EXPECT_EQ(j.journal.size(), 0u);
    test::receive(j.buffer, 1, "new");
    EXPECT_EQ(j.entries(Kind::Data).at(0).record, 5u) << "counted from the loaded record's start";
}

} // namespace
} // namespace kestrane
