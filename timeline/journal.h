// The journal of the line: every chunk received or sent with the time it crossed, line errors
// at their byte, modem-line changes and what the user and the program did, in the order they
// happened, beside the traffic record (which keeps its own bytes and format untouched).
//
// Bounded: at most kJournalEntries entries and kJournalBytes bytes of chunk data are kept; the
// oldest go first and are counted (`dropped`), so a reader that fell behind learns what it lost.
// Writers: the receive threads (under the traffic buffer's lock), the sending thread, the
// channels' event reporting; readers copy what is new since the sequence number they hold.
// Every call is short (one lock, one copy of at most one chunk).
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <vector>

namespace kestrane::timeline {

// When something happened: the wall clock for display and files, the monotonic clock for
// intervals (a clock set back or forward never makes a negative interval).
struct Stamp {
    std::int64_t wallUs = 0;  // microseconds since 1970-01-01 00:00 UTC
    std::int64_t monoUs = 0;  // microseconds on the steady clock
};
// Now, on both clocks.
Stamp now();

enum class Kind : std::uint8_t {
    Data,        // a chunk received or sent (its bytes are in the journal)
    LineError,   // a line error at a byte (`detail`: LineError)
    ModemChange, // the modem inputs changed (`detail`: the MS_* bits after it, `value`: those that changed,
                 // `count`: changes the driver counted, more than the bits show when a line toggled)
    Action,      // what the user or the program did (`detail`: Action, `value`: its argument)
    Lost,        // capture lost before here: `value` bytes (the journal lapped a reader, or input overflowed)
};

enum class Direction : std::uint8_t { Received, Sent };

// The modem inputs as a ModemChange keeps them (the serial port's MS_* bits).
namespace modem {
inline constexpr std::uint8_t kCts = 0x10;
inline constexpr std::uint8_t kDsr = 0x20;
inline constexpr std::uint8_t kRing = 0x40;
inline constexpr std::uint8_t kDcd = 0x80;
} // namespace modem

enum class LineError : std::uint8_t {
    Parity,
    Framing,
    ParityOrFraming,  // the driver marks both alike and keeps no counters to tell them apart
    Break,            // between bytes: before the byte at its position
    Overrun,          // the device lost bytes: `value` counted by the driver, when it counts
    BufferOverrun,    // the driver's buffer lost bytes: `value` likewise
};

enum class Action : std::uint8_t {
    DtrOn, DtrOff, RtsOn, RtsOff, BreakOn, BreakOff, Xoff, Xon,
    Purge,            // value: the purge flags
    SettingsApplied,  // value: the rate taken
    Opened, Closed, DeviceLost, Reconnected,
    LowLatency,       // value: 1 when the driver holds low latency, 0 when it refused
    UserMark,         // a mark the user set
};

struct Entry {
    std::uint64_t sequence = 0;  // numbered from 1 since the start; never reused, not even by clear
    Stamp time;
    // Where in the traffic record: a chunk's first stored byte, the byte an error belongs to, or,
    // for other kinds, the record's length at that moment. Counts every byte stored since the
    // last clear, dropped ones included (TrafficBuffer::recordBase maps it to an index).
    std::uint64_t record = 0;
    // Data: where its bytes start in the journal's byte stream (see bytes()).
    std::uint64_t bytesAt = 0;
    std::uint32_t count = 0;     // Data: bytes; ModemChange: changes counted
    std::uint32_t value = 0;
    std::uint8_t channel = 1;    // 1 or 2
    Kind kind = Kind::Data;
    Direction direction = Direction::Received;
    std::uint8_t detail = 0;
};

inline constexpr std::size_t kJournalEntries = 1U << 17;      // 131,072 entries (about 7 MB)
inline constexpr std::size_t kJournalBytes = 8U * 1024 * 1024; // 8 MiB of chunk bytes: 20 s at 400 kB/s

class Journal {
public:
    Journal(std::size_t entries = kJournalEntries, std::size_t bytes = kJournalBytes);
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    // A chunk: its bytes are kept with it. Returns its sequence number.
    std::uint64_t appendData(int channel, Direction direction, Stamp time, std::uint64_t record,
                             std::span<const std::uint8_t> bytes);
    // Any other entry (its `sequence` and `bytesAt` are set here). Returns its sequence number.
    std::uint64_t append(Entry entry);

    // Copies the entries after `after` (a sequence number; 0 for all) that are still kept, at
    // most `most`, oldest first. Returns how many were gone (dropped before the reader came).
    std::uint64_t copySince(std::uint64_t after, std::vector<Entry>& out, std::size_t most = SIZE_MAX) const;
    // The bytes of a Data entry, while the journal still keeps them; false (and `out` empty)
    // once they were overwritten.
    bool bytes(const Entry& entry, std::vector<std::uint8_t>& out) const;

    // Forgets every entry (the traffic was cleared); sequence numbers go on.
    void clear();
    // How many times it was cleared: record positions start again from 0 after each, so a reader
    // that keeps rows of its own learns that theirs no longer mean the record's bytes.
    [[nodiscard]] std::uint64_t clears() const;

    [[nodiscard]] std::uint64_t lastSequence() const;
    // Entries dropped because the journal was full, since the start.
    [[nodiscard]] std::uint64_t dropped() const;
    // Entries kept now.
    [[nodiscard]] std::size_t size() const;

private:
    void pushEntry(Entry& entry);

    mutable std::mutex m_;
    std::vector<Entry> entries_;  // ring
    std::size_t head_ = 0;        // index of the oldest kept entry
    std::size_t kept_ = 0;
    std::uint64_t nextSequence_ = 1;
    std::uint64_t dropped_ = 0;
    std::uint64_t clears_ = 0;
    std::vector<std::uint8_t> bytes_;  // ring of chunk bytes, addressed by stream position
    std::uint64_t bytesEnd_ = 0;       // stream position after the newest byte
};

} // namespace kestrane::timeline
