// The traffic display inside the main window's scroll area: the window's paint, timer, resize,
// scroll and mouse hooks hand over to this object, which runs the display logic
// (LowSpeedDisplay, FastDisplay) and turns its results into repaints of the viewport.
//
// Everything the display logic computes is in display units; the view draws them magnified by
// the display's zoom (100, 150 or 200 %), on screens with a device pixel ratio above 1 at that
// resolution, and turns window pixels (clicks, exposed areas, the window's size) into display
// units. The scroll unit is one display line (34 units). The low-speed display paints the buffer in
// content coordinates scrolled by the scroll bar; the fast display's page is the window itself
// and never scrolls. The fast feed runs on the receive threads and reaches the GUI thread only
// through a queued call that repaints the lines it changed.
#pragma once

#include "traffic/fast_display.h"
#include "traffic/low_speed_display.h"
#include "traffic/ui/display_resources.h"

#include <QPoint>
#include <QRect>
#include <QStringList>

#include <functional>
#include <optional>

class QAbstractScrollArea;
class QPainter;

namespace kestrane {

class RepaintRelay;
struct SettingsRecord;
class TrafficBuffer;

class TrafficView {
public:
    // Installs the fast display as the buffer's display feed; `area`, `buffer` and `settings`
    // must outlive this object.
    TrafficView(QAbstractScrollArea& area, TrafficBuffer& buffer, const SettingsRecord& settings);
    // Removes the feed from the buffer (waits for a feed in progress).
    ~TrafficView();
    TrafficView(const TrafficView&) = delete;
    TrafficView& operator=(const TrafficView&) = delete;

    // Start-up step 9: the bitmap table.
    void loadBitmaps() { resources_.loadBitmaps(); }

    // --- window hooks ---
    // paintEvent of the viewport: paints `exposed` (viewport coordinates).
    void paint(const QRect& exposed, bool fast);
    // The same drawing onto any painter whose device matches the viewport.
    void render(QPainter& painter, const QRect& exposed, bool fast);
    // Timer 1's display work; applies scrolling and repaints and returns what the tick did.
    TickResult timerTick(bool fast);
    // The client area changed size: new geometry and limits, and everything repainted.
    void resized();
    // The scroll bar moved by `lines` (scrollContentsBy).
    void scrolledBy(int lines, bool fast);
    // The display part of the speed switch, after the speed was flipped: scrolling, one tick
    // at once when going to low speed, and a repaint of everything.
    void speedChanged(bool fast);
    // Character inspection: left button down shows the text, left button up removes it.
    void mousePressed(QPoint pos);
    void mouseReleased(QPoint pos);
    // Lines shown in a tip below the click while the button is down (when the journal knows
    // when the byte crossed); asked at each left button down with the inspected byte.
    using InspectionNotes = std::function<QStringList(const Inspection& byte)>;
    void setInspectionNotes(InspectionNotes notes) { inspectionNotes_ = std::move(notes); }
    [[nodiscard]] const QStringList& inspectionNoteLines() const { return notes_; }

    // --- magnification ---
    // 100, 150 or 200 (anything else counts as 100); everything is laid out and repainted anew.
    void setZoom(int percent);
    [[nodiscard]] int zoom() const { return zoomPercent_; }
    // Window pixels per display unit.
    [[nodiscard]] qreal scale() const { return scale_; }
    // The client area in display units.
    [[nodiscard]] int displayWidth() const;
    [[nodiscard]] int displayHeight() const;
    // A rectangle of display units as the window pixels it covers (rounded outwards), and back.
    [[nodiscard]] QRect toClient(const PixelRect& r) const;
    [[nodiscard]] PixelRect toDisplay(const QRect& r) const;
    [[nodiscard]] QPoint toDisplay(QPoint p) const;

    // --- for the commands ---
    void scrollToLine(int line);
    void scrollToNewest();
    // Empties the fast display's page (the clear-display command) and repaints.
    void clearScreenCellMap();
    [[nodiscard]] int scrollLine() const;

    [[nodiscard]] LowSpeedDisplay& lowSpeed() { return lowSpeed_; }
    [[nodiscard]] FastDisplay& fastDisplay() { return fast_; }
    [[nodiscard]] DisplayResources& resources() { return resources_; }
    [[nodiscard]] const std::optional<Inspection>& inspection() const { return inspection_; }

private:
    void updateScrollRange();
    void flushFastRepaint();
    void invalidateContent(const PixelRect& r);
    [[nodiscard]] QString inspectionText(const Inspection& in) const;
    QRect inspectionRect() const;

    int zoomPercent_ = 100;
    qreal scale_ = 1.0;
    // Average time of a fast-display paint, which sets how often the page is repainted.
    double fastPaintMs_ = 0;
    QAbstractScrollArea& area_;
    TrafficBuffer& buffer_;
    const SettingsRecord& settings_;
    DisplayResources resources_;
    LowSpeedDisplay lowSpeed_;
    FastDisplay fast_;
    std::optional<Inspection> inspection_;
    InspectionNotes inspectionNotes_;
    QStringList notes_;  // of the inspection shown
    static constexpr int kNotesShownMs = 600'000;  // the tip stays until the button comes up
    RepaintRelay* relay_ = nullptr;  // a child of the viewport, deleted with this object
};

} // namespace kestrane
