// A serial-port server of the test's own on 127.0.0.1, for what ser2net serving a pty cannot
// show: settings it refuses or never answers, line and modem notifications, flow-control
// requests, hostile replies. It records what the client sends, answers COM-port requests by a
// rule of the test, and sends any bytes the test hands it. One client at a time.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace kestrane::test {

class ScriptedComPortServer {
public:
    // The answer to a request (code 1..12, its value bytes): the value to send back with code + 100,
    // or nothing for no answer. The default acknowledges every request as asked.
    using Rule = std::function<std::optional<std::vector<std::uint8_t>>(std::uint8_t code,
                                                                        const std::vector<std::uint8_t>& value)>;

    // `agree`: answers WILL COM-PORT-OPTION with DO (else DONT); `negotiate`: answers at all.
    explicit ScriptedComPortServer(bool agree = true, bool negotiate = true);
    ~ScriptedComPortServer();
    ScriptedComPortServer(const ScriptedComPortServer&) = delete;
    ScriptedComPortServer& operator=(const ScriptedComPortServer&) = delete;

    [[nodiscard]] std::string url() const { return "rfc2217://127.0.0.1:" + std::to_string(port_); }
    void setRule(Rule rule);
    // Sends bytes to the client as they are (Telnet commands and all); false when the client
    // does not take them within `timeoutMs`.
    bool sendRaw(const std::vector<std::uint8_t>& bytes, int timeoutMs = 5000);
    // A COM-port notification or answer (code already + 100).
    bool sendComPort(std::uint8_t code, std::vector<std::uint8_t> value);
    // The client's requests so far: code and value.
    [[nodiscard]] std::vector<std::pair<std::uint8_t, std::vector<std::uint8_t>>> requests() const;
    // The client's data bytes so far (doubled 0xFF undone, commands left out).
    [[nodiscard]] std::vector<std::uint8_t> data() const;
    // How many bytes the client sent in all (commands included).
    [[nodiscard]] std::size_t bytesReceived() const;
    // Stops reading from the client (its output then backs up).
    void pauseReading(bool paused);
    // Closes the client's connection, as a server restarting would.
    void dropClient();
    // When each client was accepted.
    [[nodiscard]] std::vector<std::chrono::steady_clock::time_point> accepted() const;
    [[nodiscard]] bool connected() const { return client_ >= 0; }

private:
    void run();
    void take(const std::uint8_t* p, std::size_t n);

    int listener_ = -1;
    std::atomic<int> client_{-1};
    int stopFd_ = -1;
    std::uint16_t port_ = 0;
    bool agree_;
    bool negotiate_;
    std::atomic<bool> paused_{false};
    mutable std::mutex m_;
    Rule rule_;
    std::vector<std::pair<std::uint8_t, std::vector<std::uint8_t>>> requests_;
    std::vector<std::uint8_t> data_;
    std::size_t received_ = 0;
    std::vector<std::chrono::steady_clock::time_point> accepted_;
    std::atomic<bool> drop_{false};
    std::atomic<bool> stopping_{false};
    // The client stream's parse state.
    enum class State { Data, Iac, Verb, Sb, SbIac } state_ = State::Data;
    std::uint8_t verb_ = 0;
    std::vector<std::uint8_t> sb_;
    std::thread thread_;
};

} // namespace kestrane::test
