#include "platform/serial_port_core.h"

#include <algorithm>
#include <limits>

namespace kestrane {

namespace {
// Marks one read may hold before its vectors grow (they keep what they grew to).
constexpr std::size_t kReadMarksReserved = 64;
} // namespace

SerialPortCore::SerialPortCore()
{
    lastRead_.arrivals.reserve(kReadMarksReserved);
    lastRead_.errors.reserve(kReadMarksReserved);
}

bool SerialPortCore::getCommTimeouts(CommTimeouts& t)
{
    if (lost())
        return false;
    std::lock_guard lock(m_);
    t = timeouts_;
    return true;
}

bool SerialPortCore::setCommTimeouts(const CommTimeouts& t)
{
    if (lost())
        return false;
    std::lock_guard lock(m_);
    timeouts_ = t;
    return true;
}

// Queue sizes are fixed here; the call is kept for the record.
bool SerialPortCore::setupComm(std::uint32_t, std::uint32_t) { return !lost(); }

CommTimeouts SerialPortCore::timeouts() const
{
    std::lock_guard lock(m_);
    return timeouts_;
}

bool SerialPortCore::setCommMask(std::uint32_t mask)
{
    std::lock_guard lock(m_);
    mask_ = mask;
    wake_ = true;
    roomMadeLocked();  // EV_RXFLAG alone makes a full queue take bytes again
    interruptWaits();
    return !lost();
}

bool SerialPortCore::waitCommEvent(std::uint32_t& events)
{
    events = 0;
    Lock lock(m_);
    bool waited = false;
    bool hungUp = false;
    for (;;) {
        if (lost()) {
            // What the port took before the loss is still read out first.
            const std::uint32_t queued = mask_ & (EV_RXCHAR | EV_RXFLAG);
            if (!queue_.empty() && queued) {
                events = queued;
                return true;
            }
            // Nothing will ever arrive: sleep on the wake alone, never spin on a hung-up device.
            while (!wake_)
                waitForDevice(lock, std::nullopt, Watch::Wake);
            wake_ = false;
            return false;
        }
        // A pending wake comes first, so a closing channel is heard even while data streams in.
        if (wake_) {
            wake_ = false;
            return true;
        }
        // Nobody reads the queue until an event character comes: it must keep taking bytes, or
        // a character still in the device would never be seen. A queue that holds bytes is
        // topped up on every wait, as a driver's would be.
        const std::size_t before = queue_.size();
        const LossReason gone = fillFromDevice(queue_, Fill{stalledLocked(), !waited && queue_.empty()});
        settleLoneErrorsLocked();
        if (gone != LossReason::None || (hungUp && queue_.size() == before)) {
            loseLocked(gone != LossReason::None ? gone : LossReason::HungUp);
            continue;
        }
        events = eventsLocked();
        if (events)
            return true;
        // With the queue full and a reader to come, the device is not read: it holds the far end
        // back instead of losing bytes.
        const Watch watch = queue_.room() > 1 || stalledLocked() ? Watch::Input : Watch::HangUp;
        const Woke woke = waitForDevice(lock, std::nullopt, watch);
        waited = true;
        hungUp = woke == Woke::HungUp;
        if (woke == Woke::Failed)
            loseLocked(LossReason::HungUp);
    }
}

IoStatus SerialPortCore::read(std::uint8_t* buf, std::size_t n, std::size_t& got, int capMs)
{
    got = 0;
    Lock lock(m_);
    lastRead_.clear();
    lastReadBytes_ = 0;
    reading_ = true;
    // Every return below holds the lock, so the flag falls with it.
    struct Reading {
        bool& flag;
        ~Reading() { flag = false; }
    } reading{reading_};
    if (lost()) {
        // Bytes taken from the device before it went are delivered; then reads fail.
        got = popLocked(buf, n, 0);
        return got > 0 ? IoStatus::Ok : IoStatus::Failed;
    }
    ReadDeadline dl(timeouts_, n, capMs, CommClock::now());
    const std::uint64_t generation = rxGeneration_;
    bool hungUp = false;
    for (;;) {
        const std::size_t before = got;
        got += popLocked(buf + got, n - got, got);
        if (got < n && !lost()) {
            if (const LossReason gone = fillFromDevice(queue_, Fill{}); gone != LossReason::None)
                loseLocked(gone);
            settleLoneErrorsLocked();
            got += popLocked(buf + got, n - got, got);
        }
        // A hang-up that leaves nothing to read is the end, whatever the device said. What was
        // read before it is delivered; the next call fails.
        if (hungUp && got == before)
            loseLocked(LossReason::HungUp);
        if (lost() && queue_.empty())
            return got > 0 ? IoStatus::Ok : IoStatus::Failed;
        if (got > before)
            dl.bytesArrived(CommClock::now());
        if (dl.satisfied(got))
            return IoStatus::Ok;
        const Deadline deadline = dl.deadline();
        if (deadline && CommClock::now() >= *deadline)
            return IoStatus::Ok;
        // The wake stays for the next waitCommEvent, which it is meant for.
        if (wake_ || rxGeneration_ != generation)
            return IoStatus::Cancelled;
        const Woke woke = waitForDevice(lock, deadline, Watch::Input);
        hungUp = woke == Woke::HungUp;
        if (woke == Woke::Failed)
            loseLocked(LossReason::HungUp);
    }
}

IoStatus SerialPortCore::write(const std::uint8_t* data, std::size_t n, std::size_t& written)
{
    written = 0;
    std::lock_guard lock(writeMutex_);
    return writeToDevice(data, n, written, writeDeadline(timeouts(), n, CommClock::now()), writeGeneration());
}

IoStatus SerialPortCore::writeAndDrain(const std::uint8_t* data, std::size_t n, std::size_t& written)
{
    written = 0;
    // Held through the drain, so no other write adds to what is waited for.
    std::lock_guard lock(writeMutex_);
    const Deadline deadline = writeDeadline(timeouts(), n, CommClock::now());
    const std::uint64_t generation = writeGeneration();
    IoStatus status = writeToDevice(data, n, written, deadline, generation);
    if (status != IoStatus::Ok || written == 0)
        return status;
    std::size_t left = 0;
    status = waitDrained(deadline, generation, left);
    if (status == IoStatus::Ok)
        written -= std::min(written, left);  // a short count names the bytes that went out
    return status;
}

void SerialPortCore::abortWrites()
{
    writesAborted_ = true;
    ++txGeneration_;
    interruptWrites();
}

void SerialPortCore::resumeWrites() { writesAborted_ = false; }

void SerialPortCore::setLossNotifier(std::function<void()> notify)
{
    std::lock_guard lock(m_);
    lossNotifier_ = std::move(notify);
}

void SerialPortCore::takeReadMarks(ReadMarks& out)
{
    std::lock_guard lock(m_);
    // Swapped, not copied: both sides keep the capacity they grew to.
    std::swap(out.arrivals, lastRead_.arrivals);
    std::swap(out.errors, lastRead_.errors);
    lastRead_.clear();
}

void SerialPortCore::setEventSink(std::function<void(const PortEvent&)> sink)
{
    std::lock_guard lock(sinkMutex_);
    sink_ = std::move(sink);
}

void SerialPortCore::reportEvent(const PortEvent& event)
{
    std::lock_guard lock(sinkMutex_);
    if (sink_)
        sink_(event);
}

// ---- The device's side ----

LossReason SerialPortCore::fillFromDevice(InputQueue&, Fill) { return LossReason::None; }

SerialPortCore::Woke SerialPortCore::waitForDevice(Lock& lock, Deadline deadline, Watch)
{
    if (deadline)
        cv_.wait_until(lock, *deadline);
    else
        cv_.wait(lock);
    return Woke::Maybe;
}

void SerialPortCore::interruptWaits() { cv_.notify_all(); }

std::size_t SerialPortCore::inputIntake()
{
    std::lock_guard lock(m_);
    if (stalledLocked())
        return std::numeric_limits<std::size_t>::max();
    pusherHeld_ = queue_.room() == 0;
    return queue_.room();
}

void SerialPortCore::pushInput(const std::uint8_t* p, std::size_t n, std::span<const ReadMarks::Error> errors,
                               std::optional<timeline::Stamp> at)
{
    const timeline::Stamp stamp = at ? *at : timeline::now();
    std::lock_guard lock(m_);
    queue_.push(p, n, stamp, errors);
    settleLoneErrorsLocked();
    interruptWaits();
}

void SerialPortCore::lineStateAtEnd(timeline::LineError kind, std::uint32_t lost, std::optional<timeline::Stamp> at)
{
    std::lock_guard lock(m_);
    queue_.markAtEnd(kind, lost);
    settleLoneErrorsLocked(at);
}

void SerialPortCore::setRoomNotifier(std::function<void()> notify)
{
    std::lock_guard lock(m_);
    roomNotifier_ = std::move(notify);
}

void SerialPortCore::setEventChar(std::uint8_t c)
{
    std::lock_guard lock(m_);
    const std::size_t before = queue_.eventChars();
    queue_.setEventChar(c);
    if (queue_.eventChars() != before) {
        roomMadeLocked();
        interruptWaits();  // a waiter for EV_RXFLAG looks again
    }
}

void SerialPortCore::addLineErrors(std::uint32_t errors)
{
    std::lock_guard lock(m_);
    queue_.addErrors(errors);
}

std::uint32_t SerialPortCore::takeErrors(std::uint32_t* queued)
{
    std::lock_guard lock(m_);
    pollDeviceErrors(queue_);
    settleLoneErrorsLocked();
    if (queued)
        *queued = static_cast<std::uint32_t>(queue_.size());
    return queue_.takeErrors();
}

std::size_t SerialPortCore::queuedInput() const
{
    std::lock_guard lock(m_);
    return queue_.size();
}

void SerialPortCore::clearInput()
{
    std::lock_guard lock(m_);
    queue_.clear();
    roomMadeLocked();
}

int SerialPortCore::purgeInput(std::uint32_t flags)
{
    int error = 0;
    if (flags & PURGE_TXABORT)
        ++txGeneration_;
    {
        std::lock_guard lock(m_);
        if (flags & PURGE_RXABORT) {
            ++rxGeneration_;
            interruptWaits();
        }
        if (flags & PURGE_RXCLEAR) {
            // Under the lock, so nothing taken from the device before the purge lands after it.
            queue_.clear();
            error = discardDeviceInput();
            roomMadeLocked();
        }
    }
    if (flags & PURGE_TXABORT)
        interruptWrites();
    return error;
}

bool SerialPortCore::markLost(LossReason why)
{
    std::lock_guard lock(m_);
    return loseLocked(why);
}

// ---- With the lock held ----

bool SerialPortCore::loseLocked(LossReason why)
{
    if (lost())
        return false;
    lossReason_ = why;  // before lost_, so whoever sees the loss sees its reason
    lost_.store(true, std::memory_order_release);
    interruptWaits();
    if (lossNotifier_)
        lossNotifier_();
    return true;
}

void SerialPortCore::roomMadeLocked()
{
    if (!pusherHeld_ || (queue_.room() == 0 && !stalledLocked()))
        return;
    pusherHeld_ = false;
    if (roomNotifier_)
        roomNotifier_();
}

// Nothing will read the queue until an event character comes (EV_RXFLAG alone, none queued).
bool SerialPortCore::stalledLocked() const { return !(mask_ & EV_RXCHAR) && queue_.eventChars() == 0; }

std::uint32_t SerialPortCore::eventsLocked() const
{
    std::uint32_t events = 0;
    if ((mask_ & EV_RXCHAR) && !queue_.empty())
        events |= EV_RXCHAR;
    if ((mask_ & EV_RXFLAG) && queue_.eventChars() > 0)
        events |= EV_RXFLAG;
    return events;
}

std::size_t SerialPortCore::popLocked(std::uint8_t* buf, std::size_t n, std::size_t offset)
{
    const std::size_t k = queue_.pop(buf, n, &lastRead_, static_cast<std::uint32_t>(offset));
    if (k > 0) {
        lastReadBytes_ = offset + k;
        roomMadeLocked();
        settleLoneErrorsLocked();
    }
    return k;
}

void SerialPortCore::settleLoneErrorsLocked(std::optional<timeline::Stamp> at)
{
    timeline::LineError kind{};
    std::uint32_t lost = 0;
    while (queue_.takeLoneError(kind, lost)) {
        if (reading_ && lastReadBytes_ > 0) {
            // After the bytes this read delivered, before any it may still take.
            lastRead_.errors.push_back({static_cast<std::uint32_t>(lastReadBytes_), kind, lost});
            continue;
        }
        PortEvent e;
        e.kind = PortEvent::Kind::LineState;
        e.time = at ? *at : timeline::now();
        e.error = kind;
        e.lost = lost;
        reportEvent(e);
    }
}

} // namespace kestrane
