#include "remote/telnet_com_port.h"

namespace kestrane::telnet {

void Decoder::feed(const std::uint8_t* bytes, std::size_t n, Sink& sink)
{
    std::size_t runStart = 0;  // a run of plain data in `bytes`, handed on in one piece
    auto flushRun = [&](std::size_t end) {
        if (state_ == State::Data && end > runStart)
            sink.data(bytes + runStart, end - runStart);
    };
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t b = bytes[i];
        switch (state_) {
        case State::Data:
            if (b == IAC) {
                flushRun(i);
                state_ = State::Iac;
            }
            continue;
        case State::Iac:
            if (b == IAC) {
                sink.data(&b, 1);
                state_ = State::Data;
            } else if (b == WILL || b == WONT || b == DO || b == DONT) {
                verb_ = b;
                state_ = State::Verb;
            } else if (b == SB) {
                state_ = State::SbOption;
            } else {
                if (b != SE)
                    sink.command(b);
                state_ = State::Data;
            }
            break;
        case State::Verb:
            sink.negotiation(verb_, b);
            state_ = State::Data;
            break;
        case State::SbOption:
            sbOption_ = b;
            sbLength_ = 0;
            sbTruncated_ = false;
            state_ = State::Sb;
            break;
        case State::Sb:
            if (b == IAC) {
                state_ = State::SbIac;
            } else if (sbLength_ < sb_.size()) {
                sb_[sbLength_++] = b;
            } else {
                sbTruncated_ = true;
            }
            break;
        case State::SbIac:
            if (b == IAC) {
                if (sbLength_ < sb_.size())
                    sb_[sbLength_++] = b;
                else
                    sbTruncated_ = true;
                state_ = State::Sb;
            } else if (b == SE) {
                sink.subnegotiation(sbOption_, sb_.data(), sbLength_, sbTruncated_);
                state_ = State::Data;
            } else {
                // A command inside a subnegotiation ends it unfinished; the command counts.
                state_ = State::Iac;
                --i;
            }
            break;
        }
        runStart = i + 1;
    }
    flushRun(n);
}

void appendData(std::vector<std::uint8_t>& wire, const std::uint8_t* bytes, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i) {
        wire.push_back(bytes[i]);
        if (bytes[i] == IAC)
            wire.push_back(IAC);
    }
}

void appendNegotiation(std::vector<std::uint8_t>& wire, std::uint8_t verb, std::uint8_t option)
{
    wire.insert(wire.end(), {IAC, verb, option});
}

void appendComPort(std::vector<std::uint8_t>& wire, std::uint8_t code, const std::uint8_t* value, std::size_t n)
{
    wire.insert(wire.end(), {IAC, SB, kComPort});
    appendData(wire, &code, 1);
    appendData(wire, value, n);
    wire.insert(wire.end(), {IAC, SE});
}

void Negotiation::start(std::vector<std::uint8_t>& wire)
{
    for (const std::uint8_t o : {kComPort, kBinary, kSuppressGoAhead}) {
        local_[o] = Side::Asked;
        appendNegotiation(wire, WILL, o);
    }
    for (const std::uint8_t o : {kBinary, kSuppressGoAhead}) {
        remote_[o] = Side::Asked;
        appendNegotiation(wire, DO, o);
    }
}

void Negotiation::receive(std::uint8_t verb, std::uint8_t option, std::vector<std::uint8_t>& wire)
{
    switch (verb) {
    case DO:
        if (!wantLocal(option)) {
            if (local_[option] != Side::Off)
                break;
            local_[option] = Side::Asked;  // refused once; asked again, the answer stands
            appendNegotiation(wire, WONT, option);
        } else if (local_[option] != Side::On) {
            if (local_[option] == Side::Off)
                appendNegotiation(wire, WILL, option);
            local_[option] = Side::On;
        }
        break;
    case DONT:
        if (option == kComPort)
            comPortRefused_ = true;
        if (local_[option] == Side::On)
            appendNegotiation(wire, WONT, option);
        if (wantLocal(option))
            local_[option] = Side::Off;
        break;
    case WILL:
        if (!wantRemote(option)) {
            if (remote_[option] != Side::Off)
                break;
            remote_[option] = Side::Asked;
            appendNegotiation(wire, DONT, option);
        } else if (remote_[option] != Side::On) {
            if (remote_[option] == Side::Off)
                appendNegotiation(wire, DO, option);
            remote_[option] = Side::On;
        }
        break;
    case WONT:
        if (remote_[option] == Side::On)
            appendNegotiation(wire, DONT, option);
        if (wantRemote(option))
            remote_[option] = Side::Off;
        break;
    default: break;
    }
}

} // namespace kestrane::telnet
