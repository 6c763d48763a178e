// The View commands' logic: the HEX search notation, the search over the drawn bytes with its
// continuation, where a hit is shown, the right-button selection and the enumeration renderings.
#include "traffic/view_commands.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace kestrane {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes bytes(std::string_view s) { return {s.begin(), s.end()}; }

// A whole data plane with `text` at its start and spaces after it, as a cleared buffer holds.
class Plane {
public:
    explicit Plane(std::string_view text = {})
    {
        data_->fill(' ');
        std::copy(text.begin(), text.end(), data_->begin());
    }
    void put(std::size_t at, std::string_view text) { std::copy(text.begin(), text.end(), data_->begin() + at); }
    [[nodiscard]] BytesView view() const { return *data_; }

private:
    std::unique_ptr<std::array<std::uint8_t, kTrafficPlaneSize>> data_ =
        std::make_unique<std::array<std::uint8_t, kTrafficPlaneSize>>();
};

// ---------------------------------------------------------------- HEX notation

TEST(HexPattern, HexPairsAndQuotedText)
{
    struct Case {
        std::string_view text;
        Bytes expected;
    };
    const Case cases[] = {
        {R"(02"AB"03)", {0x02, 'A', 'B', 0x03}},
        {"0d0A", {0x0D, 0x0A}},
        {"ff", {0xFF}},
        {"020", {0x02}},                    // a lone last character gives nothing
        {"2", {}},
        {"", {}},
        {R"('A"B')", {'A', '"', 'B'}},     // a double quote inside single quotes is a character
        {R"("x'y")", {'x', '\'', 'y'}},    // and the other way round
        {R"("a b"20)", {'a', ' ', 'b', 0x20}},
        {R"("AB)", {'A', 'B'}},             // an unclosed quote runs to the end
        {R"(""00)", {0x00}},                // empty quotes give nothing
        {"1 ", {0x01}},                     // digits are read while they last
        {"G1", {0x00}},
        {"7Z", {0x07}},
        {R"(1"AB")", {0x01, 0xAB}},         // the second character of a pair is taken, even a quote
    };
    for (const Case& c : cases)
        EXPECT_EQ(hexPatternBytes(bytes(c.text)), c.expected) << c.text;
}

TEST(HexPattern, QuotedShiftJisBytesAreTakenUnchanged)
{
    const Bytes text = {'"', 0x82, 0xA0, '"', '0', '1'};  // "あ" then 01
    EXPECT_EQ(hexPatternBytes(text), (Bytes{0x82, 0xA0, 0x01}));
}

// ---------------------------------------------------------------- search

TEST(SearchText, KeptUpToZeroAndAt255BytesWithoutSplittingAPair)
{
    SearchState s;
    setSearchText(s, bytes(std::string("ab\0cd", 5)));
    EXPECT_EQ(searchText(s), "ab");

    setSearchText(s, bytes(std::string(300, 'x')));
    EXPECT_EQ(searchText(s), std::string(255, 'x'));

    // 254 single bytes, then a Shift-JIS pair that would end at byte 256.
    std::string sjis(254, 'y');
    sjis += "\x82\xA0";
    setSearchText(s, bytes(sjis));
    EXPECT_EQ(searchText(s), std::string(254, 'y'));
    EXPECT_EQ(s.searchText[254], 0);
}

TEST(SearchPattern, AsciiTakesTheBytesHexConvertsThem)
{
    SearchState s;
    setSearchText(s, bytes(R"(02"AB"03)"));
    EXPECT_EQ(searchPattern(s, SearchKind::Ascii), bytes(R"(02"AB"03)"));
    EXPECT_EQ(searchPattern(s, SearchKind::Hex), (Bytes{0x02, 'A', 'B', 0x03}));
}

TEST(FindNext, EmptyPatternMatchesAtZeroOnlyWhenSomethingIsDrawn)
{
    const Plane plane("abc");
    SearchState s;
    s.searchHitIndex = 77;
    s.searchHitLength = 5;
    EXPECT_TRUE(findNext(s, {}, plane.view(), 3));
    EXPECT_EQ(s.searchHitIndex, 0);
    EXPECT_EQ(s.searchHitLength, 0);

    EXPECT_FALSE(findNext(s, {}, plane.view(), 0));
}

TEST(FindNext, OnlyDrawnBytesAreSearched)
{
    const Plane plane("....needle....");
    SearchState s;
    EXPECT_TRUE(findNext(s, bytes("needle"), plane.view(), 10));  // ends exactly at drawPosition
    EXPECT_EQ(s.searchHitIndex, 4);
    EXPECT_EQ(s.searchHitLength, 6);

    s = {};
    s.searchHitIndex = 9;
    EXPECT_FALSE(findNext(s, bytes("needle"), plane.view(), 9));  // the last byte is not drawn yet
    EXPECT_EQ(s.searchHitIndex, 0);
    EXPECT_FALSE(findNext(s, bytes("needle"), plane.view(), 4));
}

TEST(FindNext, PatternEndsAtItsFirstZeroByte)
{
    const Plane plane("xxABxx");
    SearchState s;
    EXPECT_TRUE(findNext(s, Bytes{'A', 'B', 0, 'Q'}, plane.view(), 6));
    EXPECT_EQ(s.searchHitIndex, 2);
    EXPECT_EQ(s.searchHitLength, 2);
}

TEST(FindNext, ContinuingStartsOneAfterTheLastHit)
{
    const Plane plane("abcabc");
    SearchState s;
    s.searchPhase = 1;
    s.searchHitIndex = 0;
    EXPECT_TRUE(findNext(s, bytes("abc"), plane.view(), 6));
    EXPECT_EQ(s.searchHitIndex, 3);
    // Phase 0 starts at 0 again, whatever the last hit was.
    s.searchPhase = 0;
    EXPECT_TRUE(findNext(s, bytes("abc"), plane.view(), 6));
    EXPECT_EQ(s.searchHitIndex, 0);
}

TEST(FindNext, TheLastCellsOfAFullPlaneAreSearchedWithoutReadingPastIt)
{
    Plane plane;
    plane.put(kTrafficPlaneSize - 2, "zz");
    SearchState s;
    EXPECT_TRUE(findNext(s, bytes("zz"), plane.view(), kTrafficPlaneSize));
    EXPECT_EQ(s.searchHitIndex, kTrafficPlaneSize - 2);
    s.searchPhase = 1;
    EXPECT_FALSE(findNext(s, bytes("zz"), plane.view(), kTrafficPlaneSize + 500));
}

TEST(Search, DialogSearchThenF3FindsOverlappingHitsAndAMissResetsTheIndex)
{
    const Plane plane("aaaa");
    SearchState s;
    ASSERT_TRUE(startSearch(s, bytes("aa"), SearchKind::Ascii, plane.view(), 4));
    EXPECT_EQ(s.searchPhase, 2);
    EXPECT_EQ(searchText(s), "aa");

    std::vector<std::int32_t> hits{s.searchHitIndex};
    for (;;) {
        // The timer shows the hit, then F3 continues.
        ASSERT_TRUE(takePendingHighlight(s, 40, 900, 880).has_value());
        EXPECT_EQ(s.searchPhase, 1);
        const ContinueResult r = continueSearch(s, SearchKind::Ascii, plane.view(), 4);
        if (r != ContinueResult::Hit) {
            EXPECT_EQ(r, ContinueResult::Miss);
            break;
        }
        hits.push_back(s.searchHitIndex);
    }
    EXPECT_EQ(hits, (std::vector<std::int32_t>{0, 1, 2}));
    // The miss left the phase and reset only the index.
    EXPECT_EQ(s.searchPhase, 1);
    EXPECT_EQ(s.searchHitIndex, 0);
    EXPECT_EQ(s.searchHitLength, 2);
}

TEST(Search, ContinuingNeedsAHighlightedHit)
{
    const Plane plane("abab");
    SearchState s;
    setSearchText(s, bytes("ab"));
    EXPECT_EQ(continueSearch(s, SearchKind::Ascii, plane.view(), 4), ContinueResult::NotSearching);
    ASSERT_TRUE(startSearch(s, bytes("ab"), SearchKind::Ascii, plane.view(), 4));
    // Phase 2: the timer has not shown the hit yet.
    EXPECT_EQ(continueSearch(s, SearchKind::Ascii, plane.view(), 4), ContinueResult::NotSearching);
    EXPECT_EQ(s.searchHitIndex, 0);
}

TEST(Search, F4ContinuesWithTheHexNotationOfTheKeptText)
{
    const Plane plane("\x02" "AB\x03..\x02" "AB\x03");
    SearchState s;
    ASSERT_TRUE(startSearch(s, bytes(R"(02"AB"03)"), SearchKind::Hex, plane.view(), 10));
    EXPECT_EQ(s.searchHitIndex, 0);
    EXPECT_EQ(s.searchHitLength, 4);
    (void)takePendingHighlight(s, 40, 900, 880);
    EXPECT_EQ(continueSearch(s, SearchKind::Hex, plane.view(), 10), ContinueResult::Hit);
    EXPECT_EQ(s.searchHitIndex, 6);
    // The same text searched as ASC is not there.
    (void)takePendingHighlight(s, 40, 900, 880);
    EXPECT_EQ(continueSearch(s, SearchKind::Ascii, plane.view(), 10), ContinueResult::Miss);
}

TEST(Search, AMissFromTheDialogLeavesNoSearchGoing)
{
    const Plane plane("abc");
    SearchState s;
    s.searchPhase = 1;
    s.searchHitIndex = 2;
    EXPECT_FALSE(startSearch(s, bytes("zz"), SearchKind::Ascii, plane.view(), 3));
    EXPECT_EQ(s.searchPhase, 0);
    EXPECT_EQ(s.searchHitIndex, 0);
    EXPECT_FALSE(takePendingHighlight(s, 40, 900, 880).has_value());
}

// ---------------------------------------------------------------- where a hit is shown

TEST(SearchHighlight, HitLineEightLinesBelowTheTop)
{
    // 40 characters a line: index 1005 is line 25, column 5.
    EXPECT_EQ(searchHighlight(1005, 3, 40, 900, 880), (SearchHighlight{17, 90, 8 * 34, 30, 34}));
    // Lines 0..7 keep the top at 0, so the hit is drawn on its own line.
    EXPECT_EQ(searchHighlight(85, 2, 40, 900, 880), (SearchHighlight{0, 90, 2 * 34, 20, 34}));
    EXPECT_EQ(searchHighlight(0, 0, 40, 900, 880), (SearchHighlight{0, 40, 0, 0, 34}));
}

TEST(SearchHighlight, TopBeyondTheLinesFallsBackToZero)
{
    // Line 20 of a 10-line buffer: top 12 is beyond the lines, so 0.
    EXPECT_EQ(searchHighlight(20 * 40 + 1, 1, 40, 10, 100).topLine, 0);
    EXPECT_EQ(searchHighlight(20 * 40 + 1, 1, 40, 10, 100).y, 20 * 34);
    EXPECT_EQ(searchHighlight(20 * 40 + 1, 1, 40, 12, 100).topLine, 12);
}

TEST(SearchHighlight, AHitInTheLastScreenfulIsFramedWhereTheWindowShowsIt)
{
    // 900 lines, 20 of them in view: the window scrolls to line 880 at most.
    const SearchHighlight h = searchHighlight(894 * 40 + 7, 2, 40, 900, 880);
    EXPECT_EQ(h.topLine, 880);
    EXPECT_EQ(h.y, (894 - 880) * 34);
    EXPECT_EQ(h.x, 40 + 7 * 10);
    // Short of the last screenful nothing changes.
    EXPECT_EQ(searchHighlight(872 * 40, 1, 40, 900, 880).topLine, 864);
    // A window taller than the buffer never scrolls.
    EXPECT_EQ(searchHighlight(30 * 40, 1, 40, 900, 0), (SearchHighlight{0, 40, 30 * 34, 10, 34}));
}

TEST(TopLine, NegativeOrBeyondTheLinesGivesZero)
{
    EXPECT_EQ(topLineFor(7, 100), 0);
    EXPECT_EQ(topLineFor(8, 100), 0);
    EXPECT_EQ(topLineFor(9, 100), 1);
    EXPECT_EQ(topLineFor(108, 100), 100);
    EXPECT_EQ(topLineFor(109, 100), 0);
}

// ---------------------------------------------------------------- right-button selection

TEST(CellIndex, FromScrollLineRowAndColumn)
{
    EXPECT_EQ(cellIndexAt(40, 0, 0, 40), 0);
    EXPECT_EQ(cellIndexAt(59, 33, 0, 40), 1);
    EXPECT_EQ(cellIndexAt(60, 34, 0, 40), 42);
    EXPECT_EQ(cellIndexAt(45, 70, 10, 40), 12 * 40);
    // Left of the first cell: the line's first cell, never a negative index.
    EXPECT_EQ(cellIndexAt(0, 34, 0, 40), 40);
    EXPECT_EQ(cellIndexAt(-500, 0, 0, 40), 0);
    // Outside the plane or above the window: nothing.
    EXPECT_EQ(cellIndexAt(40, 0, 900, 40), std::nullopt);
    EXPECT_EQ(cellIndexAt(40 + 39 * 10, 0, 899, 40), kTrafficPlaneSize - 1);
    EXPECT_EQ(cellIndexAt(40, -1, 0, 40), std::nullopt);
}

TEST(EnumerationSelection, CopiesTheRangeBetweenPressAndRelease)
{
    const Plane plane("0123456789abcdefghij");
    EnumerationSelection sel;
    sel.press(40 + 2 * 10, 5, 0, 10, 20);  // index 2
    EXPECT_EQ(sel.start(), 2);
    const auto got = sel.release(40 + 4 * 10, 34 + 5, 0, 10, 20, plane.view());  // index 14
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(*got, bytes("23456789abcde"));
    EXPECT_EQ(sel.start(), -1);
}

TEST(EnumerationSelection, OnlyCellsUpToTheDrawPositionCount)
{
    const Plane plane("0123456789");
    EnumerationSelection sel;
    sel.press(40 + 6 * 10, 0, 0, 40, 5);
    EXPECT_EQ(sel.start(), -1);
    EXPECT_FALSE(sel.release(40 + 7 * 10, 0, 0, 40, 5, plane.view()).has_value());

    sel.press(40 + 1 * 10, 0, 0, 40, 5);
    EXPECT_FALSE(sel.release(40 + 6 * 10, 0, 0, 40, 5, plane.view()).has_value());
    EXPECT_EQ(sel.start(), -1);  // the release ended the gesture

    sel.press(40 + 1 * 10, 0, 0, 40, 5);
    EXPECT_EQ(sel.release(40 + 5 * 10, 0, 0, 40, 5, plane.view()), bytes("12345"));
}

TEST(EnumerationSelection, AReleaseLeftOfThePressDoesNothing)
{
    const Plane plane("0123456789");
    EnumerationSelection sel;
    sel.press(40 + 5 * 10, 0, 0, 40, 10);
    EXPECT_FALSE(sel.release(40 + 4 * 10, 0, 0, 40, 10, plane.view()).has_value());
    sel.press(40 + 5 * 10, 0, 0, 40, 10);
    EXPECT_EQ(sel.release(40 + 5 * 10, 0, 0, 40, 10, plane.view()), bytes("5"));
}

TEST(EnumerationSelection, ADragOver2000BytesCopiesTheFirst1024)
{
    std::string text;
    for (int i = 0; i < 2000; ++i)
        text += static_cast<char>('A' + i % 26);
    const Plane plane(text);
    EnumerationSelection sel;
    sel.press(40, 0, 0, 40, 2000);
    const auto got = sel.release(40 + 39 * 10, 49 * 34, 0, 40, 2000, plane.view());  // index 1999
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(*got, bytes(text.substr(0, 1024)));
}

TEST(EnumerationSelection, ClicksOnTheRowLabelsAndAtThePlaneEndStayInside)
{
    Plane plane("0123456789");
    plane.put(kTrafficPlaneSize - 3, "xyz");
    EnumerationSelection sel;
    // A press on the labels takes the line's first cell; a release far left the same.
    sel.press(5, 0, 0, 10, 10);
    EXPECT_EQ(sel.start(), 0);
    EXPECT_EQ(sel.release(-30, 34, 0, 10, 10, plane.view()), bytes("0123456789" "\x20"));
    // The last cells of a full plane: the copy ends at the plane's end.
    sel.press(40 + 37 * 10, 0, 899, 40, kTrafficPlaneSize);
    EXPECT_EQ(sel.start(), kTrafficPlaneSize - 3);
    EXPECT_EQ(sel.release(40 + 39 * 10, 0, 899, 40, kTrafficPlaneSize, plane.view()), bytes("xyz"));
    // Below the last line of the plane: nothing.
    sel.press(40, 34, 899, 40, kTrafficPlaneSize);
    EXPECT_EQ(sel.start(), -1);
}

// ---------------------------------------------------------------- enumeration renderings

TEST(EnumerationMode, ControlOrHighBytesChooseHexAscii)
{
    EXPECT_EQ(initialEnumerationMode(bytes("Hello ~")), EnumerationMode::Ascii);
    EXPECT_EQ(initialEnumerationMode(bytes("\x7F")), EnumerationMode::Ascii);
    EXPECT_EQ(initialEnumerationMode(bytes("ab\x1F")), EnumerationMode::HexAscii);
    EXPECT_EQ(initialEnumerationMode(bytes("ab\x80")), EnumerationMode::HexAscii);
    EXPECT_EQ(initialEnumerationMode(bytes("\xFF")), EnumerationMode::HexAscii);
    EXPECT_EQ(initialEnumerationMode(bytes("\x82\xA0")), EnumerationMode::HexAscii);
}

TEST(EnumerationMode, CyclesHexAsciiHexAscii)
{
    EXPECT_EQ(nextEnumerationMode(EnumerationMode::HexAscii), EnumerationMode::Hex);
    EXPECT_EQ(nextEnumerationMode(EnumerationMode::Hex), EnumerationMode::Ascii);
    EXPECT_EQ(nextEnumerationMode(EnumerationMode::Ascii), EnumerationMode::HexAscii);
}

TEST(EnumerationRendering, TheThreeModes)
{
    const Bytes stx = {0x02, 'A', 'B', 0x03};
    EXPECT_EQ(renderEnumeration(stx, EnumerationMode::HexAscii), R"(02"AB"03)");
    EXPECT_EQ(renderEnumeration(stx, EnumerationMode::Hex), "02414203");
    EXPECT_EQ(renderEnumeration(stx, EnumerationMode::Ascii), std::string("\x02" "AB\x03"));

    EXPECT_EQ(renderEnumeration(bytes("AB"), EnumerationMode::HexAscii), R"("AB")");
    EXPECT_EQ(renderEnumeration(bytes("\x7F\x20\xFF\x1F"), EnumerationMode::HexAscii), "\"\x7F \"FF1F");
    EXPECT_EQ(renderEnumeration(Bytes{0xAB, 0xCD, 0x0E}, EnumerationMode::Hex), "ABCD0E");
    EXPECT_EQ(renderEnumeration(Bytes{'a', 0, 'b'}, EnumerationMode::Ascii), "a");
    EXPECT_EQ(renderEnumeration(Bytes{'a', 0, 'b'}, EnumerationMode::HexAscii), R"("a"00"b")");
    EXPECT_EQ(renderEnumeration({}, EnumerationMode::HexAscii), "");
}

TEST(EnumerationRendering, ALongMixedSelectionGrowsPast2048Characters)
{
    Bytes mixed;
    for (int i = 0; i < 512; ++i) {
        mixed.push_back('x');
        mixed.push_back(0x01);
    }
    const std::string text = renderEnumeration(mixed, EnumerationMode::HexAscii);
    EXPECT_EQ(text.size(), 512u * 5u);
    EXPECT_EQ(text.substr(text.size() - 5), R"("x"01)");
}

TEST(EnumerationCaption, ByMode)
{
    EXPECT_EQ(enumerationCaption(EnumerationMode::HexAscii), "文字列列挙【HEX\"ASC\"】");
    EXPECT_EQ(enumerationCaption(EnumerationMode::Hex), "文字列列挙【HEX】");
    EXPECT_EQ(enumerationCaption(EnumerationMode::Ascii), "文字列列挙【ASC】");
}

} // namespace
} // namespace kestrane
