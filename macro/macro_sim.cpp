#include "macro/macro_sim.h"

#include <algorithm>

namespace kestrane {

MacroSimulation::MacroSimulation()
    : traffic_(std::make_unique<TrafficBuffer>(clock_)),
      access_(std::make_unique<TrafficBufferAccess>(*traffic_)),
      interpreter_(std::make_unique<MacroInterpreter>(memory_, send_, settings, static_cast<MacroHost&>(*this), *access_, dio_, clock_))
{
    settings.ch2Mode = Ch2Mode::Independent;
    applySettings();
    traffic_->clearTraffic();
}

MacroSimulation::~MacroSimulation() = default;

void MacroSimulation::applySettings()
{
    TrafficConfig c;
    c.bufferSize = settings.bufferSize;
    c.ch2Mode = settings.ch2Mode;
    c.showSentText = settings.showSentText;
    traffic_->configure(c);
}

void MacroSimulation::schedule(std::int64_t atMs, std::function<void()> action)
{
    Event e{atMs, order_++, std::move(action)};
    const auto pos = std::upper_bound(events_.begin(), events_.end(), e, [](const Event& a, const Event& b) {
        return a.at != b.at ? a.at < b.at : a.order < b.order;
    });
    events_.insert(pos, std::move(e));
}

void MacroSimulation::at(std::int64_t atMs, std::function<void()> action) { schedule(atMs, std::move(action)); }

void MacroSimulation::receiveAt(std::int64_t atMs, int channel, std::vector<std::uint8_t> bytes)
{
    schedule(atMs, [this, channel, bytes = std::move(bytes)] {
        traffic_->appendReceived(channel, bytes.data(), static_cast<std::int32_t>(bytes.size()));
    });
}

void MacroSimulation::replyTo(int channel, std::int64_t delayMs, std::vector<std::uint8_t> bytes)
{
    replies_[channel == 2 ? 1 : 0].push_back({delayMs, std::move(bytes)});
}

void MacroSimulation::pressAt(std::int64_t atMs, int button)
{
    schedule(atMs, [this, button] { interpreter_->pressButton(button); });
}

void MacroSimulation::inputAt(std::int64_t atMs, std::string input1, std::string input2)
{
    schedule(atMs, [this, a = std::move(input1), b = std::move(input2)] { interpreter_->textInputDone(a, b); });
}

void MacroSimulation::inputBitAt(std::int64_t atMs, int port, int bit, bool on)
{
    schedule(atMs, [this, port, bit, on] {
        const auto mask = static_cast<std::uint8_t>(1U << bit);
        const std::uint8_t v = dio_.input(port);
        dio_.setInput(port, static_cast<std::uint8_t>(on ? v | mask : v & ~mask));
    });
}

void MacroSimulation::stopAt(std::int64_t atMs)
{
    schedule(atMs, [this] {
        stopped_ = true;
        interpreter_->stop();
    });
}

void MacroSimulation::load(std::span<const std::uint8_t> text) { interpreter_->load(text); }

void MacroSimulation::load(const std::string& text)
{
    load(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

void MacroSimulation::start()
{
    applySettings();
    start_ = clock_.now;
    ticks_ = 0;
    nextTick_ = clock_.now + tickMs;
    timerRunning_ = true;
    stopped_ = false;
    interpreter_->start();
}

int MacroSimulation::transmit(int channel, std::span<const std::uint8_t> frame)
{
    const std::size_t c = channel == 2 ? 1 : 0;
    frames_[c].emplace_back(frame.begin(), frame.end());
    if (failCode_[c] != 0)
        return failCode_[c];
    sent_[c].insert(sent_[c].end(), frame.begin(), frame.end());
    traffic_->appendSent(channel, frame.data(), static_cast<std::int32_t>(frame.size()));
    if (!replies_[c].empty()) {
        Reply r = std::move(replies_[c].front());
        replies_[c].pop_front();
        receiveAt(elapsedMs() + r.delay, channel, std::move(r.bytes));
    }
    return 0;
}

void MacroSimulation::refresh()
{
    ++refreshes_;
    if (statusTrail_.empty() || statusTrail_.back() != memory_.status)
        statusTrail_.push_back(memory_.status);
}

void MacroSimulation::runDue()
{
    while (!events_.empty() && events_.front().at <= elapsedMs()) {
        Event e = std::move(events_.front());
        events_.erase(events_.begin());
        e.action();
    }
}

void MacroSimulation::slice()
{
    clock_.now += kPollMs;
    runDue();
    if (!timerRunning_)
        return;
    bool stepped = false;
    if (clock_.now >= nextTick_) {
        nextTick_ += tickMs;
        ++ticks_;
        interpreter_->step();
        stepped = true;
    } else if (interpreter_->inTimedWait()) {
        interpreter_->step();
        stepped = true;
    }
    if (stepped && afterStep && !afterStep())
        violated_ = true;
}

bool MacroSimulation::run(std::int64_t budgetTicks)
{
    while (timerRunning_ && ticks_ < budgetTicks && !violated_)
        slice();
    return !timerRunning_ && !stopped_;
}

void MacroSimulation::advance(std::int64_t ms)
{
    const std::int64_t end = clock_.now + ms;
    while (clock_.now < end && !violated_)
        slice();
}

// ---- the fuzz check ---------------------------------------------------------------------------

bool checkMacroText(std::span<const std::uint8_t> text)
{
    constexpr std::int64_t kBudgetTicks = 150;
    constexpr std::int64_t kWorkBound = 4 * static_cast<std::int64_t>(kMacroTextSize) + 2 * kMacroLiteralMax + 64;

    MacroSimulation sim;
    sim.tickMs = 10;
    sim.settings.bufferSize = 200;  // the smallest buffer: far ends that keep sending overflow it
    sim.settings.checksumLowerCase = text.empty() ? 0 : text[0] & 1;
    sim.settings.checksumMethod = text.size() < 2 ? 0 : text[1] % 3;
    if (text.size() > 2 && text[2] % 5 == 0)
        sim.failTransmit(1 + text[2] % 2, 1 + text[2] % 3);
    // Far ends, buttons, typed texts and input bits that keep changing during the whole run.
    for (std::int64_t t = 7; t < kBudgetTicks * sim.tickMs; t += 23) {
        sim.receiveAt(t, 1, std::vector<std::uint8_t>(static_cast<std::size_t>(1 + t % 90), static_cast<std::uint8_t>(t)));
        if (t % 3 == 0)
            sim.receiveAt(t, 2, {'O', 'K', 0x0D});
        if (t % 5 == 0)
            sim.pressAt(t, static_cast<int>(t % 8));
        if (t % 7 == 0)
            sim.inputAt(t, std::string(static_cast<std::size_t>(t % 70), 'a'), "0123");
        sim.inputBitAt(t, static_cast<int>(t % 3), static_cast<int>(t % 8), t % 2 == 0);
    }
    sim.load(text);

    const MacroMemory& m = sim.memory();
    MacroInterpreter& interp = sim.interpreter();
    sim.afterStep = [&] {
        if (m.pc < 0 || m.pc > kMacroTextSize || m.busy != 0)
            return false;
        if (m.status < MacroStatus::Finished || m.status > MacroStatus::WaitText)
            return false;
        if (m.status == MacroStatus::Finished && interp.running())
            return false;
        if (m.pressedButton < 0 || m.pressedButton > 7)
            return false;
        for (const MacroRegister& r : m.registers)
            if (r.length < 0 || r.length > kMacroRegisterSize)
                return false;
        if (interp.lastStepWork() > kWorkBound)
            return false;
        const SendBuffer& b = sim.sendState().sendBuffer;
        return b.count >= 0 && b.count <= static_cast<std::int32_t>(SendBuffer::kCapacity);
    };
    sim.start();
    sim.run(kBudgetTicks);
    if (sim.violated())
        return false;
    for (int ch : {1, 2})
        for (const auto& frame : sim.frames(ch))
            if (frame.size() > SendBuffer::kCapacity)
                return false;
    // A stop always ends the run, whatever it waited for.
    interp.stop();
    sim.advance(100);
    return !interp.running() && m.status == MacroStatus::Finished && !sim.violated() &&
           sim.ticks() <= kBudgetTicks;
}

} // namespace kestrane
