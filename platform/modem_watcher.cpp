#include "platform/modem_watcher.h"

#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <mutex>

namespace kestrane {

namespace {

// A real-time signal nothing else of ours uses; its handler does nothing.
int interruptSignal() { return SIGRTMIN + 4; }

void ignoreSignal(int) {}

// Installed once, before any thread may be sent the signal (its default action ends the process).
void installInterruptHandler()
{
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction sa {};
        sa.sa_handler = ignoreSignal;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = 0;  // no SA_RESTART: the blocked call returns EINTR
        ::sigaction(interruptSignal(), &sa, nullptr);
    });
}

// How often the stop sends the signal again while the thread has not ended.
constexpr std::chrono::milliseconds kInterruptRepeat{2};

} // namespace

ModemCounts countSteps(const ModemCounts& before, const ModemCounts& after)
{
    return {after.cts - before.cts, after.dsr - before.dsr, after.ring - before.ring, after.dcd - before.dcd};
}

PortEvent modemEvent(const ModemChange& change, timeline::Stamp at)
{
    PortEvent e;
    e.kind = PortEvent::Kind::ModemChange;
    e.time = at;
    e.lines = change.lines;
    e.changed = change.changed;
    e.count = change.count;
    return e;
}

ModemChange modemChange(std::uint32_t before, std::uint32_t after, const ModemCounts* steps)
{
    struct Line {
        std::uint32_t bit;
        std::uint32_t step;
        bool trailingEdgesOnly;
    };
    const Line lines[] = {{MS_CTS_ON, steps ? steps->cts : 0, false},
                          {MS_DSR_ON, steps ? steps->dsr : 0, false},
                          {MS_RING_ON, steps ? steps->ring : 0, true},
                          {MS_RLSD_ON, steps ? steps->dcd : 0, false}};
    ModemChange change;
    change.lines = after & (MS_CTS_ON | MS_DSR_ON | MS_RING_ON | MS_RLSD_ON);
    for (const Line& l : lines) {
        const std::int64_t was = (before & l.bit) ? 1 : 0;
        const std::int64_t is = (after & l.bit) ? 1 : 0;
        std::int64_t n = was != is ? 1 : 0;
        if (steps && l.trailingEdgesOnly) {
            // Each counted trailing edge had a rising edge before it, unless the line was on.
            n = std::max<std::int64_t>(n, 2 * static_cast<std::int64_t>(l.step) - was + is);
        } else if (steps && l.step > 0) {
            // An odd number of edges changes the state, an even number leaves it.
            n = static_cast<std::int64_t>(l.step) + (((l.step % 2) == 1) != (was != is) ? 1 : 0);
        }
        if (n > 0) {
            change.changed |= l.bit;
            change.count += static_cast<std::uint32_t>(n);
        }
    }
    return change;
}

void interruptBlockedCall(std::thread& thread)
{
    if (thread.joinable())
        ::pthread_kill(thread.native_handle(), interruptSignal());
}

ModemWatcher::ModemWatcher(ModemDevice& device, std::function<void(const PortEvent&)> report)
    : device_(device), report_(std::move(report))
{
    installInterruptHandler();
    thread_ = std::thread([this] { run(); });
}

ModemWatcher::~ModemWatcher() { stop(); }

void ModemWatcher::stop()
{
    if (!thread_.joinable())
        return;
    std::unique_lock lock(m_);
    stopping_ = true;
    cv_.notify_all();
    while (!cv_.wait_for(lock, kInterruptRepeat, [&] { return ended_; })) {
        lock.unlock();
        device_.interrupt(thread_);
        lock.lock();
    }
    lock.unlock();
    thread_.join();
}

void ModemWatcher::run()
{
    ::pthread_setname_np(::pthread_self(), "modem lines");
    // The creating thread may block the signal (a program that reads its signals from a signalfd).
    sigset_t mine;
    sigemptyset(&mine);
    sigaddset(&mine, interruptSignal());
    ::pthread_sigmask(SIG_UNBLOCK, &mine, nullptr);

    auto stopping = [&] {
        std::lock_guard lock(m_);
        return stopping_;
    };
    std::uint32_t last = 0;
    ModemCounts lastCounts;
    bool gone = !device_.lines(last);
    const bool counted = !gone && device_.counts(lastCounts);
    bool canWait = true;
    while (!gone && !stopping()) {
        if (canWait) {
            const ModemDevice::Wait w = device_.waitForChange();
            if (w == ModemDevice::Wait::Interrupted)
                continue;
            if (w == ModemDevice::Wait::Failed)
                break;
            if (w == ModemDevice::Wait::Unsupported) {
                canWait = false;
                polling_ = true;
                continue;
            }
        } else {
            std::unique_lock lock(m_);
            if (cv_.wait_for(lock, kModemPollInterval, [&] { return stopping_; }))
                break;
        }
        const timeline::Stamp at = timeline::now();
        std::uint32_t now = 0;
        if (!device_.lines(now)) {
            gone = true;
            continue;
        }
        ModemCounts c;
        const bool haveCounts = counted && device_.counts(c);
        const ModemCounts steps = countSteps(lastCounts, c);
        const ModemChange change = modemChange(last, now, haveCounts ? &steps : nullptr);
        if (change.count > 0 && report_)
            report_(modemEvent(change, at));
        last = now;
        if (haveCounts)
            lastCounts = c;
    }
    std::lock_guard lock(m_);
    ended_ = true;
    cv_.notify_all();
}

} // namespace kestrane
