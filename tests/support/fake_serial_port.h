// A serial port in memory, for what pseudo-terminals cannot show: modem lines and their changes,
// line errors (in the error word and at their byte), settings a device refuses, the size of
// every write, write time-outs and stuck writes.
// Its queue, events, wake, read time-outs and loss are the real ports' own (SerialPortCore):
// the test pushes the bytes in as a network line's thread does. Thread-safe; waits never spin.
#pragma once

#include "platform/modem_watcher.h"
#include "platform/serial_port_core.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace kestrane::test {

class FakeSerialPort final : public SerialPortCore {
public:
    // How modem-line changes reach the event sink: said by setModemStatus itself (Direct), or
    // found by the ports' own watcher on a driver that waits for changes and counts them (Wait,
    // as TIOCMIWAIT), or one that cannot wait (Poll: looked at every kModemPollInterval, with
    // counters; PollUncounted: without).
    enum class ModemWatch { Direct, Wait, Poll, PollUncounted };

    FakeSerialPort();
    ~FakeSerialPort() override;

    // ---- The far end and the line, played by the test ----

    // Bytes arrive from the line (a waiter sees them at once). Bytes beyond the queue's room
    // overflow it (CE_RXOVER), as from a device nothing holds back.
    void receive(const std::vector<std::uint8_t>& bytes);
    void receive(const std::string& text);
    // Bytes with line errors at their place (offsets within `bytes`; a break, a loss: before the
    // byte at its offset, `bytes.size()` after the last). Each error also sets its bit in the
    // error word, as a device's would.
    void receive(const std::vector<std::uint8_t>& bytes, const std::vector<ReadMarks::Error>& errors);
    // A line error without a byte, at the end of what was received (as a server reports one).
    void lineState(timeline::LineError kind, std::uint32_t lost = 0);
    // Line errors (CE_* bits) that the next clearCommError reports.
    void injectErrors(std::uint32_t errors);
    // Modem input lines (MS_* bits); a change is reported through the event sink. Without modem
    // lines getCommModemStatus and the DTR/RTS escapes fail, as on a pseudo-terminal.
    void setModemStatus(std::uint32_t status);
    void setModemLinesSupported(bool supported);
    // Each line of `lines` (MS_* bits) goes to the other state and back at once.
    void toggleModemLines(std::uint32_t lines);
    // Set before setEventSink (Direct by default).
    void watchModemLines(ModemWatch how);
    // Whether the driver holds low latency (nothing by default: no such setting, as a pty).
    void setLowLatency(std::optional<bool> low);
    // Waits until the watcher looks at the lines: blocked in its wait (Wait), or past its first
    // look (Poll), so every change from now on is seen.
    bool waitForModemWatch(std::chrono::milliseconds timeout) const;
    // setCommState fails, changing nothing, for records the rule returns true for (on top of
    // the records every port refuses).
    void rejectStates(std::function<bool(const Dcb&)> rule);
    // Write time-out: each write call takes at most `bytes` and returns Ok with the short count;
    // nothing means writes complete.
    void setWriteLimit(std::optional<std::size_t> bytes);
    // Writes return Failed (the device broke) while set.
    void setWriteFailure(bool fail);
    // Writes block while held, until released or ended by purgeComm(PURGE_TXABORT) (Cancelled).
    // PURGE_RXABORT likewise ends a read that is waiting.
    void holdWrites(bool hold);
    // Bytes the driver still has to send, as clearCommError reports them.
    void setOutQueue(std::uint32_t bytes);
    // The line is held (CTS, XOFF): writes are taken but stay in the output queue until released.
    void holdOutput(bool hold);
    // clearCommError takes the error bits, then fails its queue query while set.
    void setStatusQueryFailure(bool fail);
    // Called at the start of every setCommState, outside the fake's lock.
    void setStateHook(std::function<void()> hook);
    // The device goes away (unplug, hang-up).
    void hangUp();

    // ---- What the program did ----

    // The n of every write call, in order.
    [[nodiscard]] std::vector<std::size_t> writeSizes() const;
    // Every byte the writes took, in order.
    [[nodiscard]] std::vector<std::uint8_t> written() const;
    // Waits until the writes took at least `total` bytes.
    bool waitForWritten(std::size_t total, std::chrono::milliseconds timeout) const;
    // Waits until a thread is blocked inside waitCommEvent.
    bool waitForWaiter(std::chrono::milliseconds timeout) const;
    // Waits until a thread is blocked inside write (while writes are held).
    bool waitForBlockedWrite(std::chrono::milliseconds timeout) const;
    [[nodiscard]] std::vector<int> escapes() const;
    [[nodiscard]] std::vector<std::uint32_t> purges() const;
    [[nodiscard]] std::uint32_t mask() const;
    [[nodiscard]] int setCommMaskCalls() const;
    [[nodiscard]] std::size_t queued() const;
    // DTR/RTS as last set by the record or the escapes.
    [[nodiscard]] bool dtr() const;
    [[nodiscard]] bool rts() const;
    [[nodiscard]] bool breakOn() const;

    // ---- SerialPort ----
    bool getCommState(Dcb& dcb) override;
    bool setCommState(const Dcb& dcb) override;
    bool setCommMask(std::uint32_t mask) override;
    bool waitCommEvent(std::uint32_t& events) override;
    bool clearCommError(std::uint32_t& errors, ComStat* stat) override;
    bool getCommModemStatus(std::uint32_t& status) override;
    bool escapeCommFunction(int function) override;
    bool purgeComm(std::uint32_t flags) override;
    void setEventSink(std::function<void(const PortEvent&)> sink) override;
    [[nodiscard]] std::optional<bool> lowLatency() const override;

protected:
    IoStatus writeToDevice(const std::uint8_t* data, std::size_t n, std::size_t& written, Deadline deadline,
                           std::uint64_t generation) override;
    IoStatus waitDrained(Deadline deadline, std::uint64_t generation, std::size_t& left) override;
    void interruptWrites() override;

private:
    // The modem lines as a driver shows them to the watcher.
    class ModemLines final : public ModemDevice {
    public:
        explicit ModemLines(FakeSerialPort& port) : port_(port) {}
        bool lines(std::uint32_t& ms) override;
        bool counts(ModemCounts& c) override;
        Wait waitForChange() override;
        void interrupt(std::thread& thread) override;

    private:
        FakeSerialPort& port_;
    };
    // The driver's counters step for the lines that changed (RI: its trailing edge).
    void countChangesLocked(std::uint32_t before, std::uint32_t after);

    mutable std::mutex m_;
    mutable std::condition_variable cv_;

    Dcb dcb_;
    int maskCalls_ = 0;
    std::uint32_t mask_ = 0;
    int waiters_ = 0;
    int blockedWriters_ = 0;

    std::uint32_t modemStatus_ = 0;
    bool modemLines_ = true;
    ModemWatch modemWatch_ = ModemWatch::Direct;
    ModemCounts modemCounts_;
    int modemWaiters_ = 0;
    int modemLooks_ = 0;
    bool modemInterrupted_ = false;
    std::optional<bool> lowLatency_;
    bool dtr_ = true;
    bool rts_ = true;
    bool break_ = false;
    bool xoffHold_ = false;
    std::uint32_t outQueue_ = 0;
    bool holdOutput_ = false;
    bool statusQueryFailure_ = false;
    std::function<void()> stateHook_;
    std::function<bool(const Dcb&)> reject_;

    std::optional<std::size_t> writeLimit_;
    bool writeFailure_ = false;
    bool holdWrites_ = false;
    std::vector<std::size_t> writeSizes_;
    std::vector<std::uint8_t> written_;
    std::vector<int> escapes_;
    std::vector<std::uint32_t> purges_;

    ModemLines modemDevice_{*this};
    std::unique_ptr<ModemWatcher> watcher_;  // last: it ends before the rest
};

} // namespace kestrane::test
