// The two serial channels: their ports, receive threads and line-parameter stores.
// Open, close and the store operations run on the GUI thread; each open channel has one
// receive thread that waits for its port's events and hands what it reads to the sink.
#pragma once

#include "records/settings_records.h"
#include "platform/path_watch.h"
#include "platform/serial_port.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

namespace kestrane {

// What openChannel did; the values are the result codes the messages are chosen by.
enum class OpenResult : int {
    Opened = 0,
    PortWillNotOpen = 1,
    PortCannotBeConfigured = 2,
    ThreadCannotBeCreated = 3,
    PortNumberOutOfRange = 4,
};

// What a channel's port made of a line-parameter store operation (capture, apply, summarise):
// which part failed, and why.
struct LineResult {
    bool noPort = false;          // the channel has no open port: nothing was tried
    bool lost = false;            // the port's device is gone
    bool stateFailed = false;     // the line settings (DCB) were not set, or not read
    bool timeoutsFailed = false;  // the time-outs were not set, or not read
    // Why the line settings failed: for a set, the settings the device did not take and what it
    // has instead; the system's error of the failed call (errno; 0 when the port cannot tell).
    SetStateFailure state;
    int timeoutsError = 0;        // the system's error of a failed time-out call
    [[nodiscard]] bool ok() const { return !noPort && !stateFailed && !timeoutsFailed; }
};

// Opens the device behind COM n; null (with the reason) when it does not open. The opener sets
// `error.path` to the device it opened or tried, when it knows it.
using PortOpener = std::function<std::unique_ptr<SerialPort>(int comNumber, OpenError& error)>;
// Opens a device by its path (a stable alias of a device that came back).
using PathOpener = std::function<std::unique_ptr<SerialPort>(const std::string& path, OpenError& error)>;
// Opens COM n on a thread of its own (a reconnection try, an open begun with beginOpen); `stop`
// asks it to give up at once.
using RetryOpener = std::function<std::unique_ptr<SerialPort>(int comNumber, OpenError& error, std::stop_token stop)>;

// Line settings a port did not take when its channel opened.
struct LineRefusal {
    Dcb asked;                // the line settings asked for
    SetStateFailure failure;  // the settings the port did not take, and why
    bool timeouts = false;    // it refused the time-outs
    [[nodiscard]] bool any() const { return failure.refused != 0 || failure.systemError != 0 || timeouts; }
};

// The pause before reconnection try n + 1 of a lost remote line (n tries have failed): 0.5 s,
// then twice the one before, at most 10 s.
std::chrono::milliseconds reconnectPause(unsigned failedTries);

// What the user is told about a channel's device. GUI thread.
struct DeviceStatus {
    enum class State { Closed, Open, Lost, Opening };
    State state = State::Closed;
    int comNumber = 0;                // of the last open
    std::string path;                 // the device of the last open, when the opener told it
    std::string alias;                // its /dev/serial/by-id name, when it has one
    LossReason lossReason = LossReason::None;
    OpenError openFailure;            // why the last open (or reconnection try) failed; None after a success
    // The stored line settings the port refused at the last open (or try): an open channel then
    // runs at the line defaults; an open that failed with SettingsRefused took neither.
    LineRefusal refusal;
    bool awaiting = false;            // lost, and watched for its return (or, remote, tried again)
    unsigned retries = 0;             // failed reconnection tries since the loss (remote lines)
    std::uint32_t unconfirmed = 0;    // settings the port has not confirmed (kSetting* bits)
    bool held = false;                // the far end holds our output (a remote server's flow control that lasts)
    std::optional<std::chrono::system_clock::time_point> reconnectedAt;  // the last reconnection
};

// Where the receive threads deliver. Called on the receive threads.
class ReceiveSink {
public:
    virtual ~ReceiveSink() = default;
    // CH1 only, before appendReceived, on the bytes exactly as read, while sampling is on.
    virtual void takeSample(const std::uint8_t* bytes, std::size_t count) = 0;
    virtual void appendReceived(int channel, const std::uint8_t* bytes, std::size_t count) = 0;
    // The chunks of one wake-up: `count` bytes, each `chunkSize` of them (the last may be
    // shorter) a chunk read on its own. `marks` (offsets from `bytes`) say when the bytes were
    // taken from the driver (at least one arrival, at offset 0) and where line errors fell. A
    // sink may store them in one go; by default each chunk is appended on its own.
    virtual void appendReceivedChunks(int channel, const std::uint8_t* bytes, std::size_t count, std::size_t chunkSize,
                                      const ReadMarks& marks)
    {
        (void)marks;
        for (std::size_t done = 0; done < count; done += chunkSize)
            appendReceived(channel, bytes + done, std::min(chunkSize, count - done));
    }
};

// Where the channels report what happened on a line apart from its bytes, for its timeline.
class LineEventSink {
public:
    virtual ~LineEventSink() = default;
    // What the user or the program did on a channel (`value`: the action's argument). Called on
    // the thread that acted (the GUI thread, or the main thread of a program without a window).
    virtual void lineAction(int channel, timeline::Action action, std::uint32_t value) = 0;
    // What a channel's port reported: modem-input changes, line errors it could not place at a
    // byte. Called on the port's own threads or a receive thread; quick.
    virtual void portEvent(int channel, const PortEvent& event) = 0;
};

// What a receive thread reads of the settings, taken when its channel opens.
struct ReceiveConfig {
    bool maskRxChar = true;
    bool maskRxFlag = false;
    int rxGapMs = 1000;
    int ch2Mode = 0;
};

class Channels {
public:
    static constexpr std::size_t kPieceSize = 100;
    // Chunks a receive thread takes at one wake-up when its port holds many bytes; each is
    // stored as a chunk of its own, and the relay passes them on in one write.
    static constexpr std::size_t kChunksPerWake = 64;

    Channels(Settings& settings, PortOpener opener);
    ~Channels();
    Channels(const Channels&) = delete;
    Channels& operator=(const Channels&) = delete;

    void setSink(ReceiveSink* sink) { sink_ = sink; }
    // Where actions and port events go (set before any channel opens).
    void setEventSink(LineEventSink* sink) { events_.store(sink, std::memory_order_release); }

    // Opens `channel` (1 or 2) on COM `comNumber`, applies its stored line parameters (or the
    // line defaults when the port refuses them), summarises and starts the receive thread.
    // Everything on the calling thread, however long the device takes to answer.
    OpenResult openChannel(int channel, int comNumber);
    // The same open, its waits on a thread of its own (a remote line may take seconds to connect,
    // negotiate and configure): the channel is Opening meanwhile, and handleDeviceEvents, once
    // `deviceEventFd` said so, publishes the port and calls `done` with openChannel's result.
    // Closing the channel first gives the open up at once; `done` is then never called.
    void beginOpen(int channel, int comNumber, std::function<void(OpenResult result)> done);
    [[nodiscard]] bool opening(int channel) const;
    // Ends the receive thread (woken through the event mask), purges and closes the port.
    void closeChannel(int channel);

    // Line-parameter store operations, on the channel's open port. The one way the program sets
    // a line: every dialog and program goes through apply.
    // Reads the port's line settings and time-outs into the stores (each only when read).
    LineResult capture(int channel);
    // Sets the port to the stores' line settings and time-outs (the stores keep them, taken or not).
    LineResult apply(int channel);
    // Sets the port's line settings to `dcb` (the time-outs stay); the store holds it once the
    // port took it, and otherwise keeps what it had (the port is left as it was).
    LineResult apply(int channel, const Dcb& dcb);
    // Reads the port's line settings into the DCB store and the line summary.
    LineResult summarise(int channel);

    [[nodiscard]] bool running(int channel) const;
    // The channel's open port, or null. GUI thread only (a closed port is destroyed by close).
    [[nodiscard]] SerialPort* port(int channel);

    // Line control on the channel's open port, noted on the timeline when the port took it: an
    // escape function (SETDTR ... CLRBREAK, SETXOFF, SETXON) and a purge (PURGE_* flags). 0 when
    // the port took it, else the system's reason (ENOTTY: the device has no such line, as a
    // pseudo-terminal has no DTR/RTS; ENODEV: the port is closed or gone).
    int escape(int channel, int function);
    int purge(int channel, std::uint32_t flags);

    // Line errors seen by every reader of the port since the line-status display last reset them.
    std::uint32_t accumulatedErrors(int channel) const;
    void orAccumulatedErrors(int channel, std::uint32_t errors);
    void resetAccumulatedErrors(int channel);
    // Reads and resets the word in one step, so no error slips in between (the line-status display).
    std::uint32_t takeAccumulatedErrors(int channel);

    // Bytes the channel's receive threads have delivered since the start, across reopens and
    // reconnections. Any thread.
    [[nodiscard]] std::uint64_t receivedBytes(int channel) const;

    // Whether the CH1 thread hands its chunks to sampling.
    void setSamplingActive(bool on) { samplingActive_.store(on, std::memory_order_relaxed); }

    // Writes relayed bytes onto `channel`'s port if it is open (any thread). It does not wait
    // for the bytes to leave, and a close of either channel ends it.
    void relayWrite(int channel, const std::uint8_t* bytes, std::size_t count);

    // ---- Lost devices (GUI thread) ----
    // A port that finds its device gone signals `deviceEventFd`; devices watched for their
    // return make `watchFd` readable. Whoever sees either readable calls handleDeviceEvents,
    // which closes lost ports (after their receive thread stored what they had read), starts
    // watching for the device, and reopens a channel whose device came back with its stored
    // line parameters. Closing a channel (or opening it anew) stops the watch.
    [[nodiscard]] int deviceEventFd() const { return deviceEventFd_; }
    // Makes `deviceEventFd` readable for news that is not a channel's (any thread): whoever
    // watches the devices then looks at the field's other sources too.
    void signalDeviceEvent();
    [[nodiscard]] int watchFd() const { return watch_.fd(); }
    // True when anything about a device changed.
    bool handleDeviceEvents();
    [[nodiscard]] const DeviceStatus& device(int channel) const;
    // Counts changes of the device statuses (opens, closes, losses, reconnections).
    [[nodiscard]] unsigned deviceVersion() const { return deviceVersion_; }
    // Asked when a device is lost: whether to wait for it and reopen it (default: yes).
    void setReconnectPolicy(std::function<bool()> allowed) { reconnectAllowed_ = std::move(allowed); }
    // Opens a device's stable alias when its configured path does not come back.
    void setAliasOpener(PathOpener opener) { aliasOpener_ = std::move(opener); }
    // Opens on the threads of beginOpen and of the reconnection tries (default: the opener,
    // which cannot be stopped early).
    void setRetryOpener(RetryOpener opener) { retryOpener_ = std::move(opener); }
    // Replaces the opener of COM numbers (for the next open; an open channel keeps its port).
    void setOpener(PortOpener opener) { opener_ = std::move(opener); }
    // Where the stable aliases are looked up (the system's /dev/serial/by-id by default).
    void setByIdFolder(std::filesystem::path folder) { byIdFolder_ = std::move(folder); }

private:
    // What an open asks of the port: copies of the channel's stores, taken on the GUI thread.
    struct LineSetup {
        Dcb dcb;
        CommTimeouts timeouts;
    };
    // An opened, configured and purged port (or why there is none), ready for the GUI thread.
    struct Prepared {
        OpenResult result = OpenResult::PortWillNotOpen;
        std::unique_ptr<SerialPort> port;
        OpenError error;       // why it did not open; its path also when it did
        LineRefusal refusal;   // the stored settings, when the port refused them
        bool defaults = false; // the port runs at the line defaults
    };
    using PortSource = std::function<std::unique_ptr<SerialPort>(OpenError& error, std::stop_token stop)>;

    // An open begun with beginOpen, its waits on a thread of its own.
    struct Opening {
        std::mutex m;
        bool done = false;
        Prepared ready;
        std::function<void(OpenResult)> then;
        std::jthread thread;  // declared last: stopped and joined before the rest goes
    };

    // A lost remote line is tried again on a thread of its own, with growing pauses between the
    // tries, whichever step failed; a port that opened and took its settings waits in `ready`
    // for the GUI thread, which publishes it.
    struct Retry {
        std::mutex m;
        std::condition_variable_any cv;
        std::optional<Prepared> ready;
        OpenError lastError;
        LineRefusal lastRefusal;
        unsigned attempts = 0;  // failed or not, since the loss
        unsigned earlier = 0;   // tries of the reconnection just before (a line lost again at once)
        std::jthread thread;  // declared last: stopped and joined before the rest goes
    };

    struct State {
        std::unique_ptr<SerialPort> port;
        mutable std::shared_mutex portGuard;  // relay writers hold it shared; close holds it exclusively
        std::thread thread;
        std::atomic<int> running{0};
        std::atomic<std::uint32_t> accumulatedErrors{0};
        std::atomic<std::uint64_t> receivedBytes{0};
        std::uint32_t mask = EV_RXCHAR;
        std::array<std::uint8_t, kChunksPerWake * kPieceSize> receiveBuffer{};
        std::array<std::uint8_t, 200> sampleBuffer{};  // one chunk, zero after its bytes
        ReadMarks readMarks;  // the port's marks of one read
        ReadMarks wakeMarks;  // the marks of a wake-up's chunks, offsets from receiveBuffer
        std::atomic<bool> lossPending{false};  // set by the port's loss notifier
        DeviceStatus device;
        std::unique_ptr<Retry> retry;
        unsigned triesToReconnect = 0;  // tries the last reconnection took
        std::unique_ptr<Opening> opening;
        std::mutex endMutex;  // threadEnded, for the close's short wait
        std::condition_variable endCv;
        bool threadEnded = false;
    };

    State& state(int channel) { return channel == 1 ? ch1_ : ch2_; }
    const State& state(int channel) const { return channel == 1 ? ch1_ : ch2_; }
    ReceiveConfig receiveConfig(int channel) const;
    LineSetup lineSetup(int channel);
    // Opens, configures (the stored settings, else the line defaults) and purges; any thread.
    static Prepared prepare(const PortSource& open, const LineSetup& setup, std::stop_token stop);
    // The GUI thread's part of an open: the stores, the device status, the receive thread.
    // A reconnection notes Reconnected on the timeline instead of Opened.
    OpenResult publish(int channel, Prepared ready, bool reconnection = false);
    void noteAction(int channel, timeline::Action action, std::uint32_t value = 0);
    OpenResult openPort(int channel, std::unique_ptr<SerialPort> port);
    void closePort(int channel);
    void stopWaiting(int channel);
    bool tryReconnect(int channel);
    void startRetrying(int channel, unsigned failedTries = 0);
    void retryLoop(std::stop_token stop, Retry& retry, int comNumber, LineSetup setup, unsigned failedTries);
    bool takeRetryResult(int channel);
    bool takeOpening(int channel, std::vector<std::function<void()>>& then);
    void refreshUnconfirmed(int channel);
    // Sets `dcb`, and `timeouts` when given.
    static LineResult applyTo(SerialPort& port, const Dcb& dcb, const CommTimeouts* timeouts);
    LineResult summariseFrom(SerialPort& port, int channel);
    void receiveLoop(int channel, ReceiveConfig config);
    std::size_t receivePass(int channel, SerialPort& port, const ReceiveConfig& config, std::size_t queued);
    // Counts and samples one chunk as read (the traffic buffer gets the wake-up's chunks together).
    void sampleChunk(int channel, const std::uint8_t* bytes, std::size_t count);

    Settings& settings_;
    PortOpener opener_;
    ReceiveSink* sink_ = nullptr;
    std::atomic<LineEventSink*> events_{nullptr};
    std::atomic<bool> samplingActive_{false};
    State ch1_;
    State ch2_;
    int deviceEventFd_ = -1;
    PathWatch watch_;
    std::function<bool()> reconnectAllowed_;
    PathOpener aliasOpener_;
    RetryOpener retryOpener_;
    std::filesystem::path byIdFolder_ = "/dev/serial/by-id";
    unsigned deviceVersion_ = 0;
};

// Devices (paths or remote lines) named for COM numbers for one run only, e.g. by a program's
// command line: they win over ports.conf's entries and are never written there.
using NamedPorts = std::map<int, std::string>;

// The opener used by the program: COM n through `named`, else ports.conf in `startDirectory` (a
// device path, or a remote line: rfc2217://HOST:PORT, tcp://HOST:PORT), the ttys named in
// `consoleList` (the system's active consoles) refused.
PortOpener systemPortOpener(std::filesystem::path startDirectory,
                            std::filesystem::path consoleList = "/sys/class/tty/console/active", NamedPorts named = {});
// The same, for reconnection tries that a close can stop.
RetryOpener systemRetryOpener(std::filesystem::path startDirectory,
                              std::filesystem::path consoleList = "/sys/class/tty/console/active",
                              NamedPorts named = {});
// Opens a path as the program does, the consoles refused.
PathOpener systemPathOpener(std::filesystem::path consoleList = "/sys/class/tty/console/active");

} // namespace kestrane
