#include "comm/channel.h"

#include "platform/port_resolver.h"
#include "platform/posix_serial_port.h"
#include "platform/remote_address.h"
#include "remote/remote_serial_port.h"

#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

#include <algorithm>
#include <mutex>
#include <system_error>

namespace kestrane {

namespace {

// Pauses between the tries to reach a lost remote line: short at first (a server restarted),
// growing to a try every ten seconds (a machine rebooting, a cable pulled).
constexpr std::chrono::milliseconds kFirstRetry{500};
constexpr std::chrono::milliseconds kLongestRetry{10000};

} // namespace

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

Dcb& Channels::dcbStore(int channel)
{
    return channel == 1 ? settings_.lineParams.ch1Dcb : settings_.lineParams.ch2Dcb;
}

CommTimeouts& Channels::timeoutStore(int channel)
{
    return channel == 1 ? settings_.lineParams.ch1Timeouts : settings_.lineParams.ch2Timeouts;
}

ReceiveConfig Channels::receiveConfig(int channel) const
{
    const SettingsRecord& r = settings_.record;
    ReceiveConfig c;
    c.maskRxChar = (channel == 1 ? r.ch1MaskRxChar : r.ch2MaskRxChar) == 1;
    c.maskRxFlag = (channel == 1 ? r.ch1MaskRxFlag : r.ch2MaskRxFlag) == 1;
    c.rxGapMs = channel == 1 ? r.ch1RxGapMs : r.ch2RxGapMs;
    c.ch2Mode = r.ch2Mode;
    return c;
}

int Channels::openChannel(int channel, int comNumber)
{
    if (comNumber <= 0 || comNumber >= 256)
        return kPortNumberOutOfRange;
    if (channel != 1 && channel != 2)
        return kPortWillNotOpen;

    // A channel opened twice would lose its first port and thread: close it first.
    closeChannel(channel);

    DeviceStatus& d = state(channel).device;
    OpenError error = OpenError::None;
    std::unique_ptr<SerialPort> port = opener_ ? opener_(comNumber, error) : nullptr;
    ++deviceVersion_;
    d = DeviceStatus{};
    d.comNumber = comNumber;
    d.path = error.path;
    if (!port) {
        d.openFailure = error.kind == OpenError::None ? OpenError(OpenError::Other, 0, error.path) : error;
        return kPortWillNotOpen;
    }
    const int result = openPort(channel, std::move(port));
    if (result == kOpened) {
        d.state = DeviceStatus::State::Open;
        d.alias = d.path.empty() ? std::string() : serialByIdAlias(d.path, byIdFolder_);
    }
    return result;
}

void Channels::signalDeviceEvent()
{
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto r = ::write(deviceEventFd_, &one, sizeof one);
}

int Channels::openPort(int channel, std::unique_ptr<SerialPort> port)
{
    // The loss of the device is heard at once, by whichever thread meets it.
    port->setLossNotifier([this, channel] {
        state(channel).lossPending.store(true);
        signalDeviceEvent();
    });

    // The port is configured and purged before anyone else sees it: the other channel's relay
    // must never write into it at the line settings it had before.
    port->setupComm(100, 100);
    if (applyTo(*port, channel) != 0) {
        applyChannelLineDefaults(settings_, channel);
        if (applyTo(*port, channel) != 0)
            return kPortCannotBeConfigured;
    }
    summariseFrom(*port, channel);
    state(channel).device.unconfirmed = port->unconfirmedSettings();
    port->purgeComm(PURGE_ALL);

    State& s = state(channel);
    const ReceiveConfig config = receiveConfig(channel);
    s.mask = (config.maskRxChar ? EV_RXCHAR : 0) | (config.maskRxFlag ? EV_RXFLAG : 0);
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
        return kThreadCannotBeCreated;
    }
    return kOpened;
}

void Channels::closeChannel(int channel)
{
    if (channel != 1 && channel != 2)
        return;
    stopWaiting(channel);
    closePort(channel);
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
    SerialPort* other = state(channel == 1 ? 2 : 1).port.get();
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

int Channels::capture(int channel)
{
    SerialPort* p = port(channel);
    Dcb dcb;
    CommTimeouts t;
    const bool stateOk = p && p->getCommState(dcb);
    const bool timeoutsOk = p && p->getCommTimeouts(t);
    if (stateOk) {
        dcb.DCBlength = Dcb::kSize;
        dcbStore(channel) = dcb;
    }
    if (timeoutsOk)
        timeoutStore(channel) = t;
    return stateOk && timeoutsOk ? 0 : 1;
}

int Channels::apply(int channel)
{
    SerialPort* p = port(channel);
    return p ? applyTo(*p, channel) : 1;
}

int Channels::applyTo(SerialPort& port, int channel)
{
    Dcb& dcb = dcbStore(channel);
    dcb.DCBlength = Dcb::kSize;
    const bool stateOk = port.setCommState(dcb);
    const bool timeoutsOk = port.setCommTimeouts(timeoutStore(channel));
    return stateOk && timeoutsOk ? 0 : 1;
}

int Channels::summarise(int channel)
{
    SerialPort* p = port(channel);
    const int result = p ? summariseFrom(*p, channel) : 1;
    refreshUnconfirmed(channel);
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

int Channels::summariseFrom(SerialPort& port, int channel)
{
    Dcb dcb = dcbStore(channel);
    if (!port.getCommState(dcb))
        return 1;
    dcbStore(channel) = dcb;
    SettingsRecord& r = settings_.record;
    if (channel == 1) {
        r.ch1BaudRate = dcb.BaudRate;
        r.ch1ByteSize = dcb.ByteSize;
        r.ch1Parity = dcb.Parity;
        r.ch1StopBits = dcb.StopBits;
        r.ch1FlowControl = flowControlCode(dcb);
    } else {
        r.ch2BaudRate = dcb.BaudRate;
        r.ch2ByteSize = dcb.ByteSize;
        r.ch2Parity = dcb.Parity;
        r.ch2StopBits = dcb.StopBits;
        r.ch2FlowControl = flowControlCode(dcb);
    }
    return 0;
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
    for (std::size_t chunk = 0; chunk < kChunksPerWake; ++chunk) {
        std::uint8_t* at = s.receiveBuffer.data() + total;
        std::size_t count = 0;
        const IoStatus status = port.read(at, kPieceSize, count, config.rxGapMs);
        if (status == IoStatus::Failed)
            count = 0;
        if (count > 0)
            sampleChunk(channel, at, count);
        total += count;
        queued -= std::min(queued, count);
        // Every chunk but the last is a full piece: the traffic buffer can tell them apart.
        if (status != IoStatus::Ok || count < kPieceSize || queued < kPieceSize)
            break;
    }
    if (total > 0 && sink_)
        sink_->appendReceivedChunks(channel, s.receiveBuffer.data(), total, kPieceSize);
    // The relay passes on the bytes as received, never a time-stamp text, so it stays
    // transparent; the chunks of one wake-up go out in one write.
    if (total > 0 && config.ch2Mode == Ch2Mode::MonitorRelay)
        relayWrite(channel == 1 ? 2 : 1, s.receiveBuffer.data(), total);
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
    for (int channel : {1, 2}) {
        State& s = state(channel);
        if (!s.lossPending.exchange(false) || !s.port || !s.port->lost())
            continue;
        const LossReason why = s.port->lossReason();
        closePort(channel);  // the receive thread stores what the port still held, then ends
        DeviceStatus& d = s.device;
        d.state = DeviceStatus::State::Lost;
        d.lossReason = why;
        d.reconnectedAt.reset();
        d.awaiting = !d.path.empty() && (!reconnectAllowed_ || reconnectAllowed_());
        d.retries = 0;
        if (d.awaiting && looksRemote(d.path)) {
            // No file to watch: the line is tried again with pauses until it answers.
            startRetrying(channel);
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
    if (changed)
        ++deviceVersion_;
    return changed;
}

bool Channels::tryReconnect(int channel)
{
    DeviceStatus& d = state(channel).device;
    OpenError error = OpenError::None;
    std::unique_ptr<SerialPort> port = opener_ ? opener_(d.comNumber, error) : nullptr;
    if (!port && !d.alias.empty() && aliasOpener_)
        port = aliasOpener_(d.alias, error);
    if (!port || openPort(channel, std::move(port)) != kOpened)
        return false;  // not back yet (or not usable yet): keep waiting
    stopWaiting(channel);
    d.state = DeviceStatus::State::Open;
    d.lossReason = LossReason::None;
    d.openFailure = OpenError::None;
    d.reconnectedAt = std::chrono::system_clock::now();
    return true;
}

void Channels::startRetrying(int channel)
{
    State& s = state(channel);
    s.retry = std::make_unique<Retry>();
    Retry& r = *s.retry;
    const int comNumber = s.device.comNumber;
    try {
        r.thread = std::jthread([this, &r, comNumber](std::stop_token stop) { retryLoop(stop, r, comNumber); });
    } catch (const std::system_error&) {
        s.retry.reset();
        s.device.awaiting = false;
    }
}

void Channels::retryLoop(std::stop_token stop, Retry& r, int comNumber)
{
    pthread_setname_np(pthread_self(), "reconnect");
    std::chrono::milliseconds pause = kFirstRetry;
    for (;;) {
        {
            std::unique_lock lock(r.m);
            r.cv.wait_for(lock, stop, pause, [] { return false; });
        }
        if (stop.stop_requested())
            return;
        OpenError error = OpenError::None;
        std::unique_ptr<SerialPort> port = retryOpener_ ? retryOpener_(comNumber, error, stop) : opener_(comNumber, error);
        if (stop.stop_requested())
            return;  // a port that did open closes again here
        const bool connected = port != nullptr;
        {
            std::lock_guard lock(r.m);
            if (connected)
                r.port = std::move(port);
            else
                r.lastError = error;
            ++r.attempts;
        }
        signalDeviceEvent();
        if (connected)
            return;
        pause = std::min(pause * 2, kLongestRetry);
    }
}

bool Channels::takeRetryResult(int channel)
{
    State& s = state(channel);
    DeviceStatus& d = s.device;
    std::unique_ptr<SerialPort> port;
    unsigned attempts = 0;
    OpenError error;
    {
        std::lock_guard lock(s.retry->m);
        port = std::move(s.retry->port);
        attempts = s.retry->attempts;
        error = s.retry->lastError;
    }
    if (!port) {
        if (attempts == d.retries)
            return false;
        d.retries = attempts;
        d.openFailure = error;  // why the latest try failed
        return true;
    }
    s.retry.reset();  // its thread has ended with the connection
    if (openPort(channel, std::move(port)) != kOpened) {
        d.retries = attempts;
        d.openFailure = OpenError(OpenError::Other, 0, d.path);
        startRetrying(channel);  // connected, but the line would not take its settings
        return true;
    }
    d.state = DeviceStatus::State::Open;
    d.awaiting = false;
    d.lossReason = LossReason::None;
    d.openFailure = OpenError::None;
    d.retries = 0;
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
