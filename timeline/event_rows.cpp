#include "timeline/event_rows.h"

#include <algorithm>

namespace kestrane::timeline {

namespace {

// How far back a line error that came after its frame had closed looks for that frame, and how
// many errors may wait for bytes not yet in the journal.
constexpr std::size_t kLookBackRows = 32;
constexpr std::size_t kMaxPendingErrors = 256;

bool holds(const EventRow& frame, int channel, std::uint64_t record)
{
    return frame.kind == RowKind::Frame && frame.channel == channel && frame.direction == Direction::Received &&
           record >= frame.record && record < frame.record + frame.count;
}

void mark(EventRow& frame, std::uint64_t record, LineError kind)
{
    ++frame.errors;
    if (frame.marks.size() < kRowBytes)
        frame.marks.push_back({static_cast<std::uint32_t>(record - frame.record), kind});
}

} // namespace

bool EventFilter::accepts(const EventRow& row) const
{
    if (channel != 0 && row.channel != 0 && row.channel != channel)
        return false;
    switch (row.kind) {
    case RowKind::Frame: return frames;
    case RowKind::Error:
    case RowKind::Lost: return errors;
    case RowKind::Modem: return modem;
    case RowKind::Action: return actions;
    }
    return true;
}

EventReader::EventReader(std::size_t maxRows) : maxRows_(std::max<std::size_t>(maxRows, 1)) {}

const EventRow* EventReader::row(std::uint64_t serial) const
{
    const std::uint64_t first = firstSerial();
    if (serial == 0 || serial < first || serial - first >= rows_.size())
        return nullptr;
    return &rows_[static_cast<std::size_t>(serial - first)];
}

EventRow* EventReader::mutableRow(std::uint64_t serial) { return const_cast<EventRow*>(row(serial)); }

void EventReader::changed(std::uint64_t serial, Step& step) const
{
    if (serial == 0 || serial >= stepFirst_)
        return;  // made in this step: its caller learns of it as a new row
    auto at = std::lower_bound(step.changed.begin(), step.changed.end(), serial);
    if (at == step.changed.end() || *at != serial)
        step.changed.insert(at, serial);
}

EventReader::Step EventReader::read(const Journal& journal, std::int64_t nowMonoUs, std::size_t most)
{
    Step step;
    stepFirst_ = nextSerial_;
    batch_.clear();
    const std::uint64_t clears = journal.clears();
    if (clears != clears_) {
        clears_ = clears;
        if (started_) {
            step.cleared = true;
            droppedRows_ = 0;
            missed_ = 0;
            rows_.clear();
            pending_.clear();
            recordEnd_ = {};
            openSerial_ = 0;
            builder_.reset();
            started_ = false;
        }
    }
    // Entries gone before the first read (or forgotten by a clear) were never this reader's.
    const bool first = !started_;
    started_ = true;
    const std::uint64_t gone = journal.copySince(last_, batch_, std::max<std::size_t>(most, 1));
    if (gone > 0 && !first) {
        // The journal overran this reader: what was open does not go on.
        missed_ += gone;
        closed_.clear();
        builder_.flush(0, closed_, true);
        closeFrames(step);
        EventRow lost;
        lost.kind = RowKind::Lost;
        lost.channel = 0;
        lost.missed = true;
        lost.value = static_cast<std::uint32_t>(std::min<std::uint64_t>(gone, UINT32_MAX));
        lost.time = lost.end = batch_.empty() ? now() : batch_.front().time;
        pushRow(std::move(lost), step);
    }
    last_ += gone;
    for (const Entry& e : batch_) {
        addEntry(journal, e, step);
        last_ = e.sequence;
    }
    step.entries = batch_.size();
    step.more = batch_.size() >= most;
    if (!step.more && openSerial_ != 0) {
        closed_.clear();
        builder_.flush(nowMonoUs - kFlushMarginUs, closed_);
        closeFrames(step);
    }
    // The bound: the oldest rows go.
    while (rows_.size() > maxRows_) {
        if (rows_.front().serial == openSerial_)
            openSerial_ = 0;  // the frame goes on, without a row to show it
        rows_.pop_front();
        ++droppedRows_;
        ++step.dropped;
    }
    if (!step.changed.empty()) {
        const std::uint64_t kept = firstSerial();
        step.changed.erase(step.changed.begin(),
                           std::lower_bound(step.changed.begin(), step.changed.end(), kept));
    }
    return step;
}

// The frames the builder closed end their rows (at most one is open at a time).
void EventReader::closeFrames(Step& step)
{
    for (const Frame& f : closed_) {
        if (EventRow* r = mutableRow(openSerial_)) {
            r->open = false;
            r->end = f.end;
            r->count = f.bytes;
            changed(openSerial_, step);
        }
        openSerial_ = 0;
    }
    closed_.clear();
}

void EventReader::addEntry(const Journal& journal, const Entry& e, Step& step)
{
    closed_.clear();
    events_.clear();
    builder_.add(e, closed_, events_);
    if (e.kind == Kind::Data) {
        closeFrames(step);
        const Frame* f = builder_.open();
        if (f == nullptr)
            return;  // a chunk without bytes
        if (f->firstSequence == e.sequence) {
            EventRow row;
            row.kind = RowKind::Frame;
            row.open = true;
            row.channel = static_cast<std::uint8_t>(f->channel);
            row.direction = f->direction;
            row.time = f->start;
            row.record = f->record;
            row.quietUs = f->quietBeforeUs;
            row.answerUs = f->answerUs;
            openSerial_ = pushRow(std::move(row), step);
        }
        if (e.direction == Direction::Received) {
            const std::size_t ch = e.channel == 2 ? 1 : 0;
            recordEnd_[ch] = std::max(recordEnd_[ch], e.record + e.count);
        }
        EventRow* r = mutableRow(openSerial_);
        if (r == nullptr)
            return;
        r->end = f->end;
        r->count = f->bytes;
        takeBytes(journal, e, *r);
        // Errors that came before the bytes they belong to.
        for (auto it = pending_.begin(); it != pending_.end();) {
            if (holds(*r, it->channel, it->record)) {
                mark(*r, it->record, static_cast<LineError>(it->detail));
                it = pending_.erase(it);
            } else {
                ++it;
            }
        }
        changed(openSerial_, step);
        return;
    }

    EventRow row;
    row.channel = e.channel;
    row.direction = e.direction;
    row.time = row.end = e.time;
    row.record = e.record;
    row.count = e.count;
    row.value = e.value;
    row.detail = e.detail;
    switch (e.kind) {
    case Kind::LineError:
        row.kind = RowKind::Error;
        placeError(e, step);
        break;
    case Kind::ModemChange: row.kind = RowKind::Modem; break;
    case Kind::Action: row.kind = RowKind::Action; break;
    case Kind::Lost: row.kind = RowKind::Lost; break;
    case Kind::Data: break;
    }
    pushRow(std::move(row), step);
}

// A line error marks the frame that holds its byte: the open one, one that ended a moment ago,
// or the next one when its byte is not in the journal yet.
void EventReader::placeError(const Entry& e, Step& step)
{
    const auto kind = static_cast<LineError>(e.detail);
    const std::size_t back = std::min(rows_.size(), kLookBackRows);
    for (std::size_t i = 0; i < back; ++i) {
        EventRow& r = rows_[rows_.size() - 1 - i];
        if (holds(r, e.channel, e.record)) {
            mark(r, e.record, kind);
            changed(r.serial, step);
            return;
        }
    }
    if (e.record >= recordEnd_[e.channel == 2 ? 1 : 0]) {
        if (pending_.size() >= kMaxPendingErrors)
            pending_.erase(pending_.begin());
        pending_.push_back(e);
    }
}

void EventReader::takeBytes(const Journal& journal, const Entry& e, EventRow& row)
{
    if (row.bytes.size() >= kRowBytes)
        return;
    if (!journal.bytes(e, scratch_)) {
        row.bytesGone = true;
        return;
    }
    const std::size_t n = std::min(scratch_.size(), kRowBytes - row.bytes.size());
    row.bytes.insert(row.bytes.end(), scratch_.begin(), scratch_.begin() + static_cast<std::ptrdiff_t>(n));
}

std::uint64_t EventReader::pushRow(EventRow row, Step& step)
{
    row.serial = nextSerial_++;
    rows_.push_back(std::move(row));
    ++step.added;
    return rows_.back().serial;
}

} // namespace kestrane::timeline
