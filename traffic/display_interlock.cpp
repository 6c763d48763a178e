#include "traffic/display_interlock.h"

namespace kestrane {

bool DisplayInterlock::mayTake(int role) const
{
    if (held_)
        return false;
    // A role may take the free lock when no role of higher priority (lower index) waits.
    for (int higher = 0; higher < role; ++higher) {
        if (waiting_[static_cast<std::size_t>(higher)] > 0)
            return false;
    }
    return true;
}

void DisplayInterlock::acquire(int role)
{
    const auto index = static_cast<std::size_t>(role);
    std::unique_lock lk(mutex_);
    ++waiting_[index];
    if (observers_ > 0)
        waitersChanged_.notify_all();
    // Waiters of lower priority re-check after every release; a higher waiter only ever stops
    // waiting by taking the lock, so a release is the only event that can let anyone in.
    released_.wait(lk, [&] { return mayTake(role); });
    --waiting_[index];
    held_ = true;
}

void DisplayInterlock::lock(Producer who) { acquire(static_cast<int>(who)); }

void DisplayInterlock::lockForRepaint() { acquire(kRepaint); }

void DisplayInterlock::unlock()
{
    {
        std::lock_guard lk(mutex_);
        held_ = false;
    }
    released_.notify_all();
}

int DisplayInterlock::waiting(Producer who) const
{
    std::lock_guard lk(mutex_);
    return waiting_[static_cast<std::size_t>(who)];
}

int DisplayInterlock::waitingRepaints() const
{
    std::lock_guard lk(mutex_);
    return waiting_[kRepaint];
}

bool DisplayInterlock::isHeld() const
{
    std::lock_guard lk(mutex_);
    return held_;
}

void DisplayInterlock::awaitRole(int role, int count)
{
    std::unique_lock lk(mutex_);
    ++observers_;
    waitersChanged_.wait(lk, [&] { return waiting_[static_cast<std::size_t>(role)] >= count; });
    --observers_;
}

void DisplayInterlock::awaitWaiting(Producer who, int count) { awaitRole(static_cast<int>(who), count); }

void DisplayInterlock::awaitWaitingRepaints(int count) { awaitRole(kRepaint, count); }

} // namespace kestrane
