#include "traffic/ui/traffic_view.h"

#include "records/settings_records.h"
#include "traffic/traffic_buffer.h"
#include "traffic/ui/op_painter.h"
#include "traffic/ui/repaint_relay.h"

#include <QAbstractScrollArea>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

namespace kestrane {

namespace {

using display::kLineHeight;

QRect toQRect(const PixelRect& r) { return QRect(r.x, r.y, r.width, r.height); }

} // namespace

TrafficView::TrafficView(QAbstractScrollArea& area, TrafficBuffer& buffer, const SettingsRecord& settings)
    : area_(area),
      buffer_(buffer),
      settings_(settings),
      lowSpeed_(buffer),
      fast_(buffer.interlock(), resources_.measurer())
{
    QWidget* viewport = area_.viewport();
    fast_.setClientSize(viewport->width(), viewport->height());
    lowSpeed_.updateGeometry(viewport->width());
    // A child of the viewport living on the GUI thread; requests still queued die with it.
    relay_ = new RepaintRelay([this] { flushFastRepaint(); }, viewport);
    // Runs on the feeding thread: only posts the repaint to the GUI thread.
    fast_.setRepaintRequest([relay = relay_] { relay->post(); });
    buffer_.setDisplayFeed(&fast_);
}

TrafficView::~TrafficView()
{
    // After this no feed runs, so nothing posts to the relay any more.
    buffer_.setDisplayFeed(nullptr);
    delete relay_;
}

int TrafficView::scrollLine() const { return area_.verticalScrollBar()->value(); }

void TrafficView::paint(const QRect& exposed, bool fast)
{
    QElapsedTimer timer;
    timer.start();
    {
        QPainter painter(area_.viewport());
        render(painter, exposed, fast);
    }
    if (!fast)
        return;
    // A page rewritten by a flood is repainted whole every frame. The frame stretches so that
    // this painting takes at most a two-hundredth of the time (half a percent of a core), though
    // never beyond the low-speed display's tick (timer 1, at least 100 ms): a flood is shown about
    // as often as the low-speed display would draw it, and sparse traffic (a cheap paint) still
    // at once and every display frame.
    const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    fastPaintMs_ = fastPaintMs_ == 0 ? ms : 0.75 * fastPaintMs_ + 0.25 * ms;
    const int longest = std::max(100, static_cast<int>(settings_.baseClockMs));
    relay_->setFrameMs(std::clamp(static_cast<int>(fastPaintMs_ * 200), RepaintRelay::kDefaultFrameMs, longest));
}

void TrafficView::render(QPainter& painter, const QRect& exposed, bool fast)
{
    const int width = area_.viewport()->width();
    const int offset = fast ? 0 : scrollLine() * kLineHeight;
    lowSpeed_.updateGeometry(width);
    const int lines = lowSpeed_.lineCount(settings_.bufferSize);
    const int first = std::max(0, (exposed.top() + offset) / kLineHeight);
    const int last = std::min(lines - 1, (exposed.bottom() + offset) / kLineHeight);

    painter.save();
    painter.setFont(resources_.font());
    painter.translate(0, -offset);

    // Row labels and separators.
    const QPixmap& upper = resources_.label(upperRowLabel(settings_.ch2Mode));
    const QPixmap& lower = resources_.label(lowerRowLabel(settings_.ch2Mode));
    painter.setPen(inkColor(Ink::Black));
    const int ascent = resources_.ascent();
    for (int line = first; line <= last; ++line) {
        const int top = line * kLineHeight;
        painter.drawPixmap(0, top + display::kUpperTextY, upper);
        painter.drawPixmap(0, top + display::kLowerY, lower);
        painter.drawLine(0, top + display::kSeparatorY, width - 1, top + display::kSeparatorY);
    }

    OpPainter ops(painter, resources_);
    if (fast)
        fast_.fastRepaint(first, exposed.bottom() / kLineHeight, ops);
    else if (lowSpeed_.startupClearPending == 0)
        lowSpeed_.layoutStoredLines(settings_.displayMode, first, last, ops);
    painter.restore();

    if (inspection_) {
        const Inspection& in = *inspection_;
        painter.save();
        painter.setFont(resources_.font());
        painter.setPen(inkColor(Ink::Black));
        painter.setBackgroundMode(Qt::OpaqueMode);
        painter.setBackground(QColor(255, 255, 255));
        painter.drawText(in.textX, in.textY + ascent, inspectionText(in));
        if (in.glyph != 0)
            painter.drawPixmap(in.glyphX, in.glyphY, resources_.bitmap(in.glyph));
        painter.restore();
    }
}

TickResult TrafficView::timerTick(bool fast)
{
    TickResult result = lowSpeed_.tick(settings_, fast, area_.viewport()->width());
    updateScrollRange();
    if (result.scrollTo)
        scrollToLine(*result.scrollTo);
    if (result.fullUpdate) {
        area_.viewport()->update();
    } else {
        for (const PixelRect& r : result.dirty)
            invalidateContent(r);
    }
    return result;
}

void TrafficView::invalidateContent(const PixelRect& r)
{
    area_.viewport()->update(toQRect(r).translated(0, -scrollLine() * kLineHeight));
}

void TrafficView::updateScrollRange()
{
    QScrollBar* bar = area_.verticalScrollBar();
    const int visible = std::max(1, area_.viewport()->height() / kLineHeight);
    const int maximum = std::max(0, lowSpeed_.lineCount(settings_.bufferSize) - visible);
    if (bar->maximum() != maximum || bar->minimum() != 0)
        bar->setRange(0, maximum);
    bar->setPageStep(visible);
    bar->setSingleStep(1);
}

void TrafficView::resized()
{
    QWidget* viewport = area_.viewport();
    lowSpeed_.updateGeometry(viewport->width());
    fast_.setClientSize(viewport->width(), viewport->height());
    if (lowSpeed_.startupClearPending == 0)
        lowSpeed_.relayoutCursor();
    updateScrollRange();
    viewport->update();
}

void TrafficView::scrolledBy(int lines, bool fast)
{
    // The fast display's page stays where it is.
    if (fast || lines == 0)
        return;
    area_.viewport()->scroll(0, lines * kLineHeight);
}

void TrafficView::scrollToLine(int line) { area_.verticalScrollBar()->setValue(line); }

void TrafficView::scrollToNewest()
{
    if (auto top = lowSpeed_.scrollToNewest(settings_.autoScroll != 0, settings_.bufferSize))
        scrollToLine(*top);
}

void TrafficView::speedChanged(bool fast)
{
    updateScrollRange();
    if (fast) {
        scrollToLine(lowSpeed_.enterFastDisplay());
    } else {
        scrollToLine(lowSpeed_.enterLowSpeedDisplay(settings_.bufferSize));
        timerTick(false);
    }
    area_.viewport()->update();
}

QString TrafficView::inspectionText(const Inspection& in) const
{
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(in.text.data());
    const int size = static_cast<int>(in.text.size());
    if (in.loneLeadAt < 0 || in.loneLeadAt >= size)
        return resources_.text().decode(bytes, size);
    const int at = in.loneLeadAt;
    return resources_.text().decode(bytes, at) + resources_.text().single(bytes[at]).toString() +
           resources_.text().decode(bytes + at + 1, size - at - 1);
}

QRect TrafficView::inspectionRect() const
{
    if (!inspection_)
        return {};
    const Inspection& in = *inspection_;
    const QString text = inspectionText(in);
    const QFontMetrics metrics(resources_.font());
    const QRect textRect(in.textX, in.textY, metrics.horizontalAdvance(text) + 1, metrics.height() + 1);
    return textRect.united(toQRect(LowSpeedDisplay::inspectionEraseRect(in.clickX, in.clickY)));
}

void TrafficView::mousePressed(QPoint pos)
{
    const QRect before = inspectionRect();
    inspection_ = lowSpeed_.inspectCharacter(pos.x(), pos.y(), scrollLine(), settings_.displayMode);
    if (!before.isEmpty())
        area_.viewport()->update(before);
    if (inspection_)
        area_.viewport()->update(inspectionRect());
}

void TrafficView::mouseReleased(QPoint pos)
{
    const QRect shown = inspectionRect();
    inspection_.reset();
    area_.viewport()->update(toQRect(LowSpeedDisplay::inspectionEraseRect(pos.x(), pos.y())));
    if (!shown.isEmpty())
        area_.viewport()->update(shown);
}

void TrafficView::clearScreenCellMap()
{
    fast_.clearScreenCellMap();
    area_.viewport()->update();
}

void TrafficView::flushFastRepaint()
{
    std::uint64_t lines = fast_.takeDirtyLines();
    const int width = area_.viewport()->width();
    for (int line = 0; lines != 0; ++line, lines >>= 1) {
        if (lines & 1u)
            area_.viewport()->update(QRect(0, line * kLineHeight, width, kLineHeight));
    }
}

} // namespace kestrane
