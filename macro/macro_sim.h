// A whole macro run without windows, ports or real time: a manual clock, the real traffic
// buffer, scripted far ends (bytes arriving at given times, replies to sent frames), button
// presses, typed texts and input bits. It steps the interpreter by the same MacroPacer as the
// macro dialog, so the schedule it runs is the program's: time jumps from one event or due step
// to the next. The golden macro tests, the randomised tests and the fuzz check all run macros
// through it.
#pragma once

#include "macro/macro_interpreter.h"
#include "macro/macro_pacer.h"
#include "macro/traffic_access.h"
#include "traffic/traffic_buffer.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace kestrane {

class ManualClock final : public Clock {
public:
    std::int64_t now = 1'000'000;
    [[nodiscard]] std::int64_t tickMs() const override { return now; }
    [[nodiscard]] CalendarTime localTime() const override { return {}; }
};

class MacroSimulation final : private MacroHost {
public:
    MacroSimulation();
    ~MacroSimulation() override;
    MacroSimulation(const MacroSimulation&) = delete;
    MacroSimulation& operator=(const MacroSimulation&) = delete;

    // --- set-up (before run) ---
    std::int64_t tickMs = 100;  // the macro clock
    SettingsRecord settings;     // checksum method and case, showSentText, ch2Mode, bufferSize
    // Applies the settings to the traffic buffer (also done by start).
    void applySettings();

    // Bytes that arrive on channel 1 or 2 at `atMs` after the start.
    void receiveAt(std::int64_t atMs, int channel, std::vector<std::uint8_t> bytes);
    // The far end of `channel` answers its next sent frame after `delayMs` with `bytes`.
    void replyTo(int channel, std::int64_t delayMs, std::vector<std::uint8_t> bytes);
    void pressAt(std::int64_t atMs, int button);
    void inputAt(std::int64_t atMs, std::string input1, std::string input2);
    void inputBitAt(std::int64_t atMs, int port, int bit, bool on);
    void stopAt(std::int64_t atMs);
    // Every call of transmit on `channel` fails with `result` (Transmitted: none fails).
    void failTransmit(int channel, TransmitResult result) { failCode_[channel == 2 ? 1 : 0] = result; }
    // Something else to do at a time (the fuzz check's own events).
    void at(std::int64_t atMs, std::function<void()> action);

    // --- the run ---
    void load(std::span<const std::uint8_t> text);
    void load(const std::string& text);
    void start();
    // Advances simulated time until the macro finished or `budgetTicks` timer ticks passed.
    // Returns true when the macro finished by itself (PEND or the end of the text).
    bool run(std::int64_t budgetTicks);
    // Advances by `ms` (events, ticks and polls as they fall).
    void advance(std::int64_t ms);
    // Called after every step; returning false marks a violation and ends run() and advance().
    std::function<bool()> afterStep;
    [[nodiscard]] bool violated() const { return violated_; }

    // --- what happened ---
    [[nodiscard]] MacroInterpreter& interpreter() { return *interpreter_; }
    [[nodiscard]] MacroMemory& memory() { return memory_; }
    [[nodiscard]] PlainMacroDio& dio() { return dio_; }
    [[nodiscard]] TrafficBuffer& traffic() { return *traffic_; }
    [[nodiscard]] SendState& sendState() { return send_; }
    [[nodiscard]] const std::vector<std::uint8_t>& sent(int channel) const { return sent_[channel == 2 ? 1 : 0]; }
    [[nodiscard]] const std::vector<std::vector<std::uint8_t>>& frames(int channel) const
    {
        return frames_[channel == 2 ? 1 : 0];
    }
    [[nodiscard]] int sendFailures() const { return failures_; }
    [[nodiscard]] std::int64_t ticks() const { return ticks_; }
    [[nodiscard]] std::int64_t elapsedMs() const { return clock_.now - start_; }
    [[nodiscard]] int refreshes() const { return refreshes_; }
    // The status value at every refresh, in order (without repeats).
    [[nodiscard]] const std::vector<std::int32_t>& statusTrail() const { return statusTrail_; }

private:
    struct Event {
        std::int64_t at;
        std::uint64_t order;
        std::function<void()> action;
    };
    struct Reply {
        std::int64_t delay;
        std::vector<std::uint8_t> bytes;
    };

    TransmitResult transmit(int channel, std::span<const std::uint8_t> frame) override;
    void sendFailed() override { ++failures_; }
    void refresh() override;
    void finished() override { pacer_.stop(); }

    void schedule(std::int64_t atMs, std::function<void()> action);
    void runDue();
    // On to the next due event or step, but not past `limit`: the events due, then the step.
    void slice(std::int64_t limit);

    ManualClock clock_;
    std::unique_ptr<TrafficBuffer> traffic_;
    std::unique_ptr<TrafficBufferAccess> access_;
    PlainMacroDio dio_;
    MacroMemory memory_;
    SendState send_;
    std::unique_ptr<MacroInterpreter> interpreter_;
    MacroPacer pacer_;

    std::vector<Event> events_;  // kept sorted by (at, order)
    std::uint64_t order_ = 0;
    std::deque<Reply> replies_[2];
    TransmitResult failCode_[2] = {TransmitResult::Transmitted, TransmitResult::Transmitted};
    std::vector<std::uint8_t> sent_[2];
    std::vector<std::vector<std::uint8_t>> frames_[2];
    int failures_ = 0;
    int refreshes_ = 0;
    std::vector<std::int32_t> statusTrail_;
    bool stopped_ = false;
    bool violated_ = false;
    std::int64_t start_ = 0;
    std::int64_t ticks_ = 0;
};

} // namespace kestrane
