#include "demo/demo_instrument.h"

#include "sending/send_buffer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace kestrane::demo {

namespace {

struct Checks {
    std::uint8_t byteXor = 0;
    std::uint8_t byteSum = 0;
    std::uint16_t crc16 = 0;
};

// The three checks of `data` by the send buffer's own code: the data are handed over in the hex
// send notation, so every byte value (NUL too) passes as it is.
Checks checksOf(std::span<const std::uint8_t> data)
{
    std::string hex;
    hex.reserve(data.size() * 2);
    static constexpr char kDigits[] = "0123456789ABCDEF";
    for (const std::uint8_t b : data) {
        hex.push_back(kDigits[b >> 4]);
        hex.push_back(kDigits[b & 0x0F]);
    }
    Checks c;
    SendState state;
    state.sendBuffer.count = 0;
    state.checksumAccumulator = 0;
    state.convertHexNotation(hex, true, kChecksumXor);
    c.byteXor = state.checksumAccumulator;
    c.crc16 = state.crcValue;
    state.sendBuffer.count = 0;
    state.checksumAccumulator = 0;
    state.convertHexNotation(hex, true, kChecksumSum);
    c.byteSum = state.checksumAccumulator;
    return c;
}

std::vector<std::uint8_t> checkBytes(const Checks& c, CheckForm form, bool lowerCase)
{
    const auto digits = [lowerCase](std::uint8_t v) {
        const auto d = checksumDigits(v, lowerCase);
        return std::vector<std::uint8_t>{static_cast<std::uint8_t>(d[0]), static_cast<std::uint8_t>(d[1])};
    };
    switch (form) {
    case CheckForm::None:
        return {};
    case CheckForm::XorByte:
        return {c.byteXor};
    case CheckForm::SumByte:
        return {c.byteSum};
    case CheckForm::XorDigits:
        return digits(c.byteXor);
    case CheckForm::SumDigits:
        return digits(c.byteSum);
    case CheckForm::Crc16:
        return {static_cast<std::uint8_t>(c.crc16 & 0xFF), static_cast<std::uint8_t>(c.crc16 >> 8)};
    }
    return {};
}

bool isLineEnd(std::uint8_t b)
{
    return b == '\r' || b == '\n';
}

std::vector<std::uint8_t> bytesOf(const std::string& s)
{
    return {s.begin(), s.end()};
}

} // namespace

std::vector<std::uint8_t> composeFrame(const Frame& frame)
{
    // Room for the whole frame first: besides saving reallocations, this keeps GCC 12 at -O3
    // from a false out-of-bounds warning on growing a one-byte vector.
    std::vector<std::uint8_t> out;
    out.reserve(frame.data.size() + frame.trailer.size() + 4);
    out.push_back(kStx);
    out.insert(out.end(), frame.data.begin(), frame.data.end());
    out.push_back(kEtx);
    const std::vector<std::uint8_t> check = checkBytes(checksOf(frame.data), frame.check, frame.lowerCase);
    out.insert(out.end(), check.begin(), check.end());
    out.insert(out.end(), frame.trailer.begin(), frame.trailer.end());
    return out;
}

std::optional<Frame> matchFrame(std::span<const std::uint8_t> data, std::span<const std::uint8_t> afterEtx)
{
    const Checks checks = checksOf(data);
    // The shortest trailer first: a raw check byte may itself be 0D.
    for (std::size_t trailerLength = 0; trailerLength <= std::min<std::size_t>(2, afterEtx.size()); ++trailerLength) {
        const auto check = afterEtx.first(afterEtx.size() - trailerLength);
        const auto trailer = afterEtx.last(trailerLength);
        if (!std::all_of(trailer.begin(), trailer.end(), isLineEnd))
            continue;
        for (const CheckForm form : {CheckForm::None, CheckForm::XorByte, CheckForm::SumByte, CheckForm::XorDigits,
                                     CheckForm::SumDigits, CheckForm::Crc16}) {
            for (const bool lower : {false, true}) {
                const std::vector<std::uint8_t> expected = checkBytes(checks, form, lower);
                if (std::equal(expected.begin(), expected.end(), check.begin(), check.end()))
                    return Frame{{data.begin(), data.end()}, form, lower, {trailer.begin(), trailer.end()}};
            }
        }
    }
    return std::nullopt;
}

// ---- RequestReader ------------------------------------------------------------------------

namespace {
constexpr std::size_t kMaxData = 1024;
constexpr std::size_t kMaxAfterEtx = 4;  // a two-byte check and CR LF
} // namespace

void RequestReader::finishFrame(std::vector<Request>& out)
{
    // The whole tail first; failing that, the tail up to an STX that may start the next frame,
    // the longest such check first (a raw check byte may itself be 02).
    std::vector<std::size_t> cuts{afterEtx_.size()};
    for (std::size_t k = afterEtx_.size(); k-- > 0;)
        if (afterEtx_[k] == kStx)
            cuts.push_back(k);
    Request r;
    r.kind = Request::Kind::BadCheck;
    r.frame.data = data_;
    std::vector<std::uint8_t> rest;
    for (const std::size_t cut : cuts) {
        if (std::optional<Frame> frame = matchFrame(data_, std::span(afterEtx_).first(cut))) {
            r.kind = Request::Kind::Framed;
            r.frame = std::move(*frame);
            rest.assign(afterEtx_.begin() + static_cast<std::ptrdiff_t>(cut), afterEtx_.end());
            break;
        }
    }
    out.push_back(std::move(r));
    data_.clear();
    afterEtx_.clear();
    state_ = State::Idle;
    if (!rest.empty())
        feed(rest, lastByteMs_);
}

void RequestReader::feed(std::span<const std::uint8_t> bytes, std::int64_t nowMs)
{
    for (const std::uint8_t b : bytes) {
        switch (state_) {
        case State::Idle:
            if (b == kStx) {
                data_.clear();
                state_ = State::InData;
            } else if (!isLineEnd(b)) {
                data_.assign(1, b);
                state_ = State::InLine;
            }
            break;
        case State::InData:
            if (b == kEtx) {
                afterEtx_.clear();
                state_ = State::AfterEtx;
            } else if (b == kStx) {
                data_.clear();  // an unfinished frame is dropped
            } else if (data_.size() < kMaxData) {
                data_.push_back(b);
            } else {
                data_.clear();
                state_ = State::Idle;
            }
            break;
        case State::AfterEtx:
            // A check byte may have any value, STX and CR too: the tail is read as a whole.
            afterEtx_.push_back(b);
            if (afterEtx_.size() > kMaxAfterEtx)
                finishFrame(ready_);
            break;
        case State::InLine:
            if (isLineEnd(b)) {
                Request r;
                r.kind = Request::Kind::Line;
                r.line = data_;
                ready_.push_back(std::move(r));
                data_.clear();
                state_ = State::Idle;
            } else if (b == kStx) {
                data_.clear();
                state_ = State::InData;
            } else if (data_.size() < kMaxData) {
                data_.push_back(b);
            }
            break;
        }
    }
    if (!bytes.empty())
        lastByteMs_ = nowMs;
}

std::vector<Request> RequestReader::take(std::int64_t nowMs)
{
    if (state_ == State::AfterEtx && nowMs - lastByteMs_ >= gapMs_)
        finishFrame(ready_);
    std::vector<Request> out;
    out.swap(ready_);
    return out;
}

std::optional<std::int64_t> RequestReader::deadline() const
{
    if (state_ == State::AfterEtx)
        return lastByteMs_ + gapMs_;
    return std::nullopt;
}

// ---- Instrument ---------------------------------------------------------------------------

int Instrument::readingTenths(std::int64_t sequence)
{
    const double degrees = 23.0 + 1.5 * std::sin(static_cast<double>(sequence) / 6.0) + 0.1 * static_cast<double>(sequence % 3);
    return static_cast<int>(std::lround(degrees * 10.0));
}

std::string Instrument::readingText(int tenths)
{
    char text[16];
    std::snprintf(text, sizeof text, "%c%d.%d", tenths < 0 ? '-' : '+', std::abs(tenths) / 10, std::abs(tenths) % 10);
    return text;
}

std::vector<std::uint8_t> Instrument::answer(const Request& request, std::int64_t sequence) const
{
    const std::string value = readingText(readingTenths(sequence));
    const auto reply = [&](const std::string& command) -> std::string {
        if (command == "RD")
            return "RD," + value;
        if (command == "ID")
            return "ID,KESTRANE-DEMO,1.0";
        if (command == "ST")
            return "ST,OK";
        return "NG";
    };
    switch (request.kind) {
    case Request::Kind::BadCheck:
        return {kNak};
    case Request::Kind::Line: {
        std::string command(request.line.begin(), request.line.end());
        while (!command.empty() && command.back() == ' ')
            command.pop_back();
        return bytesOf(reply(command) + "\r\n");
    }
    case Request::Kind::Framed: {
        Frame out = request.frame;
        out.data = bytesOf(reply(std::string(request.frame.data.begin(), request.frame.data.end())));
        return composeFrame(out);
    }
    }
    return {};
}

std::vector<std::uint8_t> Instrument::periodicReading(std::int64_t sequence) const
{
    // 温度 (temperature) and ℃ in code page 932.
    static constexpr std::uint8_t kLabel[] = {0x89, 0xB7, 0x93, 0x78};
    static constexpr std::uint8_t kDegreesCelsius[] = {0x81, 0x8E};
    Frame frame;
    frame.data.assign(std::begin(kLabel), std::end(kLabel));
    frame.data.push_back(' ');
    const std::string value = readingText(readingTenths(sequence));
    frame.data.insert(frame.data.end(), value.begin(), value.end());
    frame.data.insert(frame.data.end(), std::begin(kDegreesCelsius), std::end(kDegreesCelsius));
    frame.check = CheckForm::XorDigits;
    frame.trailer = {'\r', '\n'};
    return composeFrame(frame);
}

std::vector<std::uint8_t> hostPoll()
{
    return composeFrame(Frame{{'R', 'D'}, CheckForm::Crc16, false, {}});
}

} // namespace kestrane::demo
