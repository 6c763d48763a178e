#include "timeline/byte_trace.h"
#include "timeline/event_rows.h"

#include <gtest/gtest.h>

namespace kestrane::timeline {
namespace {

// A journal written as the traffic buffer writes it: record positions advance with every chunk.
struct Line {
    Journal journal;
    std::uint64_t record = 0;
    explicit Line(std::size_t entries = kJournalEntries, std::size_t bytes = kJournalBytes) : journal(entries, bytes) {}

    std::uint64_t data(int channel, Direction d, std::int64_t atUs, std::vector<std::uint8_t> bytes)
    {
        const std::uint64_t at = record;
        journal.appendData(channel, d, Stamp{1'700'000'000'000'000 + atUs, atUs}, at, bytes);
        record += bytes.size();
        return at;
    }
    void error(int channel, std::uint64_t at, LineError kind, std::int64_t atUs = 0)
    {
        Entry e;
        e.kind = Kind::LineError;
        e.channel = static_cast<std::uint8_t>(channel);
        e.record = at;
        e.time = {atUs, atUs};
        e.detail = static_cast<std::uint8_t>(kind);
        journal.append(e);
    }
    void event(Kind kind, int channel, std::int64_t atUs, std::uint8_t detail, std::uint32_t value = 0)
    {
        Entry e;
        e.kind = kind;
        e.channel = static_cast<std::uint8_t>(channel);
        e.record = record;
        e.time = {atUs, atUs};
        e.detail = detail;
        e.value = value;
        journal.append(e);
    }
};

std::vector<std::uint8_t> run(std::uint8_t first, std::size_t n)
{
    std::vector<std::uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i)
        v[i] = static_cast<std::uint8_t>(first + i);
    return v;
}

TEST(EventRows, ChunksBecomeFramesWithTheirBytesAndAnswerTimesBetweenEventsInTimeOrder)
{
    Line line;
    EventReader reader;
    reader.setRule(1, {4000, 1000});
    reader.setRule(2, {4000, 1000});
    line.data(1, Direction::Sent, 0, {0x01, 0x03});
    line.data(1, Direction::Sent, 2'500, {0x00, 0x10});  // 2.5 ms later, 2 ms of it its own bytes
    line.event(Kind::ModemChange, 1, 3'000, 0x10, 0x10);
    line.data(1, Direction::Received, 20'000, {0x01, 0x03, 0x02});

    EventReader::Step s = reader.read(line.journal, 20'000);
    EXPECT_EQ(s.entries, 4U);
    ASSERT_EQ(reader.rows().size(), 3U) << "each row where it began: request, modem change, reply";
    const EventRow& request = reader.rows()[0];
    EXPECT_EQ(request.kind, RowKind::Frame);
    EXPECT_FALSE(request.open);
    EXPECT_EQ(request.direction, Direction::Sent);
    EXPECT_EQ(request.count, 4U);
    EXPECT_EQ(request.end.monoUs, 2'500);
    EXPECT_EQ(request.bytes, (std::vector<std::uint8_t>{0x01, 0x03, 0x00, 0x10}));
    EXPECT_EQ(reader.rows()[1].kind, RowKind::Modem);
    ASSERT_EQ(reader.open(), &reader.rows()[2]);
    EXPECT_EQ(reader.open()->answerUs, 17'500);
    EXPECT_EQ(reader.open()->count, 3U);

    // More of the reply; then quiet past the rule, but not yet past the margin a late chunk may
    // need: still open.
    line.data(1, Direction::Received, 21'000, {0x04});
    s = reader.read(line.journal, 21'000 + 4'001);
    EXPECT_EQ(s.added, 0U);
    EXPECT_EQ(s.changed, std::vector<std::uint64_t>{3});
    ASSERT_NE(reader.open(), nullptr);
    EXPECT_EQ(reader.open()->count, 4U);
    s = reader.read(line.journal, 21'000 + 4'001 + kFlushMarginUs);
    EXPECT_EQ(s.changed, std::vector<std::uint64_t>{3});
    EXPECT_EQ(reader.open(), nullptr);
    const EventRow& reply = reader.rows()[2];
    EXPECT_FALSE(reply.open);
    EXPECT_EQ(reply.answerUs, 17'500);
    EXPECT_EQ(reply.quietUs, 17'500);
    EXPECT_EQ(reply.record, 4U);
    EXPECT_EQ(reply.bytes, (std::vector<std::uint8_t>{0x01, 0x03, 0x02, 0x04}));
    const Summary sum = reader.summary();
    EXPECT_EQ(sum.frames, 2U);
    EXPECT_EQ(sum.answerMedianUs, 17'500);
}

TEST(EventRows, ALineErrorMarksItsByteWhetherItComesWithBeforeOrAfterItsFrame)
{
    Line line;
    EventReader reader;
    reader.setRule(1, {4000, 1000});
    reader.setRule(2, {4000, 1000});
    const std::uint64_t a = line.data(1, Direction::Received, 0, run(0x30, 5));
    line.error(1, a + 3, LineError::Parity);  // with its frame, which is open
    reader.read(line.journal, 0);
    ASSERT_NE(reader.open(), nullptr);
    ASSERT_EQ(reader.open()->marks.size(), 1U);
    EXPECT_EQ(reader.open()->marks[0].offset, 3U);

    // The frame ends (CH2 speaks); a framing error at its first byte comes after that.
    const std::uint64_t b = line.data(2, Direction::Received, 10'000, run(0x40, 2));
    line.error(1, a, LineError::Framing);
    // A break reported before the byte it precedes has arrived.
    line.error(2, b + 2, LineError::Break);
    line.data(2, Direction::Received, 10'900, run(0x50, 2));  // still the same CH2 frame
    const EventReader::Step s = reader.read(line.journal, 10'900);
    ASSERT_EQ(reader.rows().size(), 5U) << "CH1 frame, its parity error, CH2 frame, framing, break";
    const EventRow& first = reader.rows()[0];
    EXPECT_EQ(first.errors, 2U);
    ASSERT_EQ(first.marks.size(), 2U);
    EXPECT_EQ(first.marks[1].offset, 0U);
    EXPECT_EQ(first.marks[1].kind, LineError::Framing);
    EXPECT_EQ(s.changed, std::vector<std::uint64_t>{first.serial});
    const EventRow& second = reader.rows()[2];
    ASSERT_EQ(reader.open(), &second);
    ASSERT_EQ(second.marks.size(), 1U);
    EXPECT_EQ(second.marks[0].offset, 2U);
    EXPECT_EQ(second.marks[0].kind, LineError::Break);
    EXPECT_EQ(reader.rows()[1].kind, RowKind::Error);
    EXPECT_EQ(reader.rows()[4].kind, RowKind::Error);
    EXPECT_EQ(reader.summary().errors[static_cast<int>(LineError::Framing)], 1U);
}

TEST(EventRows, BatchesAreBoundedRowsTooAndAnOverrunReaderSaysWhatItMissed)
{
    Line line(16, 1024);
    EventReader reader(5);
    for (int i = 0; i < 10; ++i)
        line.event(Kind::Action, 1, i, static_cast<std::uint8_t>(Action::DtrOn));
    EventReader::Step s = reader.read(line.journal, 0, 4);
    EXPECT_EQ(s.entries, 4U);
    EXPECT_TRUE(s.more);
    s = reader.read(line.journal, 0, 100);
    EXPECT_FALSE(s.more);
    EXPECT_EQ(reader.rows().size(), 5U);
    EXPECT_EQ(reader.droppedRows(), 5U);
    EXPECT_EQ(reader.firstSerial(), 6U);
    EXPECT_EQ(reader.row(6)->time.monoUs, 5);
    EXPECT_EQ(reader.row(5), nullptr);

    // 20 more while a reader that had read everything looks away: 4 of them are gone.
    EventReader wide;
    wide.read(line.journal, 0);
    EXPECT_EQ(wide.missedEntries(), 0U) << "a reader that opens late misses nothing";
    EXPECT_EQ(wide.rows().size(), 10U);
    for (int i = 0; i < 20; ++i)
        line.event(Kind::Action, 2, 100 + i, static_cast<std::uint8_t>(Action::RtsOn));
    wide.read(line.journal, 0);
    EXPECT_EQ(wide.missedEntries(), 4U);
    ASSERT_EQ(wide.rows().size(), 27U);
    const EventRow& lost = wide.rows()[10];
    EXPECT_EQ(lost.kind, RowKind::Lost);
    EXPECT_TRUE(lost.missed);
    EXPECT_EQ(lost.value, 4U);
    EXPECT_EQ(wide.rows()[11].time.monoUs, 104);
}

TEST(EventRows, TheFilterPicksChannelAndKindAndKeepsRowsOfNoChannel)
{
    EventRow frame2;
    frame2.channel = 2;
    EventRow error1;
    error1.kind = RowKind::Error;
    EventRow missed;
    missed.kind = RowKind::Lost;
    missed.channel = 0;
    EventFilter f;
    f.channel = 1;
    EXPECT_FALSE(f.accepts(frame2));
    EXPECT_TRUE(f.accepts(error1));
    EXPECT_TRUE(f.accepts(missed));
    f.errors = false;
    EXPECT_FALSE(f.accepts(error1));
    EXPECT_FALSE(f.accepts(missed));
    f.channel = 0;
    EXPECT_TRUE(f.accepts(frame2));
    f.frames = false;
    EXPECT_FALSE(f.accepts(frame2));
}

TEST(ByteTrace, FindsTheChunkAndTheErrorsOfAByteWhileTheJournalKeepsIt)
{
    Line line(64, 4096);
    for (int i = 0; i < 40; ++i) {
        line.data(1 + i % 2, Direction::Received, i * 1000, run(0, 7));
        if (i == 21)
            line.error(2, line.record - 1, LineError::Parity);
    }
    const auto hit = traceByte(line.journal, 21 * 7 + 6, 2, Direction::Received);
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->chunk.time.monoUs, 21'000);
    EXPECT_EQ(hit->chunk.channel, 2);
    ASSERT_EQ(hit->errors.size(), 1U);
    EXPECT_EQ(static_cast<LineError>(hit->errors[0].detail), LineError::Parity);
    EXPECT_FALSE(traceByte(line.journal, 21 * 7 + 6, 1, Direction::Received)) << "another stream's byte";
    const auto clean = traceByte(line.journal, 21 * 7 + 5, 2, Direction::Received);
    ASSERT_TRUE(clean);
    EXPECT_TRUE(clean->errors.empty());
    EXPECT_FALSE(traceByte(line.journal, line.record, 2, Direction::Received)) << "not stored yet";
    // A sent message the record left out sits at the record's length, where the next stored
    // chunk begins: the stream tells them apart.
    line.journal.appendData(1, Direction::Sent, Stamp{0, 50'000}, line.record, run(0x70, 3));
    line.data(2, Direction::Received, 50'001, run(0, 7));
    EXPECT_EQ(traceByte(line.journal, line.record - 7, 2, Direction::Received)->chunk.time.monoUs, 50'001);
    EXPECT_EQ(traceByte(line.journal, line.record - 7, 1, Direction::Sent)->chunk.time.monoUs, 50'000);

    for (int i = 0; i < 64; ++i)
        line.data(1, Direction::Received, 100'000 + i, run(0, 7));
    EXPECT_FALSE(traceByte(line.journal, 21 * 7 + 6, 2, Direction::Received)) << "overwritten";
    EXPECT_EQ(traceByte(line.journal, line.record - 1, 1, Direction::Received)->chunk.time.monoUs, 100'063);
}

} // namespace
} // namespace kestrane::timeline
