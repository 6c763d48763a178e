#include "macro/macro_sim.h"

#include <algorithm>
#include <limits>

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
    stopped_ = false;
    interpreter_->start();
    pacer_.start(clock_.now, tickMs);
}

TransmitResult MacroSimulation::transmit(int channel, std::span<const std::uint8_t> frame)
{
    const std::size_t c = channel == 2 ? 1 : 0;
    frames_[c].emplace_back(frame.begin(), frame.end());
    if (failCode_[c] != TransmitResult::Transmitted)
        return failCode_[c];
    sent_[c].insert(sent_[c].end(), frame.begin(), frame.end());
    traffic_->appendSent(channel, frame.data(), static_cast<std::int32_t>(frame.size()));
    if (!replies_[c].empty()) {
        Reply r = std::move(replies_[c].front());
        replies_[c].pop_front();
        receiveAt(elapsedMs() + r.delay, channel, std::move(r.bytes));
    }
    return TransmitResult::Transmitted;
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

void MacroSimulation::slice(std::int64_t limit)
{
    std::int64_t next = limit;
    if (pacer_.running())
        next = std::min(next, pacer_.nextDue());
    if (!events_.empty())
        next = std::min(next, start_ + events_.front().at);
    clock_.now = std::max(clock_.now, next);
    runDue();
    if (!pacer_.running() || clock_.now < pacer_.nextDue())
        return;
    interpreter_->step();
    if (pacer_.stepped(clock_.now, interpreter_->running() && interpreter_->inTimedWait()))
        ++ticks_;
    if (afterStep && !afterStep())
        violated_ = true;
}

bool MacroSimulation::run(std::int64_t budgetTicks)
{
    while (pacer_.running() && ticks_ < budgetTicks && !violated_)
        slice(std::numeric_limits<std::int64_t>::max());
    return !pacer_.running() && !stopped_;
}

void MacroSimulation::advance(std::int64_t ms)
{
    const std::int64_t end = clock_.now + ms;
    while (clock_.now < end && !violated_)
        slice(end);
}

} // namespace kestrane
