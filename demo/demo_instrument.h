// The demo instrument's protocol, without any I/O: framed requests and replies (STX data ETX,
// then a check by the send buffer's own checksum code), the periodic reading with its Shift-JIS
// label, and the host's poll on the far side of the line.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kestrane::demo {

inline constexpr std::uint8_t kStx = 0x02;
inline constexpr std::uint8_t kEtx = 0x03;
inline constexpr std::uint8_t kNak = 0x15;

// The checks a frame can carry after its ETX, as Kestrane's checksum settings send them.
enum class CheckForm {
    None,       // no check
    XorByte,    // byte XOR, one raw byte
    SumByte,    // byte sum, one raw byte
    XorDigits,  // byte XOR as two hexadecimal digit characters
    SumDigits,  // byte sum as two hexadecimal digit characters
    Crc16,      // CRC16, low byte then high byte
};

struct Frame {
    std::vector<std::uint8_t> data;     // the bytes between STX and ETX
    CheckForm check = CheckForm::None;
    bool lowerCase = false;             // digits of the two-character forms
    std::vector<std::uint8_t> trailer;  // end characters after the check (CR, LF)
};

// STX, data, ETX, the check over the data (never over STX or ETX), the trailer.
[[nodiscard]] std::vector<std::uint8_t> composeFrame(const Frame& frame);

// Which check the bytes after ETX are, for these data: the first form that matches exactly,
// with CR and LF allowed as a trailer. None when nothing matches (a bad check).
[[nodiscard]] std::optional<Frame> matchFrame(std::span<const std::uint8_t> data, std::span<const std::uint8_t> afterEtx);

struct Request {
    enum class Kind {
        Framed,    // a frame with a good (or no) check
        BadCheck,  // a frame whose check matched no form
        Line,      // a text line without STX, ended by CR or LF
    };
    Kind kind = Kind::Framed;
    Frame frame;                     // Framed: the frame as read (its check form is echoed)
    std::vector<std::uint8_t> line;  // Line: the text without its end
};

// Collects requests from received bytes. A frame's check has no length of its own, so a frame
// is complete when nothing arrived for `gapMs` after its ETX, when a new STX starts, or when
// more than a check and a trailer followed it.
class RequestReader {
public:
    explicit RequestReader(int gapMs = 60) : gapMs_(gapMs) {}

    void feed(std::span<const std::uint8_t> bytes, std::int64_t nowMs);
    // The requests complete at `nowMs`.
    [[nodiscard]] std::vector<Request> take(std::int64_t nowMs);
    // When take() can next produce a request by time alone; none while nothing is pending.
    [[nodiscard]] std::optional<std::int64_t> deadline() const;

private:
    void finishFrame(std::vector<Request>& out);

    enum class State { Idle, InData, AfterEtx, InLine };
    int gapMs_;
    State state_ = State::Idle;
    std::vector<std::uint8_t> data_;
    std::vector<std::uint8_t> afterEtx_;
    std::int64_t lastByteMs_ = 0;
    std::vector<Request> ready_;
};

// The instrument: a thermometer that answers requests and reports its reading periodically.
class Instrument {
public:
    // The value for the `sequence`-th reading, in tenths of a degree (a slow swing around 23 °C).
    [[nodiscard]] static int readingTenths(std::int64_t sequence);
    // "+23.4" style text of a reading.
    [[nodiscard]] static std::string readingText(int tenths);

    // The reply to a request: framed requests get a framed reply with the request's own check
    // and trailer ("RD" the reading, "ID" the identity, "ST" the status, anything else "NG");
    // a bad check gets NAK; a text line gets a text line ended by CR LF.
    [[nodiscard]] std::vector<std::uint8_t> answer(const Request& request, std::int64_t sequence) const;

    // The periodic report: STX, the Shift-JIS label 温度 with the reading and ℃, ETX, the byte
    // XOR as two digits, CR LF.
    [[nodiscard]] std::vector<std::uint8_t> periodicReading(std::int64_t sequence) const;
};

// The host's poll on the other side of the line: "RD" framed with a CRC16.
[[nodiscard]] std::vector<std::uint8_t> hostPoll();

} // namespace kestrane::demo
