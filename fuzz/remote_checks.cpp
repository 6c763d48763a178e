// What a server of a remote line sends: the Telnet stream with the COM-port option, decoded in
// pieces of any size, and the client's answers to its negotiation.
#include "fuzz/check_support.h"
#include "remote/telnet_com_port.h"

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
