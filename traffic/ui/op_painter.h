// Paints the display's draw operations with a QPainter: bitmaps from the table, text in the
// display font in black (0, 0, 0) or red (255, 0, 0).
#pragma once

#include "traffic/draw_ops.h"

#include <QColor>

class QPainter;

namespace kestrane {

class DisplayResources;

inline QColor inkColor(Ink ink) { return ink == Ink::Black ? QColor(0, 0, 0) : QColor(255, 0, 0); }

class OpPainter final : public DrawOpSink {
public:
    OpPainter(QPainter& painter, DisplayResources& resources);
    void draw(const DrawOp& op) override;

private:
    QPainter& painter_;
    DisplayResources& resources_;
    int ink_ = -1;  // the pen's ink, -1 before the first text

};

} // namespace kestrane
