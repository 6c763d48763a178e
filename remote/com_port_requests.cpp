#include "remote/com_port_requests.h"

#include "platform/serial_port.h"
#include "remote/telnet_com_port.h"

#include <algorithm>
#include <utility>

namespace kestrane::telnet {

namespace {

constexpr std::array<std::uint32_t, kFieldCount> kFieldBits = {
    kSettingDtr,    kSettingRts,      kSettingBaudRate,    kSettingByteSize,
    kSettingParity, kSettingStopBits, kSettingFlowControl, kSettingBreak, 0,
};
// A failed set names the line settings with the same bits.
static_assert(kSettingBaudRate == SetStateFailure::Rate && kSettingByteSize == SetStateFailure::ByteSize &&
              kSettingParity == SetStateFailure::Parity && kSettingStopBits == SetStateFailure::StopBits &&
              kSettingFlowControl == SetStateFailure::FlowControl);

// The command of each field.
constexpr std::array<std::uint8_t, kFieldCount> kCommand = {
    kSetControl, kSetControl, kSetBaudRate, kSetDataSize, kSetParity, kSetStopSize, kSetControl, kSetControl, kPurgeData,
};

// Closed records kept beyond the open ones, so a batch still finds its answers.
constexpr std::size_t kKeptClosed = 2 * ComPortRequests::kMaxPending;

unsigned parityCode(std::uint8_t parity) { return parity + 1u; }  // none 1, odd 2, even 3, mark 4, space 5
unsigned stopBitsCode(std::uint8_t stop) { return stop == ONESTOPBIT ? 1u : stop == TWOSTOPBITS ? 2u : 3u; }
std::uint8_t stopBitsOfCode(unsigned code) { return code == 2 ? TWOSTOPBITS : code == 3 ? ONE5STOPBITS : ONESTOPBIT; }

unsigned flowCode(const Dcb& d)
{
    if (d.fOutxCtsFlow() || d.fRtsControl() == RTS_CONTROL_HANDSHAKE)
        return kFlowHardware;
    if (d.fOutX() || d.fInX())
        return kFlowXonXoff;
    return kFlowNone;
}

// SET-CONTROL answers several settings: the value tells which one.
std::optional<Field> fieldOfControl(unsigned value)
{
    if (value >= kFlowNone && value <= kFlowHardware)
        return kFlow;
    if (value == kBreakOn || value == kBreakOff)
        return kBreak;
    if (value == kDtrOn || value == kDtrOff)
        return kDtr;
    if (value == kRtsOn || value == kRtsOff)
        return kRts;
    return std::nullopt;
}

} // namespace

std::uint32_t settingBit(Field f) { return kFieldBits[f]; }

bool isLineField(Field f) { return f >= kBaud && f <= kFlow; }

bool valueAccepted(Field f, unsigned wanted, unsigned got)
{
    if (f != kBaud)
        return wanted == got;
    const std::uint64_t diff = wanted > got ? wanted - got : got - wanted;
    return diff * 100 <= std::uint64_t{wanted} * 3;
}

bool validForServer(const Dcb& d)
{
    return d.BaudRate > 0 && d.ByteSize >= 5 && d.ByteSize <= 8 && d.Parity <= SPACEPARITY &&
           d.StopBits <= TWOSTOPBITS && (d.StopBits != ONE5STOPBITS || d.ByteSize == 5);
}

FieldValues requestsOf(const Dcb& d)
{
    FieldValues want;
    if (d.fDtrControl() == DTR_CONTROL_ENABLE || d.fDtrControl() == DTR_CONTROL_DISABLE)
        want[kDtr] = d.fDtrControl() == DTR_CONTROL_ENABLE ? kDtrOn : kDtrOff;
    if (d.fRtsControl() == RTS_CONTROL_ENABLE || d.fRtsControl() == RTS_CONTROL_DISABLE)
        want[kRts] = d.fRtsControl() == RTS_CONTROL_ENABLE ? kRtsOn : kRtsOff;
    want[kBaud] = d.BaudRate;
    want[kDataSize] = d.ByteSize;
    want[kParity] = parityCode(d.Parity);
    want[kStopBits] = stopBitsCode(d.StopBits);
    want[kFlow] = flowCode(d);
    return want;
}

FieldValues requestOfEscape(int function)
{
    FieldValues want;
    switch (function) {
    case SETDTR: want[kDtr] = kDtrOn; break;
    case CLRDTR: want[kDtr] = kDtrOff; break;
    case SETRTS: want[kRts] = kRtsOn; break;
    case CLRRTS: want[kRts] = kRtsOff; break;
    case SETBREAK: want[kBreak] = kBreakOn; break;
    case CLRBREAK: want[kBreak] = kBreakOff; break;
    default: break;
    }
    return want;
}

Dcb acknowledgedDcb(Dcb dcb, const FieldValues& a)
{
    if (a[kBaud])
        dcb.BaudRate = *a[kBaud];
    if (a[kDataSize])
        dcb.ByteSize = static_cast<std::uint8_t>(*a[kDataSize]);
    if (a[kParity] && *a[kParity] >= 1 && *a[kParity] <= 5)
        dcb.Parity = static_cast<std::uint8_t>(*a[kParity] - 1);
    if (a[kStopBits])
        dcb.StopBits = stopBitsOfCode(*a[kStopBits]);
    if (a[kFlow] && *a[kFlow] != flowCode(dcb)) {
        // The server has another flow control than the record asked for: read back its own.
        const bool hardware = *a[kFlow] == kFlowHardware;
        const bool xonXoff = *a[kFlow] == kFlowXonXoff;
        dcb.setFOutxCtsFlow(hardware);
        if (hardware)
            dcb.setFRtsControl(RTS_CONTROL_HANDSHAKE);
        else if (dcb.fRtsControl() == RTS_CONTROL_HANDSHAKE)
            dcb.setFRtsControl(RTS_CONTROL_ENABLE);
        dcb.setFOutX(xonXoff);
        dcb.setFInX(xonXoff);
    }
    return dcb;
}

std::uint32_t errorsOfLineState(unsigned state)
{
    static constexpr std::pair<unsigned, std::uint32_t> kErrorOfBit[] = {
        {kLineOverrun, CE_OVERRUN}, {kLineParity, CE_RXPARITY}, {kLineFraming, CE_FRAME}, {kLineBreak, CE_BREAK}};
    std::uint32_t e = 0;
    for (const auto& [bit, error] : kErrorOfBit)
        if (state & bit)
            e |= error;
    return e;
}

std::size_t lineErrorsOfLineState(unsigned state, timeline::LineError (&out)[4])
{
    using timeline::LineError;
    static constexpr std::pair<unsigned, LineError> kKindOfBit[] = {{kLineOverrun, LineError::Overrun},
                                                                    {kLineParity, LineError::Parity},
                                                                    {kLineFraming, LineError::Framing},
                                                                    {kLineBreak, LineError::Break}};
    std::size_t n = 0;
    for (const auto& [bit, kind] : kKindOfBit)
        if (state & bit)
            out[n++] = kind;
    return n;
}

ModemChange modemChangeOfModemState(std::optional<std::uint32_t> before, unsigned state)
{
    const std::uint32_t lines = state & (MS_CTS_ON | MS_DSR_ON | MS_RING_ON | MS_RLSD_ON);
    const ModemCounts steps{state & 0x01U, (state >> 1) & 0x01U, (state >> 2) & 0x01U, (state >> 3) & 0x01U};
    // Before the first report the lines are not known: only those it says changed did.
    const std::uint32_t was = before ? *before : lines ^ ((state & 0x0FU) << 4);
    return modemChange(was, lines, &steps);
}

ServerReport readServerReport(const std::uint8_t* p, std::size_t n)
{
    if (n < 1 || p[0] <= kServerOffset)
        return {};
    const int code = p[0] - kServerOffset;
    if (code == kFlowControlSuspend)
        return {ServerReport::Suspend};
    if (code == kFlowControlResume)
        return {ServerReport::Resume};
    if (n < 2)
        return {};  // every other report carries a value
    const unsigned value = p[1];
    switch (code) {
    case kSetBaudRate:
        if (n < 5)
            return {};
        return {ServerReport::Answer, kBaud,
                static_cast<unsigned>(p[1]) << 24 | static_cast<unsigned>(p[2]) << 16 |
                    static_cast<unsigned>(p[3]) << 8 | p[4]};
    case kSetDataSize: return {ServerReport::Answer, kDataSize, value};
    case kSetParity: return {ServerReport::Answer, kParity, value};
    case kSetStopSize: return {ServerReport::Answer, kStopBits, value};
    case kSetControl:
        if (const std::optional<Field> f = fieldOfControl(value))
            return {ServerReport::Answer, *f, value};
        return {};
    case kPurgeData: return {ServerReport::Answer, kPurge, value};
    case kNotifyLineState: return {ServerReport::LineState, kDtr, value};
    case kNotifyModemState: return {ServerReport::ModemState, kDtr, value};
    default: return {};
    }
}

// ---- The bookkeeping ----

Batch ComPortRequests::ask(const FieldValues& want, std::vector<std::uint8_t>& wire, CommClock::time_point now,
                           CommClock::duration bound)
{
    Batch batch;
    batch.deadline = now + bound;
    for (std::size_t i = 0; i < kFieldCount; ++i) {
        if (!want[i])
            continue;
        const auto f = static_cast<Field>(i);
        const unsigned v = *want[i];
        if (f == kBaud) {
            const std::uint8_t rate[4] = {static_cast<std::uint8_t>(v >> 24), static_cast<std::uint8_t>(v >> 16),
                                          static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)};
            appendComPort(wire, kCommand[f], rate, 4);
        } else {
            const auto byte = static_cast<std::uint8_t>(v);
            appendComPort(wire, kCommand[f], &byte, 1);
        }
        Requests& r = requests_[f];
        if (r.records.size() - r.firstOpen >= kMaxPending)
            r.records[r.firstOpen++].closed = true;  // given up: never answered
        Record asked;
        asked.requested = v;
        r.records.push_back(asked);
        batch.requests.push_back(RequestId{f, r.firstSerial + r.records.size() - 1});
        // Forget the oldest closed records beyond what a batch under way may still look at.
        while (r.firstOpen > kKeptClosed) {
            r.records.pop_front();
            ++r.firstSerial;
            --r.firstOpen;
        }
    }
    return batch;
}

std::optional<unsigned> ComPortRequests::answer(Field field, unsigned value, CommClock::time_point now)
{
    acknowledged_[field] = value;
    Requests& r = requests_[field];
    if (r.firstOpen == r.records.size())
        return std::nullopt;
    Record& answered = r.records[r.firstOpen++];
    answered.closed = true;
    answered.value = value;
    answered.answeredAt = now;
    return answered.requested;
}

std::optional<unsigned> ComPortRequests::oldestOpen(Field field) const
{
    const Requests& r = requests_[field];
    if (r.firstOpen == r.records.size())
        return std::nullopt;
    return r.records[r.firstOpen].requested;
}

std::size_t ComPortRequests::openCount(Field field) const
{
    const Requests& r = requests_[field];
    return r.records.size() - r.firstOpen;
}

const ComPortRequests::Record* ComPortRequests::find(RequestId id) const
{
    const Requests& r = requests_[id.field];
    if (id.serial < r.firstSerial || id.serial - r.firstSerial >= r.records.size())
        return nullptr;  // long given up (or never asked)
    return &r.records[id.serial - r.firstSerial];
}

std::optional<unsigned> ComPortRequests::answerOf(RequestId id) const
{
    const Record* r = find(id);
    return r ? r->value : std::nullopt;
}

bool ComPortRequests::settled(const Batch& b, CommClock::time_point now) const
{
    if (now >= b.deadline)
        return true;
    return std::all_of(b.requests.begin(), b.requests.end(), [&](RequestId id) {
        const Record* r = find(id);
        return !r || r->closed;
    });
}

ComPortRequests::Outcome ComPortRequests::outcome(const Batch& b) const
{
    Outcome o;
    for (const RequestId id : b.requests) {
        const Record* r = find(id);
        const bool inTime = r && r->value && r->answeredAt <= b.deadline;
        if (inTime && valueAccepted(id.field, r->requested, *r->value))
            continue;
        o.refused |= settingBit(id.field);
        if (!inTime)
            o.unanswered |= settingBit(id.field);
    }
    return o;
}

std::uint32_t ComPortRequests::unconfirmed() const
{
    std::uint32_t bits = 0;
    for (std::size_t i = 0; i < kFieldCount; ++i) {
        const auto f = static_cast<Field>(i);
        const std::deque<Record>& records = requests_[f].records;
        if (records.empty())
            continue;
        const Record& latest = records.back();
        if (!(latest.value && valueAccepted(f, latest.requested, *latest.value)))
            bits |= settingBit(f);
    }
    return bits;
}

} // namespace kestrane::telnet
