// The Telnet stream on its own: data and commands apart whatever the pieces, the negotiation.
#include "remote/telnet_com_port.h"

#include <gtest/gtest.h>

#include <string>

namespace kestrane::telnet {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Data runs are joined, so a stream fed in pieces logs the same as one fed whole.
struct Recorder : Sink {
    std::string log;
    bool inData = false;
    void data(const std::uint8_t* b, std::size_t n) override
    {
        if (inData)
            log.pop_back();
        log += (inData ? "" : "D") + std::string(b, b + n) + "|";
        inData = true;
    }
    void negotiation(std::uint8_t verb, std::uint8_t option) override
    {
        inData = false;
        log += "N" + std::to_string(verb) + "," + std::to_string(option) + "|";
    }
    void subnegotiation(std::uint8_t option, const std::uint8_t* p, std::size_t n, bool truncated) override
    {
        inData = false;
        log += "S" + std::to_string(option) + ":" + std::to_string(n) + (truncated ? "+" : "") + ":" +
               std::to_string(n ? p[0] : 0) + "|";
    }
    void command(std::uint8_t code) override
    {
        inData = false;
        log += "C" + std::to_string(code) + "|";
    }
};

TEST(Telnet, TheStreamSplitsTheSameInAnyPieces)
{
    Bytes wire = {'a', 'b', IAC, IAC, 'c', IAC, DO, kComPort, IAC, 241,  // 241: NOP
                  IAC, SB, kComPort, 107, 0x30, IAC, IAC, IAC, SE, 'z'};
    Recorder whole;
    Decoder d;
    d.feed(wire.data(), wire.size(), whole);
    EXPECT_EQ(whole.log, "Dab\xFF" "c|N253,44|C241|S44:3:107|Dz|");
    Recorder bytewise;
    Decoder e;
    for (const std::uint8_t b : wire)
        e.feed(&b, 1, bytewise);
    EXPECT_EQ(bytewise.log, whole.log);
}

TEST(Telnet, ASubnegotiationLongerThanTheBoundKeepsItsFirstBytesAndSaysItWasCut)
{
    Bytes wire = {IAC, SB, kComPort};
    for (std::uint8_t i = 1; i <= 100; ++i)
        wire.push_back(i);
    wire.insert(wire.end(), {IAC, SE, 'k'});
    Recorder r;
    Decoder d;
    d.feed(wire.data(), wire.size(), r);
    EXPECT_EQ(r.log, "S44:64+:1|Dk|");
}

TEST(Telnet, TheClientOffersWhatItNeedsAndRefusesTheRestOnce)
{
    Negotiation n;
    Bytes wire;
    n.start(wire);
    EXPECT_EQ(wire, (Bytes{IAC, WILL, 44, IAC, WILL, 0, IAC, WILL, 3, IAC, DO, 0, IAC, DO, 3}));
    wire.clear();
    n.receive(DO, kComPort, wire);
    n.receive(WILL, kBinary, wire);
    EXPECT_TRUE(wire.empty()) << "answers to our own offers need no reply";
    EXPECT_TRUE(n.comPortAgreed());
    for (int i = 0; i < 3; ++i) {
        n.receive(DO, 24, wire);
        n.receive(WILL, 1, wire);
    }
    EXPECT_EQ(wire, (Bytes{IAC, WONT, 24, IAC, DONT, 1}));
    wire.clear();
    n.receive(DONT, kComPort, wire);
    EXPECT_EQ(wire, (Bytes{IAC, WONT, 44}));
    EXPECT_FALSE(n.comPortAgreed());
    EXPECT_TRUE(n.comPortRefused());
}

} // namespace
} // namespace kestrane::telnet
