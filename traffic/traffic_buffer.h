// The traffic buffer: the program's record of the line. Every byte received on CH1/CH2 and
// every recorded sent message is kept with a tag byte that tells its channel and direction.
//
// Six planes of 36000 bytes in one array: 0/1 tags/data with automatic logging off, 2/3 page 0
// and 4/5 page 1 with automatic logging on (the page by the parity of pageCounter). Only the
// first capacity() bytes of a plane are used.
//
// Threads: the receive threads and the sending path append; the GUI thread clears, loads,
// saves, configures and reads. Appends, clear, load, save and configure run under the display
// interlock, so they never interleave. Readers may read the current pair below storedLength
// (loaded with acquire) without the lock; a reader that must not see the planes move under it
// (an overflow step, a clear or a load rewrites them) takes the interlock's repaint role.
#pragma once

#include "platform/atomic_file.h"
#include "platform/clock.h"
#include "platform/serial_port.h"
#include "timeline/journal.h"
#include "traffic/display_feed.h"
#include "traffic/display_geometry.h"
#include "traffic/display_interlock.h"
#include "traffic/traffic_config.h"
#include "traffic/traffic_planes.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <span>

namespace kestrane {

class TrafficBuffer {
public:
    using Producer = DisplayInterlock::Producer;
    using Plane = std::span<const std::uint8_t, kTrafficPlaneSize>;

    // Largest piece stored as one chunk (a whole send buffer). Longer input is stored as
    // successive chunks of this size, each with its own overflow test, so no byte is lost and
    // no single store can outgrow half the smallest capacity.
    static constexpr std::int32_t kMaxChunk = 520;
    static constexpr std::int32_t kFirstCellX = 40;   // x of the first character cell
    static constexpr std::int32_t kLineHeight = 34;   // pixels per display line
    static constexpr std::int32_t kMinBufferSize = 200;
    static constexpr std::int32_t kMaxBufferSize = 600;

    // `clock` supplies the calendar time of the time stamps; it must outlive the buffer.
    explicit TrafficBuffer(const Clock& clock);
    TrafficBuffer(const TrafficBuffer&) = delete;
    TrafficBuffer& operator=(const TrafficBuffer&) = delete;

    // --- configuration (GUI thread) ---
    void configure(const TrafficConfig& config);
    [[nodiscard]] TrafficConfig config() const;
    void setFastDisplay(bool fast);
    // The feed that receives every stored chunk; nullptr restores the feed that ignores it.
    void setDisplayFeed(DisplayFeed* feed);
    // The line's journal, written under the buffer's lock so that its order is the record's:
    // every stored chunk (one Data entry per arrival segment, its `record` at its first byte after
    // any time-stamp text), its line errors at their byte, and the events noted here. Null: none.
    // Cleared with the traffic (clear, load). Set before the producers start.
    void setJournal(timeline::Journal* journal);
    // Called on the appending thread after an entry that is not data went into the journal
    // (quick; it must not call back into the buffer).
    void setJournalNotifier(std::function<void()> notify);
    // Characters per display line, set by the display; values below 1 count as 1.
    void setCharsPerLine(std::int32_t chars);
    [[nodiscard]] std::int32_t charsPerLine() const { return charsPerLine_.load(); }

    // --- producers ---
    // A chunk read by a receive thread (channel 1 or 2). In time-stamped mode the time-stamp
    // text goes in front of it. Other channel numbers, a negative count or no bytes store nothing.
    void appendReceived(int channel, const std::uint8_t* bytes, std::int32_t count);
    // Chunks read one after the other on `channel`: `count` bytes, each `chunkSize` of them (the
    // last may be shorter) a chunk of its own, stored exactly as appendReceived would store each
    // (its own time stamp, its own feed), under one hold of the lock.
    // `marks` (offsets from `bytes`): when the bytes were taken from the driver and the line
    // errors among them, for the journal; without arrivals the chunks are stamped now.
    void appendReceivedChunks(int channel, const std::uint8_t* bytes, std::int32_t count, std::int32_t chunkSize,
                              const ReadMarks* marks = nullptr);
    // A message written completely to channel 1 or 2. Stores nothing in the line-monitor modes
    // or with showSentText 0; otherwise sets receptionMarker to the new storedLength.
    // `pieces` (offsets from `bytes`): when each piece was handed to the device, for the journal,
    // which keeps the message even where the record leaves it out (its `record` is then the
    // record's length); without pieces it is stamped now.
    void appendSent(int channel, const std::uint8_t* bytes, std::int32_t count,
                    std::span<const ReadMarks::Arrival> pieces = {});
    // An entry that is not data (an action, a modem change, a line error the port could not
    // place at a byte) into the journal, its `record` the record's length now.
    void noteEvent(timeline::Entry entry);

    // --- GUI commands ---
    // All six planes to spaces; storedLength, drawPosition, drawY, pageCounter 0, drawX 40.
    void clearTraffic();
    // Writes storedLength and the current pair; clears untitledLog and unsavedData on success.
    [[nodiscard]] FileWriteResult saveToLog(const std::filesystem::path& path);
    // Reads a log into the current pair (see readLogFile for short and hostile files); clears
    // untitledLog and unsavedData on success. The loaded bytes count as drawn: drawPosition is
    // the loaded length and the drawing cursor follows the last of them.
    [[nodiscard]] bool loadFromLog(const std::filesystem::path& path);
    // Writes page 0 (even counter) or page 1 (odd) with `length` to <logDir>/<prefix><n>.log.
    // Only with automatic logging on; a missing log folder is created. A page that cannot be
    // written is lost, but not silently: see autoLogStatus. The next page tries again. While the
    // log folder's file system has less than kAutoLogFreeSpaceFloor free, pages are held back
    // (not written) until there is room again; the record in memory goes on either way.
    // The overflow step calls it with the lock held; this public form takes the lock.
    void flushPageToLog(std::int32_t pageCounter, std::int32_t length);
    // Writes the page in progress, with the stored length, to its numbered file now, as the
    // overflow step will once the page is full: whoever stops recording, or keeps its work safe
    // against a crash, leaves a log the loader opens. Counter and length are read under the
    // lock, so a page that just overflowed is never written again with a shorter length.
    // False when automatic logging is off or the file was not written (or held back).
    bool writeCurrentPage();

    // Whether automatic logging is failing: the first page that was not written (its file and
    // the system's reason, or the lack of room) since the last page that was. `version` changes
    // when logging starts or stops failing or being held back, not with every page.
    struct AutoLogStatus {
        bool failing = false;         // the last page was not written
        bool lowSpace = false;        // ... held back: less than the floor was free (freeBytes)
        int systemError = 0;          // ... or the write failed for this reason
        std::uint64_t freeBytes = 0;
        std::filesystem::path file;   // failing: the first page not written; else the first written again
        std::int32_t page = -1;       // the page number of `file`
        std::uint32_t version = 0;
    };
    [[nodiscard]] AutoLogStatus autoLogStatus() const;
    // Called (on the appending thread) when the status changes; quick, and it must not call
    // back into the buffer.
    void setAutoLogNotifier(std::function<void()> notify);
    // How the free space of the log folder is asked before each page (statvfs unless replaced);
    // nothing for "cannot tell", which writes the page.
    using FreeSpaceQuery = std::function<std::optional<std::uint64_t>(const std::filesystem::path& folder)>;
    void setFreeSpaceQuery(FreeSpaceQuery query);

    // --- readers ---
    [[nodiscard]] std::int32_t capacity() const;
    [[nodiscard]] Plane plane(int index) const;
    [[nodiscard]] Plane currentTagPlane() const;
    [[nodiscard]] Plane currentDataPlane() const;
    // Tag and data byte at `index` of the current pair; 0 outside the plane.
    [[nodiscard]] std::uint8_t tagAt(std::int32_t index) const;
    [[nodiscard]] std::uint8_t dataAt(std::int32_t index) const;
    [[nodiscard]] DisplayInterlock& interlock() { return interlock_; }

    // --- shared state: read by any thread without waiting (atomic loads); written only here ---
    // Bytes stored in the current pair: written by the appenders under the interlock (release),
    // read with acquire.
    [[nodiscard]] std::int32_t storedLength() const { return storedLength_.load(std::memory_order_acquire); }
    // The low-speed drawing: the bytes below drawPosition are drawn, the cursor stands after
    // them. The display's timer advances them, the overflow step, a clear and a load move them.
    [[nodiscard]] std::int32_t drawPosition() const { return drawPosition_.load(); }
    [[nodiscard]] std::int32_t drawX() const { return drawX_.load(); }
    [[nodiscard]] std::int32_t drawY() const { return drawY_.load(); }
    // The bytes below `position` are drawn, and the cursor stands at `cursor`.
    void markDrawn(std::int32_t position, DrawCursor cursor);
    // The cursor moved (a repaint laid the lines out anew); what is drawn stays.
    void moveDrawCursor(DrawCursor cursor);

    // Where index 0 of the current pair lies in the record counted since the last clear: the
    // bytes the overflow step dropped and the pages handed to automatic logging (the journal's
    // `record` positions count them).
    [[nodiscard]] std::uint64_t recordBase() const { return recordBase_.load(std::memory_order_acquire); }
    // The index in the current pair of a journal's record position; nothing when that byte is no
    // longer (or not yet) stored. A reader that must not see the pair move takes the repaint role.
    [[nodiscard]] std::optional<std::int32_t> recordIndex(std::uint64_t record) const;

    // Pages handed to automatic logging since the last clear; its parity selects the page.
    [[nodiscard]] std::int32_t pageCounter() const { return pageCounter_.load(); }
    // The journal's last entry when `page` began (a clear, startPagesAt, the overflow step), so
    // a page's timeline is the entries after its mark up to the next page's; nothing for a page
    // older than the last kPageMarks.
    [[nodiscard]] std::optional<std::uint64_t> journalAtPageStart(std::int32_t page) const;
    static constexpr std::size_t kPageMarks = 256;
    // Numbers the pages of automatic logging from `page` on: the page in progress becomes page
    // `page` (its parity selects the plane pair), the next one `page` + 1.
    void startPagesAt(std::int32_t page);

    // Timer ticks during which the low-speed display still draws new bytes; every stored chunk
    // reloads them from the settings.
    [[nodiscard]] std::int32_t pendingDrawTicks() const { return pendingDrawTicks_.load(); }
    void setPendingDrawTicks(std::int32_t ticks);
    // One tick of them used; false when none was left.
    bool takePendingDrawTick();

    // The idle redisplay: every received chunk reloads idleTicks (ticks until the display is
    // redrawn once the traffic stops) and idleRedisplaysLeft (how many such redraws).
    [[nodiscard]] std::int32_t idleTicks() const { return idleTicks_.load(); }
    [[nodiscard]] std::int32_t idleRedisplaysLeft() const { return idleRedisplaysLeft_.load(); }
    // One idle tick used: the ticks left after it, or nothing when none was left.
    std::optional<std::int32_t> takeIdleTick();
    // One idle redisplay used; false when none was left.
    bool takeIdleRedisplay();
    void reloadIdleTicks(std::int32_t ticks);
    void restartIdleCountdown(std::int32_t ticks, std::int32_t redisplays);

    // Where the macro's reception commands start reading; a sent message moves it to its end.
    [[nodiscard]] std::int32_t receptionMarker() const { return receptionMarker_.load(); }
    void setReceptionMarker(std::int32_t marker);

    // Stored bytes not yet in a log file; a record not read from or saved to a file of its own.
    [[nodiscard]] bool unsavedData() const { return unsavedData_.load(); }
    [[nodiscard]] bool untitledLog() const { return untitledLog_.load(); }
    void setUnsavedData(bool unsaved);
    void setUntitledLog(bool untitled);

    // Automatic log writes that failed (a full disk, a folder gone), counted for whoever reports them.
    [[nodiscard]] std::uint32_t autoLogFailures() const { return autoLogFailures_.load(); }

private:
    enum class OverflowTest { Received, Sent };

    // Index of the tag plane of the current pair.
    [[nodiscard]] int currentTagPlaneIndex() const;
    [[nodiscard]] std::uint8_t* mutablePlane(int index);

    // Steps 2 to 5 for one chunk made of `prefix` followed by `bytes`; lock held. Returns the
    // record position of its first byte after the prefix.
    std::uint64_t storeChunkLocked(const char* prefix, std::int32_t prefixLength, const std::uint8_t* bytes,
                                   std::int32_t count, int kind, OverflowTest test);
    void overflowStepLocked(OverflowTest test);
    void dropOldestHalfLocked(OverflowTest test);
    bool flushPageLocked(std::int32_t page, std::int32_t length);
    // `marks`, `marksAt` and `total`: the marks of the wake-up, where `bytes` lie among them,
    // and how many bytes the wake-up brought.
    void appendReceivedLocked(int channel, const std::uint8_t* bytes, std::int32_t count, const ReadMarks* marks,
                              std::uint32_t marksAt, std::uint32_t total);
    // Journals `count` bytes stored at record position `record` (`inRecord`; else left out of
    // the record, every entry at `record`) whose first byte is byte `from` of the marks' bytes,
    // one entry per arrival segment, and their line errors.
    void journalLocked(int channel, timeline::Direction direction, const std::uint8_t* bytes, std::uint32_t count,
                       std::uint64_t record, std::span<const ReadMarks::Arrival> arrivals,
                       std::span<const ReadMarks::Error> errors, std::uint32_t from, bool last, bool inRecord);
    // Moves recordBase on by what left the current pair (lock held).
    void dropFromRecordLocked(std::int32_t oldLength, std::int32_t newLength);
    void noteAutoLogResult(const AutoLogStatus& result);

    const Clock& clock_;
    mutable DisplayInterlock interlock_;
    NullDisplayFeed nullFeed_;

    // Guarded by the interlock.
    TrafficConfig config_;
    DisplayFeed* feed_ = &nullFeed_;
    FreeSpaceQuery freeSpace_;
    bool holdingBack_ = false;  // pages are held back for want of room
    timeline::Journal* journal_ = nullptr;
    std::function<void()> journalNotify_;

    void markPageStartLocked(std::int32_t page);
    mutable std::mutex pageMarkMutex_;  // pageMarks_
    std::array<std::pair<std::int32_t, std::uint64_t>, kPageMarks> pageMarks_{};  // page, journal sequence
    mutable std::mutex autoLogMutex_;  // autoLog_ and autoLogNotify_
    AutoLogStatus autoLog_;
    std::function<void()> autoLogNotify_;

    std::atomic<std::int32_t> storedLength_{0};
    std::atomic<std::uint64_t> recordBase_{0};
    std::atomic<std::int32_t> drawPosition_{0};
    std::atomic<std::int32_t> drawX_{kFirstCellX};
    std::atomic<std::int32_t> drawY_{0};
    std::atomic<std::int32_t> pageCounter_{0};
    std::atomic<std::int32_t> pendingDrawTicks_{0};
    std::atomic<std::int32_t> idleTicks_{0};
    std::atomic<std::int32_t> idleRedisplaysLeft_{0};
    std::atomic<std::int32_t> receptionMarker_{0};
    std::atomic<bool> unsavedData_{false};
    std::atomic<bool> untitledLog_{true};
    std::atomic<std::uint32_t> autoLogFailures_{0};

    // Mirrors of the settings that lock-free readers need to pick the pair and the capacity.
    std::atomic<std::int32_t> bufferSize_{600};
    std::atomic<bool> autoLogging_{false};
    std::atomic<std::int32_t> charsPerLine_{40};

    // The record itself; zero at start (the first timer tick clears it to spaces).
    std::array<std::uint8_t, kTrafficTotalSize> planes_{};
};

} // namespace kestrane
