#include "timeline/capture_stream.h"

#include "capture/pcapng.h"
#include "capture/rtac_serial.h"

#include <cstdint>
#include <vector>

namespace kestrane::timeline {

namespace {

int index(int channel) { return channel == 2 ? 1 : 0; }

std::uint8_t errorEvent(std::uint8_t kind)
{
    switch (static_cast<LineError>(kind)) {
    case LineError::Parity: return static_cast<std::uint8_t>(rtac::Event::ParityError);
    case LineError::Framing:
    case LineError::ParityOrFraming: return static_cast<std::uint8_t>(rtac::Event::FramingError);
    case LineError::Break: return static_cast<std::uint8_t>(rtac::Event::Break);
    case LineError::Overrun:
    case LineError::BufferOverrun: return static_cast<std::uint8_t>(rtac::Event::Overflow);
    }
    return static_cast<std::uint8_t>(rtac::Event::FramingError);
}

} // namespace

bool CaptureStream::beforeOpenFrame(const Entry& e) const
{
    // A break or a loss lies between bytes: at a frame's first byte it came before the frame.
    const Frame* open = frames_.open();
    const auto kind = static_cast<LineError>(e.detail);
    return e.kind == Kind::LineError && open != nullptr && open->channel == e.channel &&
           open->direction == Direction::Received && e.record == open->record &&
           (kind == LineError::Break || kind == LineError::Overrun || kind == LineError::BufferOverrun);
}

CaptureStream::CaptureStream(std::array<CaptureLine, 2> lines, std::string application)
    : lines_(std::move(lines)), application_(std::move(application))
{
}

void CaptureStream::header(std::vector<std::uint8_t>& out) const
{
    pcapng::appendSectionHeader(out, application_);
    for (const CaptureLine& l : lines_)
        pcapng::appendInterface(out, {pcapng::kLinkTypeRtacSerial, 0, l.name, l.description, pcapng::kMicroseconds});
}

std::uint8_t CaptureStream::lines(int channel) const
{
    const int i = index(channel);
    std::uint8_t l = 0;
    if (modem_[i] & modem::kCts)
        l |= rtac::line::kCts;
    if (modem_[i] & modem::kDcd)
        l |= rtac::line::kDcd;
    if (modem_[i] & modem::kDsr)
        l |= rtac::line::kDsr;
    if (modem_[i] & modem::kRing)
        l |= rtac::line::kRing;
    if (rts_[i])
        l |= rtac::line::kRts;
    if (dtr_[i])
        l |= rtac::line::kDtr;
    return l;
}

void CaptureStream::track(const Entry& e)
{
    const int i = index(e.channel);
    if (e.kind == Kind::ModemChange) {
        modem_[i] = e.detail;
    } else if (e.kind == Kind::Action) {
        switch (static_cast<Action>(e.detail)) {
        case Action::DtrOn: dtr_[i] = true; break;
        case Action::DtrOff: dtr_[i] = false; break;
        case Action::RtsOn: rts_[i] = true; break;
        case Action::RtsOff: rts_[i] = false; break;
        case Action::Opened:
        case Action::Reconnected: dtr_[i] = rts_[i] = true; break;  // an open raises both
        default: break;
        }
    }
}

void CaptureStream::packet(std::vector<std::uint8_t>& out, int channel, Stamp time, std::uint8_t event,
                           const std::vector<std::uint8_t>& payload)
{
    // The header's time and the block's time are the same moment.
    const auto us = static_cast<std::uint64_t>(std::max<std::int64_t>(time.wallUs, 0));
    std::vector<std::uint8_t> data;
    data.reserve(rtac::kHeaderSize + payload.size());
    rtac::appendHeader(data, {static_cast<std::uint32_t>(us / 1'000'000), static_cast<std::uint32_t>(us % 1'000'000),
                              static_cast<rtac::Event>(event), lines(channel)});
    data.insert(data.end(), payload.begin(), payload.end());
    const auto direction = event == static_cast<std::uint8_t>(rtac::Event::DataSent)       ? pcapng::Direction::Outbound
                           : event == static_cast<std::uint8_t>(rtac::Event::DataReceived) ? pcapng::Direction::Inbound
                                                                                           : pcapng::Direction::Unknown;
    pcapng::appendPacket(out, static_cast<std::uint32_t>(index(channel)), us, direction, data);
    ++packets_;
    if (direction != pcapng::Direction::Unknown)
        dataBytes_ += payload.size();
}

void CaptureStream::event(std::vector<std::uint8_t>& out, const Entry& e)
{
    switch (e.kind) {
    case Kind::LineError:
        packet(out, e.channel, e.time, errorEvent(e.detail), {});
        break;
    case Kind::ModemChange:
        packet(out, e.channel, e.time, static_cast<std::uint8_t>(rtac::Event::StatusChange), {});
        break;
    case Kind::Lost:
        packet(out, e.channel, e.time, static_cast<std::uint8_t>(rtac::Event::CaptureDataLost), {});
        break;
    case Kind::Action:
        // Changes of the control lines the program drives show as status changes; a user's mark
        // is a status change too (the lines unchanged), so it can be found in the capture.
        switch (static_cast<Action>(e.detail)) {
        case Action::DtrOn:
        case Action::DtrOff:
        case Action::RtsOn:
        case Action::RtsOff:
        case Action::UserMark:
            packet(out, e.channel, e.time, static_cast<std::uint8_t>(rtac::Event::StatusChange), {});
            break;
        case Action::BreakOn:
            packet(out, e.channel, e.time, static_cast<std::uint8_t>(rtac::Event::Break), {});
            break;
        default: break;
        }
        break;
    case Kind::Data: break;
    }
}

void CaptureStream::emitClosed(std::vector<std::uint8_t>& out)
{
    for (Pending& p : closed_) {
        if (p.lost)
            packet(out, p.frame.channel, p.frame.start, static_cast<std::uint8_t>(rtac::Event::CaptureDataLost), {});
        const bool sent = p.frame.direction == Direction::Sent;
        packet(out, p.frame.channel, p.time,
               static_cast<std::uint8_t>(sent ? rtac::Event::DataSent : rtac::Event::DataReceived), p.bytes);
    }
    closed_.clear();
}

void CaptureStream::closeOpenFrame(const Frame& frame)
{
    closed_.push_back({frame, openCut_ ? openPieceTime_ : frame.start, std::move(openBytes_), openLost_});
    openBytes_.clear();
    openLost_ = false;
    openCut_ = false;
}

void CaptureStream::cutOpenFrame(std::vector<std::uint8_t>& out, const Entry& chunk)
{
    const Frame* open = frames_.open();
    if (open == nullptr || openBytes_.size() < kMaxPacketPayload)
        return;
    // Frames closed before this one went out when it opened; events wait for its end.
    const std::uint8_t event = static_cast<std::uint8_t>(open->direction == Direction::Sent ? rtac::Event::DataSent
                                                                                             : rtac::Event::DataReceived);
    std::size_t from = 0;
    for (; openBytes_.size() - from >= kMaxPacketPayload; from += kMaxPacketPayload) {
        if (openLost_)
            packet(out, open->channel, openCut_ ? openPieceTime_ : open->start,
                   static_cast<std::uint8_t>(rtac::Event::CaptureDataLost), {});
        openLost_ = false;
        const std::vector<std::uint8_t> piece(openBytes_.begin() + static_cast<std::ptrdiff_t>(from),
                                              openBytes_.begin() + static_cast<std::ptrdiff_t>(from + kMaxPacketPayload));
        packet(out, open->channel, openCut_ ? openPieceTime_ : open->start, event, piece);
        openCut_ = true;
        openPieceTime_ = chunk.time;
    }
    openBytes_.erase(openBytes_.begin(), openBytes_.begin() + static_cast<std::ptrdiff_t>(from));
}

void CaptureStream::take(const Journal& journal, std::vector<std::uint8_t>& out, std::int64_t nowMonoUs, bool final,
                         std::uint64_t until)
{
    if (until <= after_)
        return;
    std::vector<Entry> entries;
    const std::uint64_t gone = journal.copySince(after_, entries, until == UINT64_MAX ? SIZE_MAX : until - after_);
    std::erase_if(entries, [until](const Entry& e) { return e.sequence > until; });
    if (gone > 0) {
        Entry lost;
        lost.kind = Kind::Lost;
        lost.value = static_cast<std::uint32_t>(std::min<std::uint64_t>(gone, UINT32_MAX));
        lost.time = entries.empty() ? now() : entries.front().time;
        lost.channel = entries.empty() ? 1 : entries.front().channel;
        events_.push_back(lost);
    }
    std::vector<Frame> closedFrames;
    std::vector<Entry> passed;
    std::vector<std::uint8_t> bytes;
    for (const Entry& e : entries) {
        after_ = e.sequence;
        const bool wasOpen = frames_.open() != nullptr;
        closedFrames.clear();
        passed.clear();
        frames_.add(e, closedFrames, passed);
        if (!closedFrames.empty())
            closeOpenFrame(closedFrames.back());
        if (e.kind == Kind::Data && e.count > 0) {
            if (journal.bytes(e, bytes))
                openBytes_.insert(openBytes_.end(), bytes.begin(), bytes.end());
            else
                openLost_ = true;
        }
        // Frames in time order before the events that followed them.
        if (!closedFrames.empty() || !wasOpen) {
            emitClosed(out);
            for (const Entry& ev : events_) {
                track(ev);
                event(out, ev);
            }
            events_.clear();
        }
        if (e.kind == Kind::Data)
            cutOpenFrame(out, e);
        for (const Entry& ev : passed) {
            if (frames_.open() && !beforeOpenFrame(ev)) {
                events_.push_back(ev);
            } else {
                track(ev);
                event(out, ev);
            }
        }
    }
    closedFrames.clear();
    frames_.flush(nowMonoUs, closedFrames, final);
    if (!closedFrames.empty())
        closeOpenFrame(closedFrames.back());
    if (!frames_.open()) {
        emitClosed(out);
        for (const Entry& ev : events_) {
            track(ev);
            event(out, ev);
        }
        events_.clear();
    }
}

void CaptureStream::finish(std::vector<std::uint8_t>& out)
{
    std::vector<Frame> closedFrames;
    frames_.flush(0, closedFrames, true);
    if (!closedFrames.empty())
        closeOpenFrame(closedFrames.back());
    emitClosed(out);
    for (const Entry& ev : events_) {
        track(ev);
        event(out, ev);
    }
    events_.clear();
}

} // namespace kestrane::timeline
