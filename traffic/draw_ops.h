// What the display draws, as plain operations: a bitmap (control glyph, hex digit, end marker)
// or a piece of code page 932 text at a position in one of two colours. The display logic
// produces them; the window paints them (traffic/ui) and the tests read them.
#pragma once

#include "traffic/display_geometry.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace kestrane {

enum class Ink : std::uint8_t { Black, Red };

// Bitmap ids of the display (the program's bitmap resources).
namespace glyph {
inline constexpr int kBlackControl = 1;    // 1..33: black glyphs of the bytes 0..32
inline constexpr int kRedControl = 100;    // 100..132: red glyphs
inline constexpr int kBlackHex = 50;       // 50..65: black hex digits 0..F
inline constexpr int kRedHex = 150;        // 150..165: red hex digits
inline constexpr int kEndMarker = 42;      // 30 x 13: where the fast display's next byte goes
inline constexpr int kBlankTile = 43;      // 30 x 16

[[nodiscard]] constexpr int control(std::uint8_t byte, Ink ink) { return (ink == Ink::Black ? kBlackControl : kRedControl) + byte; }
[[nodiscard]] constexpr int hexDigit(int nibble, Ink ink) { return (ink == Ink::Black ? kBlackHex : kRedHex) + nibble; }

// Size of a bitmap in pixels.
struct Size {
    int width = 0, height = 0;
};
[[nodiscard]] constexpr Size sizeOf(int id)
{
    if ((id >= 1 && id <= 33) || (id >= 100 && id <= 132))
        return {10, 16};
    if ((id >= 50 && id <= 65) || (id >= 150 && id <= 165))
        return {4, 8};
    if (id == kEndMarker)
        return {30, 13};
    if (id == kBlankTile)
        return {30, 16};
    return {};
}
} // namespace glyph

struct DrawOp {
    enum class Type : std::uint8_t { Glyph, Text };

    Type type = Type::Glyph;
    int x = 0;
    int y = 0;              // top of the bitmap or of the text
    Ink ink = Ink::Black;   // text colour (bitmaps carry their own)
    int glyph = 0;          // Glyph: bitmap id
    int partWidth = 0;      // Glyph: only this much of the bitmap (0: all of it)
    int partHeight = 0;
    const std::uint8_t* text = nullptr;  // Text: code page 932 bytes, valid during the call only
    int length = 0;

    // The pixels the operation may touch; text is counted as one cell per byte.
    [[nodiscard]] PixelRect bounds() const;
};

class DrawOpSink {
public:
    virtual ~DrawOpSink() = default;
    virtual void draw(const DrawOp& op) = 0;
};

// A Shift-JIS lead byte waiting for its trail byte, with its tag and the cell it came in.
struct PendingLead {
    bool active = false;
    std::uint8_t byte = 0;
    std::uint8_t tag = 0;
    int x = 0;
    int lineTop = 0;
};

// Draws one buffer byte with its tag at cell `x` of the display line at `lineTop`:
// HEX (displayMode 1) two digits; otherwise (ASC, time-stamped ASC) a control glyph, a single
// character, nothing for a lead byte (remembered in `pending`) or the lead and this byte as one
// character at the lead's cell. A lead byte pairs only with the next byte of its own tag (the
// record interleaves the lines): before a byte of another tag it is drawn alone in its cell,
// as a byte the display cannot show, and the byte is then drawn as itself.
void drawByte(std::uint8_t byte, std::uint8_t tag, int displayMode, int x, int lineTop, PendingLead& pending,
              DrawOpSink& sink);
// Draws a waiting lead byte alone in its cell (nothing when none waits).
void drawLoneLead(PendingLead& pending, DrawOpSink& sink);
// Whether the byte at `index` of a tag/data pair is a lead byte that pairs with the next one.
[[nodiscard]] bool pairsWithNext(std::span<const std::uint8_t> tags, std::span<const std::uint8_t> data,
                                 std::size_t index);

} // namespace kestrane
