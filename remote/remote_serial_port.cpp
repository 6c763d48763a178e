#include "remote/remote_serial_port.h"

#include "platform/byte_ring.h"
#include "platform/modem_watcher.h"
#include "platform/remote_address.h"
#include "platform/serial_port_core.h"
#include "platform/wake_token.h"
#include "remote/com_port_requests.h"
#include "remote/tcp_connect.h"
#include "remote/telnet_com_port.h"

#include <linux/sockios.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace kestrane {

namespace {

using namespace std::chrono_literals;
namespace tn = telnet;

// Bytes the port has taken from writers but not yet sent.
constexpr std::size_t kOutQueueSize = 64 * 1024;
// Data taken from the output queue per send.
constexpr std::size_t kSendChunk = 16 * 1024;
// Requests and Telnet replies waiting to be sent; a server that makes us answer more is ignored.
constexpr std::size_t kMaxCommandBytes = 4096;
// How long the option negotiation may take, and a restore of refused settings.
constexpr auto kNegotiationBound = 2s;
constexpr auto kRestoreBound = 500ms;
// How often a socket with our bytes waiting in it is looked at for a server gone silent.
constexpr auto kStallLook = 1s;

// The line's connection joined to the serial-port service: one I/O thread owns the socket,
// decodes the server's stream (Telnet, tn::Sink) and pushes the data into the core's input
// queue; the requests go through the bookkeeping (tn::ComPortRequests) and their answers are
// waited for here. Callers share the rest under m_ (taken before the core's lock).
class RemoteSerialPort final : public SerialPortCore, private tn::Sink {
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
        setRoomNotifier([this] { signalFd(wakeFd_); });
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
            return lost() || negotiation_.comPortAgreed() || negotiation_.comPortRefused() || stop.stop_requested();
        });
        if (lost()) {
            // The server closed at once (a line another client holds), or the connection broke.
            return OpenError(lossReason() == LossReason::NoAnswer ? OpenError::NoAnswer : OpenError::Other,
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
        const std::uint8_t lineMask = tn::kLineOverrun | tn::kLineParity | tn::kLineFraming | tn::kLineBreak;
        tn::appendComPort(commands_, tn::kSetModemStateMask, &modemMask, 1);
        tn::appendComPort(commands_, tn::kSetLineStateMask, &lineMask, 1);
        signalFd(wakeFd_);
        return OpenError::None;
    }

    // ---- Line parameters ----

    bool getCommState(Dcb& dcb) override
    {
        if (lost())
            return false;
        std::lock_guard lock(m_);
        dcb = tn::acknowledgedDcb(dcb_, requests_.acknowledged());
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
        if (lost() || cancelled_ || !tn::validForServer(dcb)) {
            lastFailure_.systemError = lost() ? ECONNRESET : cancelled_ ? ECANCELED : EINVAL;
            return false;
        }
        if (!lineControl_) {
            // A raw stream: the record is kept (for the event character), nothing is sent.
            dcb_ = dcb;
            setEventChar(dcb.EvtChar);
            return true;
        }
        // The control lines first, not waited for: once the line settings after them are
        // answered, no answer to them is still to come from a server that answers in order.
        tn::FieldValues line = tn::requestsOf(dcb);
        tn::FieldValues controls;
        controls[tn::kDtr] = std::exchange(line[tn::kDtr], std::nullopt);
        controls[tn::kRts] = std::exchange(line[tn::kRts], std::nullopt);
        const tn::FieldValues before = requests_.acknowledged();
        const auto now = CommClock::now();
        requests_.ask(controls, commands_, now, timing_.answer);
        const tn::Batch batch = requests_.ask(line, commands_, now, timing_.answer);
        signalFd(wakeFd_);
        waitForAnswers(lock, batch);
        const tn::ComPortRequests::Outcome outcome = requests_.outcome(batch);
        if (!lost() && outcome.refused == 0) {
            dcb_ = dcb;
            setEventChar(dcb.EvtChar);
            return true;
        }
        if (lost() || cancelled_) {
            lastFailure_.systemError = lost() ? ECONNRESET : ECANCELED;
            return false;
        }
        // Put back what the server did change, so a refused set leaves the line as it was.
        tn::FieldValues restore;
        bool any = false;
        for (const tn::RequestId id : batch.requests) {
            const std::optional<unsigned> got = requests_.answerOf(id);
            if (got && before[id.field] && *before[id.field] != *got) {
                restore[id.field] = before[id.field];
                any = true;
            }
        }
        if (any) {
            const tn::Batch back = requests_.ask(restore, commands_, CommClock::now(), kRestoreBound);
            signalFd(wakeFd_);
            waitForAnswers(lock, back);
        }
        // The line settings' bits are those of SetStateFailure; what the line has is what the
        // server acknowledged last.
        lastFailure_.systemError = EINVAL;
        lastFailure_.refused = outcome.refused;
        lastFailure_.unanswered = outcome.unanswered;
        lastFailure_.got = tn::acknowledgedDcb(dcb_, requests_.acknowledged());
        return false;
    }

    // ---- Status and control ----

    bool clearCommError(std::uint32_t& errors, ComStat* stat) override
    {
        errors = 0;
        if (lost())
            return false;
        std::uint32_t queued = 0;
        errors = takeErrors(&queued);
        if (stat) {
            std::lock_guard lock(m_);
            *stat = ComStat{};
            stat->cbInQue = queued;
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
        if (lost() || !lineControl_)
            return false;
        std::lock_guard lock(m_);
        status = modem_;
        return true;
    }

    bool escapeCommFunction(int function) override
    {
        if (lost())
            return false;
        std::lock_guard lock(m_);
        if (function == SETXOFF || function == SETXON) {
            // As if an XOFF (XON) had been received: our output stops (goes on).
            holdByUs_ = function == SETXOFF;
            roomCv_.notify_all();
            signalFd(wakeFd_);
            return true;
        }
        const tn::FieldValues want = tn::requestOfEscape(function);
        if (std::none_of(want.begin(), want.end(), [](const auto& v) { return v.has_value(); }) || !lineControl_)
            return false;
        // Sent without waiting: the answer (or its absence) shows in unconfirmedSettings.
        requests_.ask(want, commands_, CommClock::now(), timing_.answer);
        signalFd(wakeFd_);
        return true;
    }

    bool purgeComm(std::uint32_t flags) override
    {
        if (lost())
            return false;
        {
            std::lock_guard lock(m_);
            if (cancelled_)
                return false;
        }
        purgeInput(flags);
        std::unique_lock lock(m_);
        std::uint8_t serverPurge = 0;
        if (flags & PURGE_RXCLEAR)
            serverPurge |= tn::kPurgeReceive;
        if (flags & PURGE_TXCLEAR) {
            out_.clear();
            roomCv_.notify_all();
            serverPurge |= tn::kPurgeTransmit;
        }
        if (!serverPurge || !lineControl_)
            return true;
        // The server's own buffers too (PURGE-DATA): what it took from the device and what it has
        // still to send to it. Done when it answers, so nothing the device sent before the purge
        // reaches a reader after it (a server that does not answer is waited for a bounded time).
        tn::FieldValues want;
        want[tn::kPurge] = serverPurge;
        const tn::Batch purge = requests_.ask(want, commands_, CommClock::now(), timing_.answer);
        signalFd(wakeFd_);
        waitForAnswers(lock, purge);
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
        return requests_.unconfirmed();
    }

protected:
    // Takes bytes into the output queue as it has room.
    IoStatus writeToDevice(const std::uint8_t* data, std::size_t n, std::size_t& written, Deadline deadline,
                           std::uint64_t abortGen) override
    {
        std::unique_lock lock(m_);
        for (;;) {
            if (lost())
                return IoStatus::Failed;
            if (writeAborted(abortGen))
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

    // Drained: every byte sent on the connection (a held line keeps them here).
    IoStatus waitDrained(Deadline deadline, std::uint64_t abortGen, std::size_t& left) override
    {
        std::unique_lock lock(m_);
        auto settled = [&] { return lost() || out_.empty() || writeAborted(abortGen); };
        if (deadline)
            roomCv_.wait_until(lock, *deadline, settled);
        else
            roomCv_.wait(lock, settled);
        if (lost())
            return IoStatus::Failed;
        if (writeAborted(abortGen))
            return IoStatus::Cancelled;
        left = out_.size();
        return IoStatus::Ok;
    }

    // Writers wait for room in the output queue; an abort must reach them there.
    void interruptWrites() override
    {
        std::lock_guard lock(m_);
        roomCv_.notify_all();
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
                if (!lost()) {
                    if (sent == wire.size()) {
                        wire.clear();
                        sent = 0;
                        fillWireLocked(wire);
                    }
                    // A full queue holds the server back (TCP); the core wakes us once a reader made room.
                    if (inputIntake() > 0)
                        events |= POLLIN;
                    if (sent < wire.size())
                        events |= POLLOUT;
                    if (holdSince_ && !holdTold_)
                        wakeAt = *holdSince_ + timing_.holdTold;
                }
            }
            if (waitingSince && !lost())
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
            want = std::min(raw.size(), inputIntake());
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
            // Everything this read brought was taken from the connection now.
            receivedAt_ = timeline::now();
            const bool told = holdTold_;
            if (lineControl_) {
                decoder_.feed(raw.data(), static_cast<std::size_t>(k), *this);
                pushDecoded();
            } else {
                pushInput(raw.data(), static_cast<std::size_t>(k), {}, receivedAt_);
            }
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
        std::lock_guard lock(m_);
        if (lost())
            return;
        lossErrno_ = err;  // before the loss is seen, so start() reads it with the loss
        markLost(why);
        roomCv_.notify_all();
        answerCv_.notify_all();
    }

    // The answers to `batch` (or its deadline, a loss, cancelWaits).
    void waitForAnswers(std::unique_lock<std::mutex>& lock, const tn::Batch& batch)
    {
        answerCv_.wait_until(lock, batch.deadline, [&] {
            return lost() || cancelled_ || requests_.settled(batch, CommClock::now());
        });
    }

    // ---- What the server sends (the connection's thread, with m_ held) ----

    // The data between the commands is gathered and queued in one piece; whatever belongs to a
    // place in the stream (a break, a line state, a purge) queues what came before it first.
    void data(const std::uint8_t* bytes, std::size_t n) override { decoded_.insert(decoded_.end(), bytes, bytes + n); }

    void pushDecoded()
    {
        if (!decoded_.empty())
            pushInput(decoded_.data(), decoded_.size(), {}, receivedAt_);
        decoded_.clear();
    }

    void negotiation(std::uint8_t verb, std::uint8_t option) override
    {
        answered_ = true;
        if (commands_.size() < kMaxCommandBytes)
            negotiation_.receive(verb, option, commands_);
    }

    void command(std::uint8_t code) override
    {
        if (code == tn::BRK) {  // a break the server saw on the line, after the bytes before it
            pushDecoded();
            addLineErrors(CE_BREAK);
            lineStateAtEnd(timeline::LineError::Break, 0, receivedAt_);
        }
    }

    void subnegotiation(std::uint8_t option, const std::uint8_t* p, std::size_t n, bool truncated) override
    {
        if (option != tn::kComPort || truncated)
            return;
        const tn::ServerReport report = tn::readServerReport(p, n);
        pushDecoded();
        switch (report.kind) {
        case tn::ServerReport::Answer: {
            // What arrived before the server purged was taken from the device before the purge.
            const std::optional<unsigned> purge = requests_.oldestOpen(tn::kPurge);
            if (report.field == tn::kPurge && purge && (*purge & tn::kPurgeReceive))
                clearInput();
            requests_.answer(report.field, report.value, CommClock::now());
            answered_ = true;
            break;
        }
        case tn::ServerReport::LineState: {
            // Placed where the server reported it: after the bytes that came before the report.
            addLineErrors(tn::errorsOfLineState(report.value));
            timeline::LineError kinds[4];
            const std::size_t count = tn::lineErrorsOfLineState(report.value, kinds);
            for (std::size_t i = 0; i < count; ++i)
                lineStateAtEnd(kinds[i], 0, receivedAt_);
            break;
        }
        case tn::ServerReport::ModemState: {
            const ModemChange change = tn::modemChangeOfModemState(modemKnown_ ? std::optional(modem_) : std::nullopt,
                                                                   report.value);
            modem_ = change.lines;
            modemKnown_ = true;
            if (change.count > 0)
                reportEvent(modemEvent(change, receivedAt_));
            break;
        }
        case tn::ServerReport::Suspend:
            holdByServer_ = true;
            if (!holdSince_)
                holdSince_ = CommClock::now();
            break;
        case tn::ServerReport::Resume:
            holdByServer_ = false;
            holdSince_.reset();
            holdTold_ = false;
            break;
        case tn::ServerReport::None: break;
        }
    }

    const RemoteAddress address_;
    const bool lineControl_;
    const RemoteTiming timing_;
    const int socket_;
    const int wakeFd_;
    std::thread thread_;

    mutable std::mutex m_;  // everything below
    std::condition_variable roomCv_;    // room in the output queue, write aborts: the writers
    std::condition_variable answerCv_;  // the server's answers: settings, purges, the negotiation
    bool answered_ = false;             // an answer came in the bytes being decoded
    bool stopping_ = false;
    bool cancelled_ = false;            // cancelWaits: no wait for an answer any more
    bool heard_ = false;                // the server has sent anything at all
    int lossErrno_ = 0;
    tn::Decoder decoder_;
    tn::Negotiation negotiation_;
    std::vector<std::uint8_t> commands_;  // requests and Telnet replies to send
    std::vector<std::uint8_t> decoded_;   // data of the bytes being decoded, not yet queued
    tn::ComPortRequests requests_;
    std::uint32_t modem_ = 0;
    bool modemKnown_ = false;          // the server has reported the modem inputs
    timeline::Stamp receivedAt_;       // when the bytes being decoded were taken from the connection

    // Output.
    ByteRing out_{kOutQueueSize};
    bool holdByUs_ = false;      // SETXOFF
    bool holdByServer_ = false;  // the server asked us to suspend (FLOWCONTROL-SUSPEND)
    std::optional<CommClock::time_point> holdSince_;  // since when it holds
    bool holdTold_ = false;      // held longer than timing_.holdTold, and said so
    std::function<void()> holdNotifier_;

    // Settings.
    Dcb dcb_;
    SetStateFailure lastFailure_;
};

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
    const int fd = connectTcp(*address, CommClock::now() + timing.connect, stop, error);
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
