// What a server of a remote line sends: the Telnet stream with the COM-port option, decoded in
// pieces of any size, the client's answers to its negotiation, and the server's answers to the
// client's requests.
#include "fuzz/check_support.h"
#include "remote/com_port_requests.h"
#include "remote/telnet_com_port.h"

#include <array>
#include <chrono>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace kestrane::fuzz {

namespace {

namespace tn = telnet;
using Wire = std::vector<std::uint8_t>;

// The decoder's findings as one text, data runs joined (so pieces do not show).
struct Log : tn::Sink {
    std::string text;
    bool inData = false;
    std::size_t longestSubnegotiation = 0;
    std::vector<std::pair<std::uint8_t, std::uint8_t>> negotiations;

    void data(const std::uint8_t* b, std::size_t n) override
    {
        if (!inData)
            text += "\nD";
        text.append(reinterpret_cast<const char*>(b), n);
        inData = true;
    }
    void negotiation(std::uint8_t verb, std::uint8_t option) override
    {
        inData = false;
        text += "\nN" + std::to_string(verb) + "," + std::to_string(option);
        negotiations.emplace_back(verb, option);
    }
    void subnegotiation(std::uint8_t option, const std::uint8_t* p, std::size_t n, bool truncated) override
    {
        inData = false;
        longestSubnegotiation = std::max(longestSubnegotiation, n);
        text += "\nS" + std::to_string(option) + (truncated ? "+" : "") + ":" +
                std::string(reinterpret_cast<const char*>(p), n);
    }
    void command(std::uint8_t code) override
    {
        inData = false;
        text += "\nC" + std::to_string(code);
    }
};

Log decode(const std::uint8_t* p, std::size_t n, std::size_t piece)
{
    Log log;
    tn::Decoder d;
    for (std::size_t at = 0; at < n; at += piece)
        d.feed(p + at, std::min(piece, n - at), log);
    return log;
}

} // namespace

std::string checkTelnetStream(Bytes data)
{
    const std::uint8_t* p = data.data();
    const std::size_t n = data.size();

    // Any stream: the same findings whatever the pieces, subnegotiations kept bounded.
    const Log whole = decode(p, n, n ? n : 1);
    for (const std::size_t piece : {std::size_t{1}, std::size_t{2}, std::size_t{7}, n / 3 + 1})
        KCHECK(decode(p, n, piece).text == whole.text, "findings depend on how the stream is cut");
    KCHECK(whole.longestSubnegotiation <= tn::Decoder::kMaxSubnegotiation, "a subnegotiation outgrew its bound");

    // The client's negotiation: at most one reply per request, one refusal per unwanted option.
    tn::Negotiation neg;
    Wire replies;
    neg.start(replies);
    const std::size_t opening = replies.size();
    replies.clear();
    bool lastComPort = false, sawComPort = false;
    for (const auto& [verb, option] : whole.negotiations) {
        const std::size_t before = replies.size();
        neg.receive(verb, option, replies);
        KCHECK(replies.size() - before <= 3, "more than one reply to one request");
        if (option == tn::kComPort && (verb == tn::DO || verb == tn::DONT)) {
            sawComPort = true;
            lastComPort = verb == tn::DO;
        }
    }
    KCHECK(opening == 15, "the opening requests changed");
    KCHECK(!sawComPort || neg.comPortAgreed() == lastComPort, "COM-port state is not the server's last word");

    // The input as data: it passes unchanged, with a subnegotiation in its middle.
    Wire wire;
    const std::size_t half = n / 2;
    tn::appendData(wire, p, half);
    const std::uint8_t code = n ? p[0] : 0;
    tn::appendComPort(wire, code, p, std::min<std::size_t>(half, 20));
    tn::appendData(wire, p + half, n - half);
    Log expect;
    if (half)
        expect.data(p, half);
    std::vector<std::uint8_t> payload{code};
    payload.insert(payload.end(), p, p + std::min<std::size_t>(half, 20));
    expect.subnegotiation(tn::kComPort, payload.data(), payload.size(), false);
    if (n - half)
        expect.data(p + half, n - half);
    KCHECK(decode(wire.data(), wire.size(), 3).text == expect.text, "encoded data and request do not decode back");
    return {};
}

} // namespace kestrane::fuzz

// ---- The requests to a COM-port server ----

namespace kestrane::fuzz {

namespace {

// Reads the check's script: bytes taken in order, 0 past the end.
struct Script {
    Bytes data;
    std::size_t at = 0;
    [[nodiscard]] bool more() const { return at < data.size(); }
    std::uint8_t byte() { return at < data.size() ? data[at++] : 0; }
};

// What the server's stream carries, for the bookkeeping: its COM-port subnegotiations.
struct Reports : tn::Sink {
    std::vector<std::vector<std::uint8_t>> comPort;
    void data(const std::uint8_t*, std::size_t) override {}
    void negotiation(std::uint8_t, std::uint8_t) override {}
    void command(std::uint8_t) override {}
    void subnegotiation(std::uint8_t option, const std::uint8_t* p, std::size_t n, bool truncated) override
    {
        if (option == tn::kComPort && !truncated)
            comPort.emplace_back(p, p + n);
    }
};

struct Asked {
    tn::Batch batch;
    std::optional<tn::ComPortRequests::Outcome> atDeadline;  // the outcome once the deadline passed
};

} // namespace

// A script of requests, server streams and time: the answers pair with the requests of their
// setting in the order asked, at most kMaxPending stay open, what a batch got by its deadline
// never changes after it, and the acknowledged and unconfirmed settings follow the server.
std::string checkComPortRequests(Bytes data)
{
    Script s{data};
    tn::ComPortRequests book;
    auto now = CommClock::time_point{} + std::chrono::hours(1);
    // The open requests of each field as the rule has them, oldest first; the latest of each.
    std::array<std::deque<unsigned>, tn::kFieldCount> open;
    std::array<std::optional<std::pair<unsigned, std::optional<unsigned>>>, tn::kFieldCount> latest;
    std::deque<Asked> asked;
    while (s.more()) {
        const std::uint8_t op = s.byte();
        if (op % 3 == 0) {
            // A request of one or two fields, due after up to 2.5 s.
            tn::FieldValues want;
            const auto f = static_cast<tn::Field>(s.byte() % tn::kFieldCount);
            const unsigned value = f == tn::kBaud ? (unsigned{s.byte()} << 16 | unsigned{s.byte()} << 8 | s.byte()) : s.byte();
            want[f] = value;
            if (op & 0x80)
                want[(f + 1) % tn::kFieldCount] = s.byte();
            Wire wire;
            asked.push_back({book.ask(want, wire, now, std::chrono::milliseconds(10 * s.byte())), std::nullopt});
            if (asked.size() > 16)
                asked.pop_front();
            // The wire carries exactly the requests, client codes and values as asked.
            Reports sent;
            tn::Decoder d;
            d.feed(wire.data(), wire.size(), sent);
            const tn::Batch& batch = asked.back().batch;
            KCHECK(sent.comPort.size() == batch.requests.size(), "a request is missing on the wire");
            for (std::size_t i = 0; i < batch.requests.size(); ++i) {
                const std::vector<std::uint8_t>& sub = sent.comPort[i];
                const tn::Field asks = batch.requests[i].field;
                const unsigned v = *want[asks];
                const bool same = asks == tn::kBaud
                                      ? sub.size() == 5 && (unsigned{sub[1]} << 24 | unsigned{sub[2]} << 16 |
                                                            unsigned{sub[3]} << 8 | sub[4]) == v
                                      : sub.size() == 2 && sub[1] == (v & 0xFF);
                KCHECK(!sub.empty() && sub[0] < tn::kServerOffset && same, "a request went out with another value");
            }
            for (std::size_t i = 0; i < tn::kFieldCount; ++i) {
                if (!want[i])
                    continue;
                if (open[i].size() == tn::ComPortRequests::kMaxPending)
                    open[i].pop_front();
                open[i].push_back(*want[i]);
                latest[i] = {{*want[i], std::nullopt}};
            }
        } else if (op % 3 == 1) {
            // A piece of the server's stream.
            const std::size_t n = s.byte();
            Reports heard;
            tn::Decoder d;
            d.feed(data.data() + s.at, std::min(n, data.size() - s.at), heard);
            s.at += std::min(n, data.size() - s.at);
            for (const auto& sub : heard.comPort) {
                const tn::ServerReport r = tn::readServerReport(sub.data(), sub.size());
                if (r.kind != tn::ServerReport::Answer)
                    continue;
                KCHECK(r.field < tn::kFieldCount, "an answer to no setting");
                // The oldest request asked and still open (none: the answer pairs with nothing).
                const std::deque<unsigned>& waiting = open[r.field];
                auto isOldest = [&](std::optional<unsigned> v) {
                    return v.has_value() != waiting.empty() && (!v || *v == waiting.front());
                };
                KCHECK(isOldest(book.oldestOpen(r.field)), "the oldest open request is not the oldest asked");
                KCHECK(isOldest(book.answer(r.field, r.value, now)), "an answer paired with the wrong request");
                if (!open[r.field].empty()) {
                    if (open[r.field].size() == 1)
                        latest[r.field]->second = r.value;
                    open[r.field].pop_front();
                }
                KCHECK(book.acknowledged()[r.field] == r.value, "the acknowledged value is not the server's last word");
            }
        } else {
            now += std::chrono::milliseconds(7 * s.byte());
        }
        std::uint32_t unconfirmed = 0;
        for (std::size_t i = 0; i < tn::kFieldCount; ++i) {
            const auto f = static_cast<tn::Field>(i);
            KCHECK(book.openCount(f) == open[i].size() && open[i].size() <= tn::ComPortRequests::kMaxPending,
                   "the open requests of a setting outgrew their bound");
            if (latest[i] && !(latest[i]->second && tn::valueAccepted(f, latest[i]->first, *latest[i]->second)))
                unconfirmed |= tn::settingBit(f);
        }
        KCHECK(book.unconfirmed() == unconfirmed, "the unconfirmed settings do not follow the latest requests");
        for (Asked& a : asked) {
            const auto o = book.outcome(a.batch);
            KCHECK((o.unanswered & ~o.refused) == 0, "a setting not answered counts as taken");
            if (now < a.batch.deadline)
                continue;
            KCHECK(book.settled(a.batch, now), "a batch past its deadline is still waited for");
            if (now == a.batch.deadline)
                continue;  // an answer at this very moment is still in time
            if (!a.atDeadline)
                a.atDeadline = o;
            KCHECK(o.refused == a.atDeadline->refused && o.unanswered == a.atDeadline->unanswered,
                   "a late answer changed what a batch got by its deadline");
        }
    }
    return {};
}

} // namespace kestrane::fuzz
