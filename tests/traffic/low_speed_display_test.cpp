// The low-speed display without a window: geometry, how one byte is drawn, the repaint's layout,
// the timer tick (incremental drawing, idle redisplay, start-up clear, auto-scroll) and the
// character inspection.
#include "records/settings_records.h"
#include "display_test_support.h"
#include "traffic/display_geometry.h"
#include "traffic/low_speed_display.h"
#include "traffic_test_support.h"

#include <gtest/gtest.h>

#include <random>

namespace kestrane {
namespace {

using test::glyphAt;
using test::RecordedOp;
using test::RecordingSink;
using test::text;

constexpr int kTop = 3 * display::kLineHeight;  // a line top that is not 0

// ---------------------------------------------------------------- geometry

TEST(DisplayGeometry, CharsPerLineFollowsTheClientWidthAndNeverDropsBelowOne)
{
    EXPECT_EQ(charsPerLineFor(441), 40);
    EXPECT_EQ(charsPerLineFor(450), 40);
    EXPECT_EQ(charsPerLineFor(451), 41);
    EXPECT_EQ(charsPerLineFor(440), 39);
    // A window narrower than the label column still has one cell per line.
    for (int width : {51, 50, 41, 20, 0, -30})
        EXPECT_EQ(charsPerLineFor(width), 1) << width;
    EXPECT_EQ(displayLineCount(600, 40), 900);
    EXPECT_EQ(displayLineCount(200, 7), 12000 / 7);
    EXPECT_EQ(displayLineCount(600, 0), 36000);  // a zero never divides
}

TEST(DisplayGeometry, NewestLineSitsEightLinesBelowTheTop)
{
    EXPECT_EQ(newestTopLine(20 * 34, 900), 12);
    EXPECT_EQ(newestTopLine(8 * 34, 900), 0);
    EXPECT_EQ(newestTopLine(3 * 34, 900), 0);     // negative: top of the buffer
    EXPECT_EQ(newestTopLine(200 * 34, 100), 0);   // beyond the last line: top of the buffer
    EXPECT_EQ(newestTopLine(108 * 34, 100), 100);
}

TEST(DisplayGeometry, RowLabelsNameTheChannelsOfTheLineMonitor)
{
    for (int mode : {Ch2Mode::NotUsed, Ch2Mode::Independent}) {
        EXPECT_STREQ(upperRowLabel(mode), "SEND");
        EXPECT_STREQ(lowerRowLabel(mode), "READ");
    }
    for (int mode : {Ch2Mode::MonitorT, Ch2Mode::MonitorRelay}) {
        EXPECT_STREQ(upperRowLabel(mode), "2chR");
        EXPECT_STREQ(lowerRowLabel(mode), "1chR");
    }
}

TEST(DisplayGeometry, FastDisplayLimitsAreCappedForHugeWindows)
{
    EXPECT_EQ(fastRightLimit(670), 650);
    EXPECT_EQ(fastRightLimit(2099), 2079);
    EXPECT_EQ(fastRightLimit(2100), 2080);
    EXPECT_EQ(fastBottomLimit(510), 492);
    EXPECT_EQ(fastBottomLimit(1699), 1681);
    EXPECT_EQ(fastBottomLimit(1700), 1682);
}

// ---------------------------------------------------------------- one byte

std::vector<RecordedOp> drawn(std::initializer_list<std::pair<std::uint8_t, std::uint8_t>> bytesAndTags, int mode)
{
    RecordingSink sink;
    PendingLead pending;
    int x = 40;
    for (auto [byte, tag] : bytesAndTags) {
        drawByte(byte, tag, mode, x, kTop, pending, sink);
        x += 10;
    }
    return sink.ops;
}

TEST(DrawByte, HexDigitsTakeTheRowAndColourOfTheTag)
{
    struct Case {
        std::uint8_t tag;
        int set;  // first bitmap id of the digit set
        int row;  // y from the line top
    };
    for (const Case& c : {Case{'0', 50, 7}, Case{'1', 50, 18}, Case{'2', 150, 7}, Case{'3', 150, 18}}) {
        const auto ops = drawn({{0x4A, c.tag}}, 1);
        const std::vector<RecordedOp> expected = {glyphAt(c.set + 4, 40, kTop + c.row),
                                                  glyphAt(c.set + 0xA, 45, kTop + c.row)};
        EXPECT_EQ(ops, expected) << "tag " << c.tag;
    }
    // HEX mode draws lead bytes and control bytes as digits too.
    EXPECT_EQ(drawn({{0x82, '1'}, {0x0D, '1'}}, 1),
              (std::vector<RecordedOp>{glyphAt(58, 40, kTop + 18), glyphAt(52, 45, kTop + 18),
                                       glyphAt(50, 50, kTop + 18), glyphAt(63, 55, kTop + 18)}));
}

TEST(DrawByte, ControlBytesUseTheGlyphOfTheirValue)
{
    struct Case {
        std::uint8_t tag;
        int set;
        int row;
    };
    for (int mode : {0, 2}) {
        for (const Case& c : {Case{'0', 1, 0}, Case{'1', 1, 17}, Case{'2', 100, 0}, Case{'3', 100, 17}}) {
            for (int value : {0, 13, 32}) {
                const auto byte = static_cast<std::uint8_t>(value);
                const auto ops = drawn({{byte, c.tag}}, mode);
                EXPECT_EQ(ops, std::vector<RecordedOp>{glyphAt(c.set + byte, 40, kTop + c.row)})
                    << "tag " << c.tag << " byte " << int(byte);
            }
        }
    }
}

TEST(DrawByte, PrintableBytesAreTextInTheRowAndColourOfTheTag)
{
    EXPECT_EQ(drawn({{'A', '0'}, {'B', '1'}, {'C', '2'}, {0xB1, '3'}}, 0),
              (std::vector<RecordedOp>{text("A", Ink::Black, 40, kTop + 3), text("B", Ink::Black, 50, kTop + 17),
                                       text("C", Ink::Red, 60, kTop + 3), text("\xB1", Ink::Red, 70, kTop + 17)}));
    // A byte with a tag that is none of the four draws nothing.
    EXPECT_TRUE(drawn({{'A', ' '}}, 0).empty());
}

TEST(DrawByte, ShiftJisPairIsOneCharacterAtTheLeadBytesCell)
{
    // The cell is the lead byte's.
    EXPECT_EQ(drawn({{'x', '1'}, {0x82, '2'}, {0xA0, '2'}, {'y', '1'}}, 0),
              (std::vector<RecordedOp>{text("x", Ink::Black, 40, kTop + 17), text("\x82\xA0", Ink::Red, 50, kTop + 3),
                                       text("y", Ink::Black, 70, kTop + 17)}));
    // A lead byte pairs only with the next byte of its own line: CH2's last byte 0xE3 before
    // CH1's STX stands alone in its cell, and the STX is drawn as itself.
    EXPECT_EQ(drawn({{0xE3, '3'}, {0x02, '1'}, {'R', '1'}}, 0),
              (std::vector<RecordedOp>{text("\xE3", Ink::Red, 40, kTop + 17), glyphAt(1 + 2, 50, kTop + 17),
                                       text("R", Ink::Black, 60, kTop + 17)}));
    // A lone lead byte before another lead byte: that one waits for its own trail byte.
    EXPECT_EQ(drawn({{0x82, '1'}, {0x83, '0'}, {0x65, '0'}}, 0),
              (std::vector<RecordedOp>{text("\x82", Ink::Black, 40, kTop + 17), text("\x83\x65", Ink::Black, 50, kTop + 3)}));
    // Any byte completes a pair, even a control byte; both lead ranges count.
    EXPECT_EQ(drawn({{0xE0, '1'}, {0x0A, '1'}, {0x9F, '0'}, {0x41, '0'}}, 0),
              (std::vector<RecordedOp>{text("\xE0\x0A", Ink::Black, 40, kTop + 17),
                                       text("\x9F\x41", Ink::Black, 60, kTop + 3)}));
    // The bytes just outside the lead ranges are single characters.
    EXPECT_EQ(drawn({{0x80, '1'}, {0xA0, '1'}, {0xDF, '1'}, {0xFD, '1'}}, 0).size(), 4u);
    // A lead byte alone draws nothing yet.
    EXPECT_TRUE(drawn({{0x82, '1'}}, 0).empty());
    // A pair whose bytes both have no known tag draws nothing and is finished.
    EXPECT_EQ(drawn({{0x82, ' '}, {0xA0, ' '}, {'z', '1'}}, 0),
              std::vector<RecordedOp>{text("z", Ink::Black, 60, kTop + 17)});
}

// ---------------------------------------------------------------- the low-speed display

struct LowSpeed : ::testing::Test {
    test::FixedClock clock;
    TrafficBuffer buffer{clock};
    LowSpeedDisplay display{buffer};
    SettingsRecord settings;
    int width = 441;  // 40 characters per line

    void SetUp() override
    {
        configure();
        tick();  // the start-up clear
    }
    void configure()
    {
        TrafficConfig c;
        c.displayMode = settings.displayMode;
        c.ch2Mode = settings.ch2Mode;
        c.trafficDisplayCount = settings.trafficDisplayCount;
        c.idleClockFactor = settings.idleClockFactor;
        c.idleRedisplayCount = settings.idleRedisplayCount;
        c.bufferSize = settings.bufferSize;
        buffer.configure(c);
    }
    TickResult tick(RecordingSink* observer = nullptr, bool fast = false)
    {
        return display.tick(settings, fast, width, observer);
    }
    void receive(const std::string& s, int channel = 1) { test::receive(buffer, channel, s); }
    std::vector<RecordedOp> layout(int first, int last)
    {
        RecordingSink sink;
        display.layoutStoredLines(settings.displayMode, first, last, sink);
        return sink.ops;
    }
    static PixelRect boundsOf(const std::vector<PixelRect>& rects)
    {
        PixelRect all;
        for (const PixelRect& r : rects)
            all = all.united(r);
        return all;
    }
};

TEST_F(LowSpeed, FortyFirstByteStartsTheNextLineInA441PixelWindow)
{
    receive(std::string(41, 'a'));
    RecordingSink ticked;
    tick(&ticked);
    ASSERT_EQ(ticked.ops.size(), 41u);
    EXPECT_EQ(ticked.ops[39], text("a", Ink::Black, 430, 17));
    EXPECT_EQ(ticked.ops[40], text("a", Ink::Black, 40, 34 + 17));
    EXPECT_EQ(buffer.drawX(), 50);
    EXPECT_EQ(buffer.drawY(), 34);
    EXPECT_EQ(buffer.charsPerLine(), 40);
    // The repaint lays the buffer out the same way.
    EXPECT_EQ(layout(0, 10), ticked.ops);
}

TEST_F(LowSpeed, TickDrawsOnlyTheNewBytesAndRepaintsOnlyTheirCells)
{
    receive("ABCDE");
    buffer.setUnsavedData(false);
    TickResult first = tick();
    EXPECT_EQ(first.drawnBytes, 5);
    EXPECT_EQ(buffer.drawPosition(), 5);
    EXPECT_TRUE(buffer.unsavedData());
    EXPECT_FALSE(first.fullUpdate);
    const PixelRect firstArea = boundsOf(first.dirty);
    EXPECT_TRUE(firstArea.contains({40, 17, 50, 13}));
    EXPECT_EQ(firstArea.x, 40);
    EXPECT_EQ(firstArea.right(), 90);
    EXPECT_LT(firstArea.bottom(), 34);

    receive("FG", 2);  // CH2 traffic (a line monitor's upper row with ch2Mode 0)
    RecordingSink ticked;
    TickResult second = tick(&ticked);
    EXPECT_EQ(second.drawnBytes, 2);
    EXPECT_EQ(ticked.ops, (std::vector<RecordedOp>{text("F", Ink::Black, 90, 3), text("G", Ink::Black, 100, 3)}));
    const PixelRect secondArea = boundsOf(second.dirty);
    EXPECT_EQ(secondArea.x, 90);
    EXPECT_EQ(secondArea.right(), 110);

    // Nothing new: nothing drawn, nothing repainted.
    receive("");
    buffer.setPendingDrawTicks(1);
    TickResult idle = tick();
    EXPECT_EQ(idle.drawnBytes, 0);
    EXPECT_TRUE(idle.dirty.empty());
}

TEST_F(LowSpeed, ShiftJisPairSplitOverTwoChunksIsDrawnAsOneCharacter)
{
    receive("ab\x82");
    RecordingSink first;
    tick(&first);
    EXPECT_EQ(first.ops.size(), 2u);  // the lead byte waits
    EXPECT_TRUE(display.pendingLead.active);

    receive("\xA0" "c");
    RecordingSink second;
    const TickResult r = tick(&second);
    EXPECT_EQ(second.ops, (std::vector<RecordedOp>{text("\x82\xA0", Ink::Black, 60, 17), text("c", Ink::Black, 80, 17)}));
    EXPECT_TRUE(boundsOf(r.dirty).contains({60, 17, 20, 13}));
    // The repaint agrees.
    EXPECT_EQ(layout(0, 0), (std::vector<RecordedOp>{text("a", Ink::Black, 40, 17), text("b", Ink::Black, 50, 17),
                                                      text("\x82\xA0", Ink::Black, 60, 17),
                                                      text("c", Ink::Black, 80, 17)}));
}

TEST_F(LowSpeed, LeadByteEndingALineJoinsTheTrailByteOnTheNextLine)
{
    receive(std::string(39, '.') + "\x88");
    tick();
    receive("\x9F");
    RecordingSink ticked;
    tick(&ticked);
    EXPECT_EQ(ticked.ops, std::vector<RecordedOp>{text("\x88\x9F", Ink::Black, 430, 17)});
    EXPECT_EQ(buffer.drawX(), 50);
    EXPECT_EQ(buffer.drawY(), 34);
    // Repainting only the second line still completes nothing there: the pair belongs to the first.
    EXPECT_EQ(layout(1, 1), std::vector<RecordedOp>{text("\x88\x9F", Ink::Black, 430, 17)});
    // Repainting only the first line reaches over for the trail byte.
    EXPECT_EQ(layout(0, 0).back(), text("\x88\x9F", Ink::Black, 430, 17));
}

TEST_F(LowSpeed, ALeadByteWaitingBeforeAClearDoesNotSwallowTheNextByte)
{
    receive("\x82");
    tick();
    buffer.clearTraffic();
    receive("A");
    RecordingSink ticked;
    tick(&ticked);
    EXPECT_EQ(ticked.ops, std::vector<RecordedOp>{text("A", Ink::Black, 40, 17)});
}

TEST_F(LowSpeed, RepaintOfSomeLinesDrawsWhatTheWholeRepaintDrawsThere)
{
    // Random bytes rich in lead bytes and control bytes, random tags, a narrow window.
    width = 121;  // 8 characters per line
    display.updateGeometry(width);
    std::mt19937 rng(7);
    std::string data, tags;
    for (int i = 0; i < 400; ++i) {
        const unsigned pick = rng() % 4;
        data += static_cast<char>(pick == 0 ? 0x81 + rng() % 31 : pick == 1 ? rng() % 33 : 0x21 + rng() % 0xDE);
        tags += static_cast<char>('0' + rng() % 4);
    }
    for (std::size_t i = 0; i < data.size(); ++i)
        test::receive(buffer, tags[i] == '1' ? 1 : 2, std::string(1, data[i]));
    for (int mode : {0, 1}) {
        settings.displayMode = mode;
        const auto whole = layout(0, 1000);
        for (int line = 0; line < 50; ++line) {
            std::vector<RecordedOp> expected, got;
            for (const RecordedOp& op : whole)
                if (op.y / 34 == line)
                    expected.push_back(op);
            for (const RecordedOp& op : layout(line, line))
                if (op.y / 34 == line)
                    got.push_back(op);
            EXPECT_EQ(got, expected) << "mode " << mode << " line " << line;
        }
    }
}

TEST_F(LowSpeed, RepaintDrawsNothingBeyondTheStoredBytes)
{
    receive("abc");
    EXPECT_EQ(layout(0, 0).size(), 3u);
    EXPECT_TRUE(layout(1, 5).empty());
    EXPECT_TRUE(layout(-5, -1).empty());
}

TEST_F(LowSpeed, HexModeTickDrawsDigitsOfReceivedAndSentBytes)
{
    settings.displayMode = 1;
    configure();
    receive("J");
    test::send(buffer, 2, "J");
    RecordingSink ticked;
    tick(&ticked);
    EXPECT_EQ(ticked.ops, (std::vector<RecordedOp>{glyphAt(54, 40, 18), glyphAt(60, 45, 18), glyphAt(154, 50, 7),
                                                    glyphAt(160, 55, 7)}));
}

TEST_F(LowSpeed, PendingTicksCountDownAndAZeroCountDrawsNothing)
{
    settings.trafficDisplayCount = 2;
    configure();
    receive("ab");
    EXPECT_EQ(buffer.pendingDrawTicks(), 2);
    tick();
    EXPECT_EQ(buffer.pendingDrawTicks(), 1);
    EXPECT_EQ(buffer.drawPosition(), 2);
    tick();
    EXPECT_EQ(buffer.pendingDrawTicks(), 0);
    tick();
    EXPECT_EQ(buffer.pendingDrawTicks(), 0);

    settings.trafficDisplayCount = 0;
    configure();
    receive("cd");
    EXPECT_EQ(tick().drawnBytes, 0);
    EXPECT_EQ(buffer.drawPosition(), 2);
}

TEST_F(LowSpeed, FullRedisplayRepaintsEverythingAndSkipsToTheEnd)
{
    settings.fullRedisplay = 1;
    receive("abcdef");
    RecordingSink ticked;
    const TickResult r = tick(&ticked);
    EXPECT_TRUE(r.fullUpdate);
    EXPECT_TRUE(ticked.ops.empty());
    EXPECT_EQ(buffer.drawPosition(), 6);
    EXPECT_EQ(buffer.pendingDrawTicks(), 0);
}

TEST(LowSpeedStartup, FirstTickClearsTheBufferAndSchedulesOneIdleRedisplay)
{
    test::FixedClock clock;
    TrafficBuffer buffer(clock);
    LowSpeedDisplay display(buffer);
    SettingsRecord settings;
    settings.idleClockFactor = 3;
    // Traffic stored while the splash was shown.
    test::receive(buffer, 1, "early");
    ASSERT_TRUE(buffer.unsavedData());
    ASSERT_EQ(display.startupClearPending, 1);

    RecordingSink ticked;
    const TickResult r = display.tick(settings, false, 441, &ticked);
    EXPECT_TRUE(r.cleared);
    EXPECT_TRUE(ticked.ops.empty());  // nothing is drawn before the clear
    EXPECT_EQ(display.startupClearPending, 0);
    EXPECT_EQ(buffer.storedLength(), 0);
    EXPECT_EQ(buffer.dataAt(0), ' ');
    EXPECT_FALSE(buffer.unsavedData());
    EXPECT_EQ(buffer.idleTicks(), 3);
    EXPECT_EQ(buffer.idleRedisplaysLeft(), 1);

    // The scheduled redisplay comes on the third tick after the clear, and only once.
    buffer.setPendingDrawTicks(0);
    std::vector<bool> full;
    for (int i = 0; i < 9; ++i)
        full.push_back(display.tick(settings, false, 441).fullUpdate);
    EXPECT_EQ(full, (std::vector<bool>{false, false, true, false, false, false, false, false, false}));
    EXPECT_EQ(buffer.idleRedisplaysLeft(), 0);
    EXPECT_FALSE(display.tick(settings, false, 441).cleared);
}

TEST_F(LowSpeed, IdleRedisplaysFollowTheTrafficAndOnlyInLowSpeed)
{
    settings.idleClockFactor = 2;
    settings.idleRedisplayCount = 2;
    configure();
    receive("x");  // reloads the countdown: 2 ticks, 2 redisplays
    std::vector<bool> full;
    for (int i = 0; i < 7; ++i)
        full.push_back(tick().fullUpdate);
    // Tick 1 draws (pending), then the countdown runs only once no drawing is pending.
    EXPECT_EQ(full, (std::vector<bool>{false, true, false, true, false, false, false}));

    receive("y");
    tick();
    std::vector<bool> fastFull;
    for (int i = 0; i < 6; ++i)
        fastFull.push_back(tick(nullptr, true).fullUpdate);
    EXPECT_EQ(fastFull, std::vector<bool>(6, false));
    EXPECT_EQ(buffer.idleRedisplaysLeft(), 2);  // never used up in fast display
}

TEST_F(LowSpeed, AutoScrollKeepsTheNewestLineEightLinesBelowTheTop)
{
    receive(std::string(40 * 20 + 1, 'q'));  // 21 lines: the newest is line 20
    const TickResult r = tick();
    ASSERT_TRUE(r.scrollTo.has_value());
    EXPECT_EQ(*r.scrollTo, 12);
    EXPECT_EQ(display.topLine, 12);

    settings.autoScroll = 0;
    receive(std::string(400, 'r'));
    EXPECT_FALSE(tick().scrollTo.has_value());
    settings.idleClockFactor = 1;
    configure();
    receive("s");
    for (int i = 0; i < 4; ++i)
        EXPECT_FALSE(tick().scrollTo.has_value());
    EXPECT_EQ(display.topLine, 12);
}

TEST_F(LowSpeed, SpeedSwitchScrollsAndSchedulesOneTick)
{
    settings.autoScroll = 0;
    receive(std::string(40 * 30, 'q'));
    tick();
    EXPECT_EQ(display.enterFastDisplay(), 0);
    EXPECT_EQ(display.enterLowSpeedDisplay(settings.bufferSize), 29 - 8);  // whatever autoScroll says
    EXPECT_EQ(buffer.pendingDrawTicks(), 1);
}

TEST_F(LowSpeed, NestedTickDoesNothingButTheGeometry)
{
    receive("abc");
    display.timerBusy = true;
    width = 241;
    const TickResult r = tick();
    EXPECT_TRUE(r.skipped);
    EXPECT_EQ(buffer.drawPosition(), 0);
    EXPECT_EQ(buffer.pendingDrawTicks(), 1);
    EXPECT_EQ(buffer.charsPerLine(), 20);
    display.timerBusy = false;
    EXPECT_EQ(tick().drawnBytes, 3);
}

TEST_F(LowSpeed, AfterAResizeTheRepaintedCellsFollowTheLayout)
{
    receive(std::string(100, 'a'));
    tick();
    width = 241;  // 20 characters per line: byte 100 now belongs at line 5, cell 0
    receive("b");
    RecordingSink ticked;
    const TickResult r = tick(&ticked);
    EXPECT_EQ(ticked.ops, std::vector<RecordedOp>{text("b", Ink::Black, 40, 5 * 34 + 17)});
    bool covered = false;
    for (const PixelRect& rect : r.dirty)
        covered = covered || rect.contains({40, 5 * 34 + 17, 10, 13});
    EXPECT_TRUE(covered);
    EXPECT_EQ(buffer.drawX(), 50);
    EXPECT_EQ(buffer.drawY(), 5 * 34);
}

TEST_F(LowSpeed, TheRepaintLeavesTheDrawingCursorAfterTheLastStoredByte)
{
    receive(std::string(100, 'a'));
    tick();
    width = 241;  // 20 characters per line
    receive(std::string(5, 'b'));  // stored, not drawn yet
    display.updateGeometry(width);
    (void)layout(0, 0);  // a repaint of the first line alone
    EXPECT_EQ(buffer.drawX(), 40 + 5 * 10);
    EXPECT_EQ(buffer.drawY(), 5 * 34);  // byte 104: line 5
    EXPECT_EQ(buffer.drawPosition(), 100);  // what the timer still has to draw stays

    // The same for an empty buffer and a full last line.
    buffer.clearTraffic();
    buffer.moveDrawCursor(DrawCursor{buffer.drawX(), 999});
    (void)layout(0, 0);
    EXPECT_EQ(buffer.drawX(), 40);
    EXPECT_EQ(buffer.drawY(), 0);
    receive(std::string(40, 'c'));
    (void)layout(0, 0);
    EXPECT_EQ(buffer.drawX(), 240);
    EXPECT_EQ(buffer.drawY(), 34);
}

TEST_F(LowSpeed, FullRedisplayScrollsToTheNewestLineNotToTheTop)
{
    settings.fullRedisplay = 1;
    receive(std::string(40 * 30, 'q'));  // 30 lines: the newest is line 29
    const TickResult r = tick();
    EXPECT_TRUE(r.fullUpdate);
    ASSERT_TRUE(r.scrollTo.has_value());
    EXPECT_EQ(*r.scrollTo, 29 - 8);
    EXPECT_EQ(buffer.drawY(), 29 * 34);
}

TEST_F(LowSpeed, AfterAnOverflowStepNewBytesGoToTheirCellsOfTheLayout)
{
    settings.bufferSize = 200;  // capacity 12000, half 6000
    configure();
    width = 351;  // 31 characters a line: dropping 6000 bytes moves the cells by 17 columns
    receive(std::string(11850, 'a'));
    tick();
    receive(std::string(45, 'b'));
    tick();
    receive("cccccc");  // 11895 + 6 reaches 11900: the oldest 6000 go, the chunk lands at 5895
    RecordingSink ticked;
    tick(&ticked);
    ASSERT_EQ(buffer.storedLength(), 5901);
    ASSERT_EQ(ticked.ops.size(), 6u);
    EXPECT_EQ(ticked.ops.front(), text("c", Ink::Black, 40 + (5895 % 31) * 10, 5895 / 31 * 34 + 17));
    EXPECT_EQ(ticked.ops.back(), text("c", Ink::Black, 40 + (5900 % 31) * 10, 5900 / 31 * 34 + 17));
    EXPECT_EQ(buffer.drawY(), 5900 / 31 * 34);
}

TEST_F(LowSpeed, NarrowWindowDrawsOneCharacterPerLine)
{
    width = 20;
    receive("abc");
    RecordingSink ticked;
    tick(&ticked);
    EXPECT_EQ(ticked.ops, (std::vector<RecordedOp>{text("a", Ink::Black, 40, 17), text("b", Ink::Black, 40, 51),
                                                    text("c", Ink::Black, 40, 85)}));
    EXPECT_EQ(buffer.charsPerLine(), 1);
    EXPECT_EQ(display.lineCount(600), 36000);
}

// ---------------------------------------------------------------- character inspection

TEST_F(LowSpeed, InspectionShowsTheByteUnderTheClick)
{
    receive("A\r" "b");
    tick();
    ASSERT_EQ(buffer.drawPosition(), 3);

    auto asc = display.inspectCharacter(45, 20, 0, 0);
    ASSERT_TRUE(asc.has_value());
    EXPECT_EQ(asc->text, "(0x41)");
    EXPECT_EQ(asc->textX, 23);
    EXPECT_EQ(asc->textY, 2);
    EXPECT_EQ(asc->glyph, 0);

    auto hexPrintable = display.inspectCharacter(49, 33, 0, 1);
    ASSERT_TRUE(hexPrintable.has_value());
    EXPECT_EQ(hexPrintable->text, "(A)");
    EXPECT_EQ(hexPrintable->textX, 39);
    EXPECT_EQ(hexPrintable->textY, 15);

    auto hexControl = display.inspectCharacter(55, 20, 0, 1);
    ASSERT_TRUE(hexControl.has_value());
    EXPECT_EQ(hexControl->text, "(  )");
    EXPECT_EQ(hexControl->glyph, 14);
    EXPECT_EQ(hexControl->glyphX, 52);
    EXPECT_EQ(hexControl->glyphY, 2);

    // The cell at drawPosition is still inspected (a space after the clear); beyond it nothing.
    auto atEnd = display.inspectCharacter(75, 20, 0, 2);
    ASSERT_TRUE(atEnd.has_value());
    EXPECT_EQ(atEnd->text, "(0x20)");
    EXPECT_FALSE(display.inspectCharacter(85, 20, 0, 0).has_value());
    EXPECT_FALSE(display.inspectCharacter(45, 40, 0, 0).has_value());  // the next line
}

TEST_F(LowSpeed, InspectionShowsALeadByteWithItsOwnTrailByteOrAlone)
{
    receive("\x83" "e");
    receive("\xE3", 2);
    receive("\x02");
    tick();
    auto paired = display.inspectCharacter(45, 20, 0, 1);
    ASSERT_TRUE(paired.has_value());
    EXPECT_EQ(paired->text, "(\x83" "e)");
    EXPECT_EQ(paired->loneLeadAt, -1);
    auto alone = display.inspectCharacter(65, 20, 0, 1);  // CH2's 0xE3, followed by CH1's STX
    ASSERT_TRUE(alone.has_value());
    EXPECT_EQ(alone->text, "(\xE3)");
    EXPECT_EQ(alone->loneLeadAt, 1);
}

TEST_F(LowSpeed, InspectionUsesTheScrollPosition)
{
    receive(std::string(80, 'a') + "Z");
    tick();
    auto in = display.inspectCharacter(41, 5, 2, 0);
    ASSERT_TRUE(in.has_value());
    EXPECT_EQ(in->text, "(0x5a)");
}

TEST_F(LowSpeed, ClicksOutsideTheCellsNeverReadOutsideThePlanes)
{
    receive("abc");
    tick();
    for (int x : {39, 31, 0, -25})
        EXPECT_FALSE(display.inspectCharacter(x, 20, 0, 0).has_value()) << x;
    EXPECT_FALSE(display.inspectCharacter(45, -40, 0, 0).has_value());
    EXPECT_FALSE(display.inspectCharacter(45, 20, -3, 0).has_value());
    // A drawPosition past the planes (a loaded log leaves it as it was) still stops at their end.
    buffer.markDrawn(1'000'000, DrawCursor{buffer.drawX(), buffer.drawY()});
    EXPECT_TRUE(display.inspectCharacter(40 + 39 * 10, 899 * 34, 0, 0).has_value());  // index 35999
    EXPECT_FALSE(display.inspectCharacter(40, 900 * 34, 0, 0).has_value());          // index 36000
    EXPECT_FALSE(display.inspectCharacter(45, 20, 2'000'000'000, 0).has_value());
}

TEST(Inspection, ButtonUpRepaintsTheTextsRectangle)
{
    EXPECT_EQ(LowSpeedDisplay::inspectionEraseRect(100, 50), (PixelRect{78, 31, 60, 20}));
}

} // namespace
} // namespace kestrane
