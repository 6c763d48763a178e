// The fast display: the thread that appends a chunk puts it on a page at once. The page fills
// from the top, wraps from the bottom line back to the top line and never scrolls; the screen
// cell map records it so that a repaint draws it again. The low-speed feed keeps the same map
// without asking for a repaint, so switching to fast display shows the current page.
//
// Threads: the traffic buffer calls the feeds on the appending thread with the display
// interlock held; they change only the map and a mask of changed lines, then ask the GUI thread
// to repaint through the repaint request (never touching a widget). The GUI thread's
// fastRepaint and clearScreenCellMap take the interlock themselves, so neither runs during a feed.
#pragma once

#include "traffic/display_feed.h"
#include "traffic/display_interlock.h"
#include "traffic/draw_ops.h"
#include "traffic/screen_cell_map.h"
#include "traffic/text_measure.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace kestrane {

class FastDisplay final : public DisplayFeed {
public:
    // `interlock` is the traffic buffer's; `measurer` must outlive this object.
    FastDisplay(DisplayInterlock& interlock, const TextMeasurer& measurer);
    FastDisplay(const FastDisplay&) = delete;
    FastDisplay& operator=(const FastDisplay&) = delete;

    // The client area the limits are computed from (GUI thread, on every resize).
    void setClientSize(int width, int height);
    // Called on the feeding thread when a fast feed changed the page and no earlier request is
    // still waiting for takeDirtyLines. It must only post work to the GUI thread.
    void setRepaintRequest(std::function<void()> request);

    // DisplayFeed: called by the traffic buffer under the interlock.
    void feedFast(const std::uint8_t* bytes, int count, int kind) override;
    void feedLowSpeed(const std::uint8_t* bytes, int count, int kind) override;

    // Empties the page and puts the cursor at the top left (the clear-display command).
    void clearScreenCellMap();

    // The page from the map, lines firstLine..lastLine, in client coordinates. Waits until no
    // feed runs and holds them off while it copies the page (GUI thread).
    void fastRepaint(int firstLine, int lastLine, DrawOpSink& sink);

    // Map lines changed by fast feeds since the last call (bit n for line n); resets the mask.
    [[nodiscard]] std::uint64_t takeDirtyLines();

    // Runs `reader` on the map with no feed running (tests, diagnostics).
    void readMap(const std::function<void(const ScreenCellMap&)>& reader);

private:
    void feed(const std::uint8_t* bytes, int count, int kind, bool draw);
    void store(const std::uint8_t* bytes, int count, std::int32_t kind);
    void newLine(int bottomLimit, std::uint64_t& dirty);

    DisplayInterlock& interlock_;
    const TextMeasurer& measurer_;
    std::atomic<int> clientWidth_{0};
    std::atomic<int> clientHeight_{0};
    std::atomic<std::uint64_t> dirtyLines_{0};

    // Guarded by the interlock.
    std::unique_ptr<ScreenCellMap> map_;
    std::function<void()> repaintRequest_;

    // The repaint's copy of the page (GUI thread only).
    struct RepaintOp {
        DrawOp op;
        std::size_t textOffset = 0;
    };
    std::vector<RepaintOp> repaintOps_;
    std::vector<std::uint8_t> repaintText_;
};

} // namespace kestrane
