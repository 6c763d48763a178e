// Shared pieces of the display tests: a sink that records draw operations with copies of
// their text, and a text measurer with fixed widths.
#pragma once

#include "traffic/draw_ops.h"
#include "traffic/text_measure.h"

#include <algorithm>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace kestrane::test {

struct RecordedOp {
    DrawOp::Type type = DrawOp::Type::Glyph;
    int x = 0, y = 0;
    Ink ink = Ink::Black;
    int glyph = 0;
    int partWidth = 0, partHeight = 0;
    std::string text;
    bool operator==(const RecordedOp&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const RecordedOp& op)
{
    if (op.type == DrawOp::Type::Glyph)
        return os << "glyph " << op.glyph << " at (" << op.x << "," << op.y << ")";
    os << (op.ink == Ink::Black ? "black" : "red") << " text [";
    for (unsigned char c : op.text)
        os << std::hex << static_cast<int>(c) << std::dec << ' ';
    return os << "] at (" << op.x << "," << op.y << ")";
}

inline RecordedOp text(const std::string& t, Ink ink, int x, int y)
{
    RecordedOp op;
    op.type = DrawOp::Type::Text;
    op.text = t;
    op.ink = ink;
    op.x = x;
    op.y = y;
    return op;
}

inline RecordedOp glyphAt(int id, int x, int y, int partWidth = 0, int partHeight = 0)
{
    RecordedOp op;
    op.glyph = id;
    op.x = x;
    op.y = y;
    op.partWidth = partWidth;
    op.partHeight = partHeight;
    return op;
}

class RecordingSink final : public DrawOpSink {
public:
    std::vector<RecordedOp> ops;
    void draw(const DrawOp& op) override
    {
        RecordedOp r;
        r.type = op.type;
        r.x = op.x;
        r.y = op.y;
        r.glyph = op.type == DrawOp::Type::Glyph ? op.glyph : 0;
        r.partWidth = op.partWidth;
        r.partHeight = op.partHeight;
        if (op.type == DrawOp::Type::Text) {
            r.ink = op.ink;
            r.text.assign(reinterpret_cast<const char*>(op.text), static_cast<std::size_t>(op.length));
        }
        ops.push_back(r);
    }
};

// Every byte `perByte` pixels wide (a lead byte with its trail byte counts two bytes).
class FixedMeasurer final : public TextMeasurer {
public:
    explicit FixedMeasurer(int perByte) : perByte_(perByte) {}
    [[nodiscard]] int textWidth(const std::uint8_t*, int count) const override { return count * perByte_; }

private:
    int perByte_;
};

} // namespace kestrane::test
