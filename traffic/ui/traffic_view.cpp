#include "traffic/ui/traffic_view.h"

#include "records/settings_records.h"
#include "traffic/display_zoom.h"
#include "traffic/traffic_buffer.h"
#include "traffic/ui/op_painter.h"
#include "traffic/ui/repaint_relay.h"

#include <QAbstractScrollArea>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>

#include <algorithm>
#include <cmath>

namespace kestrane {

namespace {

using display::kLineHeight;

} // namespace

TrafficView::TrafficView(QAbstractScrollArea& area, TrafficBuffer& buffer, const SettingsRecord& settings)
    : area_(area),
      buffer_(buffer),
      settings_(settings),
      lowSpeed_(buffer),
      fast_(buffer.interlock(), resources_.measurer())
{
    QWidget* viewport = area_.viewport();
    fast_.setClientSize(displayWidth(), displayHeight());
    lowSpeed_.updateGeometry(displayWidth());
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

void TrafficView::setZoom(int percent)
{
    zoomPercent_ = validZoom(percent);
    scale_ = zoomPercent_ / 100.0;
    resized();
}

int TrafficView::displayWidth() const { return static_cast<int>(area_.viewport()->width() / scale_); }
int TrafficView::displayHeight() const { return static_cast<int>(area_.viewport()->height() / scale_); }

QRect TrafficView::toClient(const PixelRect& r) const
{
    const int left = static_cast<int>(std::floor(r.x * scale_));
    const int top = static_cast<int>(std::floor(r.y * scale_));
    const int right = static_cast<int>(std::ceil(r.right() * scale_));
    const int bottom = static_cast<int>(std::ceil(r.bottom() * scale_));
    return QRect(left, top, right - left, bottom - top);
}

PixelRect TrafficView::toDisplay(const QRect& r) const
{
    const int left = static_cast<int>(std::floor(r.x() / scale_));
    const int top = static_cast<int>(std::floor(r.y() / scale_));
    const int right = static_cast<int>(std::ceil((r.x() + r.width()) / scale_));
    const int bottom = static_cast<int>(std::ceil((r.y() + r.height()) / scale_));
    return {left, top, right - left, bottom - top};
}

QPoint TrafficView::toDisplay(QPoint p) const
{
    return QPoint(static_cast<int>(std::floor(p.x() / scale_)), static_cast<int>(std::floor(p.y() / scale_)));
}

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
    const int width = displayWidth();
    const int offset = fast ? 0 : scrollLine() * kLineHeight;
    const PixelRect area = toDisplay(exposed);
    lowSpeed_.updateGeometry(width);
    const int lines = lowSpeed_.lineCount(settings_.bufferSize);
    const int first = std::max(0, (area.y + offset) / kLineHeight);
    const int last = std::min(lines - 1, (area.bottom() - 1 + offset) / kLineHeight);
    // Pictures as sharp as the device allows: the magnification times the device's own ratio.
    resources_.setDeviceScale(scale_ * painter.device()->devicePixelRatioF());

    painter.save();
    painter.scale(scale_, scale_);
    painter.setFont(resources_.font());
    painter.translate(0, -offset);

    // Row labels and separators (to the window's right edge).
    const QPixmap& upper = resources_.label(upperRowLabel(settings_.ch2Mode));
    const QPixmap& lower = resources_.label(lowerRowLabel(settings_.ch2Mode));
    painter.setPen(inkColor(Ink::Black));
    const int ascent = resources_.ascent();
    const qreal right = area_.viewport()->width() / scale_;
    for (int line = first; line <= last; ++line) {
        const int top = line * kLineHeight;
        painter.drawPixmap(0, top + display::kUpperTextY, upper);
        painter.drawPixmap(0, top + display::kLowerY, lower);
        // One unit high: one pixel at 100 %, two at 200 %.
        painter.fillRect(QRectF(0, top + display::kSeparatorY, right, 1), inkColor(Ink::Black));
    }

    OpPainter ops(painter, resources_);
    if (fast)
        fast_.fastRepaint(first, (area.bottom() - 1) / kLineHeight, ops);
    else if (lowSpeed_.startupClearPending == 0)
        lowSpeed_.layoutStoredLines(settings_.displayMode, first, last, ops);
    painter.restore();

    if (inspection_) {
        const Inspection& in = *inspection_;
        painter.save();
        painter.scale(scale_, scale_);
        painter.setFont(resources_.font());
        painter.setPen(inkColor(Ink::Black));
        painter.setBackgroundMode(Qt::OpaqueMode);
        painter.setBackground(QColor(255, 255, 255));
        painter.drawText(in.textX, in.textY + ascent, inspectionText(in));
        if (in.glyph != 0)
            painter.drawPixmap(in.glyphX, in.glyphY, resources_.scaledBitmap(in.glyph));
        painter.restore();
    }
}

TickResult TrafficView::timerTick(bool fast)
{
    TickResult result = lowSpeed_.tick(settings_, fast, displayWidth());
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
    area_.viewport()->update(toClient(PixelRect{r.x, r.y - scrollLine() * kLineHeight, r.width, r.height}));
}

void TrafficView::updateScrollRange()
{
    QScrollBar* bar = area_.verticalScrollBar();
    const int visible = std::max(1, displayHeight() / kLineHeight);
    const int maximum = std::max(0, lowSpeed_.lineCount(settings_.bufferSize) - visible);
    if (bar->maximum() != maximum || bar->minimum() != 0)
        bar->setRange(0, maximum);
    bar->setPageStep(visible);
    bar->setSingleStep(1);
}

void TrafficView::resized()
{
    QWidget* viewport = area_.viewport();
    lowSpeed_.updateGeometry(displayWidth());
    fast_.setClientSize(displayWidth(), displayHeight());
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
    // Whole display lines are whole window pixels at every magnification (34 x 1.5 = 51).
    area_.viewport()->scroll(0, static_cast<int>(std::lround(lines * kLineHeight * scale_)));
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
    const PixelRect textRect{in.textX, in.textY, metrics.horizontalAdvance(text) + 1, metrics.height() + 1};
    return toClient(textRect.united(LowSpeedDisplay::inspectionEraseRect(in.clickX, in.clickY)));
}

void TrafficView::mousePressed(QPoint pos)
{
    const QRect before = inspectionRect();
    const QPoint at = toDisplay(pos);
    inspection_ = lowSpeed_.inspectCharacter(at.x(), at.y(), scrollLine(), settings_.displayMode);
    notes_.clear();
    if (inspection_ && inspectionNotes_)
        notes_ = inspectionNotes_(*inspection_);
    // In a tip window of its own below the click: the display's cells stay as they are drawn.
    if (notes_.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(area_.viewport()->mapToGlobal(pos + QPoint(0, 12)), notes_.join(QLatin1Char('\n')),
                           area_.viewport(), {}, kNotesShownMs);
    if (!before.isEmpty())
        area_.viewport()->update(before);
    if (inspection_)
        area_.viewport()->update(inspectionRect());
}

void TrafficView::mouseReleased(QPoint pos)
{
    const QRect shown = inspectionRect();
    inspection_.reset();
    if (!notes_.isEmpty())
        QToolTip::hideText();
    notes_.clear();
    const QPoint at = toDisplay(pos);
    area_.viewport()->update(toClient(LowSpeedDisplay::inspectionEraseRect(at.x(), at.y())));
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
        if (lines & 1u) {
            const QRect band = toClient(PixelRect{0, line * kLineHeight, 1, kLineHeight});
            area_.viewport()->update(QRect(0, band.y(), width, band.height()));
        }
    }
}

} // namespace kestrane
