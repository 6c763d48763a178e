#include "platform/posix_serial_port.h"

#include "platform/modem_watcher.h"
#include "platform/output_drain.h"
#include "platform/serial_port_core.h"
#include "platform/system_reason.h"
#include "platform/termios_mapping.h"
#include "platform/wake_token.h"

#include <fcntl.h>
#include <grp.h>
#include <linux/serial.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace kestrane {

namespace {

// Bytes taken from the device per read() call.
constexpr std::size_t kChunk = 4096;

OpenError::Kind openErrorOf(int err)
{
    switch (err) {
    case ENOENT:
    case ENODEV:
    case ENXIO: return OpenError::NotFound;
    case EACCES:
    case EPERM: return OpenError::PermissionDenied;
    case EBUSY:
    case EWOULDBLOCK: return OpenError::Busy;
    default: return OpenError::Other;
    }
}

bool hungUp(short revents) { return revents & (POLLHUP | POLLERR | POLLNVAL); }

// The counters' steps from `a` to `b` (they wrap as unsigned).
ErrorCounterSteps stepsBetween(const serial_icounter_struct& a, const serial_icounter_struct& b)
{
    auto step = [](int from, int to) { return static_cast<std::uint32_t>(to) - static_cast<std::uint32_t>(from); };
    ErrorCounterSteps s;
    s.frame = step(a.frame, b.frame);
    s.parity = step(a.parity, b.parity);
    s.brk = step(a.brk, b.brk);
    s.overrun = step(a.overrun, b.overrun);
    s.bufOverrun = step(a.buf_overrun, b.buf_overrun);
    return s;
}

// The error word's bits of the counted errors.
std::uint32_t errorBitsOf(const ErrorCounterSteps& s)
{
    std::uint32_t e = 0;
    if (s.frame)
        e |= CE_FRAME;
    if (s.overrun)
        e |= CE_OVERRUN;
    if (s.parity)
        e |= CE_RXPARITY;
    if (s.brk)
        e |= CE_BREAK;
    if (s.bufOverrun)
        e |= CE_RXOVER;
    return e;
}

// The modem lines of a tty for the watcher: TIOCMGET, TIOCGICOUNT, TIOCMIWAIT.
class TtyModemLines final : public ModemDevice {
public:
    explicit TtyModemLines(int fd) : fd_(fd) {}

    bool lines(std::uint32_t& ms) override
    {
        ms = 0;
        int l = 0;
        if (::ioctl(fd_, TIOCMGET, &l) != 0)
            return false;
        if (l & TIOCM_CTS)
            ms |= MS_CTS_ON;
        if (l & TIOCM_DSR)
            ms |= MS_DSR_ON;
        if (l & TIOCM_RI)
            ms |= MS_RING_ON;
        if (l & TIOCM_CD)
            ms |= MS_RLSD_ON;
        return true;
    }

    bool counts(ModemCounts& c) override
    {
        serial_icounter_struct ic {};
        if (::ioctl(fd_, TIOCGICOUNT, &ic) != 0)
            return false;
        c = {static_cast<std::uint32_t>(ic.cts), static_cast<std::uint32_t>(ic.dsr), static_cast<std::uint32_t>(ic.rng),
             static_cast<std::uint32_t>(ic.dcd)};
        return true;
    }

    Wait waitForChange() override
    {
        if (::ioctl(fd_, TIOCMIWAIT, TIOCM_CTS | TIOCM_DSR | TIOCM_CD | TIOCM_RNG) == 0)
            return Wait::Changed;
        switch (errno) {
        case EINTR: return Wait::Interrupted;
        case ENOTTY:
        case EINVAL:
        case ENOSYS: return Wait::Unsupported;
        default: return Wait::Failed;  // EIO: the device went away
        }
    }

    void interrupt(std::thread& thread) override { interruptBlockedCall(thread); }

private:
    const int fd_;
};

// The tty's bytes are read by the thread that waits for them: the core's waits block in poll()
// on the device and a wake token (an eventfd, written whenever a wait is to look again); writes
// block on the device and a token of their own.
class PosixSerialPort final : public SerialPortCore {
public:
    PosixSerialPort(int fd, int wakeFd, int txWakeFd) : fd_(fd), wakeFd_(wakeFd), txWakeFd_(txWakeFd)
    {
        applyLineDefaults(lastDcb_);
        lastDcb_.setFRtsControl(RTS_CONTROL_ENABLE);  // opening raises DTR and RTS
        serial_icounter_struct ic {};
        icountSupported_ = ::ioctl(fd_, TIOCGICOUNT, &ic) == 0;
        if (icountSupported_)
            icount_ = ic;
        readErrors_.reserve(kChunk / 3 + 4);
        requestLowLatency();
    }

    ~PosixSerialPort() override
    {
        watcher_.reset();  // its thread uses the fd
        if (lowLatencySetByUs_) {
            serial_struct ss {};
            if (::ioctl(fd_, TIOCGSERIAL, &ss) == 0) {
                ss.flags &= ~ASYNC_LOW_LATENCY;
                ::ioctl(fd_, TIOCSSERIAL, &ss);
            }
        }
        ::ioctl(fd_, TIOCNXCL);
        // Discard pending output so close() does not wait for it (up to the driver's closing_wait).
        ::tcflush(fd_, TCIOFLUSH);
        ::flock(fd_, LOCK_UN);
        ::close(fd_);
        ::close(wakeFd_);
        ::close(txWakeFd_);
    }

    bool getCommState(Dcb& dcb) override
    {
        if (lost())
            return false;
        TermiosImage t;
        if (!readTermios(fd_, t))
            return failed();
        std::lock_guard lock(stateMutex_);
        dcb = dcbFromTermios(t, lastDcb_);
        return true;
    }

    bool setCommState(const Dcb& dcb) override
    {
        std::lock_guard lock(stateMutex_);
        setFailure_ = {};
        if (lost())
            return refuseSet(ENODEV);
        TermiosImage before;
        if (!readTermios(fd_, before))
            return failedSet();
        TermiosImage want = before;
        if (!applyDcb(dcb, want))
            return refuseSet(EINVAL);
        if (!writeTermios(fd_, want))
            return failedSet();
        // Read back what the device took: a driver answers a set it did not fully take with success.
        TermiosImage got;
        if (!readTermios(fd_, got))
            return failedSet();
        if (const std::uint32_t refused = refusedSettings(dcb, got)) {
            // Put the device back and name what it has then: what it briefly took is gone.
            TermiosImage now = got;
            if (writeTermios(fd_, before) && !readTermios(fd_, now))
                now = before;
            setFailure_.refused = refused;
            setFailure_.got = dcbFromTermios(now, lastDcb_);
            return refuseSet(EINVAL);
        }
        setModemLine(TIOCM_DTR, dcb.fDtrControl());
        setModemLine(TIOCM_RTS, dcb.fRtsControl());
        lastDcb_ = dcb;
        hardwareFlow_ = (got.cflag & tio::kCrtscts) != 0;
        setEventChar(dcb.EvtChar);
        return true;
    }

    SetStateFailure lastSetStateFailure() const override
    {
        std::lock_guard lock(stateMutex_);
        return setFailure_;
    }

    bool clearCommError(std::uint32_t& errors, ComStat* stat) override
    {
        std::uint32_t queued = 0;
        if (!takeAllErrors(errors, queued))
            return false;
        if (!stat)
            return true;

        *stat = ComStat{};
        if (!inputCount(queued, stat->cbInQue))
            return false;
        int outKernel = 0;
        if (::ioctl(fd_, TIOCOUTQ, &outKernel) == 0)
            stat->cbOutQue = static_cast<std::uint32_t>(outKernel);
        if (xoffByUs_)
            stat->flags |= ComStat::fXoffHold;
        int lines = 0;
        if (hardwareFlow_ && ::ioctl(fd_, TIOCMGET, &lines) == 0 && !(lines & TIOCM_CTS))
            stat->flags |= ComStat::fCtsHold;
        return true;
    }

    bool clearCommErrorInput(std::uint32_t& errors, std::uint32_t& inQueue) override
    {
        inQueue = 0;
        std::uint32_t queued = 0;
        return takeAllErrors(errors, queued) && inputCount(queued, inQueue);
    }

    bool getCommModemStatus(std::uint32_t& status) override
    {
        status = 0;
        if (lost())
            return false;
        int lines = 0;
        if (::ioctl(fd_, TIOCMGET, &lines) != 0)
            return false;  // ptys have no modem lines
        if (lines & TIOCM_CTS)
            status |= MS_CTS_ON;
        if (lines & TIOCM_DSR)
            status |= MS_DSR_ON;
        if (lines & TIOCM_RI)
            status |= MS_RING_ON;
        if (lines & TIOCM_CD)
            status |= MS_RLSD_ON;
        return true;
    }

    bool escapeCommFunction(int function) override
    {
        if (lost())
            return false;
        int bit = 0;
        switch (function) {
        case SETXOFF:
            if (::tcflow(fd_, TCOOFF) != 0)
                return failed();
            xoffByUs_ = true;
            return true;
        case SETXON:
            if (::tcflow(fd_, TCOON) != 0)
                return failed();
            xoffByUs_ = false;
            return true;
        case SETRTS: bit = TIOCM_RTS; return ::ioctl(fd_, TIOCMBIS, &bit) == 0;
        case CLRRTS: bit = TIOCM_RTS; return ::ioctl(fd_, TIOCMBIC, &bit) == 0;
        case SETDTR: bit = TIOCM_DTR; return ::ioctl(fd_, TIOCMBIS, &bit) == 0;
        case CLRDTR: bit = TIOCM_DTR; return ::ioctl(fd_, TIOCMBIC, &bit) == 0;
        case SETBREAK: return ::ioctl(fd_, TIOCSBRK) == 0;
        case CLRBREAK: return ::ioctl(fd_, TIOCCBRK) == 0;
        default: return false;
        }
    }

    bool purgeComm(std::uint32_t flags) override
    {
        if (lost())
            return false;
        if (const int error = purgeInput(flags)) {
            errno = error;
            return failed();
        }
        if ((flags & PURGE_TXCLEAR) && ::tcflush(fd_, TCOFLUSH) != 0)
            return failed();
        return true;
    }

    // The modem lines are watched from here on, where the device has them (a pty has none).
    void setEventSink(std::function<void(const PortEvent&)> sink) override
    {
        SerialPortCore::setEventSink(std::move(sink));
        std::uint32_t lines = 0;
        if (!watcher_ && !lost() && modemLines_.lines(lines))
            watcher_ = std::make_unique<ModemWatcher>(modemLines_, [this](const PortEvent& e) { reportEvent(e); });
    }

    [[nodiscard]] std::optional<bool> lowLatency() const override { return lowLatency_; }

protected:
    // ---- The core's device (the core's lock held) ----

    // Moves what the device has into the queue, as far as it has room; with `overwrite` the
    // oldest bytes make room (CE_RXOVER).
    LossReason fillFromDevice(InputQueue& queue, Fill how) override
    {
        // With the queue empty and the last read of the driver finding nothing more, poll()
        // says whether that changed: no read is spent to learn it again.
        if (how.mayTrustEmpty && kernelEmpty_)
            return LossReason::None;
        std::uint8_t raw[kChunk];
        std::uint8_t plain[kChunk + 1];
        // Decoding may give one byte more than it takes (see MarkDecoder). Overwriting reads at
        // most a queue's worth per call, so the lock is never held for long.
        for (std::size_t pass = 0; how.overwrite ? pass < InputQueue::kCapacity / kChunk : queue.room() > 1; ++pass) {
            const std::size_t want = how.overwrite ? kChunk : std::min(kChunk, queue.room() - 1);
            const ssize_t r = ::read(fd_, raw, want);
            if (r > 0) {
                // The bytes' time: when the program got them from the driver.
                const timeline::Stamp at = timeline::now();
                // The driver's counters, read after the bytes, count every mark among them.
                ErrorCounterSteps steps;
                const bool counted = icountSupported_ && counterSteps(steps);
                if (counted)
                    queue.addErrors(errorBitsOf(steps));
                readErrors_.clear();
                const std::size_t k =
                    decoder_.decode(raw, static_cast<std::size_t>(r), plain, &readErrors_, counted ? &steps : nullptr);
                // With the counters the marks' own bits would count each error twice.
                const std::uint32_t marks = decoder_.takeErrors();
                if (!counted)
                    queue.addErrors(marks);
                queue.push(plain, k, at, readErrors_);
                kernelEmpty_ = static_cast<std::size_t>(r) < want;
                if (kernelEmpty_)
                    return LossReason::None;
                continue;
            }
            if (r < 0 && errno == EINTR)
                continue;
            if (r < 0 && errno == EAGAIN) {
                kernelEmpty_ = true;
                return LossReason::None;
            }
            // read() == 0: the far end hung up; an error such as EIO: the device failed.
            return r == 0 ? LossReason::HungUp : LossReason::IoError;
        }
        return LossReason::None;
    }

    // What the counters moved by while no bytes were read: the error bits, losses at the end of
    // the stream, and counts for marks still in the driver.
    void pollDeviceErrors(InputQueue& queue) override
    {
        ErrorCounterSteps steps;
        if (!icountSupported_ || lost() || !counterSteps(steps))
            return;
        queue.addErrors(errorBitsOf(steps));
        decoder_.addCounted(steps);
        if (steps.overrun > 0)
            queue.markAtEnd(timeline::LineError::Overrun, steps.overrun);
        if (steps.bufOverrun > 0)
            queue.markAtEnd(timeline::LineError::BufferOverrun, steps.bufOverrun);
    }

    Woke waitForDevice(Lock& lock, Deadline deadline, Watch watch) override
    {
        // Without a wish to read, poll() still reports a hang-up; a device that is gone is left
        // out, as it would report one on every call.
        const short events = watch == Watch::Input ? POLLIN : 0;
        pollfd p[2] = {{watch == Watch::Wake ? -1 : fd_, events, 0}, {wakeFd_, POLLIN, 0}};
        lock.unlock();
        const int r = ::poll(p, 2, pollTimeoutMs(deadline, CommClock::now()));
        const int error = errno;
        if (r > 0 && (p[1].revents & POLLIN))
            takeFd(wakeFd_);
        lock.lock();
        if (r < 0)
            return error == EINTR ? Woke::Maybe : Woke::Failed;
        return hungUp(p[0].revents) ? Woke::HungUp : Woke::Maybe;
    }

    // The token is sticky: one written while nobody polls ends the next poll at once.
    void interruptWaits() override { signalFd(wakeFd_); }

    int discardDeviceInput() override
    {
        decoder_.reset();
        return ::tcflush(fd_, TCIFLUSH) == 0 ? 0 : errno;
    }

    void interruptWrites() override { signalFd(txWakeFd_); }

    IoStatus writeToDevice(const std::uint8_t* data, std::size_t n, std::size_t& written, Deadline deadline,
                           std::uint64_t abortGen) override
    {
        if (lost())
            return IoStatus::Failed;
        if (writeAborted(abortGen))
            return IoStatus::Cancelled;
        while (written < n) {
            const ssize_t r = ::write(fd_, data + written, n - written);
            if (r > 0) {
                written += static_cast<std::size_t>(r);
                continue;
            }
            if (r < 0 && errno == EINTR)
                continue;
            if (r < 0 && errno != EAGAIN) {
                markLost(LossReason::HungUp);
                return IoStatus::Failed;
            }
            // Output stopped (XOFF, tcflow, CTS) or the device is full: wait for room.
            const int timeoutMs = pollTimeoutMs(deadline, CommClock::now());
            if (timeoutMs == 0)
                return IoStatus::Ok;
            pollfd p[2] = {{fd_, POLLOUT, 0}, {txWakeFd_, POLLIN, 0}};
            const int pr = ::poll(p, 2, timeoutMs);
            if (pr < 0 && errno != EINTR) {
                markLost(LossReason::HungUp);
                return IoStatus::Failed;
            }
            if (hungUp(p[0].revents)) {
                markLost(LossReason::HungUp);
                return IoStatus::Failed;
            }
            if (p[1].revents & POLLIN)
                takeFd(txWakeFd_);
            if (writeAborted(abortGen))
                return IoStatus::Cancelled;
        }
        return IoStatus::Ok;
    }

    // Asks the driver's output queue (TIOCOUTQ) again after the line time of what is left.
    IoStatus waitDrained(Deadline deadline, std::uint64_t abortGen, std::size_t& left) override
    {
        std::uint32_t baud = 0;
        {
            std::lock_guard state(stateMutex_);
            baud = lastDcb_.BaudRate;
        }
        std::uint32_t queued = 0;
        const DrainOutcome d = waitOutputDrained(
            [&](std::uint32_t& q) {
                int k = 0;
                if (::ioctl(fd_, TIOCOUTQ, &k) != 0) {
                    if (errno != EIO)
                        return q = 0, true;  // a driver that cannot tell counts as drained
                    markLost(LossReason::HungUp);
                    return false;
                }
                q = static_cast<std::uint32_t>(std::max(k, 0));
                return true;
            },
            [&](int ms) { return !waitTxAbort(abortGen, ms); }, deadline, baud, queued);
        left = d == DrainOutcome::TimedOut ? queued : 0;
        switch (d) {
        case DrainOutcome::Drained:
        case DrainOutcome::TimedOut: return IoStatus::Ok;
        case DrainOutcome::Aborted: return IoStatus::Cancelled;
        case DrainOutcome::Failed: return IoStatus::Failed;
        }
        return IoStatus::Failed;
    }


private:
    // Sleeps up to `ms` on the write token alone; true when the write was aborted.
    bool waitTxAbort(std::uint64_t abortGen, int ms)
    {
        if (writeAborted(abortGen))
            return true;
        pollfd p{txWakeFd_, POLLIN, 0};
        if (::poll(&p, 1, ms) > 0 && (p.revents & POLLIN))
            takeFd(txWakeFd_);
        return writeAborted(abortGen);
    }

    // A failed call: EIO means the device has gone (hang-up, unplug).
    bool failed()
    {
        if (errno == EIO)
            markLost(LossReason::IoError);
        return false;
    }

    // Note why the set failed; always false, so a failure path can return them.
    bool refuseSet(int error)
    {
        setFailure_.systemError = error;
        return false;
    }
    bool failedSet()
    {
        setFailure_.systemError = errno;
        return failed();
    }

    // DTR/RTS levels of the record; handshake and toggle modes leave the line to the driver.
    // Drivers without modem lines (ptys) answer ENOTTY, which is no failure of the settings.
    void setModemLine(int bit, std::uint32_t control)
    {
        if (control == DTR_CONTROL_ENABLE)
            ::ioctl(fd_, TIOCMBIS, &bit);
        else if (control == DTR_CONTROL_DISABLE)
            ::ioctl(fd_, TIOCMBIC, &bit);
    }

    // The error word since the last call (decoded marks or the driver's counters, input
    // overflow) and what the port's own queue holds. False when the device has gone.
    bool takeAllErrors(std::uint32_t& errors, std::uint32_t& queued)
    {
        errors = 0;
        if (lost())
            return false;
        errors = takeErrors(&queued);
        return true;
    }

    // The input count: the port's queue and what the driver still holds.
    bool inputCount(std::uint32_t queued, std::uint32_t& inQueue)
    {
        int inKernel = 0;
        if (::ioctl(fd_, FIONREAD, &inKernel) != 0)
            return failed();
        inQueue = queued + static_cast<std::uint32_t>(inKernel);
        return true;
    }

    // The driver's counters' steps since the last look (the core's lock held).
    bool counterSteps(ErrorCounterSteps& steps)
    {
        serial_icounter_struct ic {};
        if (::ioctl(fd_, TIOCGICOUNT, &ic) != 0)
            return false;
        steps = stepsBetween(icount_, ic);
        icount_ = ic;
        return true;
    }

    // Asks the driver to hand received bytes on at once (a USB adapter's latency timer), and
    // reads back whether it holds that. Nothing is known where it has no such setting.
    void requestLowLatency()
    {
        serial_struct ss {};
        if (::ioctl(fd_, TIOCGSERIAL, &ss) != 0)
            return;
        if (!(ss.flags & ASYNC_LOW_LATENCY)) {
            serial_struct want = ss;
            want.flags |= ASYNC_LOW_LATENCY;
            lowLatencySetByUs_ = ::ioctl(fd_, TIOCSSERIAL, &want) == 0;
            if (::ioctl(fd_, TIOCGSERIAL, &ss) != 0)
                return;
        }
        lowLatency_ = (ss.flags & ASYNC_LOW_LATENCY) != 0;
    }

    const int fd_;
    const int wakeFd_;    // the core's waits
    const int txWakeFd_;  // the writes' waits
    std::atomic<bool> xoffByUs_{false};
    std::atomic<bool> hardwareFlow_{false};  // CRTSCTS on the device, as last set

    mutable std::mutex stateMutex_;  // lastDcb_, setFailure_
    Dcb lastDcb_;
    SetStateFailure setFailure_;  // why the last setCommState failed (under stateMutex_)
    bool icountSupported_ = false;  // fixed at open
    std::optional<bool> lowLatency_;  // fixed at open
    bool lowLatencySetByUs_ = false;  // undone at close

    // Under the core's lock (fillFromDevice, pollDeviceErrors, discardDeviceInput).
    bool kernelEmpty_ = false;  // the last read of the fd found nothing more (a hint: poll() decides)
    MarkDecoder decoder_;
    serial_icounter_struct icount_{};  // the counters at the last look
    std::vector<ReadMarks::Error> readErrors_;  // the marks of one read of the fd

    TtyModemLines modemLines_{fd_};
    std::unique_ptr<ModemWatcher> watcher_;  // from setEventSink on, where the device has modem lines

};

} // namespace

std::unique_ptr<SerialPort> openPosixSerialPort(const std::string& path, OpenError& error)
{
    error = OpenError(OpenError::None, 0, path);
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = OpenError(openErrorOf(errno), errno, path);
        return nullptr;
    }
    auto fail = [&](OpenError::Kind kind, int err) -> std::unique_ptr<SerialPort> {
        ::close(fd);
        error = OpenError(kind, err, path);
        return nullptr;
    };
    if (!::isatty(fd))
        return fail(OpenError::NotATty, errno);
    // flock catches a second open by anyone (root included, and through links); TIOCEXCL
    // also stops programs that do not look at locks.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        return fail(errno == EWOULDBLOCK ? OpenError::Busy : openErrorOf(errno), errno);
    if (::ioctl(fd, TIOCEXCL) != 0)
        return fail(openErrorOf(errno), errno);

    TermiosImage t;
    if (!readTermios(fd, t))
        return fail(openErrorOf(errno), errno);
    makeRaw(t);
    if (!writeTermios(fd, t)) {
        const int err = errno;
        ::ioctl(fd, TIOCNXCL);
        return fail(openErrorOf(err), err);
    }

    const int wake = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    const int txWake = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wake < 0 || txWake < 0) {
        for (const int e : {wake, txWake})
            if (e >= 0)
                ::close(e);
        ::ioctl(fd, TIOCNXCL);
        return fail(OpenError::Other, EMFILE);
    }
    return std::make_unique<PosixSerialPort>(fd, wake, txWake);
}

namespace {

std::string groupName(gid_t gid)
{
    std::vector<char> buf(16384);
    group g{};
    group* res = nullptr;
    if (::getgrgid_r(gid, &g, buf.data(), buf.size(), &res) == 0 && res)
        return res->gr_name;
    return std::to_string(gid);
}

std::string userName()
{
    std::vector<char> buf(16384);
    passwd pw{};
    passwd* res = nullptr;
    if (::getpwuid_r(::getuid(), &pw, buf.data(), buf.size(), &res) == 0 && res)
        return res->pw_name;
    return "$USER";
}

// The user is a member of `gid` in the group database (though perhaps not in this session).
bool memberOf(gid_t gid, const std::string& user)
{
    std::vector<char> buf(65536);
    group g{};
    group* res = nullptr;
    if (::getgrgid_r(gid, &g, buf.data(), buf.size(), &res) != 0 || !res)
        return false;
    for (char** m = res->gr_mem; m && *m; ++m)
        if (user == *m)
            return true;
    return false;
}

bool inSessionGroups(gid_t gid)
{
    if (::getegid() == gid)
        return true;
    const int n = ::getgroups(0, nullptr);
    if (n <= 0)
        return false;
    std::vector<gid_t> groups(static_cast<std::size_t>(n));
    const int k = ::getgroups(n, groups.data());
    return k > 0 && std::find(groups.begin(), groups.begin() + k, gid) != groups.begin() + k;
}

// A process named by a UUCP lock file (/var/lock/LCK..<name>) that still runs, or 0.
long uucpLockHolder(const std::string& path)
{
    std::string name = path.rfind("/dev/", 0) == 0 ? path.substr(5) : path;
    std::replace(name.begin(), name.end(), '/', '_');
    std::ifstream in("/var/lock/LCK.." + name);
    long pid = 0;
    if (!(in >> pid) || pid <= 0)
        return 0;
    return (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM) ? pid : 0;
}

} // namespace

OpenRefusalFacts openRefusalFacts(const std::string& path, OpenError::Kind kind)
{
    OpenRefusalFacts facts;
    if (kind == OpenError::Busy) {
        facts.lockHolder = uucpLockHolder(path);
    } else if (kind == OpenError::PermissionDenied) {
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0)
            return facts;
        facts.group = groupName(st.st_gid);
        facts.user = userName();
        facts.groupNotInSession = memberOf(st.st_gid, facts.user) && !inSessionGroups(st.st_gid);
    }
    return facts;
}

std::string describeOpenError(const std::string& path, const OpenError& error)
{
    const OpenRefusalFacts facts = openRefusalFacts(path, error.kind);
    switch (error.kind) {
    case OpenError::None: return {};
    case OpenError::NotFound: return path + " is not present (unplugged, or no such device).";
    case OpenError::Busy:
        if (facts.lockHolder)
            return path + " is in use by another program (process " + std::to_string(facts.lockHolder) + ").";
        return path + " is in use by another program.";
    case OpenError::PermissionDenied:
        if (facts.group.empty())
            return path + ": permission denied.";
        if (facts.groupNotInSession)
            return path + ": permission denied. You are in group " + facts.group
                   + " but this session is not yet: log out and back in.";
        return path + ": permission denied. The device belongs to group " + facts.group
               + "; add your user to it: sudo usermod -aG " + facts.group + " " + facts.user
               + ", then log out and back in.";
    case OpenError::NotATty: return path + " is not a serial device (not a terminal).";
    case OpenError::IsConsole: return path + " is the system console and is never opened as a port.";
    case OpenError::BadAddress:
        return path + " is not a valid remote line: write rfc2217://HOST:PORT or tcp://HOST:PORT "
                      "(an IPv6 address in brackets).";
    case OpenError::NameNotFound:
        if (error.resolverError != 0)
            return path + ": " + resolverReason(error.resolverError, error.systemError, ReasonLanguage::English)
                   + " (check the name, or use its address).";
        return path + ": the host name is not known (check the name, or use its address).";
    case OpenError::Refused:
        return path + ": the connection was refused (is the server running, and serving that port?).";
    case OpenError::Unreachable: return path + ": the host cannot be reached (network down, or no route to it).";
    case OpenError::NoAnswer: return path + ": the server did not answer in time.";
    case OpenError::NoLineControl:
        return path + ": the server does not take RFC 2217 line control (COM-port option); "
                      "serve the line with telnet(rfc2217), or use tcp:// for a raw stream.";
    case OpenError::SettingsRefused: return path + " takes neither its line settings nor the defaults.";
    case OpenError::Other:
        if (error.resolverError != 0)  // the name server failed (EAI_SYSTEM, EAI_MEMORY)
            return path + " could not be opened: "
                   + resolverReason(error.resolverError, error.systemError, ReasonLanguage::English) + ".";
        if (error.systemError != 0)
            return path + " could not be opened: " + systemReason(error.systemError, ReasonLanguage::English) + ".";
        return path + " could not be opened (no hardware behind it?).";
    }
    return {};
}

} // namespace kestrane
