// What every serial port shares, written once: the input queue (event characters, overflow,
// line errors, the arrival and error marks of its bytes), the marks of the last read, the
// event sink, the read time-outs, the event wait (mask, sticky wake by setCommMask,
// level-triggered EV_RXCHAR and EV_RXFLAG), the abort generations of reads and writes, and the
// loss of the device, and the frame of a write (one at a time, its deadline, its abort). A port
// adds how bytes reach its device and how they get from its device into the queue:
//  - pulled by the waiting thread (a tty: it reads the device when a reader waits, and blocks in
//    poll() on the device and a wake token): it overrides fillFromDevice, waitForDevice and
//    interruptWaits;
//  - pushed by a thread of its own or by a test (a network line, the fake): it calls pushInput
//    (as far as inputIntake allows) and the waits are condition waits on the core's lock.
// One lock guards the queue and the wait state; the waits hold it only while they look.
//
// Marks: every fill is stamped when its bytes enter the queue; a read collects the marks of the
// bytes it takes (takeReadMarks). A line error at the end of the stream with nothing queued
// goes with the read under way when it has delivered bytes (after them), else to the event
// sink as an unplaced line state: an error is never held back waiting for a byte that may
// never come.
#pragma once

#include "platform/comm_deadline.h"
#include "platform/input_queue.h"
#include "platform/serial_port.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <span>

namespace kestrane {

class SerialPortCore : public SerialPort {
public:
    bool getCommTimeouts(CommTimeouts& t) override;
    bool setCommTimeouts(const CommTimeouts& t) override;
    bool setupComm(std::uint32_t inQueue, std::uint32_t outQueue) override;
    bool setCommMask(std::uint32_t mask) override;
    bool waitCommEvent(std::uint32_t& events) override;
    IoStatus read(std::uint8_t* buf, std::size_t n, std::size_t& got, int capMs) override;
    IoStatus write(const std::uint8_t* data, std::size_t n, std::size_t& written) override;
    IoStatus writeAndDrain(const std::uint8_t* data, std::size_t n, std::size_t& written) override;
    void abortWrites() override;
    void resumeWrites() override;
    [[nodiscard]] bool lost() const override { return lost_.load(std::memory_order_acquire); }
    [[nodiscard]] LossReason lossReason() const override { return lossReason_.load(); }
    void setLossNotifier(std::function<void()> notify) override;
    void takeReadMarks(ReadMarks& out) override;
    void setEventSink(std::function<void(const PortEvent&)> sink) override;

protected:
    using Lock = std::unique_lock<std::mutex>;
    using Deadline = std::optional<CommClock::time_point>;

    // What a wait for the device watches besides the wake.
    enum class Watch {
        Input,   // bytes to read, or a hang-up
        HangUp,  // only a hang-up: the queue is full and a reader is to come (the device is held back)
        Wake,    // nothing of the device: it is gone
    };
    // How a wait for the device ended.
    enum class Woke { Maybe, HungUp, Failed };
    struct Fill {
        // Read even when the queue is full, the oldest bytes making room: nothing will read the
        // queue until an event character comes.
        bool overwrite = false;
        // The queue is empty and no wait has been made yet in this call: a device whose last
        // read found nothing may leave it to the wait to tell that this changed.
        bool mayTrustEmpty = false;
    };

    SerialPortCore();

    // ---- A port whose waiting thread pulls the bytes (the lock is held in each) ----
    // Moves what the device has now into `queue` without blocking, as far as it has room (see
    // Fill), each piece stamped when it was taken, with its line errors. Returns why the device
    // is gone, None while it is there.
    virtual LossReason fillFromDevice(InputQueue& queue, Fill how);
    // Adds to `queue` what the device counted since the last look (error bits, losses placed
    // at the end of the stream): called before the error word is taken.
    virtual void pollDeviceErrors(InputQueue& queue) { (void)queue; }
    // Blocks until the device may have changed (`watch`), `deadline` passes or interruptWaits is
    // called; may release the lock meanwhile. By default a condition wait.
    virtual Woke waitForDevice(Lock& lock, Deadline deadline, Watch watch);
    // Ends a waitForDevice under way, or makes the next one return at once.
    virtual void interruptWaits();
    // PURGE_RXCLEAR: what the device still holds is discarded too. errno, or 0.
    virtual int discardDeviceInput() { return 0; }
    // ---- Writes (one at a time; no lock of the core held) ----
    // Gives the device bytes until all are taken (Ok), `deadline` passes (Ok, short `written`),
    // the write is aborted (writeAborted(generation): Cancelled) or the device fails (Failed).
    virtual IoStatus writeToDevice(const std::uint8_t* data, std::size_t n, std::size_t& written,
                                   Deadline deadline, std::uint64_t generation) = 0;
    // Waits until what was written has left the device, within `deadline`: Ok, with `left` the
    // bytes still in it when the deadline came; Cancelled when aborted; Failed.
    virtual IoStatus waitDrained(Deadline deadline, std::uint64_t generation, std::size_t& left) = 0;
    // A write under way is to end (abortWrites, PURGE_TXABORT): wake it (no lock held).
    virtual void interruptWrites() {}

    // ---- A port whose bytes are pushed ----
    // How many bytes pushInput may take now without losing any: the room, or without bound while
    // nothing will read the queue until an event character comes (then the oldest make room).
    // When it says 0, the room notifier is called once room is made.
    std::size_t inputIntake();
    // The bytes with their line errors (offsets within them), taken from the device at `at`
    // (now when not given).
    void pushInput(const std::uint8_t* p, std::size_t n, std::span<const ReadMarks::Error> errors = {},
                   std::optional<timeline::Stamp> at = std::nullopt);
    // A line error the device reported without a byte: at the end of the stream. Said at once
    // when nothing is queued, with the time `at` it was reported (now when not given), so it is
    // never later than the bytes the same report brought after it.
    void lineStateAtEnd(timeline::LineError kind, std::uint32_t lost = 0, std::optional<timeline::Stamp> at = std::nullopt);
    void setRoomNotifier(std::function<void()> notify);

    // ---- For every port ----
    void setEventChar(std::uint8_t c);
    void addLineErrors(std::uint32_t errors);
    // The error word since the last call (line errors, CE_RXOVER) and how many bytes are queued.
    std::uint32_t takeErrors(std::uint32_t* queued = nullptr);
    [[nodiscard]] std::size_t queuedInput() const;
    // Empties the queue (what a server's purge answer discards).
    void clearInput();
    // The parts of purgeComm on the queue and the waits: PURGE_RXABORT, PURGE_TXABORT,
    // PURGE_RXCLEAR (with discardDeviceInput). errno of the discard, or 0.
    int purgeInput(std::uint32_t flags);
    [[nodiscard]] CommTimeouts timeouts() const;

    // Writes: a write notes the generation at its start and ends when it is aborted.
    [[nodiscard]] std::uint64_t writeGeneration() const { return txGeneration_.load(); }
    [[nodiscard]] bool writeAborted(std::uint64_t generation) const
    {
        return writesAborted_.load() || txGeneration_.load() != generation;
    }

    // The device is gone: every wait ends, the loss notifier is called once (with the lock held:
    // it must be quick). True for the call that found it.
    bool markLost(LossReason why);

    // Hands an event to the sink, if one is set (any thread; the sink must be quick).
    void reportEvent(const PortEvent& event);

private:
    bool loseLocked(LossReason why);
    void roomMadeLocked();
    [[nodiscard]] bool stalledLocked() const;
    [[nodiscard]] std::uint32_t eventsLocked() const;
    // Takes queued bytes into buf (at `offset` of the read under way, whose marks it collects);
    // with a full queue emptied, the pusher may go on.
    std::size_t popLocked(std::uint8_t* buf, std::size_t n, std::size_t offset);
    // Errors left at the end of an empty queue: to the read under way, or to the sink (at `at`,
    // else now).
    void settleLoneErrorsLocked(std::optional<timeline::Stamp> at = std::nullopt);

    mutable std::mutex m_;
    std::condition_variable cv_;  // the waits of a port whose bytes are pushed
    InputQueue queue_;
    std::uint32_t mask_ = 0;
    bool wake_ = false;  // set by setCommMask, taken by the next waitCommEvent
    std::uint64_t rxGeneration_ = 0;
    CommTimeouts timeouts_{};
    bool pusherHeld_ = false;  // inputIntake said 0; the room notifier is due
    std::function<void()> roomNotifier_;
    std::function<void()> lossNotifier_;
    ReadMarks lastRead_;          // the marks of the read under way, or of the last one
    std::size_t lastReadBytes_ = 0;
    bool reading_ = false;        // a read is under way (it may be waiting, the lock released)
    std::mutex sinkMutex_;        // taken after m_
    std::function<void(const PortEvent&)> sink_;
    std::atomic<bool> lost_{false};
    std::atomic<LossReason> lossReason_{LossReason::None};
    std::atomic<std::uint64_t> txGeneration_{0};
    std::atomic<bool> writesAborted_{false};
    std::mutex writeMutex_;  // one write call at a time
};

} // namespace kestrane
