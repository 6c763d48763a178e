// A pseudo-terminal pair as a null-modem cable: the program opens the slave path as its
// "serial device", the test plays the far end on the master.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace kestrane::test {

class PtyPair {
public:
    PtyPair();  // raw on both sides; throws on failure
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    [[nodiscard]] int master() const { return master_; }
    [[nodiscard]] const std::string& slavePath() const { return slavePath_; }

    // Writes all bytes to the master (the far end transmits).
    void send(const std::vector<std::uint8_t>& bytes);
    void send(const std::string& text);
    // Writes as much as the line takes within `timeout` without ever blocking past it; returns
    // how many bytes went in. A line that takes nothing for `stall` counts as held back and ends
    // the call early.
    std::size_t sendFor(const std::vector<std::uint8_t>& bytes, std::chrono::milliseconds timeout,
                        std::chrono::milliseconds stall = std::chrono::milliseconds::max());
    // Reads from the master until `n` bytes arrived or `timeout` passed.
    std::vector<std::uint8_t> receive(std::size_t n, std::chrono::milliseconds timeout);
    // Closes the far end (a hang-up for whoever holds the slave).
    void closeMaster();

private:
    int master_ = -1;
    int slaveKeep_ = -1;  // keeps the slave side alive until the test ends
    std::string slavePath_;
};

} // namespace kestrane::test
