// Geometry of the traffic display: 34-pixel display lines of two rows (upper: sent, or CH2 in
// the line-monitor modes; lower: received), 10-pixel character cells from x 40, a 4-character
// row label at x 0 and a separator line at line top + 16.
#pragma once

#include "notation/shift_jis.h"
#include "records/settings_records.h"

#include <algorithm>
#include <cstdint>

namespace kestrane {

namespace display {

inline constexpr int kLineHeight = 34;       // pixels per display line
inline constexpr int kFirstCellX = 40;       // x of the first character cell
inline constexpr int kCellWidth = 10;        // pixels per character cell
inline constexpr int kUpperTextY = 3;        // text of the upper row, from the line top
inline constexpr int kUpperGlyphY = 0;       // control glyphs of the upper row
inline constexpr int kLowerY = 17;           // text and glyphs of the lower row
inline constexpr int kSeparatorY = 16;       // the separator between the rows
inline constexpr int kUpperHexY = 7;         // hex digits of the upper row
inline constexpr int kLowerHexY = 18;        // hex digits of the lower row
inline constexpr int kLowNibbleX = 5;        // the low nibble's digit, right of the high one
inline constexpr int kTextHeight = 13;       // height of a text row drawn in the display font

} // namespace display

// A rectangle in pixels (content or client coordinates, as the user says).
struct PixelRect {
    int x = 0, y = 0, width = 0, height = 0;

    [[nodiscard]] bool empty() const { return width <= 0 || height <= 0; }
    [[nodiscard]] int right() const { return x + width; }    // one past the last column
    [[nodiscard]] int bottom() const { return y + height; }  // one past the last row
    // The smallest rectangle holding both; an empty side is ignored.
    [[nodiscard]] PixelRect united(const PixelRect& o) const
    {
        if (o.empty())
            return *this;
        if (empty())
            return o;
        const int l = std::min(x, o.x), t = std::min(y, o.y);
        return {l, t, std::max(right(), o.right()) - l, std::max(bottom(), o.bottom()) - t};
    }
    [[nodiscard]] bool contains(const PixelRect& o) const
    {
        return !o.empty() && o.x >= x && o.y >= y && o.right() <= right() && o.bottom() <= bottom();
    }
    bool operator==(const PixelRect&) const = default;
};

// Characters per display line for a client `width`: (width - 41) / 10, but at least 1, so a
// very narrow window still has a cell per line (and nothing divides by zero).
[[nodiscard]] constexpr int charsPerLineFor(int clientWidth)
{
    return std::max(1, (clientWidth - 41) / 10);
}

// Number of display lines the whole buffer takes: bufferSize x 60 / charsPerLine.
[[nodiscard]] constexpr int displayLineCount(int bufferSize, int charsPerLine)
{
    return bufferSize * 60 / std::max(1, charsPerLine);
}

// The low-speed drawing cursor (drawX, drawY) once `count` bytes are laid out `charsPerLine`
// to a display line: the cell after the last byte, on that byte's line (x reaches the right
// limit after a full line; the next byte wraps). (40, 0) for no bytes.
struct DrawCursor {
    int x = display::kFirstCellX;
    int y = 0;
    bool operator==(const DrawCursor&) const = default;
};
[[nodiscard]] constexpr DrawCursor cursorAfter(std::int32_t count, int charsPerLine)
{
    if (count <= 0)
        return {};
    const int cpl = std::max(1, charsPerLine);
    const std::int32_t last = count - 1;
    return {display::kFirstCellX + (last % cpl + 1) * display::kCellWidth, (last / cpl) * display::kLineHeight};
}

// The top line that puts the line at `drawY` eight lines below the top of the window;
// 0 when that is negative or beyond the last display line.
[[nodiscard]] constexpr int newestTopLine(int drawY, int lineCount)
{
    const int top = drawY / display::kLineHeight - 8;
    return (top < 0 || top > lineCount) ? 0 : top;
}

// Right and bottom limits of the fast display's page for a client area.
[[nodiscard]] constexpr int fastRightLimit(int clientWidth) { return clientWidth > 2099 ? 2080 : clientWidth - 20; }
[[nodiscard]] constexpr int fastBottomLimit(int clientHeight) { return clientHeight > 1699 ? 1682 : clientHeight - 18; }

// The row labels: "SEND"/"READ", or "2chR"/"1chR" when CH2 is a line monitor (ch2Mode 3 or 7).
[[nodiscard]] constexpr const char* upperRowLabel(int ch2Mode)
{
    return isLineMonitor(ch2Mode) ? "2chR" : "SEND";
}
[[nodiscard]] constexpr const char* lowerRowLabel(int ch2Mode)
{
    return isLineMonitor(ch2Mode) ? "1chR" : "READ";
}

} // namespace kestrane
