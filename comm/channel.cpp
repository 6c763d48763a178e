#include "comm/channel.h"

#include "records/channel_settings.h"
#include "platform/modem_watcher.h"
#include "platform/port_resolver.h"
#include "platform/posix_serial_port.h"
#include "platform/remote_address.h"
#include "remote/remote_serial_port.h"

#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include <algorithm>
#include <mutex>
#include <system_error>

namespace kestrane {

Channels::Channels(Settings& settings, PortOpener opener)
    : settings_(settings), opener_(std::move(opener)), deviceEventFd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC))
{
}

Channels::~Channels()
{
    closeChannel(1);
    closeChannel(2);
    if (deviceEventFd_ >= 0)
        ::close(deviceEventFd_);
}

ReceiveConfig Channels::receiveConfig(int channel) const
{
    const auto fields = channelFields(settings_.record, channel);
    ReceiveConfig c;
    c.maskRxChar = fields.maskRxChar == 1;
    c.maskRxFlag = fields.maskRxFlag == 1;
    c.rxGapMs = fields.rxGapMs;
    c.ch2Mode = settings_.record.ch2Mode;
    return c;
}

OpenResult Channels::openChannel(int channel, int comNumber)
{
    if (comNumber <= 0 || comNumber >= 256)
        return OpenResult::PortNumberOutOfRange;
    if (channel != 1 && channel != 2)
        return OpenResult::PortWillNotOpen;

    // A channel opened twice would lose its first port and thread: close it first.
    closeChannel(channel);
    ++deviceVersion_;
    state(channel).device = DeviceStatus{};
    state(channel).device.comNumber = comNumber;
    const PortSource open = [&](OpenError& error, std::stop_token) {
        return opener_ ? opener_(comNumber, error) : nullptr;
    };
    return publish(channel, prepare(open, lineSetup(channel), {}));
}

void Channels::noteAction(int channel, timeline::Action action, std::uint32_t value)
{
    if (LineEventSink* sink = events_.load(std::memory_order_acquire))
        sink->lineAction(channel, action, value);
}

namespace {

// The timeline's name of an escape function; nothing for one that is not line control.
std::optional<timeline::Action> escapeAction(int function)
{
    switch (function) {
    case SETDTR: return timeline::Action::DtrOn;
    case CLRDTR: return timeline::Action::DtrOff;
    case SETRTS: return timeline::Action::RtsOn;
    case CLRRTS: return timeline::Action::RtsOff;
    case SETBREAK: return timeline::Action::BreakOn;
    case CLRBREAK: return timeline::Action::BreakOff;
    case SETXOFF: return timeline::Action::Xoff;
    case SETXON: return timeline::Action::Xon;
    default: return std::nullopt;
    }
}

} // namespace

int Channels::escape(int channel, int function)
{
    SerialPort* p = port(channel);
    if (!p || p->lost())
        return ENODEV;
    errno = 0;
    if (!p->escapeCommFunction(function))
        return errno != 0 ? errno : EIO;
    if (const auto action = escapeAction(function))
        noteAction(channel, *action);
    return 0;
}

int Channels::purge(int channel, std::uint32_t flags)
{
    SerialPort* p = port(channel);
    if (!p || p->lost())
        return ENODEV;
    errno = 0;
    if (!p->purgeComm(flags))
        return errno != 0 ? errno : EIO;
    noteAction(channel, timeline::Action::Purge, flags);
    return 0;
}

void Channels::beginOpen(int channel, int comNumber, std::function<void(OpenResult result)> done)
{
    if (channel != 1 && channel != 2)
        return;
    closeChannel(channel);
    State& s = state(channel);
    ++deviceVersion_;
    s.device = DeviceStatus{};
    s.device.comNumber = comNumber;
    s.opening = std::make_unique<Opening>();
    Opening& o = *s.opening;
    o.then = std::move(done);
    if (comNumber <= 0 || comNumber >= 256) {
        o.done = true;
        o.ready.result = OpenResult::PortNumberOutOfRange;
        signalDeviceEvent();
        return;
    }
    s.device.state = DeviceStatus::State::Opening;
    const LineSetup setup = lineSetup(channel);
    try {
        o.thread = std::jthread([this, &o, comNumber, setup](std::stop_token stop) {
            pthread_setname_np(pthread_self(), "open");
            const PortSource open = [&](OpenError& error, std::stop_token st) {
                return retryOpener_ ? retryOpener_(comNumber, error, st) : opener_ ? opener_(comNumber, error) : nullptr;
            };
            Prepared ready = prepare(open, setup, stop);
            {
                std::lock_guard lock(o.m);
                o.ready = std::move(ready);
                o.done = true;
            }
            signalDeviceEvent();
        });
    } catch (const std::system_error&) {
        o.done = true;
        o.ready.result = OpenResult::ThreadCannotBeCreated;
        s.device.state = DeviceStatus::State::Closed;
        signalDeviceEvent();
    }
}

bool Channels::opening(int channel) const
{
    return (channel == 1 || channel == 2) && state(channel).opening != nullptr;
}

// Takes a finished beginOpen: publishes its port and queues its `done`.
bool Channels::takeOpening(int channel, std::vector<std::function<void()>>& then)
{
    State& s = state(channel);
    {
        std::lock_guard lock(s.opening->m);
        if (!s.opening->done)
            return false;
    }
    std::unique_ptr<Opening> o = std::move(s.opening);  // its thread has ended with the result
    if (o->thread.joinable())
        o->thread.join();
    const OpenResult result = publish(channel, std::move(o->ready));
    if (o->then)
        then.push_back([done = std::move(o->then), result] { done(result); });
    return true;
}

Channels::LineSetup Channels::lineSetup(int channel)
{
    const ChannelLineOf<LineParams> store = channelLine(settings_.lineParams, channel);
    store.dcb.DCBlength = Dcb::kSize;
    return LineSetup{store.dcb, store.timeouts};
}

namespace {

// Makes one of the port's calls; when it fails, `error` gets the system's reason: the errno it
// left, else ENODEV for a device that is gone (0 when the port cannot tell).
template <class Call>
bool portCall(const SerialPort& port, int& error, const Call& call)
{
    errno = 0;
    if (call())
        return true;
    error = errno != 0 ? errno : port.lost() ? ENODEV : 0;
    return false;
}

// What an operation on a channel without an open port did: nothing.
LineResult withoutPort()
{
    LineResult r;
    r.noPort = true;
    return r;
}

} // namespace

LineResult Channels::applyTo(SerialPort& port, const Dcb& dcb, const CommTimeouts* timeouts)
{
    LineResult r;
    r.stateFailed = !port.setCommState(dcb);
    if (r.stateFailed)
        r.state = port.lastSetStateFailure();
    r.timeoutsFailed = timeouts && !portCall(port, r.timeoutsError, [&] { return port.setCommTimeouts(*timeouts); });
    r.lost = port.lost();
    return r;
}

Channels::Prepared Channels::prepare(const PortSource& open, const LineSetup& setup, std::stop_token stop)
{
    Prepared p;
    p.port = open(p.error, stop);
    if (!p.port) {
        if (p.error.kind == OpenError::None)
            p.error.kind = OpenError::Other;
        return p;
    }
    {
        // A given-up open does not wait for the device's answers any more.
        SerialPort& port = *p.port;
        const std::stop_callback giveUp(stop, [&port] { port.cancelWaits(); });
        // The port is configured and purged before anyone else sees it: the other channel's
        // relay must never write into it at the line settings it had before.
        port.setupComm(100, 100);
        p.result = OpenResult::Opened;
        if (const LineResult applied = applyTo(port, setup.dcb, &setup.timeouts); !applied.ok()) {
            p.refusal.asked = setup.dcb;
            p.refusal.timeouts = applied.timeoutsFailed;
            if (applied.stateFailed) {
                p.refusal.failure = applied.state;
                if (p.refusal.failure.systemError == 0)
                    p.refusal.failure.systemError = EINVAL;  // a port that cannot tell why
            }
            Dcb defaults = setup.dcb;
            applyLineDefaults(defaults);
            defaults.DCBlength = Dcb::kSize;
            const CommTimeouts defaultTimes = defaultTimeouts();
            p.defaults = true;
            if (!applyTo(port, defaults, &defaultTimes).ok()) {
                p.result = OpenResult::PortCannotBeConfigured;
                p.error = OpenError(OpenError::SettingsRefused, p.refusal.failure.systemError, p.error.path);
            }
        }
        if (p.result == OpenResult::Opened)
            port.purgeComm(PURGE_ALL);
    }
    if (p.result == OpenResult::Opened && stop.stop_requested()) {
        p.result = OpenResult::PortWillNotOpen;
        p.error = OpenError(OpenError::NoAnswer, ECANCELED, p.error.path);
    }
    if (p.result != OpenResult::Opened)
        p.port.reset();
    return p;
}

void Channels::signalDeviceEvent()
{
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto r = ::write(deviceEventFd_, &one, sizeof one);
}

OpenResult Channels::publish(int channel, Prepared ready, bool reconnection)
{
    State& s = state(channel);
    DeviceStatus& d = s.device;
    ++deviceVersion_;
    d.path = ready.error.path;
    d.refusal = ready.refusal;
    d.held = false;
    if (ready.result != OpenResult::Opened) {
        d.state = DeviceStatus::State::Closed;
        d.openFailure = ready.error;
        return ready.result;
    }
    if (ready.defaults)
        applyChannelLineDefaults(settings_, channel);
    channelLine(settings_.lineParams, channel).dcb.DCBlength = Dcb::kSize;
    const OpenResult result = openPort(channel, std::move(ready.port));
    if (result != OpenResult::Opened) {
        d.state = DeviceStatus::State::Closed;
        d.openFailure = OpenError(OpenError::Other, EAGAIN, d.path);
        return result;
    }
    d.state = DeviceStatus::State::Open;
    d.openFailure = OpenError::None;
    d.alias = d.path.empty() ? std::string() : serialByIdAlias(d.path, byIdFolder_);
    // On the timeline: the port, the line it runs (set and purged before it was published) and
    // whether the driver holds the low latency asked for.
    noteAction(channel, reconnection ? timeline::Action::Reconnected : timeline::Action::Opened,
               static_cast<std::uint32_t>(d.comNumber));
    noteAction(channel, timeline::Action::SettingsApplied, channelLine(settings_.lineParams, channel).dcb.BaudRate);
    noteAction(channel, timeline::Action::Purge, PURGE_ALL);
    if (const std::optional<bool> low = s.port->lowLatency())
        noteAction(channel, timeline::Action::LowLatency, *low ? 1 : 0);
    // The modem inputs the device holds now: the state the timeline starts from, as a change
    // from none (later changes are heard as they come; a line without modem lines has none).
    std::uint32_t modemLines = 0;
    if (s.port->getCommModemStatus(modemLines) && modemLines != 0)
        if (LineEventSink* sink = events_.load(std::memory_order_acquire))  // found, not counted by the driver
            sink->portEvent(channel, modemEvent(ModemChange{modemLines, modemLines, 0}, timeline::now()));
    return OpenResult::Opened;
}

// Publishes a configured port and starts its receive thread (GUI thread).
OpenResult Channels::openPort(int channel, std::unique_ptr<SerialPort> port)
{
    // Modem-input changes and line states the port reports go to the timeline.
    port->setEventSink([this, channel](const PortEvent& event) {
        if (LineEventSink* sink = events_.load(std::memory_order_acquire))
            sink->portEvent(channel, event);
    });
    // The loss of the device, and a hold by its far end, are heard at once, by whichever
    // thread meets them.
    port->setLossNotifier([this, channel] {
        state(channel).lossPending.store(true);
        signalDeviceEvent();
    });
    port->setHoldNotifier([this] { signalDeviceEvent(); });
    summariseFrom(*port, channel);
    state(channel).device.unconfirmed = port->unconfirmedSettings();

    State& s = state(channel);
    const ReceiveConfig config = receiveConfig(channel);
    s.mask = (config.maskRxChar ? EV_RXCHAR : 0) | (config.maskRxFlag ? EV_RXFLAG : 0);
    // Room for the marks of a wake-up, so the receive thread allocates nothing as it runs.
    s.wakeMarks.arrivals.reserve(kChunksPerWake * 4);
    s.wakeMarks.errors.reserve(kChunksPerWake);
    s.readMarks.arrivals.reserve(16);
    s.readMarks.errors.reserve(16);
    {
        std::unique_lock lock(s.portGuard);
        s.port = std::move(port);
    }
    // The flag is set before the thread exists, so the thread never sees a stale 0.
    s.running.store(1, std::memory_order_release);
    {
        std::lock_guard lock(s.endMutex);
        s.threadEnded = false;
    }
    try {
        s.thread = std::thread(&Channels::receiveLoop, this, channel, config);
    } catch (const std::system_error&) {
        s.running.store(0, std::memory_order_release);
        std::unique_lock lock(s.portGuard);
        s.port.reset();
        return OpenResult::ThreadCannotBeCreated;
    }
    // Lost between its configuration and now (no notifier was there to hear it yet).
    if (s.port->lost()) {
        s.lossPending.store(true);
        signalDeviceEvent();
    }
    return OpenResult::Opened;
}

void Channels::closeChannel(int channel)
{
    if (channel != 1 && channel != 2)
        return;
    stopWaiting(channel);
    state(channel).opening.reset();  // gives an open under way up and joins its thread
    const bool hadPort = state(channel).port != nullptr;
    closePort(channel);
    if (hadPort) {
        // After the receive thread stored its last bytes.
        noteAction(channel, timeline::Action::Purge, PURGE_ALL);
        noteAction(channel, timeline::Action::Closed);
    }
    DeviceStatus& d = state(channel).device;
    if (d.state != DeviceStatus::State::Closed) {
        d.state = DeviceStatus::State::Closed;
        ++deviceVersion_;
    }
}

void Channels::closePort(int channel)
{
    State& s = state(channel);
    // Only this (the GUI) thread changes the ports, so it reads them without their guards.
    SerialPort* other = state(otherChannel(channel)).port.get();
    s.running.store(0, std::memory_order_release);
    if (s.port) {
        // The other channel's relay may be blocked writing into this port (a far end that does
        // not read, no write time-out): end that write and every later one.
        s.port->abortWrites();
        s.port->setCommMask(s.mask);  // ends a wait blocked in the receive thread
    }
    // This channel's thread may be blocked relaying into the other port: after a short grace, in
    // which its last bytes (those read before a hang-up) are normally passed on, end that write.
    // No other writer of that port runs meanwhile (transmits come from this thread).
    if (other && s.thread.joinable()) {
        std::unique_lock lock(s.endMutex);
        if (!s.endCv.wait_for(lock, std::chrono::milliseconds(200), [&] { return s.threadEnded; })) {
            lock.unlock();
            other->abortWrites();
        }
    }
    if (s.thread.joinable())
        s.thread.join();
    if (other)
        other->resumeWrites();
    if (s.port)
        s.port->purgeComm(PURGE_ALL);
    std::unique_lock lock(s.portGuard);  // waits for a relay writer to leave the port
    s.port.reset();
}

LineResult Channels::capture(int channel)
{
    SerialPort* p = port(channel);
    if (!p)
        return withoutPort();
    LineResult r;
    Dcb dcb;
    CommTimeouts t;
    r.stateFailed = !portCall(*p, r.state.systemError, [&] { return p->getCommState(dcb); });
    r.timeoutsFailed = !portCall(*p, r.timeoutsError, [&] { return p->getCommTimeouts(t); });
    r.lost = p->lost();
    const ChannelLineOf<LineParams> store = channelLine(settings_.lineParams, channel);
    if (!r.stateFailed) {
        dcb.DCBlength = Dcb::kSize;
        store.dcb = dcb;
    }
    if (!r.timeoutsFailed)
        store.timeouts = t;
    return r;
}

LineResult Channels::apply(int channel)
{
    SerialPort* p = port(channel);
    if (!p)
        return withoutPort();
    const LineSetup setup = lineSetup(channel);
    const LineResult r = applyTo(*p, setup.dcb, &setup.timeouts);
    if (!r.stateFailed)
        noteAction(channel, timeline::Action::SettingsApplied, setup.dcb.BaudRate);
    return r;
}

LineResult Channels::apply(int channel, const Dcb& dcb)
{
    SerialPort* p = port(channel);
    if (!p)
        return withoutPort();
    Dcb line = dcb;
    line.DCBlength = Dcb::kSize;
    const LineResult r = applyTo(*p, line, nullptr);
    if (r.ok()) {
        channelLine(settings_.lineParams, channel).dcb = line;
        noteAction(channel, timeline::Action::SettingsApplied, line.BaudRate);
    }
    return r;
}

LineResult Channels::summarise(int channel)
{
    SerialPort* p = port(channel);
    const LineResult result = p ? summariseFrom(*p, channel) : withoutPort();
    refreshUnconfirmed(channel);
    // The line was set anew (a settings command): what it refused when it opened is past.
    if (DeviceStatus& d = state(channel).device; d.refusal.any()) {
        d.refusal = LineRefusal{};
        ++deviceVersion_;
    }
    return result;
}

void Channels::refreshUnconfirmed(int channel)
{
    SerialPort* p = port(channel);
    DeviceStatus& d = state(channel).device;
    const std::uint32_t now = p ? p->unconfirmedSettings() : 0;
    if (now != d.unconfirmed) {
        d.unconfirmed = now;
        ++deviceVersion_;
    }
}

LineResult Channels::summariseFrom(SerialPort& port, int channel)
{
    const ChannelLineOf<LineParams> store = channelLine(settings_.lineParams, channel);
    Dcb dcb = store.dcb;
    LineResult r;
    r.stateFailed = !portCall(port, r.state.systemError, [&] { return port.getCommState(dcb); });
    r.lost = port.lost();
    if (r.stateFailed)
        return r;  // the summary keeps its values
    store.dcb = dcb;
    setLineSummary(channelFields(settings_.record, channel), dcb);
    return r;
}

bool Channels::running(int channel) const
{
    if (channel != 1 && channel != 2)
        return false;
    return state(channel).running.load(std::memory_order_acquire) != 0;
}

SerialPort* Channels::port(int channel)
{
    if (channel != 1 && channel != 2)
        return nullptr;
    return state(channel).port.get();
}

std::uint32_t Channels::accumulatedErrors(int channel) const
{
    return state(channel).accumulatedErrors.load(std::memory_order_relaxed);
}

void Channels::orAccumulatedErrors(int channel, std::uint32_t errors)
{
    state(channel).accumulatedErrors.fetch_or(errors, std::memory_order_relaxed);
}

void Channels::resetAccumulatedErrors(int channel)
{
    state(channel).accumulatedErrors.store(0, std::memory_order_relaxed);
}

std::uint32_t Channels::takeAccumulatedErrors(int channel)
{
    return state(channel).accumulatedErrors.exchange(0, std::memory_order_relaxed);
}

void Channels::relayWrite(int channel, const std::uint8_t* bytes, std::size_t count)
{
    State& s = state(channel);
    std::shared_lock lock(s.portGuard);
    if (!s.port)
        return;
    std::size_t written = 0;
    s.port->write(bytes, count, written);  // a failed relay write is dropped
}

std::uint64_t Channels::receivedBytes(int channel) const
{
    if (channel != 1 && channel != 2)
        return 0;
    return state(channel).receivedBytes.load(std::memory_order_relaxed);
}

void Channels::sampleChunk(int channel, const std::uint8_t* bytes, std::size_t count)
{
    state(channel).receivedBytes.fetch_add(count, std::memory_order_relaxed);
    if (sink_ && channel == 1 && samplingActive_.load(std::memory_order_relaxed)) {
        // Sampling reads fields at fixed positions: past the chunk it finds zeros.
        State& s = state(channel);
        s.sampleBuffer.fill(0);
        std::copy_n(bytes, count, s.sampleBuffer.begin());
        sink_->takeSample(s.sampleBuffer.data(), count);
    }
}

void Channels::receiveLoop(int channel, ReceiveConfig config)
{
    State& s = state(channel);
    SerialPort& port = *s.port;  // the port outlives this thread: close joins before destroying it
    pthread_setname_np(pthread_self(), channel == 1 ? "receive CH1" : "receive CH2");
    port.setCommMask(s.mask);

    while (s.running.load(std::memory_order_acquire) != 0) {
        std::uint32_t events = 0;
        if (!port.waitCommEvent(events))
            continue;  // a failed wait (device gone) has blocked until it was woken

        std::uint32_t errors = 0;
        std::uint32_t inQueue = 0;
        // The error bits count even when the queue query after them fails.
        const bool statusOk = port.clearCommErrorInput(errors, inQueue);
        s.accumulatedErrors.fetch_or(errors, std::memory_order_relaxed);
        // Without a queue count, read anyway: a port that has just been lost still delivers
        // what it took from the device, and a read never waits longer than the receive gap.
        if ((events & (EV_RXCHAR | EV_RXFLAG)) == 0 || (statusOk && inQueue == 0))
            continue;
        receivePass(channel, port, config, statusOk ? inQueue : 0);
    }
    // A lost device is closed from outside: what the port took from it before is still stored.
    if (port.lost())
        while (receivePass(channel, port, config, SIZE_MAX) > 0) {
        }
    port.purgeComm(PURGE_RXCLEAR);
    std::lock_guard lock(s.endMutex);
    s.threadEnded = true;
    s.endCv.notify_all();
}

std::size_t Channels::receivePass(int channel, SerialPort& port, const ReceiveConfig& config, std::size_t queued)
{
    State& s = state(channel);
    // The first chunk is the ordinary read, completed within the receive gap (no read is left
    // pending on the buffer). While the port's queue holds more full chunks, they are taken now
    // too: each read returns at once, and each chunk is stored on its own.
    std::size_t total = 0;
    ReadMarks& wake = s.wakeMarks;
    wake.clear();
    for (std::size_t chunk = 0; chunk < kChunksPerWake; ++chunk) {
        std::uint8_t* at = s.receiveBuffer.data() + total;
        std::size_t count = 0;
        const IoStatus status = port.read(at, kPieceSize, count, config.rxGapMs);
        if (status == IoStatus::Failed)
            count = 0;
        // When the bytes were taken from the driver, and their line errors, moved to their place
        // among the wake-up's bytes; a port that keeps no times has them stamped at the read's return.
        port.takeReadMarks(s.readMarks);
        const auto shift = static_cast<std::uint32_t>(total);
        if (count > 0 && (s.readMarks.arrivals.empty() || s.readMarks.arrivals.front().offset != 0))
            wake.arrivals.push_back({shift, timeline::now()});
        for (const ReadMarks::Arrival& a : s.readMarks.arrivals)
            if (a.offset < count)
                wake.arrivals.push_back({a.offset + shift, a.time});
        for (const ReadMarks::Error& e : s.readMarks.errors)
            wake.errors.push_back({std::min<std::uint32_t>(e.offset, static_cast<std::uint32_t>(count)) + shift, e.kind, e.lost});
        if (count > 0)
            sampleChunk(channel, at, count);
        total += count;
        queued -= std::min(queued, count);
        // Every chunk but the last is a full piece: the traffic buffer can tell them apart.
        if (status != IoStatus::Ok || count < kPieceSize || queued < kPieceSize)
            break;
    }
    if (total > 0 && sink_)
        sink_->appendReceivedChunks(channel, s.receiveBuffer.data(), total, kPieceSize, wake);
    // Line errors without a byte to hold them (a break after the last byte) still reach the timeline.
    if (total == 0 && !wake.errors.empty())
        if (LineEventSink* sink = events_.load(std::memory_order_acquire))
            for (const ReadMarks::Error& e : wake.errors) {
                PortEvent event;
                event.kind = PortEvent::Kind::LineState;
                event.time = timeline::now();
                event.error = e.kind;
                sink->portEvent(channel, event);
            }
    // The relay passes on the bytes as received, never a time-stamp text, so it stays
    // transparent; the chunks of one wake-up go out in one write.
    if (total > 0 && config.ch2Mode == Ch2Mode::MonitorRelay)
        relayWrite(otherChannel(channel), s.receiveBuffer.data(), total);
    return total;
}

// ---- Lost devices ----

const DeviceStatus& Channels::device(int channel) const
{
    return state(channel == 2 ? 2 : 1).device;
}

void Channels::stopWaiting(int channel)
{
    watch_.unwatch(channel * 10);
    watch_.unwatch(channel * 10 + 1);
    state(channel).retry.reset();  // stops a try under way and joins its thread
    state(channel).device.awaiting = false;
}

bool Channels::handleDeviceEvents()
{
    bool changed = false;
    std::uint64_t count = 0;
    [[maybe_unused]] const auto r = ::read(deviceEventFd_, &count, sizeof count);
    // What waits for an open begun with beginOpen runs after the statuses are whole.
    std::vector<std::function<void()>> then;
    for (int channel : {1, 2})
        if (state(channel).opening)
            changed = takeOpening(channel, then) || changed;
    for (int channel : {1, 2}) {
        State& s = state(channel);
        if (!s.lossPending.exchange(false) || !s.port || !s.port->lost())
            continue;
        const LossReason why = s.port->lossReason();
        closePort(channel);  // the receive thread stores what the port still held, then ends
        noteAction(channel, timeline::Action::DeviceLost, static_cast<std::uint32_t>(why));
        DeviceStatus& d = s.device;
        d.state = DeviceStatus::State::Lost;
        d.lossReason = why;
        d.held = false;
        // A line lost again soon after it came back goes on with the pauses it had reached.
        const unsigned triesBefore =
            d.reconnectedAt && std::chrono::system_clock::now() - *d.reconnectedAt < reconnectPause(~0U) ? s.triesToReconnect : 0;
        d.reconnectedAt.reset();
        d.awaiting = !d.path.empty() && (!reconnectAllowed_ || reconnectAllowed_());
        d.retries = 0;
        if (d.awaiting && looksRemote(d.path)) {
            // No file to watch: the line is tried again with pauses until it answers.
            startRetrying(channel, triesBefore);
        } else if (d.awaiting) {
            watch_.watch(channel * 10, d.path);
            if (!d.alias.empty())
                watch_.watch(channel * 10 + 1, d.alias);
            tryReconnect(channel);  // it may be back already
        }
        changed = true;
    }
    for (int channel : {1, 2})
        if (state(channel).retry)
            changed = takeRetryResult(channel) || changed;
    for (const int key : watch_.takeAppeared()) {
        const int channel = key / 10;
        if ((channel == 1 || channel == 2) && state(channel).device.awaiting)
            changed = tryReconnect(channel) || changed;
    }
    for (int channel : {1, 2}) {
        State& s = state(channel);
        const bool held = s.port && s.port->heldByFarEnd();
        if (held != s.device.held) {
            s.device.held = held;
            changed = true;
        }
    }
    if (changed)
        ++deviceVersion_;
    for (const auto& call : then)
        call();
    return changed;
}

bool Channels::tryReconnect(int channel)
{
    DeviceStatus& d = state(channel).device;
    const PortSource open = [&](OpenError& error, std::stop_token) {
        std::unique_ptr<SerialPort> port = opener_ ? opener_(d.comNumber, error) : nullptr;
        if (!port && !d.alias.empty() && aliasOpener_)
            port = aliasOpener_(d.alias, error);
        return port;
    };
    Prepared ready = prepare(open, lineSetup(channel), {});
    if (ready.result != OpenResult::Opened)
        return false;  // not back yet (or not usable yet): keep waiting
    const std::string path = d.path, alias = d.alias;
    if (publish(channel, std::move(ready), true) != OpenResult::Opened) {
        d.state = DeviceStatus::State::Lost;
        d.path = path;
        return false;
    }
    // The channel's own device, under the names it was watched by.
    d.path = path;
    d.alias = alias;
    stopWaiting(channel);
    d.lossReason = LossReason::None;
    d.reconnectedAt = std::chrono::system_clock::now();
    return true;
}

std::chrono::milliseconds reconnectPause(unsigned failedTries)
{
    // Short at first (a server restarted), growing to a try every ten seconds (a machine
    // rebooting, a cable pulled).
    constexpr std::chrono::milliseconds kFirst{500}, kLongest{10000};
    std::chrono::milliseconds pause = kFirst;
    for (unsigned i = 0; i < failedTries && pause < kLongest; ++i)
        pause *= 2;
    return std::min(pause, kLongest);
}

void Channels::startRetrying(int channel, unsigned failedTries)
{
    State& s = state(channel);
    s.retry = std::make_unique<Retry>();
    Retry& r = *s.retry;
    r.earlier = failedTries;
    const int comNumber = s.device.comNumber;
    const LineSetup setup = lineSetup(channel);
    try {
        r.thread = std::jthread([this, &r, comNumber, setup, failedTries](std::stop_token stop) {
            retryLoop(stop, r, comNumber, setup, failedTries);
        });
    } catch (const std::system_error&) {
        s.retry.reset();
        s.device.awaiting = false;
    }
}

void Channels::retryLoop(std::stop_token stop, Retry& r, int comNumber, LineSetup setup, unsigned failedTries)
{
    pthread_setname_np(pthread_self(), "reconnect");
    const PortSource open = [&](OpenError& error, std::stop_token st) {
        return retryOpener_ ? retryOpener_(comNumber, error, st) : opener_ ? opener_(comNumber, error) : nullptr;
    };
    for (unsigned tries = failedTries;; ++tries) {
        {
            std::unique_lock lock(r.m);
            r.cv.wait_for(lock, stop, reconnectPause(tries), [] { return false; });
        }
        if (stop.stop_requested())
            return;
        // Connection, negotiation and line settings all here: a try that fails at any step
        // counts, and the next pause is longer.
        Prepared ready = prepare(open, setup, stop);
        if (stop.stop_requested())
            return;  // a port that did open closes again here
        const bool opened = ready.result == OpenResult::Opened;
        {
            std::lock_guard lock(r.m);
            r.lastError = ready.error;
            r.lastRefusal = ready.refusal;
            if (opened)
                r.ready = std::move(ready);
            ++r.attempts;
        }
        signalDeviceEvent();
        if (opened)
            return;
    }
}

bool Channels::takeRetryResult(int channel)
{
    State& s = state(channel);
    DeviceStatus& d = s.device;
    std::optional<Prepared> ready;
    unsigned attempts = 0;
    const unsigned earlier = s.retry->earlier;
    OpenError error;
    LineRefusal refusal;
    {
        std::lock_guard lock(s.retry->m);
        ready = std::move(s.retry->ready);
        s.retry->ready.reset();
        attempts = s.retry->attempts;
        error = s.retry->lastError;
        refusal = s.retry->lastRefusal;
    }
    if (!ready) {
        if (attempts == d.retries)
            return false;
        d.retries = attempts;
        d.openFailure = error;  // why the latest try failed
        d.refusal = refusal;
        return true;
    }
    s.retry.reset();  // its thread has ended with the connection
    const std::string path = d.path;
    if (publish(channel, std::move(*ready), true) != OpenResult::Opened) {
        d.state = DeviceStatus::State::Lost;
        d.path = path;
        startRetrying(channel, earlier + attempts);
        return true;
    }
    d.path = path;
    d.awaiting = false;
    d.lossReason = LossReason::None;
    d.retries = 0;
    s.triesToReconnect = earlier + attempts;
    d.reconnectedAt = std::chrono::system_clock::now();
    return true;
}

namespace {

std::unique_ptr<SerialPort> openSystemPort(const std::filesystem::path& dir, const std::filesystem::path& consoles,
                                           const NamedPorts& named, int comNumber, OpenError& error,
                                           std::stop_token stop)
{
    const PortResolver resolver(dir / "ports.conf", consoles);
    const auto it = named.find(comNumber);
    const std::string path = it != named.end() ? it->second : resolver.pathFor(comNumber);
    if (looksRemote(path))
        return openRemoteSerialPort(path, error, std::move(stop));
    if (resolver.isConsole(path)) {
        error = OpenError(OpenError::IsConsole, 0, path);
        return nullptr;
    }
    return openPosixSerialPort(path, error);
}

} // namespace

PortOpener systemPortOpener(std::filesystem::path startDirectory, std::filesystem::path consoleList, NamedPorts named)
{
    return [dir = std::move(startDirectory), consoles = std::move(consoleList), named = std::move(named)](
               int comNumber, OpenError& error) -> std::unique_ptr<SerialPort> {
        return openSystemPort(dir, consoles, named, comNumber, error, {});
    };
}

RetryOpener systemRetryOpener(std::filesystem::path startDirectory, std::filesystem::path consoleList,
                              NamedPorts named)
{
    return [dir = std::move(startDirectory), consoles = std::move(consoleList), named = std::move(named)](
               int comNumber, OpenError& error, std::stop_token stop) -> std::unique_ptr<SerialPort> {
        return openSystemPort(dir, consoles, named, comNumber, error, std::move(stop));
    };
}

PathOpener systemPathOpener(std::filesystem::path consoleList)
{
    return [consoles = std::move(consoleList)](const std::string& path, OpenError& error) -> std::unique_ptr<SerialPort> {
        const PortResolver resolver(std::filesystem::path{}, consoles);
        if (resolver.isConsole(path)) {
            error = OpenError(OpenError::IsConsole, 0, path);
            return nullptr;
        }
        return openPosixSerialPort(path, error);
    };
}

} // namespace kestrane
