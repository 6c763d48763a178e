// The low-speed display: timer 1 draws the bytes stored since drawPosition, a repaint lays the
// whole stored buffer out (byte i in cell i % charsPerLine of display line i / charsPerLine),
// the idle redisplay, the start-up clear, auto-scroll and the character inspection.
//
// Nothing here paints: a tick works out what it draws, advances the buffer's drawing state and
// reports the cells that must be repainted; the window paints them from the buffer. GUI thread
// only; the buffer is read under the interlock's repaint role, so a concurrent overflow step
// never moves the planes under a reader.
#pragma once

#include "traffic/display_geometry.h"
#include "traffic/draw_ops.h"
#include "traffic/traffic_buffer.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kestrane {

struct SettingsRecord;

// What one timer tick asks of the window.
struct TickResult {
    bool fullUpdate = false;           // invalidate the whole client area
    std::vector<PixelRect> dirty;      // cells drawn, in content coordinates (line 0 at y 0)
    std::optional<int> scrollTo;       // scroll so that this display line is at the top
    int drawnBytes = 0;                // bytes drawn incrementally
    bool cleared = false;              // the start-up clear ran
    bool skipped = false;              // a tick was already running
};

// The text a left click shows over the display, in client coordinates.
struct Inspection {
    int clickX = 0, clickY = 0;
    std::int32_t index = 0;            // the byte's index in the current pair,
    std::uint8_t tag = 0;              // its tag
    std::uint64_t record = 0;          // and its position as the journal counts them
    std::string text;                  // code page 932 bytes
    int loneLeadAt = -1;               // a lead byte in `text` shown alone (it pairs with nothing there)
    int textX = 0, textY = 0;
    int glyph = 0;                     // a control glyph inside "(  )", or 0
    int glyphX = 0, glyphY = 0;
};

class LowSpeedDisplay {
public:
    explicit LowSpeedDisplay(TrafficBuffer& buffer) : buffer_(buffer) {}
    LowSpeedDisplay(const LowSpeedDisplay&) = delete;
    LowSpeedDisplay& operator=(const LowSpeedDisplay&) = delete;

    // Recomputes charsPerLine for the client width and hands it to the buffer (its overflow step
    // moves the drawing to the line of the new drawPosition).
    int updateGeometry(int clientWidth);
    [[nodiscard]] int charsPerLine() const { return charsPerLine_; }
    [[nodiscard]] int lineCount(int bufferSize) const { return displayLineCount(bufferSize, charsPerLine_); }

    // Timer 1: incremental drawing (or a full redisplay), the idle redisplay countdown, and on
    // the very first tick the start-up clear. The operations the tick draws also go to
    // `observer` when one is given.
    TickResult tick(const SettingsRecord& settings, bool fastDisplay, int clientWidth, DrawOpSink* observer = nullptr);

    // Auto-scroll: with `autoScroll` set, the newest line goes eight lines below the top.
    std::optional<int> scrollToNewest(bool autoScroll, int bufferSize);

    // The display part of the speed switch. To fast: back to line 0. To low speed: the newest
    // line in view as by scrollToNewest (whatever autoScroll says) and one tick's worth of
    // drawing pending; the caller then runs one tick at once. Returns the new top line.
    int enterFastDisplay();
    int enterLowSpeedDisplay(int bufferSize);

    // The repaint: the stored bytes (0 .. storedLength) of display lines firstLine..lastLine in
    // the buffer's layout, in content coordinates. Takes the repaint role while it copies them.
    // Like a repaint of the whole buffer, it leaves the drawing cursor (drawX, drawY) after the
    // last stored byte, so auto-scroll and the last-line command find the newest line.
    void layoutStoredLines(int displayMode, int firstLine, int lastLine, DrawOpSink& sink);
    // Puts the drawing cursor after the last stored byte in the current layout (after a resize,
    // whether or not the window gets painted).
    void relayoutCursor();

    // Character inspection for a left click at client (x, y) with the window scrolled by
    // `scrollLine` lines. Nothing for a click left of the first cell, outside the planes or
    // beyond drawPosition.
    [[nodiscard]] std::optional<Inspection> inspectCharacter(int x, int y, int scrollLine, int displayMode);
    // What the button-up invalidates so that the text disappears.
    [[nodiscard]] static PixelRect inspectionEraseRect(int x, int y);

    // --- run-time state ---
    int topLine = 0;               // the display line the program last scrolled to
    int startupClearPending = 1;   // the first tick clears the buffer
    bool timerBusy = false;        // a tick is running; a nested one does nothing
    PendingLead pendingLead;       // a lead byte drawn by a tick, waiting for its trail byte

private:
    void drawNewBytes(int displayMode, TickResult& result, DrawOpSink* observer);

    TrafficBuffer& buffer_;
    int charsPerLine_ = 1;
    // drawPosition after the last incremental drawing: a pending lead byte only pairs with the
    // next byte when nobody (clear, overflow, page change, load) moved drawPosition since.
    std::int32_t pendingLeadPosition_ = -1;
    // The repaint's copy of the bytes and tags in view.
    std::vector<std::uint8_t> scratchData_;
    std::vector<std::uint8_t> scratchTags_;
};

} // namespace kestrane
