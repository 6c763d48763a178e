#include "traffic/traffic_buffer.h"

#include "records/settings_records.h"
#include "traffic/display_geometry.h"
#include "traffic/log_file.h"
#include "traffic/time_stamp.h"

#include <algorithm>
#include <cstring>

namespace kestrane {

namespace {

using Guard = DisplayInterlock::Guard;
constexpr int kPageTagPlane[2] = {2, 4};
// Received chunks trigger the overflow step this many bytes before the capacity is reached.
constexpr std::int32_t kReceiveReserve = 100;

} // namespace

TrafficBuffer::TrafficBuffer(const Clock& clock) : clock_(clock), freeSpace_(&kestrane::freeSpace) {}

// ---------------------------------------------------------------- configuration

void TrafficBuffer::configure(const TrafficConfig& config)
{
    Guard g(interlock_, Producer::Transmit);
    config_ = config;
    bufferSize_.store(config.bufferSize);
    autoLogging_.store(config.autoLogging != 0);
}

TrafficConfig TrafficBuffer::config() const
{
    Guard g(interlock_, Producer::Transmit);
    return config_;
}

void TrafficBuffer::setFastDisplay(bool fast)
{
    Guard g(interlock_, Producer::Transmit);
    config_.fastDisplay = fast;
}

void TrafficBuffer::setDisplayFeed(DisplayFeed* feed)
{
    Guard g(interlock_, Producer::Transmit);
    feed_ = feed != nullptr ? feed : &nullFeed_;
}

void TrafficBuffer::setJournal(timeline::Journal* journal)
{
    Guard g(interlock_, Producer::Transmit);
    journal_ = journal;
}

void TrafficBuffer::setJournalNotifier(std::function<void()> notify)
{
    Guard g(interlock_, Producer::Transmit);
    journalNotify_ = std::move(notify);
}

void TrafficBuffer::setCharsPerLine(std::int32_t chars) { charsPerLine_.store(std::max(chars, 1)); }

// ---------------------------------------------------------------- readers

std::int32_t TrafficBuffer::capacity() const
{
    // The settings keep bufferSize in 200..600; holding to that here keeps every index inside
    // the planes whatever value was pushed.
    return std::clamp(bufferSize_.load(), kMinBufferSize, kMaxBufferSize) * 60;
}

int TrafficBuffer::currentTagPlaneIndex() const
{
    if (!autoLogging_.load())
        return 0;
    return kPageTagPlane[pageCounter_.load() & 1];
}

TrafficBuffer::Plane TrafficBuffer::plane(int index) const
{
    const auto i = static_cast<std::size_t>(std::clamp(index, 0, kTrafficPlaneCount - 1));
    return Plane(planes_.data() + i * kTrafficPlaneSize, kTrafficPlaneSize);
}

std::uint8_t* TrafficBuffer::mutablePlane(int index)
{
    return planes_.data() + static_cast<std::size_t>(index) * kTrafficPlaneSize;
}

TrafficBuffer::Plane TrafficBuffer::currentTagPlane() const { return plane(currentTagPlaneIndex()); }

TrafficBuffer::Plane TrafficBuffer::currentDataPlane() const { return plane(currentTagPlaneIndex() + 1); }

std::uint8_t TrafficBuffer::tagAt(std::int32_t index) const
{
    if (index < 0 || index >= kTrafficPlaneSize)
        return 0;
    return currentTagPlane()[static_cast<std::size_t>(index)];
}

std::uint8_t TrafficBuffer::dataAt(std::int32_t index) const
{
    if (index < 0 || index >= kTrafficPlaneSize)
        return 0;
    return currentDataPlane()[static_cast<std::size_t>(index)];
}

std::optional<std::int32_t> TrafficBuffer::recordIndex(std::uint64_t record) const
{
    const std::uint64_t base = recordBase();
    const std::int32_t length = storedLength();
    if (record < base || record - base >= static_cast<std::uint64_t>(std::max(length, 0)))
        return std::nullopt;
    return static_cast<std::int32_t>(record - base);
}

// ---------------------------------------------------------------- shared state

namespace {

// Decrements `counter` by one unless it is no longer positive; the appenders reload these
// counters from other threads, so a reload between the test and the decrement wins.
std::optional<std::int32_t> decrementIfPositive(std::atomic<std::int32_t>& counter)
{
    std::int32_t value = counter.load();
    while (value > 0) {
        if (counter.compare_exchange_weak(value, value - 1))
            return value - 1;
    }
    return std::nullopt;
}

} // namespace

void TrafficBuffer::markDrawn(std::int32_t position, DrawCursor cursor)
{
    drawPosition_.store(position);
    moveDrawCursor(cursor);
}

void TrafficBuffer::moveDrawCursor(DrawCursor cursor)
{
    drawX_.store(cursor.x);
    drawY_.store(cursor.y);
}

void TrafficBuffer::startPagesAt(std::int32_t page)
{
    Guard g(interlock_, Producer::Transmit);
    pageCounter_.store(page);
    markPageStartLocked(page);
}

void TrafficBuffer::markPageStartLocked(std::int32_t page)
{
    const std::uint64_t sequence = journal_ != nullptr ? journal_->lastSequence() : 0;
    std::lock_guard lock(pageMarkMutex_);
    pageMarks_[static_cast<std::size_t>(page) % pageMarks_.size()] = {page, sequence};
}

std::optional<std::uint64_t> TrafficBuffer::journalAtPageStart(std::int32_t page) const
{
    std::lock_guard lock(pageMarkMutex_);
    const auto& mark = pageMarks_[static_cast<std::size_t>(page) % pageMarks_.size()];
    if (mark.first != page)
        return std::nullopt;
    return mark.second;
}

void TrafficBuffer::setPendingDrawTicks(std::int32_t ticks) { pendingDrawTicks_.store(ticks); }

bool TrafficBuffer::takePendingDrawTick() { return decrementIfPositive(pendingDrawTicks_).has_value(); }

std::optional<std::int32_t> TrafficBuffer::takeIdleTick() { return decrementIfPositive(idleTicks_); }

bool TrafficBuffer::takeIdleRedisplay() { return decrementIfPositive(idleRedisplaysLeft_).has_value(); }

void TrafficBuffer::reloadIdleTicks(std::int32_t ticks) { idleTicks_.store(ticks); }

void TrafficBuffer::restartIdleCountdown(std::int32_t ticks, std::int32_t redisplays)
{
    idleTicks_.store(ticks);
    idleRedisplaysLeft_.store(redisplays);
}

void TrafficBuffer::setReceptionMarker(std::int32_t marker) { receptionMarker_.store(marker); }

void TrafficBuffer::setUnsavedData(bool unsaved) { unsavedData_.store(unsaved); }

void TrafficBuffer::setUntitledLog(bool untitled) { untitledLog_.store(untitled); }

// ---------------------------------------------------------------- producers

void TrafficBuffer::appendReceived(int channel, const std::uint8_t* bytes, std::int32_t count)
{
    if ((channel != 1 && channel != 2) || count < 0 || (bytes == nullptr && count > 0))
        return;
    Guard g(interlock_, channel == 1 ? Producer::Ch1 : Producer::Ch2);
    appendReceivedLocked(channel, bytes, count, nullptr, 0, static_cast<std::uint32_t>(count));
}

void TrafficBuffer::appendReceivedChunks(int channel, const std::uint8_t* bytes, std::int32_t count,
                                         std::int32_t chunkSize, const ReadMarks* marks)
{
    if ((channel != 1 && channel != 2) || count <= 0 || bytes == nullptr || chunkSize <= 0)
        return;
    // One hold of the lock for the chunks of one wake-up: the other receive thread and the
    // repaint wait once, not once a chunk.
    Guard g(interlock_, channel == 1 ? Producer::Ch1 : Producer::Ch2);
    for (std::int32_t done = 0; done < count; done += chunkSize)
        appendReceivedLocked(channel, bytes + done, std::min(chunkSize, count - done), marks,
                             static_cast<std::uint32_t>(done), static_cast<std::uint32_t>(count));
}

void TrafficBuffer::appendReceivedLocked(int channel, const std::uint8_t* bytes, std::int32_t count,
                                         const ReadMarks* marks, std::uint32_t marksAt, std::uint32_t total)
{
    const int kind = channel == 1 ? 1 : (config_.ch2Mode == Ch2Mode::Independent ? 3 : 0);

    // Time-stamped mode: the stamp is stored in front of the chunk as ordinary data.
    TimeStampText stamp;
    if (config_.displayMode == DisplayMode::TimeStampedAsc)
        stamp = timeStampText(channel, clock_.localTime());

    std::int32_t done = 0;
    do {
        const std::int32_t piece = std::min(count - done, kMaxChunk);
        const std::uint64_t record = storeChunkLocked(stamp.chars.data(), done == 0 ? stamp.length : 0, bytes + done,
                                                      piece, kind, OverflowTest::Received);
        if (journal_ != nullptr && piece > 0) {
            // A line error after the last byte of the wake-up (a break that ended it) goes with its last chunk.
            const std::uint32_t from = marksAt + static_cast<std::uint32_t>(done);
            const bool last = from + static_cast<std::uint32_t>(piece) == total;
            journalLocked(channel, timeline::Direction::Received, bytes + done, static_cast<std::uint32_t>(piece), record,
                          marks ? std::span(marks->arrivals) : std::span<const ReadMarks::Arrival>{},
                          marks ? std::span(marks->errors) : std::span<const ReadMarks::Error>{}, from, last, true);
        }
        done += piece;
    } while (done < count);

    idleTicks_.store(config_.idleClockFactor);
    idleRedisplaysLeft_.store(config_.idleRedisplayCount);
}

void TrafficBuffer::appendSent(int channel, const std::uint8_t* bytes, std::int32_t count,
                               std::span<const ReadMarks::Arrival> pieces)
{
    if ((channel != 1 && channel != 2) || count < 0 || (bytes == nullptr && count > 0))
        return;
    Guard g(interlock_, Producer::Transmit);
    // The line monitors only listen, and the user may choose not to see sent text; the journal
    // keeps the message all the same: it crossed the line.
    if (isLineMonitor(config_.ch2Mode) || config_.showSentText == 0) {
        if (journal_ != nullptr && count > 0)
            journalLocked(channel, timeline::Direction::Sent, bytes, static_cast<std::uint32_t>(count),
                          recordBase_.load(std::memory_order_relaxed)
                              + static_cast<std::uint64_t>(clampStoredLength(storedLength_.load(std::memory_order_relaxed))),
                          pieces, {}, 0, false, false);
        return;
    }

    const int kind = channel == 1 ? 0 : 2;
    std::int32_t done = 0;
    do {
        const std::int32_t piece = std::min(count - done, kMaxChunk);
        const std::uint64_t record = storeChunkLocked(nullptr, 0, bytes + done, piece, kind, OverflowTest::Sent);
        if (journal_ != nullptr && piece > 0)
            journalLocked(channel, timeline::Direction::Sent, bytes + done, static_cast<std::uint32_t>(piece), record,
                          pieces, {}, static_cast<std::uint32_t>(done), false, true);
        done += piece;
    } while (done < count);

    receptionMarker_.store(storedLength_.load(std::memory_order_relaxed));
}

void TrafficBuffer::noteEvent(timeline::Entry entry)
{
    Guard g(interlock_, Producer::Transmit);
    if (journal_ == nullptr)
        return;
    entry.record = recordBase_.load(std::memory_order_relaxed)
                   + static_cast<std::uint64_t>(clampStoredLength(storedLength_.load(std::memory_order_relaxed)));
    journal_->append(entry);
    if (journalNotify_)
        journalNotify_();
}

void TrafficBuffer::journalLocked(int channel, timeline::Direction direction, const std::uint8_t* bytes,
                                  std::uint32_t count, std::uint64_t record,
                                  std::span<const ReadMarks::Arrival> arrivals,
                                  std::span<const ReadMarks::Error> errors, std::uint32_t from, bool last,
                                  bool inRecord)
{
    const std::uint32_t end = from + count;
    // The arrival that holds byte `from`: the last one at or before it (the first one if none is).
    auto arrival = std::upper_bound(arrivals.begin(), arrivals.end(), from,
                                    [](std::uint32_t at, const ReadMarks::Arrival& a) { return at < a.offset; });
    if (arrival != arrivals.begin())
        --arrival;
    auto error = std::lower_bound(errors.begin(), errors.end(), from,
                                  [](const ReadMarks::Error& e, std::uint32_t at) { return e.offset < at; });
    const timeline::Stamp unmarked = arrivals.empty() ? timeline::now() : timeline::Stamp{};
    bool events = false;
    for (std::uint32_t at = from; at < end;) {
        while (arrival != arrivals.end() && std::next(arrival) != arrivals.end() && std::next(arrival)->offset <= at)
            ++arrival;
        const timeline::Stamp time = arrival != arrivals.end() ? arrival->time : unmarked;
        const auto next = arrival != arrivals.end() ? std::next(arrival) : arrival;
        const std::uint32_t segmentEnd = next != arrivals.end() ? std::min(next->offset, end) : end;
        journal_->appendData(channel, direction, time, inRecord ? record + (at - from) : record,
                             std::span<const std::uint8_t>(bytes + (at - from), segmentEnd - at));
        // The segment's line errors at their byte (a break: before it); one after the last byte
        // of the wake-up belongs to its last segment.
        for (; error != errors.end() && (error->offset < segmentEnd || (last && segmentEnd == end && error->offset == end));
             ++error) {
            timeline::Entry e;
            e.kind = timeline::Kind::LineError;
            e.channel = static_cast<std::uint8_t>(channel);
            e.direction = direction;
            e.time = time;
            e.record = inRecord ? record + (error->offset - from) : record;
            e.detail = static_cast<std::uint8_t>(error->kind);
            e.value = error->lost;
            journal_->append(e);
            events = true;
        }
        at = segmentEnd;
    }
    if (events && journalNotify_)
        journalNotify_();
}

void TrafficBuffer::dropFromRecordLocked(std::int32_t oldLength, std::int32_t newLength)
{
    if (oldLength > newLength)
        recordBase_.fetch_add(static_cast<std::uint64_t>(oldLength - newLength), std::memory_order_release);
}

std::uint64_t TrafficBuffer::storeChunkLocked(const char* prefix, std::int32_t prefixLength, const std::uint8_t* bytes,
                                              std::int32_t count, int kind, OverflowTest test)
{
    const std::int32_t total = prefixLength + count;
    const std::int32_t cap = capacity();

    // Make room first. storedLength can lie above the capacity (a smaller buffer size, a loaded
    // log), so the step repeats until the chunk fits; each pass drops at least half a capacity
    // or empties the pair, and a chunk is far smaller than that, so this ends.
    auto needsRoom = [&](std::int32_t length) {
        return test == OverflowTest::Received ? length + total >= cap - kReceiveReserve : cap - 1 < length + total;
    };
    std::int32_t start = clampStoredLength(storedLength_.load(std::memory_order_relaxed));
    while (start > 0 && needsRoom(start)) {
        overflowStepLocked(test);
        start = clampStoredLength(storedLength_.load(std::memory_order_relaxed));
    }

    const int tagIndex = currentTagPlaneIndex();
    std::uint8_t* tags = mutablePlane(tagIndex);
    std::uint8_t* data = mutablePlane(tagIndex + 1);
    const auto at = static_cast<std::size_t>(start);
    std::memset(tags + at, '0' + kind, static_cast<std::size_t>(total));
    if (prefixLength > 0)
        std::memcpy(data + at, prefix, static_cast<std::size_t>(prefixLength));
    if (count > 0)
        std::memcpy(data + at + static_cast<std::size_t>(prefixLength), bytes, static_cast<std::size_t>(count));
    storedLength_.store(start + total, std::memory_order_release);

    if (total > 0)
        unsavedData_.store(true);  // in both speeds, so fast-display traffic is offered for saving too

    if (config_.displayMode == DisplayMode::Asc) {
        if (config_.fastDisplay)
            feed_->feedFast(data + at, total, kind);
        else
            feed_->feedLowSpeed(data + at, total, kind);
    }
    if (!config_.fastDisplay)
        pendingDrawTicks_.store(config_.trafficDisplayCount);
    return recordBase_.load(std::memory_order_relaxed) + static_cast<std::uint64_t>(start + prefixLength);
}

void TrafficBuffer::overflowStepLocked(OverflowTest test)
{
    if (!config_.autoLogging) {
        dropOldestHalfLocked(test);
        return;
    }
    // Hand the full page to the log and continue on the other page. The other page is not
    // cleared: beyond storedLength it keeps what it held two pages ago.
    const std::int32_t page = pageCounter_.load();
    const std::int32_t length = storedLength_.load(std::memory_order_relaxed);
    flushPageLocked(page, length);
    pageCounter_.store(page + 1);
    markPageStartLocked(page + 1);
    dropFromRecordLocked(clampStoredLength(length), 0);
    storedLength_.store(0, std::memory_order_release);
    markDrawn(0, DrawCursor{});
}

void TrafficBuffer::dropOldestHalfLocked(OverflowTest test)
{
    const std::int32_t half = capacity() / 2;
    const std::int32_t length = clampStoredLength(storedLength_.load(std::memory_order_relaxed));
    // A received chunk moves the whole second half; a sent message moves only the stored bytes
    // after the first half. Either way every stored byte after the first half moves along.
    std::int32_t moved = test == OverflowTest::Received ? std::max(half, length - half) : std::max(0, length - half);
    moved = std::min(moved, kTrafficPlaneSize - half);

    const int tagIndex = currentTagPlaneIndex();
    for (int p : {tagIndex, tagIndex + 1}) {
        std::uint8_t* plane = mutablePlane(p);
        std::memmove(plane, plane + half, static_cast<std::size_t>(moved));
    }
    dropFromRecordLocked(length, std::max(0, length - half));
    storedLength_.store(std::max(0, length - half), std::memory_order_release);

    const std::int32_t position = std::clamp(drawPosition_.load() - half, 0, kTrafficPlaneSize);
    drawPosition_.store(position);
    drawY_.store(position / charsPerLine_.load() * kLineHeight);
}

// ---------------------------------------------------------------- GUI commands

void TrafficBuffer::clearTraffic()
{
    Guard g(interlock_, Producer::Transmit);
    planes_.fill(' ');
    storedLength_.store(0, std::memory_order_release);
    recordBase_.store(0, std::memory_order_release);
    if (journal_ != nullptr)
        journal_->clear();
    markDrawn(0, DrawCursor{});
    pageCounter_.store(0);
    markPageStartLocked(0);
}

FileWriteResult TrafficBuffer::saveToLog(const std::filesystem::path& path)
{
    Guard g(interlock_, Producer::Transmit);
    const int tagIndex = currentTagPlaneIndex();
    const FileWriteResult written =
        writeLogFile(path, storedLength_.load(std::memory_order_relaxed), plane(tagIndex), plane(tagIndex + 1));
    if (!written)
        return written;
    untitledLog_.store(false);
    unsavedData_.store(false);
    return written;
}

bool TrafficBuffer::loadFromLog(const std::filesystem::path& path)
{
    Guard g(interlock_, Producer::Transmit);
    const int tagIndex = currentTagPlaneIndex();
    const auto length = readLogFile(path, MutablePlaneView(mutablePlane(tagIndex), kTrafficPlaneSize),
                                    MutablePlaneView(mutablePlane(tagIndex + 1), kTrafficPlaneSize));
    if (!length)
        return false;
    storedLength_.store(*length, std::memory_order_release);
    // A record read from a file has no timeline: the journal starts again with it.
    recordBase_.store(0, std::memory_order_release);
    if (journal_ != nullptr)
        journal_->clear();
    // The loaded bytes count as drawn: the repaint shows them all, and search, enumeration
    // and inspection (bounded by drawPosition) reach exactly them, never older bytes beyond.
    markDrawn(*length, cursorAfter(*length, charsPerLine_.load()));
    untitledLog_.store(false);
    unsavedData_.store(false);
    return true;
}

void TrafficBuffer::flushPageToLog(std::int32_t page, std::int32_t length)
{
    Guard g(interlock_, Producer::Transmit);
    flushPageLocked(page, length);
}

bool TrafficBuffer::writeCurrentPage()
{
    Guard g(interlock_, Producer::Transmit);
    return flushPageLocked(pageCounter_.load(), clampStoredLength(storedLength_.load(std::memory_order_relaxed)));
}

bool TrafficBuffer::flushPageLocked(std::int32_t page, std::int32_t length)
{
    if (!config_.autoLogging || config_.logDirectory.empty())
        return false;
    const int tagIndex = kPageTagPlane[page & 1];
    const std::filesystem::path file = autoLogPath(config_.logDirectory, config_.autoLogPrefix, page);
    // A log folder that is missing (a new start folder, a removed one) is made; whatever still
    // fails is counted and told once, and the traffic carries on.
    std::error_code ec;
    std::filesystem::create_directories(config_.logDirectory, ec);
    AutoLogStatus result;
    result.file = file;
    result.page = page;
    // Room first: a flood of traffic must not fill the disk.
    if (const auto room = freeSpace_ ? freeSpace_(config_.logDirectory) : std::nullopt) {
        const std::uint64_t needed =
            kAutoLogFreeSpaceFloor + kLogFileSize + (holdingBack_ ? kAutoLogResumeMargin : 0);
        holdingBack_ = *room < needed;
        if (holdingBack_) {
            result.failing = result.lowSpace = true;
            result.freeBytes = *room;
            noteAutoLogResult(result);
            return false;
        }
    }
    const FileWriteResult written = writeLogFile(file, length, plane(tagIndex), plane(tagIndex + 1));
    if (!written)
        autoLogFailures_.fetch_add(1);
    result.failing = !written;
    result.systemError = written.systemError;
    noteAutoLogResult(result);
    if (!written)
        return false;
    untitledLog_.store(false);
    unsavedData_.store(false);
    return true;
}

void TrafficBuffer::noteAutoLogResult(const AutoLogStatus& result)
{
    std::function<void()> notify;
    {
        std::lock_guard lock(autoLogMutex_);
        if (result.failing == autoLog_.failing && result.lowSpace == autoLog_.lowSpace)
            return;  // still failing the same way (or still fine): nothing new to tell
        const std::uint32_t version = autoLog_.version + 1;
        autoLog_ = result;
        autoLog_.version = version;
        notify = autoLogNotify_;
    }
    if (notify)
        notify();
}

TrafficBuffer::AutoLogStatus TrafficBuffer::autoLogStatus() const
{
    std::lock_guard lock(autoLogMutex_);
    return autoLog_;
}

void TrafficBuffer::setAutoLogNotifier(std::function<void()> notify)
{
    std::lock_guard lock(autoLogMutex_);
    autoLogNotify_ = std::move(notify);
}

void TrafficBuffer::setFreeSpaceQuery(FreeSpaceQuery query)
{
    Guard g(interlock_, Producer::Transmit);
    freeSpace_ = std::move(query);
}

} // namespace kestrane
