// The fast display without a window: the screen cell map as the feeds fill it (runs, control
// bytes, splitting, line and page wrap, the end marker), the repaint from the map, the repaint
// requests, and that only ASC mode touches the map. Chunks go through the traffic buffer, which
// calls the feeds the way the receive threads and the sending path do.
#include "display_test_support.h"
#include "traffic/fast_display.h"
#include "traffic/low_speed_display.h"
#include "traffic_test_support.h"

#include "records/settings_records.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace kestrane {
namespace {

using test::glyphAt;
using test::RecordedOp;
using test::RecordingSink;
using test::text;

// A cell as text for comparisons.
struct CellView {
    int length = 0;
    int kind = 0;
    std::string text;
    bool operator==(const CellView&) const = default;
};

std::ostream& operator<<(std::ostream& os, const CellView& c)
{
    return os << "{" << c.length << ", " << c.kind << ", \"" << c.text << "\"}";
}

struct Cursor {
    int x = 0, y = 0, cell = 0, line = 0;
    bool operator==(const Cursor&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Cursor& c)
{
    return os << "x " << c.x << " y " << c.y << " cell " << c.cell << " line " << c.line;
}

struct Fast : ::testing::Test {
    test::FixedClock clock;
    TrafficBuffer buffer{clock};
    test::FixedMeasurer measurer{6};
    FastDisplay fast{buffer.interlock(), measurer};
    std::atomic<int> requests{0};
    TrafficConfig config;

    // 200 x 120: right limit 180, bottom limit 102, so three lines (y 0, 34, 68).
    void SetUp() override
    {
        fast.setClientSize(200, 120);
        fast.setRepaintRequest([this] { ++requests; });
        config.fastDisplay = true;
        config.ch2Mode = Ch2Mode::Independent;
        buffer.configure(config);
        buffer.setDisplayFeed(&fast);
    }
    void TearDown() override { buffer.setDisplayFeed(nullptr); }
    void setMode(int displayMode, bool fastDisplay)
    {
        config.displayMode = displayMode;
        config.fastDisplay = fastDisplay;
        buffer.configure(config);
    }
    void receive(const std::string& s, int channel = 1) { test::receive(buffer, channel, s); }

    CellView cell(int line, int index)
    {
        CellView v;
        fast.readMap([&](const ScreenCellMap& m) {
            const ScreenCell& c = m.cell(line, index);
            v.length = c.length;
            v.kind = c.kind;
            v.text.assign(reinterpret_cast<const char*>(c.text.data()),
                          static_cast<std::size_t>(std::clamp(c.length, 0, ScreenCell::kTextSize)));
        });
        return v;
    }
    Cursor cursor()
    {
        Cursor c;
        fast.readMap([&](const ScreenCellMap& m) { c = {m.fastX, m.fastY, m.fastCell, m.fastLine}; });
        return c;
    }
    std::vector<RecordedOp> repaint(int first = 0, int last = ScreenCellMap::kLines - 1)
    {
        RecordingSink sink;
        fast.fastRepaint(first, last, sink);
        return sink.ops;
    }
    bool mapIsEmpty()
    {
        bool empty = true;
        fast.readMap([&](const ScreenCellMap& m) {
            for (int l = 0; l < ScreenCellMap::kLines; ++l)
                for (int c = 0; c < ScreenCellMap::kCellsPerLine; ++c)
                    empty = empty && m.cell(l, c).length == 0 && m.cell(l, c).kind == 0;
            empty = empty && m.fastX == 40 && m.fastY == 0 && m.fastCell == 0 && m.fastLine == 0;
        });
        return empty;
    }
};

TEST_F(Fast, RunsAndControlBytesFillCellsAndTheEndMarkerFollows)
{
    receive("AB\r");
    test::send(buffer, 2, "C");
    EXPECT_EQ(cell(0, 0), (CellView{2, 1, "AB"}));
    EXPECT_EQ(cell(0, 1), (CellView{1, 17, "\r"}));
    EXPECT_EQ(cell(0, 2), (CellView{1, 2, "C"}));
    EXPECT_EQ(cell(0, 3).kind, ScreenCell::kEndMarker);
    EXPECT_EQ(cursor(), (Cursor{40 + 12 + 10 + 6, 0, 3, 0}));

    // The repaint draws the same page from the map.
    EXPECT_EQ(repaint(), (std::vector<RecordedOp>{text("AB", Ink::Black, 40, 17), glyphAt(14, 52, 17),
                                                   text("C", Ink::Red, 62, 3), glyphAt(42, 68, 3, 28, 13),
                                                   glyphAt(42, 68, 17, 28, 13)}));
}

TEST_F(Fast, EveryKindHasItsRowAndColour)
{
    test::send(buffer, 1, "a\n");    // kind 0
    receive("b\n", 1);               // kind 1
    test::send(buffer, 2, "c\n");    // kind 2
    receive("d\n", 2);               // kind 3 (CH2 as an independent port)
    const auto ops = repaint(0, 0);
    ASSERT_GE(ops.size(), 8u);
    EXPECT_EQ(ops[0], text("a", Ink::Black, 40, 3));
    EXPECT_EQ(ops[1], glyphAt(11, 46, 0));
    EXPECT_EQ(ops[2], text("b", Ink::Black, 56, 17));
    EXPECT_EQ(ops[3], glyphAt(11, 62, 17));
    EXPECT_EQ(ops[4], text("c", Ink::Red, 72, 3));
    EXPECT_EQ(ops[5], glyphAt(110, 78, 0));
    EXPECT_EQ(ops[6], text("d", Ink::Red, 88, 17));
    EXPECT_EQ(ops[7], glyphAt(110, 94, 17));
}

TEST_F(Fast, RunLongerThanTheRestOfTheLineIsSplit)
{
    // 30 bytes of 6 pixels from x 40: only (180 - 40) / 6 = 23 fit.
    const std::string run = "abcdefghijklmnopqrstuvwxyz0123";
    receive(run);
    EXPECT_EQ(cell(0, 0), (CellView{23, 1, run.substr(0, 23)}));
    EXPECT_EQ(cell(1, 0), (CellView{7, 1, run.substr(23)}));
    EXPECT_EQ(cell(1, 1).kind, ScreenCell::kEndMarker);
    EXPECT_EQ(cursor(), (Cursor{40 + 42, 34, 1, 1}));
}

TEST_F(Fast, SplitUsesTheAverageCharacterWidthRoundedUp)
{
    // Widths that do not divide: 7 bytes measured 7 x 6 + 1 = 43 pixels, average 7 after rounding up.
    class Uneven final : public TextMeasurer {
    public:
        int textWidth(const std::uint8_t*, int count) const override { return count * 6 + 1; }
    } uneven;
    FastDisplay display(buffer.interlock(), uneven);
    display.setClientSize(200, 120);
    const std::string run(30, 'w');
    display.feedLowSpeed(reinterpret_cast<const std::uint8_t*>(run.data()), 30, 1);
    display.readMap([](const ScreenCellMap& m) {
        EXPECT_EQ(m.cell(0, 0).length, 140 / 7);  // ceil(181 / 30) = 7
        EXPECT_EQ(m.cell(1, 0).length, 10);
    });
}

TEST_F(Fast, SplitKeepsDoubleByteCharactersWhole)
{
    // A lead byte at the cut moves to the next line with its trail byte.
    std::string run(22, 'a');
    run += "\x82\xA0" "bc";
    receive(run);
    EXPECT_EQ(cell(0, 0).text, std::string(22, 'a'));
    EXPECT_EQ(cell(1, 0).text, "\x82\xA0" "bc");
}

TEST_F(Fast, ALeadByteWithoutItsTrailByteStandsAloneInItsCell)
{
    // CH1's chunk ends in a lead byte and CH2's bytes follow: the lead byte pairs with nothing.
    receive("ab\x82");
    receive("\xA0" "c", 2);
    // Before a control byte of its own chunk, too.
    receive("x\x83\r");
    EXPECT_EQ(cell(0, 0), (CellView{3, 1, "ab\x82"}));
    EXPECT_EQ(cell(0, 1), (CellView{2, 3, "\xA0" "c"}));
    EXPECT_EQ(cell(0, 2), (CellView{2, 1, "x\x83"}));
    EXPECT_EQ(cell(0, 3), (CellView{1, 17, "\r"}));
    const auto ops = repaint(0, 0);
    ASSERT_GE(ops.size(), 4u);
    EXPECT_EQ(ops[0], text("ab\x82", Ink::Black, 40, 17));
    EXPECT_EQ(ops[1], text("\xA0" "c", Ink::Red, 58, 17));
    EXPECT_EQ(ops[2], text("x\x83", Ink::Black, 70, 17));

    // At the cut of a run too long for the line: the lone lead byte opens the next line alone.
    fast.clearScreenCellMap();
    receive(std::string(23, 'a') + "\x82");
    receive("z", 2);
    EXPECT_EQ(cell(0, 0), (CellView{23, 1, std::string(23, 'a')}));
    EXPECT_EQ(cell(1, 0), (CellView{1, 1, "\x82"}));
    EXPECT_EQ(cell(1, 1), (CellView{1, 3, "z"}));
}

TEST_F(Fast, ControlBytesTakeTenPixelsAndBreakTheLineAtTheRightLimit)
{
    receive(std::string(20, '\x02'));
    // x 40 + 14 x 10 = 180 reaches the limit after the 14th byte.
    for (int i = 0; i < 14; ++i)
        EXPECT_EQ(cell(0, i), (CellView{1, 17, "\x02"})) << i;
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(cell(1, i), (CellView{1, 17, "\x02"})) << i;
    EXPECT_EQ(cursor(), (Cursor{100, 34, 6, 1}));
}

TEST_F(Fast, PageWrapsFromTheBottomLineToTheTopLineAndErasesIt)
{
    receive("X\x01Y\x01Z");           // line 0: five cells, x 78
    receive(std::string(11, '\x01'));  // the eleventh reaches the right limit
    EXPECT_EQ(cursor(), (Cursor{40, 34, 0, 1}));
    receive(std::string(23, 'q'));     // 40 + 138 < 180: one cell
    receive("\x01");                   // line 1 ends
    receive(std::string(23, 'r'));
    receive("\x01");                   // line 2 ends at the bottom limit: back to the top line
    EXPECT_EQ(cursor(), (Cursor{40, 0, 0, 0}));
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(cell(0, i).length, 0) << i;

    receive("s");
    EXPECT_EQ(cell(0, 0), (CellView{1, 1, "s"}));
    EXPECT_EQ(cell(0, 1).kind, ScreenCell::kEndMarker);
    EXPECT_EQ(cell(1, 0).text, std::string(23, 'q'));  // the lines below stay until they are reached
    EXPECT_EQ(repaint(0, 0), (std::vector<RecordedOp>{text("s", Ink::Black, 40, 17), glyphAt(42, 46, 3, 28, 13),
                                                       glyphAt(42, 46, 17, 28, 13)}));
}

TEST_F(Fast, NarrowWindowStillAdvancesOneByteAtATime)
{
    fast.setClientSize(20, 60);  // right limit 0, bottom limit 42: two lines
    receive("ABCDEFG");
    EXPECT_EQ(cell(0, 0), (CellView{1, 1, "G"}));
    EXPECT_EQ(cell(1, 0).kind, ScreenCell::kEndMarker);
    EXPECT_EQ(cursor(), (Cursor{40, 34, 0, 1}));
    receive("\x03\x04");
    EXPECT_EQ(cell(0, 0), (CellView{1, 17, "\x04"}));
    EXPECT_EQ(cursor(), (Cursor{40, 34, 0, 1}));

    // A window with no height at all keeps the cursor on the top line.
    fast.setClientSize(0, 0);
    receive("HIJ\x05");
    EXPECT_EQ(cursor(), (Cursor{40, 0, 0, 0}));
}

TEST_F(Fast, TextWithoutWidthNeverOverflowsACell)
{
    test::FixedMeasurer zero(0);
    FastDisplay display(buffer.interlock(), zero);
    display.setClientSize(2000, 1000);
    const std::string run(520, 'z');
    for (int i = 0; i < 3; ++i)
        display.feedLowSpeed(reinterpret_cast<const std::uint8_t*>(run.data()), 520, 1);
    display.readMap([](const ScreenCellMap& m) {
        int total = 0;
        for (int c = 0; c < ScreenCellMap::kCellsPerLine; ++c) {
            EXPECT_LE(m.cell(0, c).length, ScreenCell::kTextSize);
            total += m.cell(0, c).length;
        }
        EXPECT_EQ(total, 3 * 520);
    });
}

TEST_F(Fast, LowSpeedFeedKeepsTheSameMapWithoutAskingForRepaints)
{
    FastDisplay twin(buffer.interlock(), measurer);
    twin.setClientSize(200, 120);
    int twinRequests = 0;
    twin.setRepaintRequest([&] { ++twinRequests; });
    const std::vector<std::string> chunks = {"hello\r\n", std::string(40, 'x'), "\x82\xA0\x01", "end"};
    for (const std::string& c : chunks) {
        const auto* p = reinterpret_cast<const std::uint8_t*>(c.data());
        buffer.interlock().lock(DisplayInterlock::Producer::Ch1);
        fast.feedFast(p, static_cast<int>(c.size()), 1);
        twin.feedLowSpeed(p, static_cast<int>(c.size()), 1);
        buffer.interlock().unlock();
    }
    EXPECT_EQ(twinRequests, 0);
    EXPECT_EQ(twin.takeDirtyLines(), 0u);
    RecordingSink a, b;
    fast.fastRepaint(0, 49, a);
    twin.fastRepaint(0, 49, b);
    EXPECT_EQ(a.ops, b.ops);
    EXPECT_FALSE(a.ops.empty());
}

TEST_F(Fast, RepaintRequestsAreCoalescedUntilTheLinesAreTaken)
{
    receive("a");
    receive("b");
    EXPECT_EQ(requests.load(), 1);
    EXPECT_EQ(fast.takeDirtyLines(), 0b1u);
    receive(std::string(30, 'c'));  // reaches line 1
    EXPECT_EQ(requests.load(), 2);
    EXPECT_EQ(fast.takeDirtyLines(), 0b11u);
    EXPECT_EQ(fast.takeDirtyLines(), 0u);
}

TEST_F(Fast, HexAndTimeStampedModesLeaveTheMapAlone)
{
    for (int mode : {1, 2}) {
        for (bool fastDisplay : {true, false}) {
            setMode(mode, fastDisplay);
            receive("abc\r\n");
            test::send(buffer, 1, "def");
            EXPECT_TRUE(mapIsEmpty()) << "mode " << mode;
            EXPECT_EQ(requests.load(), 0);
        }
    }
    setMode(0, false);
    receive("abc");
    EXPECT_FALSE(mapIsEmpty());
    EXPECT_EQ(requests.load(), 0);  // the low-speed feed never asks for a repaint
}

TEST_F(Fast, ClearEmptiesThePageAndResetsTheCursor)
{
    receive(std::string(60, 'k') + "\r");
    ASSERT_FALSE(mapIsEmpty());
    fast.clearScreenCellMap();
    EXPECT_TRUE(mapIsEmpty());
    EXPECT_TRUE(repaint().empty());
}

// Producers on two receive threads and the sending path while the GUI thread repaints, ticks
// and inspects: the map and the planes are only ever read with no feed running.
TEST(FastConcurrency, FeedsRepaintsAndTicksInterleaveSafely)
{
    test::FixedClock clock;
    TrafficBuffer buffer(clock);
    test::FixedMeasurer measurer(6);
    FastDisplay fast(buffer.interlock(), measurer);
    LowSpeedDisplay low(buffer);
    fast.setClientSize(400, 300);
    std::atomic<int> requests{0};
    fast.setRepaintRequest([&] { ++requests; });
    TrafficConfig config;
    config.bufferSize = 200;  // small: many overflow steps
    config.ch2Mode = Ch2Mode::Independent;
    buffer.configure(config);
    buffer.setDisplayFeed(&fast);
    SettingsRecord settings;
    low.tick(settings, false, 400);  // start-up clear

    constexpr int kChunks = 600;
    std::atomic<int> running{3};
    auto producer = [&](int channel, bool sending) {
        for (int i = 0; i < kChunks; ++i) {
            const std::string chunk = test::pattern(37 + static_cast<std::size_t>(i % 50), static_cast<unsigned>(i));
            if (sending)
                test::send(buffer, channel, chunk);
            else
                test::receive(buffer, channel, chunk);
            if (i == kChunks / 2 && channel == 1 && !sending)
                buffer.setFastDisplay(true);
        }
        --running;
    };
    std::thread ch1(producer, 1, false), ch2(producer, 2, false), tx(producer, 2, true);
    int rounds = 0;
    while (running.load() > 0 || rounds < 10) {
        RecordingSink sink;
        fast.fastRepaint(0, 49, sink);
        (void)fast.takeDirtyLines();
        buffer.setPendingDrawTicks(1);
        low.tick(settings, false, 400);
        low.layoutStoredLines(0, 0, 20, sink);
        (void)low.inspectCharacter(45, 20, 0, 0);
        ++rounds;
    }
    ch1.join();
    ch2.join();
    tx.join();

    buffer.setPendingDrawTicks(1);
    low.tick(settings, false, 400);
    EXPECT_EQ(buffer.drawPosition(), buffer.storedLength());
    EXPECT_GT(requests.load(), 0);
    fast.readMap([](const ScreenCellMap& m) {
        EXPECT_GE(m.fastLine, 0);
        EXPECT_LT(m.fastLine, ScreenCellMap::kLines);
        EXPECT_EQ(m.fastY, m.fastLine * 34);
        EXPECT_LT(m.fastY, fastBottomLimit(300));
        EXPECT_EQ(m.cell(m.fastLine, m.fastCell).kind, ScreenCell::kEndMarker);
    });
    buffer.setDisplayFeed(nullptr);
}

} // namespace
} // namespace kestrane
