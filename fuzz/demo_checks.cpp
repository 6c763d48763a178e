// What reaches the programs shipped beside Kestrane: the bytes of a line read by the demo
// instrument, and the numbers typed into the number converter.
#include "companions/number_convert.h"
#include "demo/demo_instrument.h"
#include "fuzz/check_support.h"

#include <string>
#include <vector>

namespace kestrane::fuzz {

namespace {

using demo::Request;

std::vector<Request> readAll(Bytes data, std::size_t chunk)
{
    demo::RequestReader reader(50);
    std::vector<Request> out;
    for (std::size_t at = 0; at < data.size(); at += chunk) {
        reader.feed(data.subspan(at, std::min(chunk, data.size() - at)), 0);
        for (Request& r : reader.take(0))
            out.push_back(std::move(r));
    }
    for (Request& r : reader.take(1000))
        out.push_back(std::move(r));
    return out;
}

bool sameRequests(const std::vector<Request>& a, const std::vector<Request>& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].kind != b[i].kind || a[i].line != b[i].line || a[i].frame.data != b[i].frame.data
            || demo::composeFrame(a[i].frame) != demo::composeFrame(b[i].frame))
            return false;
    return true;
}

} // namespace

std::string checkDemoRequests(Bytes data)
{
    const std::vector<Request> whole = readAll(data, data.size() + 1);
    // Reads split anywhere find the same requests as one read of everything.
    KCHECK(sameRequests(whole, readAll(data, 1)), "byte-by-byte reads found other requests");
    KCHECK(sameRequests(whole, readAll(data, 7)), "reads of 7 bytes found other requests");

    const demo::Instrument instrument;
    for (const Request& r : whole) {
        KCHECK(r.frame.data.size() <= 1024 && r.line.size() <= 1024, "a request longer than 1024 bytes");
        for (const std::uint8_t b : r.frame.data)
            KCHECK(b != demo::kStx && b != demo::kEtx, "frame data holding STX or ETX");
        for (const std::uint8_t b : r.line)
            KCHECK(b != '\r' && b != '\n' && b != demo::kStx, "a line holding its end or an STX");
        const std::vector<std::uint8_t> reply = instrument.answer(r, 0);
        KCHECK(!reply.empty(), "a request without a reply");
        if (r.kind != Request::Kind::Framed)
            continue;
        // A frame as read is composed again to bytes that read as the same frame.
        const std::vector<std::uint8_t> again = demo::composeFrame(r.frame);
        const std::vector<Request> reread = readAll(again, again.size());
        KCHECK(reread.size() == 1 && reread[0].kind == Request::Kind::Framed && reread[0].frame.data == r.frame.data,
               "a frame does not read back");
        // The reply carries the request's own check form.
        const std::vector<Request> answered = readAll(reply, reply.size());
        KCHECK(answered.size() == 1 && answered[0].kind == Request::Kind::Framed
                   && demo::composeFrame(answered[0].frame) == reply,
               "a reply does not read as a frame in the request's form");
    }
    return {};
}

std::string checkNumberText(Bytes data)
{
    if (data.empty())
        return {};
    // The first byte picks the radix and type, the rest is the typed text.
    constexpr Radix kRadixes[] = {Radix::Decimal, Radix::Hex, Radix::Binary, Radix::Octal};
    const Radix radix = kRadixes[data[0] & 3];
    const IntegerType type{(data[0] >> 2 & 3) == 0 ? 8 : (data[0] >> 2 & 3) == 1 ? 16 : 32, (data[0] & 0x10) != 0};
    const std::string text(data.begin() + 1, data.end());
    const ParseResult r = parseNumber(text, radix, type);
    if (r.error != ParseError::None)
        return {};
    KCHECK((r.pattern & ~type.mask()) == 0, "a pattern wider than its type");
    for (const Radix to : kRadixes) {
        const std::string shown = formatNumber(r.pattern, to, type);
        const ParseResult back = parseNumber(shown, to, type);
        KCHECK(back.error == ParseError::None, "a shown number does not read back");
        KCHECK(back.pattern == r.pattern, "a shown number reads back as another value");
    }
    const long long value = std::stoll(formatNumber(r.pattern, Radix::Decimal, type));
    KCHECK(value >= type.minimum() && value <= type.maximum(), "a decimal outside its type's range");
    return {};
}

} // namespace kestrane::fuzz
