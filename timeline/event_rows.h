// The rows of the line-events window, made from the journal: frames (with their bytes, quiet
// time, answer time and the line errors at their bytes) and every other entry as a row of its
// own, in time order. A frame's row is made when its first chunk comes, so what happens while
// it grows is listed after it; the row changes until the frame ends.
//
// A reader holds the sequence number it read last and takes at most a batch of new entries per
// call, so a flood never holds its caller for long; rows are bounded (the oldest go first and
// are counted). Plain logic on the caller's thread; the journal's lock is taken per copy only.
#pragma once

#include "timeline/frames.h"
#include "timeline/journal.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

namespace kestrane::timeline {

inline constexpr std::size_t kMaxEventRows = 20000;   // rows kept; the oldest go first
inline constexpr std::size_t kEventBatch = 8192;      // entries taken per read
inline constexpr std::size_t kRowBytes = 64;          // bytes of a frame kept for its row
// A frame is closed for quiet only this long after its threshold has passed: a chunk whose read
// returned just before the reader looked may not be in the journal yet.
inline constexpr std::int64_t kFlushMarginUs = 100'000;

enum class RowKind : std::uint8_t { Frame, Error, Modem, Action, Lost };

struct EventRow {
    std::uint64_t serial = 0;  // numbered from 1 in the order the rows were made
    RowKind kind = RowKind::Frame;
    std::uint8_t channel = 1;  // 1 or 2; 0 for what belongs to no channel (entries the reader missed)
    Direction direction = Direction::Received;
    Stamp time;                // a frame's first chunk; an event's own time
    Stamp end;                 // a frame's last chunk
    std::uint64_t record = 0;  // a frame's first byte, an error's byte, else the record's length then
    std::uint32_t count = 0;   // Frame: bytes; Modem: changes the driver counted
    std::uint32_t value = 0;   // Error: bytes lost (overruns); Modem: lines changed; Action: its argument; Lost: how many
    std::uint8_t detail = 0;   // Error: LineError; Modem: the lines after it; Action: Action
    bool missed = false;       // Lost: entries the reader missed (the journal overran it), not bytes
    bool open = false;         // Frame: still growing
    std::int64_t quietUs = -1;
    std::int64_t answerUs = -1;
    // Frame: its first bytes (at most kRowBytes), while the journal still had them.
    std::vector<std::uint8_t> bytes;
    bool bytesGone = false;    // some of its bytes were no longer in the journal
    std::uint32_t errors = 0;  // Frame: line errors at its bytes
    struct Mark {
        std::uint32_t offset = 0;  // the byte (a break or an overrun: the place before it)
        LineError kind = LineError::ParityOrFraming;
    };
    std::vector<Mark> marks;   // Frame: the errors among its kept bytes
};

// Which rows a window shows.
struct EventFilter {
    int channel = 0;  // 0: both
    bool frames = true;
    bool errors = true;  // line errors and lost capture
    bool modem = true;
    bool actions = true;
    [[nodiscard]] bool accepts(const EventRow& row) const;
};

class EventReader {
public:
    explicit EventReader(std::size_t maxRows = kMaxEventRows);

    void setRule(int channel, FrameRule rule) { builder_.setRule(channel, rule); }

    struct Step {
        std::size_t entries = 0;        // journal entries taken
        std::size_t added = 0;          // rows made
        std::size_t dropped = 0;        // oldest rows let go for the bound
        bool more = false;              // the batch was full: more entries are waiting
        bool cleared = false;           // the journal was cleared: every earlier row is gone
        // Rows made before this step that changed (a frame grew or ended, an error found its
        // frame), ascending; rows made in this step are not listed.
        std::vector<std::uint64_t> changed;
    };
    // Takes up to `most` entries new since the last call; with nothing more waiting, closes a
    // frame whose channel has been quiet past its threshold by `nowMonoUs`. After the journal
    // was cleared (the traffic was), every row goes and the reader starts anew (serials go on).
    Step read(const Journal& journal, std::int64_t nowMonoUs, std::size_t most = kEventBatch);

    // Rows made, oldest first (serials firstSerial() ...).
    [[nodiscard]] const std::deque<EventRow>& rows() const { return rows_; }
    [[nodiscard]] std::uint64_t firstSerial() const { return rows_.empty() ? nextSerial_ : rows_.front().serial; }
    [[nodiscard]] std::uint64_t nextSerial() const { return nextSerial_; }
    [[nodiscard]] const EventRow* row(std::uint64_t serial) const;
    // The row of the frame still growing, or null.
    [[nodiscard]] const EventRow* open() const { return row(openSerial_); }

    [[nodiscard]] Summary summary() const { return builder_.summary(); }
    [[nodiscard]] std::uint64_t droppedRows() const { return droppedRows_; }
    [[nodiscard]] std::uint64_t missedEntries() const { return missed_; }
    [[nodiscard]] std::uint64_t lastSequence() const { return last_; }

private:
    EventRow* mutableRow(std::uint64_t serial);
    void addEntry(const Journal& journal, const Entry& e, Step& step);
    std::uint64_t pushRow(EventRow row, Step& step);
    void changed(std::uint64_t serial, Step& step) const;
    void closeFrames(Step& step);
    void placeError(const Entry& e, Step& step);
    void takeBytes(const Journal& journal, const Entry& e, EventRow& row);

    std::size_t maxRows_;
    FrameBuilder builder_;
    std::uint64_t last_ = 0;
    std::uint64_t clears_ = 0;         // the journal's clears when it was read last
    bool started_ = false;             // read at least once since the start or a clear
    std::uint64_t nextSerial_ = 1;
    std::uint64_t droppedRows_ = 0;
    std::uint64_t missed_ = 0;
    std::deque<EventRow> rows_;
    std::uint64_t openSerial_ = 0;     // the row of the open frame (0: none, or dropped for the bound)
    std::uint64_t stepFirst_ = 0;      // the first serial made in the step under way
    std::array<std::uint64_t, 2> recordEnd_{};  // after the newest received byte of each channel
    std::vector<Entry> pending_;       // line errors whose bytes are not in the journal yet
    std::vector<Entry> batch_;
    std::vector<Frame> closed_;
    std::vector<Entry> events_;
    std::vector<std::uint8_t> scratch_;
};

} // namespace kestrane::timeline
