// Frames and answer times made from the journal. Consecutive chunks of one channel and direction
// are one frame until the line was quiet longer than the channel's threshold, or a chunk of
// another channel or direction came. A chunk's time is when the program took its bytes from the
// driver, after its last byte arrived; its own bytes took `count` character times on the line,
// so the quiet before it is its time less that and less the previous chunk's time.
// A frame that follows a frame of another stream (channel and direction) has an answer time.
#pragma once

#include "timeline/journal.h"

#include <array>
#include <cstdint>
#include <vector>

namespace kestrane::timeline {

// How long a gap ends a frame on a channel.
struct FrameRule {
    std::int64_t quietUs = 3646;     // ends a frame: default 3.5 characters of 10 bits at 9600 bps
    std::int64_t characterUs = 1042; // one character on the line at its rate
};

// 3.5 characters of `bitsPerCharacter` at `baudRate`, never below `floorUs` (the smallest gap
// the adapter's latency lets the program see).
FrameRule frameRuleFor(std::uint32_t baudRate, int bitsPerCharacter, std::int64_t floorUs);
// The smallest quiet time worth telling apart: a port that holds low latency, or a line without
// pacing (a pseudo-terminal, a network line), against an adapter that batches its bytes.
inline constexpr std::int64_t kLowLatencyFloorUs = 1000;
inline constexpr std::int64_t kBatchingFloorUs = 20000;

struct Frame {
    int channel = 1;
    Direction direction = Direction::Received;
    Stamp start;  // the time of its first chunk
    Stamp end;    // the time of its last chunk
    std::uint64_t record = 0;         // its first byte in the traffic record
    std::uint64_t firstSequence = 0;  // its chunks in the journal
    std::uint64_t lastSequence = 0;
    std::uint32_t bytes = 0;
    std::uint32_t errors = 0;         // line errors at its bytes
    std::int64_t quietBeforeUs = -1;  // since the end of the frame before it (any stream); -1 for the first
    std::int64_t answerUs = -1;       // since the end of the frame of another stream it follows; else -1
};

// What the builder found: frames as they close, every entry that is not data (in order).
struct Summary {
    std::uint64_t frames = 0;
    std::array<std::uint64_t, 6> errors{};  // by LineError
    std::uint64_t modemChanges = 0;
    std::uint64_t lost = 0;                 // bytes or entries lost to the capture
    std::uint64_t answers = 0;
    std::int64_t answerMinUs = -1;
    std::int64_t answerMedianUs = -1;  // of the last kMedianWindow answers
    std::int64_t answerMaxUs = -1;
};
inline constexpr std::size_t kMedianWindow = 65536;

class FrameBuilder {
public:
    void setRule(int channel, FrameRule rule);
    [[nodiscard]] FrameRule rule(int channel) const { return rules_[channel == 2 ? 1 : 0]; }

    // Takes the journal's entries in order. A Data entry may close the open frame (returned in
    // `closed`) and opens or extends one; other entries are passed through in `events` (a line
    // error also counts on the frame of its channel that holds its byte).
    void add(const Entry& entry, std::vector<Frame>& closed, std::vector<Entry>& events);
    // Closes the open frame when its channel has been quiet past its threshold by `now` (a
    // reader's clock on the monotonic scale), or at once when `force`.
    void flush(std::int64_t nowMonoUs, std::vector<Frame>& closed, bool force = false);
    // The frame still open, if any.
    [[nodiscard]] const Frame* open() const { return open_ ? &current_ : nullptr; }

    [[nodiscard]] Summary summary() const;
    void reset();

private:
    void close(std::vector<Frame>& closed);

    std::array<FrameRule, 2> rules_{};
    bool open_ = false;
    Frame current_;
    bool havePrevious_ = false;
    Frame previous_;  // the last frame closed
    Summary summary_;
    std::vector<std::int64_t> answers_;  // the last kMedianWindow answer times (a ring), for the median
    std::size_t answersNext_ = 0;
};

} // namespace kestrane::timeline
