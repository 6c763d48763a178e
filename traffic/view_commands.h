// The logic behind the View commands: the search (dialog 721, F3/F4), where a hit is shown, the
// right-button selection for the string enumeration dialog 723 and its three renderings.
// Plain functions on the traffic buffer's planes; the windows only call them.
#pragma once

#include "traffic/display_geometry.h"
#include "traffic/traffic_planes.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kestrane {

using BytesView = std::span<const std::uint8_t>;

// The top line that puts `line` eight lines below the top of the window: line - 8, or 0 when
// that is negative or beyond the number of display lines.
[[nodiscard]] std::int32_t topLineFor(std::int32_t line, std::int32_t lineCount);

// ---------------------------------------------------------------- search

inline constexpr std::size_t kSearchTextSize = 256;  // bytes, zero-terminated

// The HEX search notation: outside quotes every two characters are one hexadecimal number (a
// second character that is not a hex digit ends the number, so "1 " is 0x01 and "G1" is 0x00;
// the second character is taken even when it is a quote); a lone last character gives nothing.
// Inside "..." or '...' every character is one byte as it is; a quote of the other kind inside
// quotes is an ordinary character. 02"AB"03 gives 02 41 42 03.
[[nodiscard]] std::vector<std::uint8_t> hexPatternBytes(BytesView text);

enum class SearchKind { Ascii, Hex };

struct SearchState {
    std::array<char, kSearchTextSize> searchText{};  // kept between searches
    int searchPhase = 0;            // 0 none, 2 a hit waits to be highlighted, 1 highlighted
    std::int32_t searchHitIndex = 0;
    std::int32_t searchHitLength = 0;
};

// Stores `text` as the search text: up to its first zero byte, at most 255 bytes, never ending
// in half of a Shift-JIS pair.
void setSearchText(SearchState& state, BytesView text);
[[nodiscard]] std::string searchText(const SearchState& state);

// The pattern of the stored text: its bytes (ASC) or its HEX notation converted.
[[nodiscard]] std::vector<std::uint8_t> searchPattern(const SearchState& state, SearchKind kind);

// One search step: from searchHitIndex + 1 when a search is going on (phase not 0), else from
// 0, the first index whose bytes equal the pattern (up to its first zero byte), counting only
// bytes already drawn (the whole hit lies below drawPosition). A hit sets searchHitIndex and
// searchHitLength; a miss sets searchHitIndex to 0. The phase is not changed.
[[nodiscard]] bool findNext(SearchState& state, BytesView pattern, BytesView dataPlane, std::int32_t drawPosition);

// The search of the dialog's buttons: stores the text, starts at 0, and on a hit leaves
// phase 2 for the timer to highlight. On a miss the phase stays 0.
[[nodiscard]] bool startSearch(SearchState& state, BytesView text, SearchKind kind, BytesView dataPlane,
                               std::int32_t drawPosition);

enum class ContinueResult { NotSearching, Hit, Miss };
// F3 (ASC) and F4 (HEX): only while a hit is highlighted (phase 1); the next hit starts one
// byte after the last one, so overlapping occurrences are all found. A hit goes to phase 2.
[[nodiscard]] ContinueResult continueSearch(SearchState& state, SearchKind kind, BytesView dataPlane,
                                            std::int32_t drawPosition);

// Where a hit is shown: the window scrolls to topLine and a one-pixel red rectangle goes around
// the hit's cells (x, y, width, height in client pixels of the scrolled window).
struct SearchHighlight {
    std::int32_t topLine = 0;
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t width = 0;
    std::int32_t height = display::kLineHeight;
    bool operator==(const SearchHighlight&) const = default;
};

// The hit's line goes eight lines below the top, but the window scrolls no further than
// `maxTopLine` (the last screenful); the rectangle is drawn where the hit then shows.
[[nodiscard]] SearchHighlight searchHighlight(std::int32_t hitIndex, std::int32_t hitLength, std::int32_t charsPerLine,
                                              std::int32_t lineCount, std::int32_t maxTopLine);

// For the display's timer tick: when a hit waits (phase 2) it becomes highlighted (phase 1)
// and its geometry is returned; otherwise nothing.
[[nodiscard]] std::optional<SearchHighlight> takePendingHighlight(SearchState& state, std::int32_t charsPerLine,
                                                                  std::int32_t lineCount, std::int32_t maxTopLine);

// ---------------------------------------------------------------- string enumeration

inline constexpr std::int32_t kMaxSelectionLength = 1024;

// The buffer index of the cell under (x, y): (scrollLine + y / 34) x charsPerLine + the column.
// A point left of the first cell (on the row labels) counts as the line's first cell. Nothing
// when the index lies outside the plane.
[[nodiscard]] std::optional<std::int32_t> cellIndexAt(std::int32_t x, std::int32_t y, std::int32_t scrollLine,
                                                      std::int32_t charsPerLine);

// The right-button drag: press marks the start, release copies the range (at most 1024 bytes)
// from the data plane. Only drawn cells (index <= drawPosition) count; a release left of the
// press gives nothing. Every release ends the gesture.
class EnumerationSelection {
public:
    void press(std::int32_t x, std::int32_t y, std::int32_t scrollLine, std::int32_t charsPerLine,
               std::int32_t drawPosition);
    [[nodiscard]] std::optional<std::vector<std::uint8_t>> release(std::int32_t x, std::int32_t y,
                                                                   std::int32_t scrollLine, std::int32_t charsPerLine,
                                                                   std::int32_t drawPosition, BytesView dataPlane);
    // Buffer index of the press, -1 when there is none.
    [[nodiscard]] std::int32_t start() const { return start_; }

private:
    std::int32_t start_ = -1;
};

enum class EnumerationMode { Ascii = 0, HexAscii = 1, Hex = 2 };

// HEX"ASC" when any byte read as a signed 8-bit value is below 32 (0x00-0x1F, 0x80-0xFF), else ASC.
[[nodiscard]] EnumerationMode initialEnumerationMode(BytesView bytes);
// The button "切替": HEX"ASC" -> HEX -> ASC -> HEX"ASC".
[[nodiscard]] EnumerationMode nextEnumerationMode(EnumerationMode mode);
// The dialog caption of a mode (UTF-8).
[[nodiscard]] std::string_view enumerationCaption(EnumerationMode mode);

// The rendering of the selected bytes:
//  HEX"ASC": runs of 0x20-0x7F inside double quotes, every other byte as two upper-case hex digits;
//  HEX: every byte as two upper-case hex digits;
//  ASC: the bytes themselves (Shift-JIS text) up to the first zero byte.
// 02 41 42 03 gives 02"AB"03, 02414203 and the four bytes.
[[nodiscard]] std::string renderEnumeration(BytesView bytes, EnumerationMode mode);

} // namespace kestrane
