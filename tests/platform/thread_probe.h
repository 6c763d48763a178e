// A call run on its own thread so a test can see it block: whether the thread is asleep in the
// kernel, how much CPU it burns meanwhile, and whether the call came back before a deadline.
#pragma once

#include <pthread.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace kestrane::test {

// Polls `pred` until it holds or `timeout` passes.
inline bool eventually(const std::function<bool()>& pred,
                       std::chrono::milliseconds timeout = std::chrono::milliseconds(2000))
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!pred()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

class ProbeThread {
public:
    // `unblock` is called before joining when the call is still running at destruction, so a
    // failing test ends instead of hanging.
    ProbeThread(std::function<void()> call, std::function<void()> unblock)
        : unblock_(std::move(unblock)), thread_([this, c = std::move(call)] {
              tid_ = ::gettid();
              c();
              std::lock_guard l(m_);
              done_ = true;
              cv_.notify_all();
          })
    {
    }

    ~ProbeThread()
    {
        if (!joinWithin(std::chrono::milliseconds(0)) && unblock_) {
            unblock_();
            joinWithin(std::chrono::milliseconds(5000));
        }
        if (thread_.joinable())
            thread_.join();
    }

    ProbeThread(const ProbeThread&) = delete;
    ProbeThread& operator=(const ProbeThread&) = delete;

    // True once the call returned (the thread is joined then).
    bool joinWithin(std::chrono::milliseconds timeout)
    {
        std::unique_lock l(m_);
        if (!cv_.wait_for(l, timeout, [&] { return done_; }))
            return false;
        l.unlock();
        if (thread_.joinable())
            thread_.join();
        return true;
    }

    // Waits until the thread sleeps in the kernel (state S: poll, a futex), i.e. it blocked.
    bool waitUntilAsleep(std::chrono::milliseconds timeout = std::chrono::milliseconds(2000))
    {
        return eventually([&] { return tid_ != 0 && state() == 'S'; }, timeout);
    }

    // CPU time the thread used so far (only while it runs).
    std::chrono::nanoseconds cpuTime()
    {
        clockid_t id{};
        timespec ts{};
        if (pthread_getcpuclockid(thread_.native_handle(), &id) != 0 || clock_gettime(id, &ts) != 0)
            return std::chrono::nanoseconds(0);
        return std::chrono::seconds(ts.tv_sec) + std::chrono::nanoseconds(ts.tv_nsec);
    }

private:
    char state() const
    {
        std::ifstream in("/proc/self/task/" + std::to_string(tid_.load()) + "/stat");
        std::string line;
        std::getline(in, line);
        const auto p = line.rfind(')');
        return (p != std::string::npos && p + 2 < line.size()) ? line[p + 2] : '?';
    }

    std::function<void()> unblock_;
    std::atomic<pid_t> tid_{0};
    std::mutex m_;
    std::condition_variable cv_;
    bool done_ = false;
    std::thread thread_;  // last: starts once everything above exists
};

} // namespace kestrane::test
