#include "traffic/draw_ops.h"

#include "traffic/traffic_planes.h"

namespace kestrane {

PixelRect DrawOp::bounds() const
{
    if (type == Type::Text)
        return {x, y, length * display::kCellWidth, display::kTextHeight};
    const glyph::Size s = glyph::sizeOf(glyph);
    return {x, y, partWidth > 0 ? partWidth : s.width, partHeight > 0 ? partHeight : s.height};
}

namespace {

bool isUpperTag(std::uint8_t tag) { return tag == kTagCh1Sent || tag == kTagCh2Sent; }
bool isKnownTag(std::uint8_t tag) { return tag >= kTagCh1Sent && tag <= kTagCh2Received; }
Ink inkOf(std::uint8_t tag) { return (tag == kTagCh1Sent || tag == kTagCh1Received) ? Ink::Black : Ink::Red; }

void emitGlyph(DrawOpSink& sink, int id, int x, int y)
{
    DrawOp op;
    op.type = DrawOp::Type::Glyph;
    op.glyph = id;
    op.x = x;
    op.y = y;
    sink.draw(op);
}

void emitText(DrawOpSink& sink, const std::uint8_t* text, int length, Ink ink, int x, int y)
{
    DrawOp op;
    op.type = DrawOp::Type::Text;
    op.text = text;
    op.length = length;
    op.ink = ink;
    op.x = x;
    op.y = y;
    sink.draw(op);
}

} // namespace

void drawByte(std::uint8_t byte, std::uint8_t tag, int displayMode, int x, int lineTop, PendingLead& pending,
              DrawOpSink& sink)
{
    using namespace display;
    if (displayMode == DisplayMode::Hex) {
        const Ink ink = inkOf(tag);
        const int y = lineTop + (isUpperTag(tag) ? kUpperHexY : kLowerHexY);
        emitGlyph(sink, glyph::hexDigit(byte >> 4, ink), x, y);
        emitGlyph(sink, glyph::hexDigit(byte & 0x0F, ink), x + kLowNibbleX, y);
        return;
    }

    if (pending.active && pending.tag == tag) {
        // The trail byte: both bytes are one character, drawn where the lead byte came.
        pending.active = false;
        if (isKnownTag(tag)) {
            const std::uint8_t pair[2] = {pending.byte, byte};
            emitText(sink, pair, 2, inkOf(tag), pending.x, pending.lineTop + (isUpperTag(tag) ? kUpperTextY : kLowerY));
        }
        return;
    }
    drawLoneLead(pending, sink);  // a byte of another line: the lead byte had no trail byte
    if (isShiftJisLead(byte)) {
        pending = PendingLead{true, byte, tag, x, lineTop};
        return;
    }
    if (byte <= 32) {
        // Black set for CH1's tags, red for all others; upper row only for the two sent tags.
        const Ink ink = (tag == kTagCh1Sent || tag == kTagCh1Received) ? Ink::Black : Ink::Red;
        emitGlyph(sink, glyph::control(byte, ink), x, lineTop + (isUpperTag(tag) ? kUpperGlyphY : kLowerY));
        return;
    }
    if (isKnownTag(tag))
        emitText(sink, &byte, 1, inkOf(tag), x, lineTop + (isUpperTag(tag) ? kUpperTextY : kLowerY));
}

void drawLoneLead(PendingLead& pending, DrawOpSink& sink)
{
    if (!pending.active)
        return;
    pending.active = false;
    if (isKnownTag(pending.tag))
        emitText(sink, &pending.byte, 1, inkOf(pending.tag), pending.x,
                 pending.lineTop + (isUpperTag(pending.tag) ? display::kUpperTextY : display::kLowerY));
}

bool pairsWithNext(std::span<const std::uint8_t> tags, std::span<const std::uint8_t> data, std::size_t index)
{
    return index + 1 < data.size() && index + 1 < tags.size() && isShiftJisLead(data[index]) &&
           tags[index] == tags[index + 1];
}

} // namespace kestrane
