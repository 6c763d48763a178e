// The display's draw operations caught into text cells, for the programs that print traffic as
// text: each display line holds one row of cells per tag it shows (upper rows CH1 SEND / CH2
// SEND, lower rows CH1 READ / CH2 READ; red is CH2), a Shift-JIS pair one character over two
// cells, a control byte its control picture, HEX two digits.
#pragma once

#include "traffic/draw_ops.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kestrane::headless {

class TextGrid final : public DrawOpSink {
public:
    // Rows by the tag's digit: 0 CH1 SEND, 1 CH1 READ, 2 CH2 SEND, 3 CH2 READ.
    static constexpr int kRows = 4;

    TextGrid(int width, bool hex) : width_(width), hex_(hex) {}

    // A new display line whose first byte is `firstIndex`; bytes are drawn at line (count - 1).
    void startLine(std::int32_t firstIndex) { lines_.push_back(Line{firstIndex, {}}); }
    void draw(const DrawOp& op) override;

    [[nodiscard]] std::size_t lineCount() const { return lines_.size(); }
    [[nodiscard]] std::int32_t firstIndex(std::size_t line) const { return lines_[line].firstIndex; }
    // Whether the line holds cells of `row`.
    [[nodiscard]] bool hasRow(std::size_t line, int row) const { return !lines_[line].rows[static_cast<std::size_t>(row)].empty(); }
    // The row's cells as text (empty cells blank, trailing blanks cut); HEX cells are "XX ".
    [[nodiscard]] std::string rowText(std::size_t line, int row) const;

private:
    struct Cell {
        std::string text;   // UTF-8; empty: nothing drawn here
        bool wide = false;  // a pair: the character covers this cell and the next
    };
    struct Line {
        std::int32_t firstIndex = 0;
        std::array<std::vector<Cell>, kRows> rows;
    };

    void textCell(Cell& c, const std::uint8_t* bytes, int length) const;

    int width_;
    bool hex_;
    std::vector<Line> lines_;
};

} // namespace kestrane::headless
