// Waiting in tests for what another thread or process does: polls a condition against a
// generous deadline instead of sleeping a fixed time.
#pragma once

#include <chrono>
#include <thread>

namespace kestrane::test {

// Polls `done` every 2 ms until it holds (true) or `timeout` passes (false).
template <typename Pred>
bool eventually(Pred done, std::chrono::milliseconds timeout = std::chrono::seconds(10))
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

} // namespace kestrane::test
