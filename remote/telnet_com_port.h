// The Telnet protocol with the COM-port option (RFC 854, 856, 858, 2217) as a client of a
// serial-port server needs it: the byte stream in both directions (IAC doubled in the data), the
// option negotiation, and the COM-port subnegotiations. Pure logic without I/O, so every byte
// a server can send is checked on its own (fuzz/).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kestrane::telnet {

inline constexpr std::uint8_t IAC = 255, DONT = 254, DO = 253, WONT = 252, WILL = 251, SB = 250, SE = 240,
                              BRK = 243;
inline constexpr std::uint8_t kBinary = 0, kSuppressGoAhead = 3, kComPort = 44;

// COM-port commands, client to server; the server answers with the same code + 100.
inline constexpr std::uint8_t kSetBaudRate = 1, kSetDataSize = 2, kSetParity = 3, kSetStopSize = 4,
                              kSetControl = 5, kNotifyLineState = 6, kNotifyModemState = 7,
                              kFlowControlSuspend = 8, kFlowControlResume = 9, kSetLineStateMask = 10,
                              kSetModemStateMask = 11, kPurgeData = 12;
inline constexpr std::uint8_t kServerOffset = 100;

// What the decoder finds in the server's stream.
class Sink {
public:
    virtual ~Sink() = default;
    virtual void data(const std::uint8_t* bytes, std::size_t n) = 0;
    // WILL, WONT, DO or DONT for an option.
    virtual void negotiation(std::uint8_t verb, std::uint8_t option) = 0;
    // A complete subnegotiation; `truncated` when it was longer than the decoder keeps.
    virtual void subnegotiation(std::uint8_t option, const std::uint8_t* payload, std::size_t n, bool truncated) = 0;
    // A Telnet command outside the data (BRK, NOP, ...).
    virtual void command(std::uint8_t code) = 0;
};

// Splits the server's stream, in pieces of any size, into data and Telnet commands. Keeps at
// most kMaxSubnegotiation bytes of a subnegotiation; the rest of an endless one is dropped.
class Decoder {
public:
    static constexpr std::size_t kMaxSubnegotiation = 64;

    void feed(const std::uint8_t* bytes, std::size_t n, Sink& sink);
    void reset() { state_ = State::Data; }

private:
    enum class State { Data, Iac, Verb, SbOption, Sb, SbIac };
    State state_ = State::Data;
    std::uint8_t verb_ = 0;
    std::uint8_t sbOption_ = 0;
    std::array<std::uint8_t, kMaxSubnegotiation> sb_{};
    std::size_t sbLength_ = 0;
    bool sbTruncated_ = false;
};

// Appends data bytes for the wire: 0xFF doubled.
void appendData(std::vector<std::uint8_t>& wire, const std::uint8_t* bytes, std::size_t n);
// Appends IAC <verb> <option>.
void appendNegotiation(std::vector<std::uint8_t>& wire, std::uint8_t verb, std::uint8_t option);
// Appends IAC SB COM-PORT-OPTION <code> <value...> IAC SE (0xFF in the value doubled).
void appendComPort(std::vector<std::uint8_t>& wire, std::uint8_t code, const std::uint8_t* value, std::size_t n);

// The client's side of the option negotiation: it offers the COM-port option and binary mode
// both ways (every byte value passes) and suppresses go-ahead; everything else the server
// proposes is refused. A reply is only sent when an option's state changes, so a server that
// repeats itself cannot make it talk without end.
class Negotiation {
public:
    // The opening requests.
    void start(std::vector<std::uint8_t>& wire);
    // A WILL/WONT/DO/DONT from the server; replies go to `wire`.
    void receive(std::uint8_t verb, std::uint8_t option, std::vector<std::uint8_t>& wire);

    // The server agreed to the COM-port option (DO COM-PORT-OPTION), or refused it (DONT).
    [[nodiscard]] bool comPortAgreed() const { return local_[kComPort] == Side::On; }
    [[nodiscard]] bool comPortRefused() const { return comPortRefused_; }

private:
    enum class Side : std::uint8_t { Off, Asked, On };
    static bool wantLocal(std::uint8_t option) { return option == kComPort || option == kBinary || option == kSuppressGoAhead; }
    static bool wantRemote(std::uint8_t option) { return option == kBinary || option == kSuppressGoAhead; }

    std::array<Side, 256> local_{};   // options we perform (WILL)
    std::array<Side, 256> remote_{};  // options the server performs (DO)
    bool comPortRefused_ = false;
};

} // namespace kestrane::telnet
