// The timeline as a capture Wireshark decodes: one interface per channel (link type 250), one
// packet per frame (its bytes, sent or received, with the control lines of that moment), and one
// per line error, modem-line change, capture loss and user mark, in time order.
// Incremental: it takes what the journal has that it has not taken yet, so the same code writes
// a whole record (the window's save), a page (automatic logging), a rotating set of files (the
// recorder) and a live stream (the extcap program). Where its blocks go is the caller's.
#pragma once

#include "timeline/frames.h"
#include "timeline/journal.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kestrane::timeline {

struct CaptureLine {
    std::string name;         // the interface name, e.g. "COM3"
    std::string description;  // e.g. the device or URL
};

// A frame longer than this (a line that never goes quiet) goes out in pieces of this many
// bytes, each a packet at the time of its first chunk, so memory stays bounded and a rotating
// file can end in the middle of a flood.
inline constexpr std::size_t kMaxPacketPayload = 65536;

class CaptureStream {
public:
    CaptureStream(std::array<CaptureLine, 2> lines, std::string application);

    void setRule(int channel, FrameRule rule) { frames_.setRule(channel, rule); }
    // The interfaces of the headers written from now on (a line opened or set anew).
    void setLines(std::array<CaptureLine, 2> lines) { lines_ = std::move(lines); }
    // Start from the entry after `sequence` (0: from the journal's oldest).
    void startAfter(std::uint64_t sequence) { after_ = sequence; }

    // The section header and the two interfaces: the start of every file.
    void header(std::vector<std::uint8_t>& out) const;
    // Appends the packets of everything the journal has that closed: frames quiet past their
    // rule by `nowMonoUs`, and the events before them. `final` closes the open frame too.
    void take(const Journal& journal, std::vector<std::uint8_t>& out, std::int64_t nowMonoUs, bool final = false,
              std::uint64_t until = UINT64_MAX);
    // Takes the entries up to the sequence `until` (a page's end): frames closed by what came
    // before it; the frame open at its end stays open for the next take.
    void takeUntil(const Journal& journal, std::vector<std::uint8_t>& out, std::uint64_t until)
    {
        take(journal, out, 0, false, until);
    }
    // Closes what is open and appends it (the end of a file: a rotation, a stop).
    void finish(std::vector<std::uint8_t>& out);

    [[nodiscard]] std::uint64_t packets() const { return packets_; }
    // The line's bytes written so far (the payload of the data packets).
    [[nodiscard]] std::uint64_t dataBytes() const { return dataBytes_; }
    [[nodiscard]] std::uint64_t lastSequence() const { return after_; }

private:
    void emitClosed(std::vector<std::uint8_t>& out);
    void packet(std::vector<std::uint8_t>& out, int channel, Stamp time, std::uint8_t event,
                const std::vector<std::uint8_t>& payload);
    void event(std::vector<std::uint8_t>& out, const Entry& e);
    [[nodiscard]] std::uint8_t lines(int channel) const;
    void track(const Entry& e);
    // A line error that the journal puts after the chunk that opened the frame, though it came
    // before that chunk's first byte: written before the frame, not after it.
    [[nodiscard]] bool beforeOpenFrame(const Entry& e) const;
    // Writes whole pieces of the open frame once it outgrew kMaxPacketPayload.
    void cutOpenFrame(std::vector<std::uint8_t>& out, const Entry& chunk);
    void closeOpenFrame(const Frame& frame);

    std::array<CaptureLine, 2> lines_;
    std::string application_;
    FrameBuilder frames_;
    std::uint64_t after_ = 0;
    std::uint64_t packets_ = 0;
    std::uint64_t dataBytes_ = 0;
    // The bytes of the frame being built, and of those closed but not yet written.
    std::vector<std::uint8_t> openBytes_;
    std::uint64_t openFirst_ = 0;
    struct Pending {
        Frame frame;
        Stamp time;  // the frame's start, or of its last piece's first chunk when it was cut
        std::vector<std::uint8_t> bytes;
        bool lost = false;  // some of its bytes were no longer in the journal
    };
    std::vector<Pending> closed_;
    bool openLost_ = false;
    bool openCut_ = false;     // pieces of the open frame were written
    Stamp openPieceTime_;      // when the open frame's bytes not yet written began
    std::vector<Entry> events_;  // events while a frame was open: written after it
    std::array<std::uint8_t, 2> modem_{};  // MS bits per channel
    std::array<bool, 2> dtr_{true, true};
    std::array<bool, 2> rts_{true, true};
};

} // namespace kestrane::timeline
