#include "traffic/ui/op_painter.h"

#include "traffic/ui/display_resources.h"

#include <QPainter>

namespace kestrane {

OpPainter::OpPainter(QPainter& painter, DisplayResources& resources) : painter_(painter), resources_(resources) {}

void OpPainter::draw(const DrawOp& op)
{
    if (op.type == DrawOp::Type::Glyph) {
        const QPixmap& pixmap = resources_.scaledBitmap(op.glyph);
        if (op.partWidth > 0 || op.partHeight > 0) {
            // The part in display units; its source in the pixmap's own pixels.
            const glyph::Size whole = glyph::sizeOf(op.glyph);
            const qreal w = op.partWidth > 0 ? op.partWidth : whole.width;
            const qreal h = op.partHeight > 0 ? op.partHeight : whole.height;
            const qreal ratio = pixmap.devicePixelRatio();
            painter_.drawPixmap(QRectF(op.x, op.y, w, h), pixmap, QRectF(0, 0, w * ratio, h * ratio));
        } else {
            painter_.drawPixmap(op.x, op.y, pixmap);
        }
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
