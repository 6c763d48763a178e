// What a port told its event sink, gathered for a test, and the threads of this process by name
// (to see a port's own thread come and go).
#pragma once

#include "platform/serial_port.h"

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace kestrane::test {

class PortEventLog {
public:
    // The sink to hand to SerialPort::setEventSink (the log must outlive the port).
    std::function<void(const PortEvent&)> sink()
    {
        return [this](const PortEvent& e) {
            std::lock_guard l(m_);
            events_.push_back(e);
            cv_.notify_all();
        };
    }
    // Waits until at least n events came.
    bool waitFor(std::size_t n, std::chrono::milliseconds timeout = std::chrono::milliseconds(2000))
    {
        std::unique_lock l(m_);
        return cv_.wait_for(l, timeout, [&] { return events_.size() >= n; });
    }
    [[nodiscard]] std::vector<PortEvent> events() const
    {
        std::lock_guard l(m_);
        return events_;
    }

private:
    mutable std::mutex m_;
    std::condition_variable cv_;
    std::vector<PortEvent> events_;
};

// Line errors as text, "offset kind[lost]" joined by ", " (P parity, F framing, PF parity or
// framing, B break, O overrun, BO buffer overrun), so a test reads as the line does.
inline std::string describe(const std::vector<ReadMarks::Error>& errors)
{
    static const char* const kNames[] = {"P", "F", "PF", "B", "O", "BO"};
    std::string s;
    for (const ReadMarks::Error& e : errors) {
        if (!s.empty())
            s += ", ";
        s += std::to_string(e.offset) + " " + kNames[static_cast<int>(e.kind)];
        if (e.lost)
            s += std::to_string(e.lost);
    }
    return s;
}

// Threads of this process whose name is `name`.
inline int threadsNamed(const std::string& name)
{
    int n = 0;
    std::error_code ec;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", ec)) {
        std::ifstream in(task.path() / "comm");
        std::string comm;
        if (std::getline(in, comm) && comm == name)
            ++n;
    }
    return n;
}

} // namespace kestrane::test
