// The display interlock: the one lock that orders everything that changes the traffic buffer
// or feeds the display. The CH1 receive thread goes first, then the CH2 receive thread, then
// the sending path; a repaint waits until no producer holds or wants the lock, so it never
// runs in the middle of a feed.
#pragma once

#include <array>
#include <condition_variable>
#include <mutex>

namespace kestrane {

class DisplayInterlock {
public:
    // The producers in priority order. The GUI thread's own buffer operations (clear, load,
    // save, configure) take the lock as Transmit, the GUI thread's producer role.
    enum class Producer { Ch1 = 0, Ch2 = 1, Transmit = 2 };

    DisplayInterlock() = default;
    DisplayInterlock(const DisplayInterlock&) = delete;
    DisplayInterlock& operator=(const DisplayInterlock&) = delete;

    // Blocks until the lock is free and no producer of higher priority is waiting for it:
    // CH1 waits only while someone holds the lock; CH2 also while CH1 waits; Transmit also
    // while CH1 or CH2 waits. Not recursive: the holder must not lock again.
    void lock(Producer who);
    // Lowest priority: waits while the lock is held or any producer waits for it.
    void lockForRepaint();
    void unlock();

    // Diagnostics for tests: how many callers of a role wait right now, and a blocking wait
    // until at least `count` of them do (so a test can line up waiters without sleeping).
    [[nodiscard]] int waiting(Producer who) const;
    [[nodiscard]] int waitingRepaints() const;
    [[nodiscard]] bool isHeld() const;
    void awaitWaiting(Producer who, int count);
    void awaitWaitingRepaints(int count);

    class Guard {
    public:
        Guard(DisplayInterlock& lock, Producer who) : lock_(lock) { lock_.lock(who); }
        ~Guard() { lock_.unlock(); }
        Guard(const Guard&) = delete;
        Guard& operator=(const Guard&) = delete;

    private:
        DisplayInterlock& lock_;
    };

    class RepaintGuard {
    public:
        explicit RepaintGuard(DisplayInterlock& lock) : lock_(lock) { lock_.lockForRepaint(); }
        ~RepaintGuard() { lock_.unlock(); }
        RepaintGuard(const RepaintGuard&) = delete;
        RepaintGuard& operator=(const RepaintGuard&) = delete;

    private:
        DisplayInterlock& lock_;
    };

private:
    static constexpr int kRepaint = 3;

    void acquire(int role);
    void awaitRole(int role, int count);
    [[nodiscard]] bool mayTake(int role) const;

    mutable std::mutex mutex_;
    std::condition_variable released_;
    std::condition_variable waitersChanged_;
    bool held_ = false;
    std::array<int, 4> waiting_{};  // CH1, CH2, Transmit, repaint
    int observers_ = 0;             // callers blocked in awaitWaiting
};

} // namespace kestrane
