#include "support/fake_serial_port.h"

#include "platform/comm_deadline.h"
#include "platform/termios_mapping.h"

#include <algorithm>

namespace kestrane::test {

FakeSerialPort::FakeSerialPort()
{
    applyLineDefaults(dcb_);
}

// ---- The far end ----

void FakeSerialPort::receive(const std::vector<std::uint8_t>& bytes)
{
    std::lock_guard l(m_);
    queue_.insert(queue_.end(), bytes.begin(), bytes.end());
    cv_.notify_all();
}

void FakeSerialPort::receive(const std::string& text)
{
    receive(std::vector<std::uint8_t>(text.begin(), text.end()));
}

void FakeSerialPort::injectErrors(std::uint32_t errors)
{
    std::lock_guard l(m_);
    errors_ |= errors;
}

void FakeSerialPort::setModemStatus(std::uint32_t status)
{
    std::lock_guard l(m_);
    modemStatus_ = status;
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
    std::function<void()> notify;
    {
        std::lock_guard l(m_);
        if (!lost_)
            notify = lossNotifier_;
        lost_ = true;
        cv_.notify_all();
    }
    if (notify)
        notify();
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

std::size_t FakeSerialPort::queued() const
{
    std::lock_guard l(m_);
    return queue_.size();
}

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
    if (lost_)
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
    if (lost_)
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
    cv_.notify_all();  // a new event character may satisfy a waiter
    return true;
}

bool FakeSerialPort::getCommTimeouts(CommTimeouts& t)
{
    std::lock_guard l(m_);
    if (lost_)
        return false;
    t = timeouts_;
    return true;
}

bool FakeSerialPort::setCommTimeouts(const CommTimeouts& t)
{
    std::lock_guard l(m_);
    if (lost_)
        return false;
    timeouts_ = t;
    return true;
}

bool FakeSerialPort::setupComm(std::uint32_t, std::uint32_t)
{
    std::lock_guard l(m_);
    return !lost_;
}

bool FakeSerialPort::setCommMask(std::uint32_t mask)
{
    std::lock_guard l(m_);
    mask_ = mask;
    ++maskCalls_;
    wake_ = true;
    cv_.notify_all();
    return !lost_;
}

bool FakeSerialPort::waitCommEvent(std::uint32_t& events)
{
    events = 0;
    std::unique_lock l(m_);
    ++waiters_;
    cv_.notify_all();
    struct Leave {
        int& w;
        ~Leave() { --w; }
    } leave{waiters_};
    for (;;) {
        if (lost_) {
            // What arrived before the loss is read out first.
            events = mask_ & (EV_RXCHAR | EV_RXFLAG);
            if (!queue_.empty() && events)
                return true;
            events = 0;
            cv_.wait(l, [&] { return wake_; });
            wake_ = false;
            return false;
        }
        if (wake_) {
            wake_ = false;
            return true;
        }
        if ((mask_ & EV_RXCHAR) && !queue_.empty())
            events |= EV_RXCHAR;
        if ((mask_ & EV_RXFLAG) && std::find(queue_.begin(), queue_.end(), dcb_.EvtChar) != queue_.end())
            events |= EV_RXFLAG;
        if (events)
            return true;
        cv_.wait(l);
    }
}

std::size_t FakeSerialPort::takeLocked(std::uint8_t* buf, std::size_t n)
{
    const std::size_t k = std::min(n, queue_.size());
    std::copy_n(queue_.begin(), k, buf);
    queue_.erase(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(k));
    return k;
}

IoStatus FakeSerialPort::read(std::uint8_t* buf, std::size_t n, std::size_t& got, int capMs)
{
    got = 0;
    std::unique_lock l(m_);
    ReadDeadline dl(timeouts_, n, capMs, CommClock::now());
    const std::uint64_t generation = rxAbortGeneration_;
    for (;;) {
        if (lost_) {
            got += takeLocked(buf + got, n - got);
            return got > 0 ? IoStatus::Ok : IoStatus::Failed;
        }
        const std::size_t k = takeLocked(buf + got, n - got);
        got += k;
        if (k > 0)
            dl.bytesArrived(CommClock::now());
        if (dl.satisfied(got))
            return IoStatus::Ok;
        // The wake stays for the next waitCommEvent.
        if (wake_ || rxAbortGeneration_ != generation)
            return IoStatus::Cancelled;
        const auto deadline = dl.deadline();
        if (!deadline)
            cv_.wait(l);
        else if (CommClock::now() >= *deadline)
            return IoStatus::Ok;
        else
            cv_.wait_until(l, *deadline);
    }
}

IoStatus FakeSerialPort::writeLocked(std::unique_lock<std::mutex>& l, const std::uint8_t* data, std::size_t n,
                                     std::size_t& written)
{
    written = 0;
    writeSizes_.push_back(n);
    if (lost_ || writeFailure_)
        return IoStatus::Failed;
    if (writesAborted_)
        return IoStatus::Cancelled;
    if (holdWrites_) {
        const std::uint64_t generation = txAbortGeneration_;
        ++blockedWriters_;
        cv_.notify_all();
        cv_.wait(l, [&] { return !holdWrites_ || lost_ || txAbortGeneration_ != generation || writesAborted_; });
        --blockedWriters_;
        if (txAbortGeneration_ != generation || writesAborted_)
            return IoStatus::Cancelled;
        if (lost_)
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

IoStatus FakeSerialPort::write(const std::uint8_t* data, std::size_t n, std::size_t& written)
{
    std::lock_guard wl(writeMutex_);
    std::unique_lock l(m_);
    return writeLocked(l, data, n, written);
}

IoStatus FakeSerialPort::writeAndDrain(const std::uint8_t* data, std::size_t n, std::size_t& written)
{
    std::lock_guard wl(writeMutex_);
    std::unique_lock l(m_);
    const auto deadline = writeDeadline(timeouts_, n, CommClock::now());
    const std::uint64_t generation = txAbortGeneration_;
    const IoStatus status = writeLocked(l, data, n, written);
    if (status != IoStatus::Ok)
        return status;
    auto settled = [&] { return outQueue_ == 0 || lost_ || writesAborted_ || txAbortGeneration_ != generation; };
    if (!deadline)
        cv_.wait(l, settled);
    else
        cv_.wait_until(l, *deadline, settled);
    if (lost_)
        return IoStatus::Failed;
    if (writesAborted_ || txAbortGeneration_ != generation)
        return IoStatus::Cancelled;
    written -= std::min<std::size_t>(written, outQueue_);
    return IoStatus::Ok;
}

void FakeSerialPort::abortWrites()
{
    std::lock_guard l(m_);
    writesAborted_ = true;
    cv_.notify_all();
}

void FakeSerialPort::resumeWrites()
{
    std::lock_guard l(m_);
    writesAborted_ = false;
}

bool FakeSerialPort::clearCommError(std::uint32_t& errors, ComStat* stat)
{
    std::lock_guard l(m_);
    errors = 0;
    if (lost_)
        return false;
    errors = errors_;
    errors_ = 0;
    if (statusQueryFailure_)
        return false;
    if (stat) {
        *stat = ComStat{};
        stat->cbInQue = static_cast<std::uint32_t>(queue_.size());
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
    if (lost_ || !modemLines_)
        return false;
    status = modemStatus_;
    return true;
}

bool FakeSerialPort::escapeCommFunction(int function)
{
    std::lock_guard l(m_);
    escapes_.push_back(function);
    if (lost_)
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
    std::lock_guard l(m_);
    purges_.push_back(flags);
    if (lost_)
        return false;
    if (flags & PURGE_RXCLEAR)
        queue_.clear();
    if (flags & PURGE_TXCLEAR)
        outQueue_ = 0;
    if (flags & PURGE_TXABORT)
        ++txAbortGeneration_;
    if (flags & PURGE_RXABORT)
        ++rxAbortGeneration_;
    cv_.notify_all();
    return true;
}

bool FakeSerialPort::lost() const
{
    std::lock_guard l(m_);
    return lost_;
}

LossReason FakeSerialPort::lossReason() const
{
    std::lock_guard l(m_);
    return lost_ ? LossReason::HungUp : LossReason::None;
}

void FakeSerialPort::setLossNotifier(std::function<void()> notify)
{
    std::lock_guard l(m_);
    lossNotifier_ = std::move(notify);
}

} // namespace kestrane::test
