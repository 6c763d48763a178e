// The requests a client of a COM-port (RFC 2217) server makes and what the server answers:
// which settings a line-settings record asks for and in which words, what a server's report
// says, and the bookkeeping of the requests (which one of each setting is still open, what the
// server acknowledged last, whether a batch was answered by its deadline). Pure logic: no
// sockets, no threads; the time is passed in, so every rule of time is checked on its own.
#pragma once

#include "platform/comm_deadline.h"
#include "platform/comm_types.h"
#include "platform/modem_watcher.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

namespace kestrane::telnet {

// What a server is asked for: the settings, and the purge of its buffers.
enum Field : std::uint8_t { kDtr, kRts, kBaud, kDataSize, kParity, kStopBits, kFlow, kBreak, kPurge, kFieldCount };
using FieldValues = std::array<std::optional<unsigned>, kFieldCount>;

// Values on the wire: SET-CONTROL's codes, the line-state bits, the purge's directions.
inline constexpr unsigned kFlowNone = 1, kFlowXonXoff = 2, kFlowHardware = 3;
inline constexpr unsigned kBreakOn = 5, kBreakOff = 6, kDtrOn = 8, kDtrOff = 9, kRtsOn = 11, kRtsOff = 12;
inline constexpr std::uint8_t kLineOverrun = 0x02, kLineParity = 0x04, kLineFraming = 0x08, kLineBreak = 0x10;
inline constexpr std::uint8_t kPurgeReceive = 1, kPurgeTransmit = 2;

// The kSetting* bit of a field (none for the purge); a line setting's is SetStateFailure's too.
std::uint32_t settingBit(Field f);
// The five line settings (rate, data bits, parity, stop bits, flow control).
bool isLineField(Field f);
// Servers round the rate (by up to 3 %); any other value must come back as asked.
bool valueAccepted(Field f, unsigned wanted, unsigned got);

// What a record can ask of any line: rates above 0, 5 to 8 data bits, the five parities, the
// three stop-bit codes (1.5 only with 5 data bits, as the classic driver has it).
bool validForServer(const Dcb& d);
// The requests a record makes: DTR and RTS when it sets their levels, and the line settings.
FieldValues requestsOf(const Dcb& d);
// The request an escape makes (SETDTR ... CLRBREAK), nothing for others.
FieldValues requestOfEscape(int function);
// The record as asked, with the line settings the server acknowledged.
Dcb acknowledgedDcb(Dcb asked, const FieldValues& acknowledged);
// CE_* bits of a NOTIFY-LINESTATE.
std::uint32_t errorsOfLineState(unsigned state);
// The line errors a NOTIFY-LINESTATE reports (overrun, parity, framing, break, in that order)
// into `out`; how many.
std::size_t lineErrorsOfLineState(unsigned state, timeline::LineError (&out)[4]);
// What a NOTIFY-MODEMSTATE says changed since the last one (`before`: its lines, nothing for
// the first): the states are its high nibble, and its low nibble marks the lines that changed
// since the last report (RI: a trailing edge), so a line reported changed in the same state
// came back.
ModemChange modemChangeOfModemState(std::optional<std::uint32_t> before, unsigned state);

// One COM-port subnegotiation of the server, read.
struct ServerReport {
    enum Kind { None, Answer, LineState, ModemState, Suspend, Resume };
    Kind kind = None;
    Field field = kDtr;  // Answer: the setting it answers
    unsigned value = 0;  // Answer, LineState, ModemState
};
// `payload` is the subnegotiation after the option byte (code, value). Anything else (client
// codes, unknown codes, answers without their value) reads as None.
ServerReport readServerReport(const std::uint8_t* payload, std::size_t n);

// A request, as ask() numbered it.
struct RequestId {
    Field field = kDtr;
    std::uint64_t serial = 0;
};
// Requests asked together, to be answered by `deadline`.
struct Batch {
    std::vector<RequestId> requests;
    CommClock::time_point deadline{};
};

// A server answers the requests of each setting in the order asked, so an answer belongs to the
// oldest request of its setting still open. One that never answers a setting (ser2net serving a
// pseudo-terminal never answers DTR or RTS) leaves its requests open: at most kMaxPending stay
// open per setting, older ones are given up.
class ComPortRequests {
public:
    static constexpr std::size_t kMaxPending = 8;

    // Asks for the fields `want` names, in field order: each request goes to `wire` and is due
    // by now + bound.
    Batch ask(const FieldValues& want, std::vector<std::uint8_t>& wire, CommClock::time_point now,
              CommClock::duration bound);

    // The server's value of `field`, heard at `now`: the answer of the oldest open request of
    // that field (returned: the value it asked for; nothing when none was open), and from now on
    // the acknowledged value whatever it answers.
    std::optional<unsigned> answer(Field field, unsigned value, CommClock::time_point now);
    // The value the oldest open request of `field` asks for.
    [[nodiscard]] std::optional<unsigned> oldestOpen(Field field) const;
    [[nodiscard]] std::size_t openCount(Field field) const;

    // Every request of `b` answered by its deadline, or the deadline reached.
    [[nodiscard]] bool settled(const Batch& b, CommClock::time_point now) const;
    struct Outcome {
        std::uint32_t refused = 0;     // settings not taken as asked by the deadline (kSetting* bits)
        std::uint32_t unanswered = 0;  // of those, the ones not answered by the deadline
    };
    [[nodiscard]] Outcome outcome(const Batch& b) const;
    // What the server answered to one request, whenever it did.
    [[nodiscard]] std::optional<unsigned> answerOf(RequestId id) const;

    // The server's last word on each field.
    [[nodiscard]] const FieldValues& acknowledged() const { return acknowledged_; }
    // Settings whose latest request the server has not answered as asked (kSetting* bits).
    [[nodiscard]] std::uint32_t unconfirmed() const;

private:
    struct Record {
        unsigned requested = 0;
        bool closed = false;  // answered, or given up
        std::optional<unsigned> value;  // what the server answered
        CommClock::time_point answeredAt{};
    };
    struct Requests {
        std::deque<Record> records;  // the latest ones, oldest first
        std::uint64_t firstSerial = 0;  // serial of records.front()
        std::size_t firstOpen = 0;      // index of the oldest open record (== size: none)
    };
    [[nodiscard]] const Record* find(RequestId id) const;

    std::array<Requests, kFieldCount> requests_;
    FieldValues acknowledged_;
};

} // namespace kestrane::telnet
