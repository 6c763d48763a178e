#include "remote/remote_serial_port.h"

#include "platform/byte_ring.h"
#include "platform/comm_deadline.h"
#include "platform/remote_address.h"
#include "platform/wake_token.h"
#include "remote/telnet_com_port.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <linux/sockios.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <condition_variable>
#include <deque>
#include <list>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

namespace kestrane {

namespace {

using namespace std::chrono_literals;
namespace tn = telnet;

// The input queue, as large as the local port's: bytes taken from the connection, not yet read.
constexpr std::size_t kQueueSize = 64 * 1024;
// Bytes the port has taken from writers but not yet sent.
constexpr std::size_t kOutQueueSize = 64 * 1024;
// Data taken from the output queue per send.
constexpr std::size_t kSendChunk = 16 * 1024;
// Requests and Telnet replies waiting to be sent; a server that makes us answer more is ignored.
constexpr std::size_t kMaxCommandBytes = 4096;
// Requests of one kind still unanswered; older ones are given up.
constexpr std::size_t kMaxPending = 8;
// How long the option negotiation may take, and a restore of refused settings.
constexpr auto kNegotiationBound = 2s;
constexpr auto kRestoreBound = 500ms;
// How often a socket with our bytes waiting in it is looked at for a server gone silent.
constexpr auto kStallLook = 1s;

// What a server is asked for: the settings, and the purge of its buffers.
enum Field { kDtr, kRts, kBaud, kDataSize, kParity, kStopBits, kFlow, kBreak, kPurge, kFieldCount };
constexpr std::array<std::uint32_t, kFieldCount> kFieldBits = {
    kSettingDtr,    kSettingRts,      kSettingBaudRate,    kSettingByteSize,
    kSettingParity, kSettingStopBits, kSettingFlowControl, kSettingBreak, 0,
};
bool isLineField(int f) { return f >= kBaud && f <= kFlow; }
// A failed set names the line settings with the same bits.
static_assert(kSettingBaudRate == SetStateFailure::Rate && kSettingByteSize == SetStateFailure::ByteSize &&
              kSettingParity == SetStateFailure::Parity && kSettingStopBits == SetStateFailure::StopBits &&
              kSettingFlowControl == SetStateFailure::FlowControl);

// Values on the wire: SET-CONTROL's codes and the framing codes of RFC 2217.
constexpr unsigned kFlowNone = 1, kFlowXonXoff = 2, kFlowHardware = 3;
constexpr unsigned kBreakOn = 5, kBreakOff = 6, kDtrOn = 8, kDtrOff = 9, kRtsOn = 11, kRtsOff = 12;
constexpr unsigned kLineOverrun = 0x02, kLineParity = 0x04, kLineFraming = 0x08, kLineBreak = 0x10;
constexpr std::uint8_t kPurgeReceive = 1, kPurgeTransmit = 2;

// Servers round the rate; one they could not come near was refused.
bool valueAccepted(int field, unsigned wanted, unsigned got)
{
    if (field != kBaud)
        return wanted == got;
    const std::uint64_t diff = wanted > got ? wanted - got : got - wanted;
    return diff * 100 <= std::uint64_t{wanted} * 3;
}

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

// What the record can ask of any line: rates above 0, 5 to 8 data bits, the five parities, the
// three stop-bit codes (1.5 only with 5 data bits, as the classic driver has it).
bool validDcb(const Dcb& d)
{
    return d.BaudRate > 0 && d.ByteSize >= 5 && d.ByteSize <= 8 && d.Parity <= SPACEPARITY &&
           d.StopBits <= TWOSTOPBITS && (d.StopBits != ONE5STOPBITS || d.ByteSize == 5);
}

std::uint32_t errorsOfLineState(unsigned state)
{
    std::uint32_t e = 0;
    if (state & kLineOverrun)
        e |= CE_OVERRUN;
    if (state & kLineParity)
        e |= CE_RXPARITY;
    if (state & kLineFraming)
        e |= CE_FRAME;
    if (state & kLineBreak)
        e |= CE_BREAK;
    return e;
}

// One request to the server, answered (or not) on the connection's thread.
struct Request {
    int field = 0;
    unsigned requested = 0;  // the value on the wire
    bool done = false;
    unsigned value = 0;
};

class RemoteSerialPort final : public SerialPort, private tn::Sink {
public:
    RemoteSerialPort(RemoteAddress address, RemoteTiming timing, int socket, int wakeFd)
        : address_(std::move(address)),
          lineControl_(address_.protocol == RemoteAddress::Protocol::Rfc2217),
          timing_(timing),
          socket_(socket),
          wakeFd_(wakeFd)
    {
        applyLineDefaults(dcb_);
        dcb_.setFRtsControl(RTS_CONTROL_ENABLE);  // a fresh line has DTR and RTS raised
    }

    ~RemoteSerialPort() override
    {
        {
            std::lock_guard lock(m_);
            stopping_ = true;
        }
        signalFd(wakeFd_);
        if (thread_.joinable())
            thread_.join();
        ::close(socket_);
        ::close(wakeFd_);
    }

    // Starts the connection's thread and, for RFC 2217, the option negotiation: None once the
    // server took the COM-port option (or at once for a raw stream).
    OpenError start(std::stop_token stop)
    {
        if (lineControl_) {
            std::lock_guard lock(m_);
            negotiation_.start(commands_);
        }
        try {
            thread_ = std::thread([this] { run(); });
        } catch (const std::system_error& e) {
            return OpenError(OpenError::Other, e.code().value());
        }
        if (!lineControl_)
            return OpenError::None;
        std::stop_callback wakeOnStop(stop, [&] {
            std::lock_guard lock(m_);
            answerCv_.notify_all();
        });
        std::unique_lock lock(m_);
        answerCv_.wait_for(lock, kNegotiationBound, [&] {
            return lost_ || negotiation_.comPortAgreed() || negotiation_.comPortRefused() || stop.stop_requested();
        });
        if (lost_) {
            // The server closed at once (a line another client holds), or the connection broke.
            return OpenError(lossReason_ == LossReason::NoAnswer ? OpenError::NoAnswer : OpenError::Other,
                             lossErrno_ != 0 ? lossErrno_ : ECONNRESET);
        }
        if (!negotiation_.comPortAgreed()) {
            // A server that sent nothing at all is slow or busy (one still ending the previous
            // session), not one without line control.
            return stop.stop_requested() || !heard_ ? OpenError::NoAnswer : OpenError::NoLineControl;
        }
        // From now on the server reports every modem input and the line's error conditions (not
        // data-ready or the transmitter's state, which change all the time).
        const std::uint8_t modemMask = 0xFF;
        const std::uint8_t lineMask = kLineOverrun | kLineParity | kLineFraming | kLineBreak;
        tn::appendComPort(commands_, tn::kSetModemStateMask, &modemMask, 1);
        tn::appendComPort(commands_, tn::kSetLineStateMask, &lineMask, 1);
        signalFd(wakeFd_);
        return OpenError::None;
    }

    // ---- Line parameters ----

    bool getCommState(Dcb& dcb) override
    {
        if (lost_)
            return false;
        std::lock_guard lock(m_);
        dcb = acknowledgedLocked();
        return true;
    }

    [[nodiscard]] SetStateFailure lastSetStateFailure() const override
    {
        std::lock_guard lock(m_);
        return lastFailure_;
    }

    bool setCommState(const Dcb& dcb) override
    {
        std::unique_lock lock(m_);
        lastFailure_ = SetStateFailure{};
        if (lost_ || cancelled_ || !validDcb(dcb)) {
            lastFailure_.systemError = lost_ ? ECONNRESET : cancelled_ ? ECANCELED : EINVAL;
            return false;
        }
        if (!lineControl_) {
            // A raw stream: the record is kept (for the event character), nothing is sent.
            dcb_ = dcb;
            setEvtCharLocked(dcb.EvtChar);
            return true;
        }
        std::array<std::optional<unsigned>, kFieldCount> want;
        // The control lines first: once the line settings after them are answered, no answer to
        // them is still to come from a server that answers in order.
        if (dcb.fDtrControl() == DTR_CONTROL_ENABLE || dcb.fDtrControl() == DTR_CONTROL_DISABLE)
            want[kDtr] = dcb.fDtrControl() == DTR_CONTROL_ENABLE ? kDtrOn : kDtrOff;
        if (dcb.fRtsControl() == RTS_CONTROL_ENABLE || dcb.fRtsControl() == RTS_CONTROL_DISABLE)
            want[kRts] = dcb.fRtsControl() == RTS_CONTROL_ENABLE ? kRtsOn : kRtsOff;
        want[kBaud] = dcb.BaudRate;
        want[kDataSize] = dcb.ByteSize;
        want[kParity] = parityCode(dcb.Parity);
        want[kStopBits] = stopBitsCode(dcb.StopBits);
        want[kFlow] = flowCode(dcb);

        const auto before = acked_;
        const std::vector<Request*> batch = requestLocked(want);
        auto lineAnswered = [&] {
            return std::all_of(batch.begin(), batch.end(), [](const Request* r) { return !isLineField(r->field) || r->done; });
        };
        answerCv_.wait_for(lock, timing_.answer, [&] { return lost_ || cancelled_ || lineAnswered(); });
        std::uint32_t refused = 0;  // not taken as asked, or not answered
        std::uint32_t unanswered = 0;
        for (const Request* r : batch) {
            if (!isLineField(r->field) || (r->done && valueAccepted(r->field, r->requested, r->value)))
                continue;
            refused |= kFieldBits[static_cast<std::size_t>(r->field)];
            if (!r->done)
                unanswered |= kFieldBits[static_cast<std::size_t>(r->field)];
        }
        if (!lost_ && refused == 0) {
            dcb_ = dcb;
            setEvtCharLocked(dcb.EvtChar);
            return true;
        }
        if (lost_ || cancelled_) {
            lastFailure_.systemError = lost_ ? ECONNRESET : ECANCELED;
            return false;
        }
        // Put back what the server did change, so a refused set leaves the line as it was.
        std::array<std::optional<unsigned>, kFieldCount> restore;
        bool any = false;
        for (const Request* r : batch) {
            const auto f = static_cast<std::size_t>(r->field);
            if (isLineField(r->field) && r->done && before[f] && *before[f] != r->value) {
                restore[f] = *before[f];
                any = true;
            }
        }
        if (any) {
            const std::vector<Request*> back = requestLocked(restore);
            answerCv_.wait_for(lock, kRestoreBound, [&] {
                return lost_ || cancelled_ ||
                       std::all_of(back.begin(), back.end(), [](const Request* r) { return r->done; });
            });
        }
        // The line settings' bits are those of SetStateFailure; what the line has is what the
        // server acknowledged last.
        lastFailure_.systemError = EINVAL;
        lastFailure_.refused = refused;
        lastFailure_.unanswered = unanswered;
        lastFailure_.got = acknowledgedLocked();
        return false;
    }

    bool getCommTimeouts(CommTimeouts& t) override
    {
        if (lost_)
            return false;
        std::lock_guard lock(m_);
        t = timeouts_;
        return true;
    }

    bool setCommTimeouts(const CommTimeouts& t) override
    {
        if (lost_)
            return false;
        std::lock_guard lock(m_);
        timeouts_ = t;
        return true;
    }

    bool setupComm(std::uint32_t, std::uint32_t) override { return !lost_; }

    // ---- Events and reads ----

    bool setCommMask(std::uint32_t mask) override
    {
        std::lock_guard lock(m_);
        mask_ = mask;
        wake_ = true;
        resumeReadingLocked();  // EV_RXFLAG alone may have made a full queue take bytes again
        dataCv_.notify_all();
        return !lost_;
    }

    bool waitCommEvent(std::uint32_t& events) override
    {
        std::unique_lock lock(m_);
        for (;;) {
            events = 0;
            if (lost_) {
                // What the port took before the loss is still read out first.
                events = mask_ & (EV_RXCHAR | EV_RXFLAG);
                if (in_.size() > 0 && events)
                    return true;
                events = 0;
                dataCv_.wait(lock, [&] { return wake_; });
                wake_ = false;
                return false;
            }
            // A pending wake comes first, so a closing channel is heard while data streams in.
            if (wake_) {
                wake_ = false;
                return true;
            }
            if ((mask_ & EV_RXCHAR) && in_.size() > 0)
                events |= EV_RXCHAR;
            if ((mask_ & EV_RXFLAG) && evtCount_ > 0)
                events |= EV_RXFLAG;
            if (events)
                return true;
            dataCv_.wait(lock);
        }
    }

    IoStatus read(std::uint8_t* buf, std::size_t n, std::size_t& got, int capMs) override
    {
        got = 0;
        std::unique_lock lock(m_);
        if (lost_) {
            got = popLocked(buf, n);
            return got > 0 ? IoStatus::Ok : IoStatus::Failed;
        }
        ReadDeadline dl(timeouts_, n, capMs, CommClock::now());
        const std::uint64_t abortGen = rxAbortGen_;
        for (;;) {
            const std::size_t before = got;
            got += popLocked(buf + got, n - got);
            if (got > before)
                dl.bytesArrived(CommClock::now());
            // A loss that leaves nothing to read ends the read; what it read is delivered.
            if (lost_ && in_.size() == 0)
                return got > 0 ? IoStatus::Ok : IoStatus::Failed;
            if (dl.satisfied(got))
                return IoStatus::Ok;
            const auto deadline = dl.deadline();
            if (deadline && CommClock::now() >= *deadline)
                return IoStatus::Ok;
            // The wake token stays for the next waitCommEvent, which it is meant for.
            if (wake_ || rxAbortGen_ != abortGen)
                return IoStatus::Cancelled;
            if (deadline)
                dataCv_.wait_until(lock, *deadline);
            else
                dataCv_.wait(lock);
        }
    }

    // ---- Writes ----

    IoStatus write(const std::uint8_t* data, std::size_t n, std::size_t& written) override
    {
        written = 0;
        std::lock_guard wlock(writeMutex_);
        std::unique_lock lock(m_);
        const auto deadline = writeDeadline(timeouts_, n, CommClock::now());
        return writeLocked(lock, data, n, written, deadline, txAbortGen_);
    }

    IoStatus writeAndDrain(const std::uint8_t* data, std::size_t n, std::size_t& written) override
    {
        written = 0;
        // Held through the drain, so no other write adds to the queue being waited for.
        std::lock_guard wlock(writeMutex_);
        std::unique_lock lock(m_);
        const auto deadline = writeDeadline(timeouts_, n, CommClock::now());
        const std::uint64_t abortGen = txAbortGen_;
        const IoStatus status = writeLocked(lock, data, n, written, deadline, abortGen);
        if (status != IoStatus::Ok || written == 0)
            return status;
        // Drained: every byte sent on the connection (a held line keeps them here).
        auto settled = [&] { return lost_ || out_.empty() || aborted(abortGen); };
        if (deadline)
            roomCv_.wait_until(lock, *deadline, settled);
        else
            roomCv_.wait(lock, settled);
        if (lost_)
            return IoStatus::Failed;
        if (aborted(abortGen))
            return IoStatus::Cancelled;
        written -= std::min(written, out_.size());
        return IoStatus::Ok;
    }

    void abortWrites() override
    {
        std::lock_guard lock(m_);
        writesAborted_ = true;
        ++txAbortGen_;
        roomCv_.notify_all();
    }

    void resumeWrites() override
    {
        std::lock_guard lock(m_);
        writesAborted_ = false;
    }

    // ---- Status and control ----

    bool clearCommError(std::uint32_t& errors, ComStat* stat) override
    {
        errors = 0;
        if (lost_)
            return false;
        std::lock_guard lock(m_);
        errors = lineErrors_ | (rxOverflow_ ? CE_RXOVER : 0);
        lineErrors_ = 0;
        rxOverflow_ = false;
        if (stat) {
            *stat = ComStat{};
            stat->cbInQue = static_cast<std::uint32_t>(in_.size());
            stat->cbOutQue = static_cast<std::uint32_t>(out_.size());
            if (holdByUs_ || holdByServer_)
                stat->flags |= ComStat::fXoffHold;
        }
        return true;
    }

    bool getCommModemStatus(std::uint32_t& status) override
    {
        status = 0;
        // A raw stream has no modem lines (as a pseudo-terminal has none).
        if (lost_ || !lineControl_)
            return false;
        std::lock_guard lock(m_);
        status = modem_;
        return true;
    }

    bool escapeCommFunction(int function) override
    {
        if (lost_)
            return false;
        std::lock_guard lock(m_);
        std::array<std::optional<unsigned>, kFieldCount> want;
        switch (function) {
        case SETXOFF:
        case SETXON:
            // As if an XOFF (XON) had been received: our output stops (goes on).
            holdByUs_ = function == SETXOFF;
            roomCv_.notify_all();
            signalFd(wakeFd_);
            return true;
        case SETDTR: want[kDtr] = kDtrOn; break;
        case CLRDTR: want[kDtr] = kDtrOff; break;
        case SETRTS: want[kRts] = kRtsOn; break;
        case CLRRTS: want[kRts] = kRtsOff; break;
        case SETBREAK: want[kBreak] = kBreakOn; break;
        case CLRBREAK: want[kBreak] = kBreakOff; break;
        default: return false;
        }
        if (!lineControl_)
            return false;
        // Sent without waiting: the answer (or its absence) shows in unconfirmedSettings.
        requestLocked(want);
        return true;
    }

    bool purgeComm(std::uint32_t flags) override
    {
        if (lost_)
            return false;
        std::unique_lock lock(m_);
        if (cancelled_)
            return false;
        if (flags & PURGE_TXABORT)
            ++txAbortGen_;
        if (flags & PURGE_RXABORT)
            ++rxAbortGen_;
        std::uint8_t serverPurge = 0;
        if (flags & PURGE_RXCLEAR) {
            clearInputLocked();
            serverPurge |= kPurgeReceive;
        }
        if (flags & PURGE_TXCLEAR) {
            out_.clear();
            serverPurge |= kPurgeTransmit;
        }
        dataCv_.notify_all();
        roomCv_.notify_all();
        if (!serverPurge || !lineControl_)
            return true;
        // The server's own buffers too (PURGE-DATA): what it took from the device and what it has
        // still to send to it. Done when it answers, so nothing the device sent before the purge
        // reaches a reader after it (a server that does not answer is waited for a bounded time).
        std::array<std::optional<unsigned>, kFieldCount> want;
        want[kPurge] = serverPurge;
        const std::vector<Request*> purge = requestLocked(want);
        answerCv_.wait_for(lock, timing_.answer, [&] { return lost_ || cancelled_ || purge.front()->done; });
        return !cancelled_;
    }

    void cancelWaits() override
    {
        std::lock_guard lock(m_);
        cancelled_ = true;
        answerCv_.notify_all();
    }

    [[nodiscard]] bool heldByFarEnd() const override
    {
        std::lock_guard lock(m_);
        return holdTold_;
    }

    void setHoldNotifier(std::function<void()> notify) override
    {
        std::lock_guard lock(m_);
        holdNotifier_ = std::move(notify);
    }

    [[nodiscard]] std::uint32_t unconfirmedSettings() const override
    {
        if (!lineControl_)
            return kSettingNoLineControl;
        std::lock_guard lock(m_);
        std::uint32_t bits = 0;
        for (std::size_t f = 0; f < kFieldCount; ++f) {
            const Request* r = latest_[f];
            if (r && !(r->done && valueAccepted(static_cast<int>(f), r->requested, r->value)))
                bits |= kFieldBits[f];
        }
        return bits;
    }

    [[nodiscard]] bool lost() const override { return lost_; }
    [[nodiscard]] LossReason lossReason() const override
    {
        std::lock_guard lock(m_);
        return lossReason_;
    }
    void setLossNotifier(std::function<void()> notify) override
    {
        std::lock_guard lock(m_);
        lossNotifier_ = std::move(notify);
    }

private:
    // ---- The connection's thread ----

    void run()
    {
        pthread_setname_np(pthread_self(), "remote line");
        std::vector<std::uint8_t> wire;  // bytes on their way out
        std::size_t sent = 0;
        std::vector<std::uint8_t> raw(16 * 1024);
        bool hungUp = false;  // the far end is gone; what it sent is still to be read
        // While bytes we sent wait in the socket, it is looked at once a second for a server
        // that no longer answers (see stalled()).
        std::optional<CommClock::time_point> waitingSince;
        CommClock::time_point nextLook{};
        for (;;) {
            short events = 0;
            std::optional<CommClock::time_point> wakeAt;
            {
                std::lock_guard lock(m_);
                if (stopping_)
                    return;
                if (!lost_) {
                    if (sent == wire.size()) {
                        wire.clear();
                        sent = 0;
                        fillWireLocked(wire);
                    }
                    readPaused_ = in_.room() == 0 && !stalledLocked();
                    if (!readPaused_)
                        events |= POLLIN;
                    if (sent < wire.size())
                        events |= POLLOUT;
                    if (holdSince_ && !holdTold_)
                        wakeAt = *holdSince_ + timing_.holdTold;
                }
            }
            if (waitingSince && !lost_)
                wakeAt = wakeAt ? std::min(*wakeAt, nextLook) : nextLook;
            // A hung-up socket reports itself on every poll: it is left out while nothing can be read.
            pollfd p[2] = {{(events != 0 && !(hungUp && !(events & POLLIN))) ? socket_ : -1, events, 0},
                           {wakeFd_, POLLIN, 0}};
            if (::poll(p, 2, wakeAt ? pollTimeoutMs(*wakeAt, CommClock::now()) : -1) < 0) {
                if (errno != EINTR)
                    lose(LossReason::ConnectionReset, errno);
                continue;
            }
            if (p[1].revents & POLLIN)
                takeFd(wakeFd_);
            if (p[0].revents & POLLOUT) {
                const ssize_t k = ::send(socket_, wire.data() + sent, wire.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
                if (k > 0) {
                    sent += static_cast<std::size_t>(k);
                    if (!waitingSince) {
                        waitingSince = CommClock::now();
                        nextLook = *waitingSince + kStallLook;
                    }
                } else if (k < 0 && errno != EAGAIN && errno != EINTR) {
                    lose(lossOfErrno(errno), errno);
                }
            }
            if (p[0].revents & (POLLHUP | POLLERR))
                hungUp = true;
            if (p[0].revents & (POLLIN | POLLHUP | POLLERR))
                receive(raw);
            const auto now = CommClock::now();
            if (waitingSince && now >= nextLook) {
                nextLook = now + kStallLook;
                if (const std::optional<bool> stuck = stalled(now - *waitingSince); !stuck)
                    waitingSince.reset();  // all sent and acknowledged
                else if (*stuck)
                    lose(LossReason::NoAnswer, ETIMEDOUT);
            }
            tellHold(now);
        }
    }

    // Whether the server has stopped answering while bytes we sent wait for it: nothing from it,
    // not even an acknowledgement, for the stall bound while our data is in flight (or while two
    // window probes in a row go unanswered). The kernel alone would retry for a quarter of an
    // hour. A server that only stops reading still acknowledges the window probes and is left
    // alone: its line is held, not gone. (TCP_USER_TIMEOUT would end such a connection, with the
    // bytes waiting in it.) Empty once nothing waits in the socket any more.
    std::optional<bool> stalled(CommClock::duration waiting) const
    {
        int queued = 0;
        if (::ioctl(socket_, SIOCOUTQ, &queued) != 0 || queued <= 0)
            return std::nullopt;
        tcp_info info{};
        socklen_t size = sizeof info;
        if (::getsockopt(socket_, IPPROTO_TCP, TCP_INFO, &info, &size) != 0)
            return false;
        const auto silent = std::chrono::milliseconds(info.tcpi_last_ack_recv);
        return waiting >= timing_.stall && silent >= timing_.stall && (info.tcpi_unacked > 0 || info.tcpi_probes >= 2);
    }

    // Tells (once) that the server has held our output longer than a pause of flow control.
    void tellHold(CommClock::time_point now)
    {
        std::function<void()> notify;
        {
            std::lock_guard lock(m_);
            if (!holdSince_ || holdTold_ || now < *holdSince_ + timing_.holdTold)
                return;
            holdTold_ = true;
            notify = holdNotifier_;
        }
        if (notify)
            notify();
    }

    static LossReason lossOfErrno(int err) { return err == ETIMEDOUT ? LossReason::NoAnswer : LossReason::ConnectionReset; }

    // Reads what the connection has, as far as the input queue takes it, and decodes it.
    void receive(std::vector<std::uint8_t>& raw)
    {
        std::size_t want = 0;
        {
            std::lock_guard lock(m_);
            // Decoded data is never longer than what was read, so what is read always fits.
            want = stalledLocked() ? raw.size() : std::min(raw.size(), in_.room());
        }
        if (want == 0)
            return;
        const ssize_t k = ::recv(socket_, raw.data(), want, MSG_DONTWAIT);
        if (k == 0) {
            lose(LossReason::ClosedByServer, 0);
            return;
        }
        if (k < 0) {
            if (errno != EAGAIN && errno != EINTR)
                lose(lossOfErrno(errno), errno);
            return;
        }
        std::function<void()> holdNews;
        {
            std::lock_guard lock(m_);
            heard_ = true;
            const bool told = holdTold_;
            if (lineControl_)
                decoder_.feed(raw.data(), static_cast<std::size_t>(k), *this);
            else
                data(raw.data(), static_cast<std::size_t>(k));
            dataCv_.notify_all();
            if (answered_) {
                answered_ = false;
                answerCv_.notify_all();
            }
            if (told && !holdTold_)
                holdNews = holdNotifier_;  // the server let the line go again
        }
        if (holdNews)
            holdNews();
    }

    // Requests and replies first, then data unless the output is held. Called with m_ held.
    void fillWireLocked(std::vector<std::uint8_t>& wire)
    {
        wire.swap(commands_);
        commands_.clear();
        if (holdByUs_ || holdByServer_ || out_.empty())
            return;
        std::uint8_t chunk[kSendChunk];
        const std::size_t n = out_.pop(chunk, sizeof chunk);
        if (lineControl_)
            tn::appendData(wire, chunk, n);
        else
            wire.insert(wire.end(), chunk, chunk + n);
        roomCv_.notify_all();  // room for the writers
    }

    void lose(LossReason why, int err)
    {
        std::function<void()> notify;
        {
            std::lock_guard lock(m_);
            if (lost_)
                return;
            lossReason_ = why;
            lossErrno_ = err;
            lost_ = true;
            notify = lossNotifier_;
            notifyAllLocked();
        }
        if (notify)
            notify();
    }

    // ---- What the server sends (the connection's thread, with m_ held) ----

    void data(const std::uint8_t* bytes, std::size_t n) override
    {
        if (n > in_.room()) {
            // Only while nothing will read the queue until an event character comes (EV_RXFLAG
            // alone): the oldest bytes make room, and the newest are kept.
            if (n > kQueueSize) {
                bytes += n - kQueueSize;
                n = kQueueSize;
            }
            discardOldestLocked(n - in_.room());
            rxOverflow_ = true;
        }
        in_.push(bytes, n);
        evtCount_ += static_cast<std::size_t>(std::count(bytes, bytes + n, evtChar_));
    }

    void negotiation(std::uint8_t verb, std::uint8_t option) override
    {
        answered_ = true;
        if (commands_.size() < kMaxCommandBytes)
            negotiation_.receive(verb, option, commands_);
    }

    void command(std::uint8_t code) override
    {
        if (code == tn::BRK)  // a break the server saw on the line
            lineErrors_ |= CE_BREAK;
    }

    void subnegotiation(std::uint8_t option, const std::uint8_t* p, std::size_t n, bool truncated) override
    {
        if (option != tn::kComPort || truncated || n < 1 || p[0] <= tn::kServerOffset)
            return;
        const int code = p[0] - tn::kServerOffset;
        if (n < 2 && code != tn::kFlowControlSuspend && code != tn::kFlowControlResume)
            return;  // every other answer carries a value
        const unsigned value = n >= 2 ? p[1] : 0;
        switch (code) {
        case tn::kSetBaudRate:
            if (n >= 5)
                answer(kBaud, static_cast<unsigned>(p[1]) << 24 | static_cast<unsigned>(p[2]) << 16 |
                                  static_cast<unsigned>(p[3]) << 8 | p[4]);
            break;
        case tn::kSetDataSize: answer(kDataSize, value); break;
        case tn::kSetParity: answer(kParity, value); break;
        case tn::kSetStopSize: answer(kStopBits, value); break;
        case tn::kSetControl:
            // One command for several settings: the value tells which one it answers.
            if (value >= 1 && value <= 3)
                answer(kFlow, value);
            else if (value == kBreakOn || value == kBreakOff)
                answer(kBreak, value);
            else if (value == kDtrOn || value == kDtrOff)
                answer(kDtr, value);
            else if (value == kRtsOn || value == kRtsOff)
                answer(kRts, value);
            break;
        case tn::kNotifyLineState: lineErrors_ |= errorsOfLineState(value); break;
        case tn::kNotifyModemState: modem_ = value & (MS_CTS_ON | MS_DSR_ON | MS_RING_ON | MS_RLSD_ON); break;
        case tn::kFlowControlSuspend:
            holdByServer_ = true;
            if (!holdSince_)
                holdSince_ = CommClock::now();
            break;
        case tn::kFlowControlResume:
            holdByServer_ = false;
            holdSince_.reset();
            holdTold_ = false;
            break;
        case tn::kPurgeData:
            // What arrived before the server purged was taken from the device before the purge.
            if (!pending_[kPurge].empty() && (pending_[kPurge].front()->requested & kPurgeReceive))
                clearInputLocked();
            answer(kPurge, value);
            break;
        default: break;
        }
    }

    // The server's value of a setting; it answers the oldest request for it still open.
    void answer(int field, unsigned value)
    {
        answered_ = true;
        const auto f = static_cast<std::size_t>(field);
        acked_[f] = value;
        if (!pending_[f].empty()) {
            Request* r = pending_[f].front();
            pending_[f].pop_front();
            r->done = true;
            r->value = value;
        }
    }

    // ---- Shared helpers (m_ held) ----

    // While nothing will read the queue (EV_RXFLAG alone, no event character queued), the
    // connection is still read and the oldest bytes make room.
    [[nodiscard]] bool stalledLocked() const { return !(mask_ & EV_RXCHAR) && evtCount_ == 0; }

    // The record as last set, with the line settings the server acknowledged.
    [[nodiscard]] Dcb acknowledgedLocked() const
    {
        Dcb dcb = dcb_;
        const auto& a = acked_;
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

    void notifyAllLocked()
    {
        dataCv_.notify_all();
        roomCv_.notify_all();
        answerCv_.notify_all();
    }

    void clearInputLocked()
    {
        in_.clear();
        evtCount_ = 0;
        resumeReadingLocked();
    }

    void resumeReadingLocked()
    {
        if (readPaused_ && (in_.room() > 0 || stalledLocked()))
            signalFd(wakeFd_);
    }

    std::size_t popLocked(std::uint8_t* p, std::size_t n)
    {
        const std::size_t k = in_.pop(p, n);
        if (evtCount_ > 0)
            evtCount_ -= static_cast<std::size_t>(std::count(p, p + k, evtChar_));
        if (k > 0)
            resumeReadingLocked();
        return k;
    }

    void discardOldestLocked(std::size_t n)
    {
        std::uint8_t scratch[1024];
        while (n > 0)
            n -= popLocked(scratch, std::min(n, sizeof scratch));
    }

    void setEvtCharLocked(std::uint8_t c)
    {
        if (evtChar_ != c) {
            evtChar_ = c;
            evtCount_ = in_.count(c);
        }
    }

    [[nodiscard]] bool aborted(std::uint64_t gen) const { return writesAborted_ || txAbortGen_ != gen; }

    // Takes bytes into the output queue as it has room.
    IoStatus writeLocked(std::unique_lock<std::mutex>& lock, const std::uint8_t* data, std::size_t n,
                         std::size_t& written, std::optional<CommClock::time_point> deadline, std::uint64_t abortGen)
    {
        for (;;) {
            if (lost_)
                return IoStatus::Failed;
            if (aborted(abortGen))
                return IoStatus::Cancelled;
            const std::size_t k = std::min(n - written, out_.room());
            if (k > 0) {
                const bool wasEmpty = out_.empty();
                out_.push(data + written, k);
                written += k;
                if (wasEmpty)
                    signalFd(wakeFd_);
            }
            if (written == n)
                return IoStatus::Ok;
            // Full: the connection or the line is held (XOFF, a suspended server).
            if (deadline) {
                if (roomCv_.wait_until(lock, *deadline) == std::cv_status::timeout && out_.room() == 0)
                    return IoStatus::Ok;
            } else {
                roomCv_.wait(lock);
            }
        }
    }

    // Queues requests for the fields `want` names, in field order, and has them sent.
    std::vector<Request*> requestLocked(const std::array<std::optional<unsigned>, kFieldCount>& want)
    {
        // Answered requests are forgotten unless they are a field's latest.
        requests_.remove_if([&](const Request& r) {
            return r.done && std::find(latest_.begin(), latest_.end(), &r) == latest_.end();
        });
        std::vector<Request*> batch;
        for (std::size_t f = 0; f < kFieldCount; ++f) {
            if (!want[f])
                continue;
            const unsigned v = *want[f];
            if (f == kBaud) {
                const std::uint8_t rate[4] = {static_cast<std::uint8_t>(v >> 24), static_cast<std::uint8_t>(v >> 16),
                                              static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)};
                tn::appendComPort(commands_, tn::kSetBaudRate, rate, 4);
            } else {
                static constexpr std::array<std::uint8_t, kFieldCount> kCode = {
                    tn::kSetControl, tn::kSetControl,  tn::kSetBaudRate, tn::kSetDataSize, tn::kSetParity,
                    tn::kSetStopSize, tn::kSetControl, tn::kSetControl,  tn::kPurgeData};
                const auto byte = static_cast<std::uint8_t>(v);
                tn::appendComPort(commands_, kCode[f], &byte, 1);
            }
            requests_.push_back(Request{static_cast<int>(f), v});
            Request* r = &requests_.back();
            latest_[f] = r;
            if (pending_[f].size() >= kMaxPending) {
                pending_[f].front()->done = true;  // given up: never answered
                pending_[f].pop_front();
            }
            pending_[f].push_back(r);
            batch.push_back(r);
        }
        signalFd(wakeFd_);
        return batch;
    }

    const RemoteAddress address_;
    const bool lineControl_;
    const RemoteTiming timing_;
    const int socket_;
    const int wakeFd_;
    std::thread thread_;
    std::mutex writeMutex_;  // one write call at a time

    mutable std::mutex m_;  // everything below
    std::condition_variable dataCv_;    // input, the wake, read aborts: waitCommEvent and read
    std::condition_variable roomCv_;    // room in the output queue, write aborts: the writers
    std::condition_variable answerCv_;  // the server's answers: settings, purges, the negotiation
    bool answered_ = false;             // an answer came in the bytes being decoded
    bool stopping_ = false;
    bool cancelled_ = false;            // cancelWaits: no wait for an answer any more
    bool heard_ = false;                // the server has sent anything at all
    std::atomic<bool> lost_{false};
    LossReason lossReason_ = LossReason::None;
    int lossErrno_ = 0;
    std::function<void()> lossNotifier_;
    tn::Decoder decoder_;
    tn::Negotiation negotiation_;
    std::vector<std::uint8_t> commands_;  // requests and Telnet replies to send

    // Input.
    ByteRing in_{kQueueSize};
    std::uint8_t evtChar_ = 0x0D;
    std::size_t evtCount_ = 0;
    bool rxOverflow_ = false;
    bool readPaused_ = false;
    std::uint32_t mask_ = 0;
    bool wake_ = false;
    std::uint64_t rxAbortGen_ = 0;
    std::uint32_t lineErrors_ = 0;
    std::uint32_t modem_ = 0;

    // Output.
    ByteRing out_{kOutQueueSize};
    bool holdByUs_ = false;      // SETXOFF
    bool holdByServer_ = false;  // the server asked us to suspend (FLOWCONTROL-SUSPEND)
    std::optional<CommClock::time_point> holdSince_;  // since when it holds
    bool holdTold_ = false;      // held longer than timing_.holdTold, and said so
    std::function<void()> holdNotifier_;
    std::uint64_t txAbortGen_ = 0;
    bool writesAborted_ = false;

    // Settings.
    Dcb dcb_;
    SetStateFailure lastFailure_;
    CommTimeouts timeouts_;
    std::list<Request> requests_;
    std::array<Request*, kFieldCount> latest_{};
    std::array<std::deque<Request*>, kFieldCount> pending_;
    std::array<std::optional<unsigned>, kFieldCount> acked_;
};

// ---- Resolving and connecting ----

struct Lookup {
    std::mutex m;
    std::condition_variable cv;
    bool done = false;
    int rc = 0;
    int systemError = 0;  // errno, for EAI_SYSTEM
    std::vector<sockaddr_storage> addresses;
};

// The addresses of `host`, resolving a name on a thread of its own so a name server that does
// not answer cannot hold the caller past `deadline` (or `stop`).
std::vector<sockaddr_storage> resolveHost(const RemoteAddress& a, std::stop_token stop,
                                          CommClock::time_point deadline, OpenError& error)
{
    sockaddr_storage s{};
    auto* v4 = reinterpret_cast<sockaddr_in*>(&s);
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&s);
    if (::inet_pton(AF_INET, a.host.c_str(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons(a.port);
        return {s};
    }
    if (::inet_pton(AF_INET6, a.host.c_str(), &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(a.port);
        return {s};
    }

    auto lookup = std::make_shared<Lookup>();
    try {
        std::thread([lookup, host = a.host, port = a.port] {
            addrinfo hints{};
            hints.ai_family = AF_UNSPEC;
            hints.ai_socktype = SOCK_STREAM;
            hints.ai_flags = AI_ADDRCONFIG;
            addrinfo* res = nullptr;
            const int rc = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &res);
            const int err = rc == EAI_SYSTEM ? errno : 0;
            std::vector<sockaddr_storage> found;
            for (addrinfo* i = res; rc == 0 && i; i = i->ai_next) {
                if ((i->ai_family != AF_INET && i->ai_family != AF_INET6) || i->ai_addrlen > sizeof(sockaddr_storage))
                    continue;
                sockaddr_storage one{};
                std::memcpy(&one, i->ai_addr, i->ai_addrlen);
                found.push_back(one);
            }
            if (res)
                ::freeaddrinfo(res);
            std::lock_guard lock(lookup->m);
            lookup->done = true;
            lookup->rc = rc;
            lookup->systemError = err;
            lookup->addresses = std::move(found);
            lookup->cv.notify_all();
        }).detach();
    } catch (const std::system_error& e) {
        error = OpenError(OpenError::Other, e.code().value(), error.path);
        return {};
    }
    std::stop_callback wakeOnStop(stop, [&] {
        std::lock_guard lock(lookup->m);
        lookup->cv.notify_all();
    });
    std::unique_lock lock(lookup->m);
    lookup->cv.wait_until(lock, deadline, [&] { return lookup->done || stop.stop_requested(); });
    if (!lookup->done) {
        error.kind = OpenError::NoAnswer;
        return {};
    }
    if (lookup->rc == EAI_SYSTEM || lookup->rc == EAI_MEMORY) {
        error = OpenError(OpenError::Other, lookup->rc == EAI_MEMORY ? ENOMEM : lookup->systemError, error.path);
        return {};
    }
    if (lookup->rc != 0 || lookup->addresses.empty()) {
        error.kind = lookup->rc == EAI_SYSTEM || lookup->rc == EAI_MEMORY ? OpenError::Other : OpenError::NameNotFound;
        error.resolverError = lookup->rc;  // the resolver's own reason, told with the name
        return {};
    }
    return lookup->addresses;
}

OpenError::Kind connectErrorKind(int err)
{
    switch (err) {
    case ECONNREFUSED: return OpenError::Refused;
    case EHOSTUNREACH:
    case ENETUNREACH:
    case ENETDOWN:
    case EHOSTDOWN: return OpenError::Unreachable;
    case ETIMEDOUT: return OpenError::NoAnswer;
    default: return OpenError::Other;
    }
}

// A connected, non-blocking socket to the first address that answers, or -1 with `error` set.
int connectTo(const std::vector<sockaddr_storage>& addresses, CommClock::time_point deadline, std::stop_token stop,
              OpenError& error)
{
    const int cancel = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (cancel < 0) {
        error = OpenError(OpenError::Other, errno, error.path);
        return -1;
    }
    std::stop_callback wakeOnStop(stop, [cancel] { signalFd(cancel); });
    int connected = -1;
    for (const sockaddr_storage& a : addresses) {
        const int fd = ::socket(a.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            error = OpenError(OpenError::Other, errno, error.path);
            continue;
        }
        const socklen_t len = a.ss_family == AF_INET ? sizeof(sockaddr_in) : sizeof(sockaddr_in6);
        int err = ::connect(fd, reinterpret_cast<const sockaddr*>(&a), len) == 0 ? 0 : errno;
        if (err == EINPROGRESS) {
            pollfd p[2] = {{fd, POLLOUT, 0}, {cancel, POLLIN, 0}};
            int r = 0;
            do
                r = ::poll(p, 2, pollTimeoutMs(deadline, CommClock::now()));
            while (r < 0 && errno == EINTR);
            if (r > 0 && (p[0].revents & (POLLOUT | POLLERR | POLLHUP))) {
                socklen_t size = sizeof err;
                if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &size) != 0)
                    err = errno;
            } else {
                err = ETIMEDOUT;  // the deadline, or a stop
            }
        }
        if (err == 0) {
            connected = fd;
            break;
        }
        ::close(fd);
        error = OpenError(connectErrorKind(err), err, error.path);
        if (CommClock::now() >= deadline || stop.stop_requested())
            break;
    }
    ::close(cancel);
    if (connected >= 0) {
        // Small requests and single bytes go out at once; a server that vanishes without a word
        // (a machine switched off) while the line is idle is noticed within about half a minute.
        const int on = 1, idle = 10, interval = 5, count = 3;
        const std::pair<int, int> options[] = {{IPPROTO_TCP, TCP_NODELAY}, {SOL_SOCKET, SO_KEEPALIVE},
                                               {IPPROTO_TCP, TCP_KEEPIDLE}, {IPPROTO_TCP, TCP_KEEPINTVL},
                                               {IPPROTO_TCP, TCP_KEEPCNT}};
        const int values[] = {on, on, idle, interval, count};
        for (std::size_t i = 0; i < std::size(options); ++i) {
            if (::setsockopt(connected, options[i].first, options[i].second, &values[i], sizeof values[i]) != 0) {
                error = OpenError(OpenError::Other, errno, error.path);
                ::close(connected);
                return -1;
            }
        }
    }
    return connected;
}

} // namespace

std::unique_ptr<SerialPort> openRemoteSerialPort(const std::string& entry, OpenError& error, std::stop_token stop,
                                                 RemoteTiming timing)
{
    error = OpenError(OpenError::None, 0, entry);
    const std::optional<RemoteAddress> address = parseRemoteAddress(entry);
    if (!address) {
        error.kind = OpenError::BadAddress;
        return nullptr;
    }
    const auto deadline = CommClock::now() + timing.connect;
    const std::vector<sockaddr_storage> addresses = resolveHost(*address, stop, deadline, error);
    if (addresses.empty())
        return nullptr;
    const int fd = connectTo(addresses, deadline, stop, error);
    if (fd < 0)
        return nullptr;
    const int wake = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wake < 0) {
        ::close(fd);
        error = OpenError(OpenError::Other, errno, entry);
        return nullptr;
    }
    auto port = std::make_unique<RemoteSerialPort>(*address, timing, fd, wake);
    if (const OpenError failed = port->start(stop); failed.kind != OpenError::None) {
        error = OpenError(failed.kind, failed.systemError, entry);
        return nullptr;
    }
    error = OpenError(OpenError::None, 0, entry);
    return port;
}

} // namespace kestrane
