#include "traffic/ui/op_painter.h"

#include "traffic/ui/display_resources.h"

#include <QPainter>

namespace kestrane {

OpPainter::OpPainter(QPainter& painter, DisplayResources& resources) : painter_(painter), resources_(resources) {}

void OpPainter::draw(const DrawOp& op)
{
    if (op.type == DrawOp::Type::Glyph) {
        const QPixmap& pixmap = resources_.bitmap(op.glyph);
        if (op.partWidth > 0 || op.partHeight > 0)
            painter_.drawPixmap(op.x, op.y, pixmap, 0, 0, op.partWidth > 0 ? op.partWidth : -1,
                                op.partHeight > 0 ? op.partHeight : -1);
        else
            painter_.drawPixmap(op.x, op.y, pixmap);
        return;
    }
    if (op.length == 1) {
        painter_.drawPixmap(op.x, op.y, resources_.singleCharacter(op.text[0], op.ink));
        return;
    }
    if (ink_ != static_cast<int>(op.ink)) {
        ink_ = static_cast<int>(op.ink);
        painter_.setPen(inkColor(op.ink));
    }
    // Text as glyph runs from the font's glyph table: no layout per repaint.
    resources_.glyphs().draw(painter_, QPointF(op.x, op.y + resources_.ascent()), op.text, op.length);
}

} // namespace kestrane
