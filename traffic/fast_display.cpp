#include "traffic/fast_display.h"

#include <algorithm>
#include <cstring>

namespace kestrane {

namespace {

using display::kCellWidth;
using display::kFirstCellX;
using display::kLineHeight;

constexpr int kLastCell = ScreenCellMap::kCellsPerLine - 1;

// How many of the first `n` bytes make whole characters within `limit` bytes (a lead byte and
// its trail byte stay together); at least one character, so the walk always moves on.
int characterCut(const std::uint8_t* bytes, int n, int limit)
{
    int pos = 0;
    while (pos < n) {
        const int step = (isShiftJisLead(bytes[pos]) && pos + 1 < n) ? 2 : 1;
        if (pos + step > limit)
            break;
        pos += step;
    }
    if (pos == 0)
        pos = (isShiftJisLead(bytes[0]) && n > 1) ? 2 : 1;
    return pos;
}

bool isUpperKind(int kind) { return kind == 0 || kind == 2; }
Ink inkOfKind(int kind) { return (kind == 0 || kind == 1) ? Ink::Black : Ink::Red; }

} // namespace

FastDisplay::FastDisplay(DisplayInterlock& interlock, const TextMeasurer& measurer)
    : interlock_(interlock), measurer_(measurer), map_(std::make_unique<ScreenCellMap>())
{
}

void FastDisplay::setClientSize(int width, int height)
{
    clientWidth_.store(width);
    clientHeight_.store(height);
}

void FastDisplay::setRepaintRequest(std::function<void()> request)
{
    DisplayInterlock::Guard guard(interlock_, DisplayInterlock::Producer::Transmit);
    repaintRequest_ = std::move(request);
}

void FastDisplay::feedFast(const std::uint8_t* bytes, int count, int kind) { feed(bytes, count, kind, true); }

void FastDisplay::feedLowSpeed(const std::uint8_t* bytes, int count, int kind) { feed(bytes, count, kind, false); }

void FastDisplay::store(const std::uint8_t* bytes, int count, std::int32_t kind)
{
    ScreenCellMap& m = *map_;
    m.markUsed(m.fastLine, m.fastCell);
    ScreenCell& c = m.cell(m.fastLine, m.fastCell);
    c.length = count;
    c.kind = kind;
    std::memcpy(c.text.data(), bytes, static_cast<std::size_t>(count));
    ++m.fastCell;
}

void FastDisplay::newLine(int bottomLimit, std::uint64_t& dirty)
{
    ScreenCellMap& m = *map_;
    m.clearFrom(m.fastLine, m.fastCell + 1);
    m.fastX = kFirstCellX;
    m.fastY += kLineHeight;
    m.fastCell = 0;
    ++m.fastLine;
    // The page wraps to the top line (also when the window shrank below the cursor).
    if (m.fastY >= bottomLimit || m.fastLine >= ScreenCellMap::kLines) {
        m.fastY = 0;
        m.fastLine = 0;
    }
    dirty |= std::uint64_t{1} << m.fastLine;
    m.clearFrom(m.fastLine, 0);
}

void FastDisplay::feed(const std::uint8_t* bytes, int count, int kind, bool draw)
{
    if (bytes == nullptr || count <= 0 || kind < 0 || kind > 3)
        return;
    const int right = fastRightLimit(clientWidth_.load());
    const int bottom = fastBottomLimit(clientHeight_.load());
    ScreenCellMap& m = *map_;

    // The rest of the current line (with the old end marker) is erased: its line changes.
    std::uint64_t dirty = std::uint64_t{1} << m.fastLine;

    int i = 0;
    while (i < count) {
        if (bytes[i] <= 32) {
            store(bytes + i, 1, kind + ScreenCell::kControlBase);
            m.fastX += kCellWidth;
            if (m.fastX >= right || m.fastCell >= kLastCell)
                newLine(bottom, dirty);
            ++i;
            continue;
        }
        int runEnd = i;
        while (runEnd < count && bytes[runEnd] > 32)
            ++runEnd;
        while (i < runEnd) {
            // A cell holds at most 300 bytes of text; a longer run continues in the next cell.
            const int n = characterCut(bytes + i, runEnd - i, ScreenCell::kTextSize);
            const int w = measurer_.textWidth(bytes + i, n);
            if (m.fastX + w < right) {
                store(bytes + i, n, kind);
                m.fastX += w;
                i += n;
                if (m.fastCell >= kLastCell)
                    newLine(bottom, dirty);
                continue;
            }
            // Only part of the run fits: as many bytes as the run's average character width
            // (rounded up) allows, but at least one character, so the walk always advances.
            const int average = std::max(1, (w + n - 1) / n);
            const int fit = std::max(1, (right - m.fastX) / average);
            const int k = characterCut(bytes + i, n, std::min(fit, n));
            store(bytes + i, k, kind);
            newLine(bottom, dirty);
            i += k;
        }
    }

    // Where the next data goes.
    m.markUsed(m.fastLine, m.fastCell);
    m.cell(m.fastLine, m.fastCell).kind = ScreenCell::kEndMarker;
    dirty |= std::uint64_t{1} << m.fastLine;

    if (draw) {
        const std::uint64_t before = dirtyLines_.fetch_or(dirty);
        if (before == 0 && repaintRequest_)
            repaintRequest_();
    }
}

void FastDisplay::clearScreenCellMap()
{
    DisplayInterlock::Guard guard(interlock_, DisplayInterlock::Producer::Transmit);
    map_->clear();
}

std::uint64_t FastDisplay::takeDirtyLines() { return dirtyLines_.exchange(0); }

void FastDisplay::readMap(const std::function<void(const ScreenCellMap&)>& reader)
{
    DisplayInterlock::RepaintGuard guard(interlock_);
    reader(*map_);
}

void FastDisplay::fastRepaint(int firstLine, int lastLine, DrawOpSink& sink)
{
    firstLine = std::max(0, firstLine);
    lastLine = std::min(ScreenCellMap::kLines - 1, lastLine);
    repaintOps_.clear();
    repaintText_.clear();
    {
        // Collect the page under the lock, paint after it: a feed waits only for the copy.
        DisplayInterlock::RepaintGuard guard(interlock_);
        const ScreenCellMap& m = *map_;
        for (int line = firstLine; line <= lastLine; ++line) {
            const int top = line * kLineHeight;
            int x = kFirstCellX;
            const int used = m.usedCells(line);
            for (int c = 0; c < used; ++c) {
                const ScreenCell& cell = m.cell(line, c);
                if (cell.length != 0 && cell.kind >= 0 && cell.kind <= 3) {
                    const int length = std::min(cell.length, ScreenCell::kTextSize);
                    DrawOp op;
                    op.type = DrawOp::Type::Text;
                    op.length = length;
                    op.ink = inkOfKind(cell.kind);
                    op.x = x;
                    op.y = top + (isUpperKind(cell.kind) ? display::kUpperTextY : display::kLowerY);
                    repaintOps_.push_back({op, repaintText_.size()});
                    repaintText_.insert(repaintText_.end(), cell.text.begin(), cell.text.begin() + length);
                    x += measurer_.textWidth(cell.text.data(), length);
                } else if (cell.length != 0 && cell.kind >= ScreenCell::kControlBase &&
                           cell.kind <= ScreenCell::kControlBase + 3) {
                    const int kind = cell.kind - ScreenCell::kControlBase;
                    if (cell.text[0] <= 32) {
                        DrawOp op;
                        op.glyph = glyph::control(cell.text[0], inkOfKind(kind));
                        op.x = x;
                        op.y = top + (isUpperKind(kind) ? display::kUpperGlyphY : display::kLowerY);
                        repaintOps_.push_back({op, 0});
                    }
                    x += kCellWidth;
                } else if (cell.kind == ScreenCell::kEndMarker) {
                    // The marker goes at the cursor, wherever the marked cell is.
                    for (int rowY : {display::kUpperTextY, display::kLowerY}) {
                        DrawOp op;
                        op.glyph = glyph::kEndMarker;
                        op.partWidth = 28;
                        op.partHeight = 13;
                        op.x = m.fastX;
                        op.y = m.fastY + rowY;
                        repaintOps_.push_back({op, 0});
                    }
                }
            }
        }
    }
    for (RepaintOp& r : repaintOps_) {
        if (r.op.type == DrawOp::Type::Text)
            r.op.text = repaintText_.data() + r.textOffset;
        sink.draw(r.op);
    }
}

} // namespace kestrane
