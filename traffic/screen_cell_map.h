// The fast display's screen memory: what is on its page, 50 lines of 300 cells, so that a
// repaint can draw the page again. A cell holds one run of text, one control byte, or marks
// where the next byte goes.
#pragma once

#include "traffic/display_geometry.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace kestrane {

struct ScreenCell {
    static constexpr int kTextSize = 300;
    // Kinds besides the display kinds 0..3 (a run of text of that kind).
    static constexpr std::int32_t kControlBase = 16;  // 16..19: one control glyph of kind 0..3
    static constexpr std::int32_t kEndMarker = -1;    // where the next data goes

    std::int32_t length = 0;  // text bytes; 0 = empty
    std::int32_t kind = 0;
    std::array<std::uint8_t, kTextSize> text{};
};

class ScreenCellMap {
public:
    static constexpr int kLines = 50;
    static constexpr int kCellsPerLine = 300;

    ScreenCellMap() : cells_(static_cast<std::size_t>(kLines) * kCellsPerLine) {}

    // Empties every cell (length 0, kind 0, text zeroed) and puts the cursor at the top left.
    void clear();

    [[nodiscard]] ScreenCell& cell(int line, int index) { return cells_[offset(line, index)]; }
    [[nodiscard]] const ScreenCell& cell(int line, int index) const { return cells_[offset(line, index)]; }

    // Cells from `usedCells(line)` on are empty (length 0, kind 0), so clearing and repainting a
    // line touch only what it holds: a line is 300 cells of about 300 bytes each.
    [[nodiscard]] int usedCells(int line) const { return used_[static_cast<std::size_t>(line)]; }
    // Call before writing cell (`line`, `index`).
    void markUsed(int line, int index)
    {
        int& u = used_[static_cast<std::size_t>(line)];
        u = std::max(u, index + 1);
    }
    // Empties the cells of `line` from `from` on (length and kind; the text stays).
    void clearFrom(int line, int from);

    // The cursor: where the next data goes.
    int fastX = display::kFirstCellX;  // x in pixels
    int fastY = 0;                     // line top in pixels
    int fastCell = 0;                  // cell index in the line
    int fastLine = 0;                  // line index

private:
    static std::size_t offset(int line, int index)
    {
        return static_cast<std::size_t>(line) * kCellsPerLine + static_cast<std::size_t>(index);
    }
    std::vector<ScreenCell> cells_;
    std::array<int, kLines> used_{};
};

} // namespace kestrane
