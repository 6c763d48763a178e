#include "support/fake_serial_port.h"

#include "platform/comm_deadline.h"
#include "platform/termios_mapping.h"

#include <algorithm>
#include <utility>

namespace kestrane::test {

FakeSerialPort::FakeSerialPort()
{
    applyLineDefaults(dcb_);
    setEventChar(dcb_.EvtChar);
}

FakeSerialPort::~FakeSerialPort() { watcher_.reset(); }

namespace {

std::uint32_t errorBitOf(timeline::LineError kind)
{
    switch (kind) {
    case timeline::LineError::Parity:
    case timeline::LineError::ParityOrFraming: return CE_RXPARITY;
    case timeline::LineError::Framing: return CE_FRAME;
    case timeline::LineError::Break: return CE_BREAK;
    case timeline::LineError::Overrun: return CE_OVERRUN;
    case timeline::LineError::BufferOverrun: return CE_RXOVER;
    }
    return 0;
}

} // namespace

// ---- The far end ----

void FakeSerialPort::receive(const std::vector<std::uint8_t>& bytes)
{
    pushInput(bytes.data(), bytes.size());
}

void FakeSerialPort::receive(const std::string& text)
{
    receive(std::vector<std::uint8_t>(text.begin(), text.end()));
}

void FakeSerialPort::receive(const std::vector<std::uint8_t>& bytes, const std::vector<ReadMarks::Error>& errors)
{
    std::uint32_t bits = 0;
    for (const ReadMarks::Error& e : errors)
        bits |= errorBitOf(e.kind);
    addLineErrors(bits);
    pushInput(bytes.data(), bytes.size(), errors);
}

void FakeSerialPort::lineState(timeline::LineError kind, std::uint32_t lost)
{
    addLineErrors(errorBitOf(kind));
    lineStateAtEnd(kind, lost);
}

void FakeSerialPort::injectErrors(std::uint32_t errors) { addLineErrors(errors); }

void FakeSerialPort::countChangesLocked(std::uint32_t before, std::uint32_t after)
{
    const std::uint32_t flipped = before ^ after;
    modemCounts_.cts += (flipped & MS_CTS_ON) ? 1 : 0;
    modemCounts_.dsr += (flipped & MS_DSR_ON) ? 1 : 0;
    modemCounts_.dcd += (flipped & MS_RLSD_ON) ? 1 : 0;
    modemCounts_.ring += ((before & MS_RING_ON) && !(after & MS_RING_ON)) ? 1 : 0;
}

void FakeSerialPort::setModemStatus(std::uint32_t status)
{
    ModemChange change;
    {
        std::lock_guard l(m_);
        change = modemChange(modemStatus_, status, nullptr);
        countChangesLocked(modemStatus_, status);
        modemStatus_ = status;
        cv_.notify_all();
        if (modemWatch_ != ModemWatch::Direct || !modemLines_ || change.count == 0)
            return;
    }
    reportEvent(modemEvent(change, timeline::now()));
}

void FakeSerialPort::toggleModemLines(std::uint32_t lines)
{
    ModemChange change;
    {
        std::lock_guard l(m_);
        const std::uint32_t there = modemStatus_ ^ lines;
        countChangesLocked(modemStatus_, there);
        countChangesLocked(there, modemStatus_);
        // Two edges each; RI's counter sees one trailing edge.
        const ModemCounts steps{lines & MS_CTS_ON ? 2U : 0U, lines & MS_DSR_ON ? 2U : 0U, lines & MS_RING_ON ? 1U : 0U,
                                lines & MS_RLSD_ON ? 2U : 0U};
        change = modemChange(modemStatus_, modemStatus_, &steps);
        cv_.notify_all();
        if (modemWatch_ != ModemWatch::Direct || !modemLines_ || change.count == 0)
            return;
    }
    reportEvent(modemEvent(change, timeline::now()));
}

void FakeSerialPort::setLowLatency(std::optional<bool> low)
{
    std::lock_guard l(m_);
    lowLatency_ = low;
}

std::optional<bool> FakeSerialPort::lowLatency() const
{
    std::lock_guard l(m_);
    return lowLatency_;
}

void FakeSerialPort::watchModemLines(ModemWatch how)
{
    std::lock_guard l(m_);
    modemWatch_ = how;
}

bool FakeSerialPort::waitForModemWatch(std::chrono::milliseconds timeout) const
{
    std::unique_lock l(m_);
    return cv_.wait_for(l, timeout, [&] {
        return modemWatch_ == ModemWatch::Wait ? modemWaiters_ > 0 : modemLooks_ > 0;
    });
}

void FakeSerialPort::setEventSink(std::function<void(const PortEvent&)> sink)
{
    SerialPortCore::setEventSink(std::move(sink));
    bool watch = false;
    {
        std::lock_guard l(m_);
        watch = modemWatch_ != ModemWatch::Direct && modemLines_;
    }
    if (watch && !watcher_)
        watcher_ = std::make_unique<ModemWatcher>(modemDevice_, [this](const PortEvent& e) { reportEvent(e); });
}

// ---- The modem lines as the watcher sees them ----

bool FakeSerialPort::ModemLines::lines(std::uint32_t& ms)
{
    std::lock_guard l(port_.m_);
    ms = port_.modemStatus_;
    return port_.modemLines_ && !port_.lost();
}

bool FakeSerialPort::ModemLines::counts(ModemCounts& c)
{
    std::lock_guard l(port_.m_);
    // The counters are the last thing a look reads (the first look too, whether kept or not):
    // a change after this is seen by the next look.
    ++port_.modemLooks_;
    port_.cv_.notify_all();
    c = port_.modemCounts_;
    return port_.modemWatch_ != ModemWatch::PollUncounted;
}

ModemDevice::Wait FakeSerialPort::ModemLines::waitForChange()
{
    std::unique_lock l(port_.m_);
    if (port_.modemWatch_ != ModemWatch::Wait)
        return Wait::Unsupported;
    // As the driver does: the counters at the start of the wait, and any step from them.
    const ModemCounts start = port_.modemCounts_;
    auto moved = [&] {
        const ModemCounts& c = port_.modemCounts_;
        return c.cts != start.cts || c.dsr != start.dsr || c.ring != start.ring || c.dcd != start.dcd;
    };
    ++port_.modemWaiters_;
    port_.cv_.notify_all();
    port_.cv_.wait(l, [&] { return moved() || port_.modemInterrupted_ || port_.lost(); });
    --port_.modemWaiters_;
    if (std::exchange(port_.modemInterrupted_, false))
        return Wait::Interrupted;
    return port_.lost() ? Wait::Failed : Wait::Changed;
}

void FakeSerialPort::ModemLines::interrupt(std::thread&)
{
    std::lock_guard l(port_.m_);
    port_.modemInterrupted_ = true;
    port_.cv_.notify_all();
}

void FakeSerialPort::setModemLinesSupported(bool supported)
{
    std::lock_guard l(m_);
    modemLines_ = supported;
}

void FakeSerialPort::rejectStates(std::function<bool(const Dcb&)> rule)
{
    std::lock_guard l(m_);
    reject_ = std::move(rule);
}

void FakeSerialPort::setWriteLimit(std::optional<std::size_t> bytes)
{
    std::lock_guard l(m_);
    writeLimit_ = bytes;
}

void FakeSerialPort::setWriteFailure(bool fail)
{
    std::lock_guard l(m_);
    writeFailure_ = fail;
}

void FakeSerialPort::holdWrites(bool hold)
{
    std::lock_guard l(m_);
    holdWrites_ = hold;
    cv_.notify_all();
}

void FakeSerialPort::setOutQueue(std::uint32_t bytes)
{
    std::lock_guard l(m_);
    outQueue_ = bytes;
}

void FakeSerialPort::holdOutput(bool hold)
{
    std::lock_guard l(m_);
    holdOutput_ = hold;
    if (!hold)
        outQueue_ = 0;
    cv_.notify_all();
}

void FakeSerialPort::setStatusQueryFailure(bool fail)
{
    std::lock_guard l(m_);
    statusQueryFailure_ = fail;
}

void FakeSerialPort::setStateHook(std::function<void()> hook)
{
    std::lock_guard l(m_);
    stateHook_ = std::move(hook);
}

void FakeSerialPort::hangUp()
{
    markLost(LossReason::HungUp);
    std::lock_guard l(m_);
    cv_.notify_all();  // held writes end
}

// ---- What the program did ----

std::vector<std::size_t> FakeSerialPort::writeSizes() const
{
    std::lock_guard l(m_);
    return writeSizes_;
}

std::vector<std::uint8_t> FakeSerialPort::written() const
{
    std::lock_guard l(m_);
    return written_;
}

bool FakeSerialPort::waitForWritten(std::size_t total, std::chrono::milliseconds timeout) const
{
    std::unique_lock l(m_);
    return cv_.wait_for(l, timeout, [&] { return written_.size() >= total; });
}

bool FakeSerialPort::waitForWaiter(std::chrono::milliseconds timeout) const
{
    std::unique_lock l(m_);
    return cv_.wait_for(l, timeout, [&] { return waiters_ > 0; });
}

bool FakeSerialPort::waitForBlockedWrite(std::chrono::milliseconds timeout) const
{
    std::unique_lock l(m_);
    return cv_.wait_for(l, timeout, [&] { return blockedWriters_ > 0; });
}

std::vector<int> FakeSerialPort::escapes() const
{
    std::lock_guard l(m_);
    return escapes_;
}

std::vector<std::uint32_t> FakeSerialPort::purges() const
{
    std::lock_guard l(m_);
    return purges_;
}

std::uint32_t FakeSerialPort::mask() const
{
    std::lock_guard l(m_);
    return mask_;
}

int FakeSerialPort::setCommMaskCalls() const
{
    std::lock_guard l(m_);
    return maskCalls_;
}

std::size_t FakeSerialPort::queued() const { return queuedInput(); }

bool FakeSerialPort::dtr() const
{
    std::lock_guard l(m_);
    return dtr_;
}

bool FakeSerialPort::rts() const
{
    std::lock_guard l(m_);
    return rts_;
}

bool FakeSerialPort::breakOn() const
{
    std::lock_guard l(m_);
    return break_;
}

// ---- SerialPort ----

bool FakeSerialPort::getCommState(Dcb& dcb)
{
    std::lock_guard l(m_);
    if (lost())
        return false;
    dcb = dcb_;
    return true;
}

bool FakeSerialPort::setCommState(const Dcb& dcb)
{
    std::function<void()> hook;
    {
        std::lock_guard l(m_);
        hook = stateHook_;
    }
    if (hook)
        hook();
    std::lock_guard l(m_);
    if (lost())
        return false;
    // What the real port refuses, the fake refuses too.
    TermiosImage probe;
    if (!applyDcb(dcb, probe) || (reject_ && reject_(dcb)))
        return false;
    dcb_ = dcb;
    if (dcb.fDtrControl() != DTR_CONTROL_HANDSHAKE)
        dtr_ = dcb.fDtrControl() == DTR_CONTROL_ENABLE;
    if (dcb.fRtsControl() == RTS_CONTROL_ENABLE || dcb.fRtsControl() == RTS_CONTROL_DISABLE)
        rts_ = dcb.fRtsControl() == RTS_CONTROL_ENABLE;
    setEventChar(dcb.EvtChar);
    return true;
}

bool FakeSerialPort::setCommMask(std::uint32_t mask)
{
    {
        std::lock_guard l(m_);
        mask_ = mask;
        ++maskCalls_;
    }
    return SerialPortCore::setCommMask(mask);
}

bool FakeSerialPort::waitCommEvent(std::uint32_t& events)
{
    {
        std::lock_guard l(m_);
        ++waiters_;
        cv_.notify_all();
    }
    const bool ok = SerialPortCore::waitCommEvent(events);
    std::lock_guard l(m_);
    --waiters_;
    return ok;
}

IoStatus FakeSerialPort::writeToDevice(const std::uint8_t* data, std::size_t n, std::size_t& written, Deadline,
                                       std::uint64_t generation)
{
    std::unique_lock l(m_);
    writeSizes_.push_back(n);
    if (lost() || writeFailure_)
        return IoStatus::Failed;
    if (writeAborted(generation))
        return IoStatus::Cancelled;
    if (holdWrites_) {
        ++blockedWriters_;
        cv_.notify_all();
        cv_.wait(l, [&] { return !holdWrites_ || lost() || writeAborted(generation); });
        --blockedWriters_;
        if (writeAborted(generation))
            return IoStatus::Cancelled;
        if (lost())
            return IoStatus::Failed;
    }
    const std::size_t k = writeLimit_ ? std::min(n, *writeLimit_) : n;
    written_.insert(written_.end(), data, data + k);
    if (holdOutput_)
        outQueue_ += static_cast<std::uint32_t>(k);
    written = k;
    cv_.notify_all();
    return IoStatus::Ok;
}

IoStatus FakeSerialPort::waitDrained(Deadline deadline, std::uint64_t generation, std::size_t& left)
{
    std::unique_lock l(m_);
    auto settled = [&] { return outQueue_ == 0 || lost() || writeAborted(generation); };
    if (!deadline)
        cv_.wait(l, settled);
    else
        cv_.wait_until(l, *deadline, settled);
    if (lost())
        return IoStatus::Failed;
    if (writeAborted(generation))
        return IoStatus::Cancelled;
    left = outQueue_;
    return IoStatus::Ok;
}

void FakeSerialPort::interruptWrites()
{
    std::lock_guard l(m_);
    cv_.notify_all();
}

bool FakeSerialPort::clearCommError(std::uint32_t& errors, ComStat* stat)
{
    errors = 0;
    if (lost())
        return false;
    std::uint32_t queued = 0;
    errors = takeErrors(&queued);
    std::lock_guard l(m_);
    if (statusQueryFailure_)
        return false;
    if (stat) {
        *stat = ComStat{};
        stat->cbInQue = queued;
        stat->cbOutQue = outQueue_;
        if (xoffHold_)
            stat->flags |= ComStat::fXoffHold;
        const bool handshake = dcb_.fOutxCtsFlow() || dcb_.fRtsControl() == RTS_CONTROL_HANDSHAKE;
        if (handshake && modemLines_ && !(modemStatus_ & MS_CTS_ON))
            stat->flags |= ComStat::fCtsHold;
    }
    return true;
}

bool FakeSerialPort::getCommModemStatus(std::uint32_t& status)
{
    std::lock_guard l(m_);
    status = 0;
    if (lost() || !modemLines_)
        return false;
    status = modemStatus_;
    return true;
}

bool FakeSerialPort::escapeCommFunction(int function)
{
    std::lock_guard l(m_);
    escapes_.push_back(function);
    if (lost())
        return false;
    switch (function) {
    case SETXOFF: xoffHold_ = true; return true;
    case SETXON: xoffHold_ = false; return true;
    case SETRTS:
    case CLRRTS:
        if (!modemLines_)
            return false;
        rts_ = function == SETRTS;
        return true;
    case SETDTR:
    case CLRDTR:
        if (!modemLines_)
            return false;
        dtr_ = function == SETDTR;
        return true;
    case SETBREAK: break_ = true; return true;
    case CLRBREAK: break_ = false; return true;
    default: return false;
    }
}

bool FakeSerialPort::purgeComm(std::uint32_t flags)
{
    {
        std::lock_guard l(m_);
        purges_.push_back(flags);
        if (lost())
            return false;
        if (flags & PURGE_TXCLEAR)
            outQueue_ = 0;
    }
    purgeInput(flags);
    return true;
}

} // namespace kestrane::test
