#include "traffic/low_speed_display.h"

#include "records/settings_records.h"
#include "traffic/traffic_planes.h"

#include <algorithm>
#include <cstdio>

namespace kestrane {

namespace {

using display::kCellWidth;
using display::kFirstCellX;
using display::kLineHeight;

// Collects the bounds of the operations a tick draws, one rectangle per run on a line.
class DirtyCollector final : public DrawOpSink {
public:
    DirtyCollector(std::vector<PixelRect>& rects, DrawOpSink* observer) : rects_(rects), observer_(observer) {}
    void draw(const DrawOp& op) override
    {
        add(op.bounds());
        if (observer_ != nullptr)
            observer_->draw(op);
    }
    void add(const PixelRect& r)
    {
        if (r.empty())
            return;
        if (!rects_.empty()) {
            PixelRect& last = rects_.back();
            // Same display line: one rectangle from the first to the last cell.
            if (last.y / kLineHeight == r.y / kLineHeight && r.y >= 0 && last.y >= 0) {
                last = last.united(r);
                return;
            }
        }
        rects_.push_back(r);
    }

private:
    std::vector<PixelRect>& rects_;
    DrawOpSink* observer_;
};

std::int32_t clampedLength(std::int32_t length) { return std::clamp(length, 0, kTrafficPlaneSize); }

} // namespace

int LowSpeedDisplay::updateGeometry(int clientWidth)
{
    charsPerLine_ = charsPerLineFor(clientWidth);
    buffer_.setCharsPerLine(charsPerLine_);
    return charsPerLine_;
}

TickResult LowSpeedDisplay::tick(const SettingsRecord& settings, bool fastDisplay, int clientWidth, DrawOpSink* observer)
{
    TickResult result;
    updateGeometry(clientWidth);
    if (timerBusy) {
        result.skipped = true;
        return result;
    }
    timerBusy = true;

    if (buffer_.pendingDrawTicks() > 0 && startupClearPending == 0) {
        if (settings.fullRedisplay != 0) {
            {
                // The repaint this asks for lays out every stored byte; the cursor goes where
                // that repaint leaves it now, so the scroll below already finds the newest line.
                DisplayInterlock::RepaintGuard guard(buffer_.interlock());
                const std::int32_t stored = clampedLength(buffer_.storedLength());
                buffer_.markDrawn(stored, cursorAfter(stored, charsPerLine_));
            }
            pendingLead.active = false;
            result.fullUpdate = true;
            if (auto top = scrollToNewest(settings.autoScroll != 0, settings.bufferSize))
                result.scrollTo = top;
        } else {
            drawNewBytes(settings.displayMode, result, observer);
            if (result.drawnBytes > 0) {
                if (auto top = scrollToNewest(settings.autoScroll != 0, settings.bufferSize))
                    result.scrollTo = top;
            }
        }
        buffer_.takePendingDrawTick();
    }

    // Idle redisplay: some ticks after the traffic stopped, repaint everything once or a few times.
    if (buffer_.idleTicks() > 0 && buffer_.pendingDrawTicks() == 0) {
        if (buffer_.takeIdleTick() == 0) {
            if (!fastDisplay && buffer_.takeIdleRedisplay()) {
                result.fullUpdate = true;
                if (auto top = scrollToNewest(settings.autoScroll != 0, settings.bufferSize))
                    result.scrollTo = top;
            }
            buffer_.reloadIdleTicks(settings.idleClockFactor);
        }
    }

    // The first tick drops whatever the receive threads stored while the splash was shown.
    if (startupClearPending > 0) {
        buffer_.clearTraffic();
        buffer_.setUnsavedData(false);
        --startupClearPending;
        buffer_.restartIdleCountdown(settings.idleClockFactor, 1);
        pendingLead.active = false;
        pendingLeadPosition_ = -1;
        result.cleared = true;
    }

    timerBusy = false;
    return result;
}

void LowSpeedDisplay::drawNewBytes(int displayMode, TickResult& result, DrawOpSink* observer)
{
    DisplayInterlock::RepaintGuard guard(buffer_.interlock());
    const std::int32_t stored = clampedLength(buffer_.storedLength());
    const std::int32_t from = std::max(0, buffer_.drawPosition());
    if (stored - from <= 0)
        return;

    // A lead byte from the last tick pairs only if nothing moved the drawing since.
    if (pendingLeadPosition_ != from)
        pendingLead.active = false;

    const auto tags = buffer_.currentTagPlane();
    const auto data = buffer_.currentDataPlane();
    const int cpl = charsPerLine_;
    const int limit = cpl * kCellWidth + kFirstCellX;
    // The new bytes go where the repaint puts them: the cursor after the bytes already drawn in
    // today's layout. (A resize, an overflow step or a repaint of bytes not yet drawn may have
    // left drawX/drawY elsewhere; drawing from there would put them on the wrong cells.)
    const DrawCursor start = cursorAfter(from, cpl);
    int x = start.x;
    int y = start.y;
    DirtyCollector dirty(result.dirty, observer);

    buffer_.setUnsavedData(true);
    for (std::int32_t i = from; i < stored; ++i) {
        if (x >= limit) {
            x = kFirstCellX;
            y += kLineHeight;
        }
        const auto at = static_cast<std::size_t>(i);
        drawByte(data[at], tags[at], displayMode, x, y, pendingLead, dirty);
        x += kCellWidth;
    }
    buffer_.markDrawn(stored, DrawCursor{x, y});
    pendingLeadPosition_ = stored;
    result.drawnBytes = stored - from;
}

std::optional<int> LowSpeedDisplay::scrollToNewest(bool autoScroll, int bufferSize)
{
    if (!autoScroll)
        return std::nullopt;
    topLine = newestTopLine(buffer_.drawY(), lineCount(bufferSize));
    return topLine;
}

int LowSpeedDisplay::enterFastDisplay()
{
    topLine = 0;
    return topLine;
}

int LowSpeedDisplay::enterLowSpeedDisplay(int bufferSize)
{
    topLine = newestTopLine(buffer_.drawY(), lineCount(bufferSize));
    buffer_.setPendingDrawTicks(1);
    return topLine;
}

void LowSpeedDisplay::layoutStoredLines(int displayMode, int firstLine, int lastLine, DrawOpSink& sink)
{
    firstLine = std::max(0, firstLine);
    if (lastLine < firstLine)
        return;
    const int cpl = charsPerLine_;
    std::int32_t start = 0;
    std::int32_t lineEnd = 0;
    std::int32_t end = 0;
    PendingLead pending;
    {
        // Copy the bytes in view, so that the appenders wait only for the copy, not the painting.
        DisplayInterlock::RepaintGuard guard(buffer_.interlock());
        const std::int32_t stored = clampedLength(buffer_.storedLength());
        buffer_.moveDrawCursor(cursorAfter(stored, cpl));
        const std::int64_t start64 = static_cast<std::int64_t>(firstLine) * cpl;
        if (start64 >= stored)
            return;
        start = static_cast<std::int32_t>(start64);
        lineEnd = static_cast<std::int32_t>(
            std::min<std::int64_t>(stored, (static_cast<std::int64_t>(lastLine) + 1) * cpl));
        // One byte past the last line completes a character whose lead byte ends that line.
        end = std::min(stored, lineEnd + 1);

        const auto tags = buffer_.currentTagPlane();
        const auto data = buffer_.currentDataPlane();
        scratchData_.assign(data.begin() + start, data.begin() + end);
        scratchTags_.assign(tags.begin() + start, tags.begin() + end);

        // Whether the byte before `start` is a lead byte still waiting: a byte that is not a
        // lead byte never leaves one waiting, a lead byte pairs only with a byte of its own tag,
        // and within a row of lead bytes of one tag every other one pairs with the next, so an
        // odd row waits.
        if (displayMode != DisplayMode::Hex && start > 0) {
            const auto last = static_cast<std::size_t>(start - 1);
            std::int32_t leads = 0;
            for (std::int32_t j = start - 1; j >= 0; --j) {
                const auto k = static_cast<std::size_t>(j);
                if (!isShiftJisLead(data[k]) || tags[k] != tags[last])
                    break;
                ++leads;
            }
            if (leads % 2 == 1) {
                const std::int32_t j = start - 1;
                pending = PendingLead{true, data[last], tags[last], kFirstCellX + (j % cpl) * kCellWidth,
                                      (j / cpl) * kLineHeight};
            }
        }
    }

    for (std::int32_t i = start; i < end; ++i) {
        const auto at = static_cast<std::size_t>(i - start);
        if (i >= lineEnd) {
            // Past the lines in view only a lead byte ending them is completed (or drawn alone).
            if (pending.active && pending.tag != scratchTags_[at])
                drawLoneLead(pending, sink);
            if (!pending.active)
                break;
        }
        drawByte(scratchData_[at], scratchTags_[at], displayMode, kFirstCellX + (i % cpl) * kCellWidth,
                 (i / cpl) * kLineHeight, pending, sink);
    }
}

void LowSpeedDisplay::relayoutCursor()
{
    DisplayInterlock::RepaintGuard guard(buffer_.interlock());
    buffer_.moveDrawCursor(cursorAfter(clampedLength(buffer_.storedLength()), charsPerLine_));
}

std::optional<Inspection> LowSpeedDisplay::inspectCharacter(int x, int y, int scrollLine, int displayMode)
{
    // Left of the first cell there is no character (the formula would round toward it).
    if (x < kFirstCellX)
        return std::nullopt;
    const std::int64_t index = (static_cast<std::int64_t>(scrollLine) + y / kLineHeight) * charsPerLine_ +
                               (x - kFirstCellX) / kCellWidth;
    if (index < 0 || index >= kTrafficPlaneSize)
        return std::nullopt;
    std::uint8_t byte = 0;
    std::uint8_t tag = 0;
    std::uint64_t record = 0;
    std::optional<std::uint8_t> trail;  // the byte a lead byte pairs with, when it has one
    {
        DisplayInterlock::RepaintGuard guard(buffer_.interlock());
        if (index > buffer_.drawPosition())
            return std::nullopt;
        byte = buffer_.dataAt(static_cast<std::int32_t>(index));
        tag = buffer_.tagAt(static_cast<std::int32_t>(index));
        record = buffer_.recordBase() + static_cast<std::uint64_t>(index);
        const std::int32_t stored = clampedLength(buffer_.storedLength());
        const auto at = static_cast<std::size_t>(index);
        if (index + 1 < stored && pairsWithNext(buffer_.currentTagPlane(), buffer_.currentDataPlane(), at))
            trail = buffer_.dataAt(static_cast<std::int32_t>(index + 1));
    }

    Inspection in;
    in.clickX = x;
    in.clickY = y;
    in.index = static_cast<std::int32_t>(index);
    in.tag = tag;
    in.record = record;
    char text[16];
    if (displayMode == DisplayMode::Hex) {
        in.textX = x - 10;
        in.textY = y - 18;
        if (byte <= 32) {
            in.text = "(  )";
            in.glyph = glyph::control(byte, Ink::Black);
            in.glyphX = x - 3;
            in.glyphY = y - 18;
        } else if (isShiftJisLead(byte)) {
            // A lead byte shows the character it makes with its trail byte, or stands alone;
            // it never pairs with the closing parenthesis.
            in.text = std::string("(") + static_cast<char>(byte);
            if (trail)
                in.text += static_cast<char>(*trail);
            else
                in.loneLeadAt = 1;
            in.text += ')';
        } else {
            std::snprintf(text, sizeof text, "(%c)", static_cast<char>(byte));
            in.text = text;
        }
    } else {
        std::snprintf(text, sizeof text, "(0x%02x)", static_cast<unsigned>(byte));
        in.text = text;
        in.textX = x - 22;
        in.textY = y - 18;
    }
    return in;
}

PixelRect LowSpeedDisplay::inspectionEraseRect(int x, int y) { return {x - 22, y - 19, 60, 20}; }

} // namespace kestrane
