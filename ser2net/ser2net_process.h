// Debian's ser2net serving devices on 127.0.0.1, each at a free port, with a configuration of
// its own: how the demo runs with its lines served over the network, and how the tests reach a
// real RFC 2217 server. Stopped with the object.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace kestrane {

struct Ser2netLine {
    std::string device;    // what is served (a tty, the slave of a pty pair)
    bool rfc2217 = true;   // Telnet with the COM-port option; else a raw TCP stream
    std::uint16_t port = 0;  // chosen by Ser2netProcess
};

class Ser2netProcess {
public:
    // Writes `folder`/ser2net.yaml for the lines (each at a free port) and starts ser2net;
    // `running()` tells whether it listens on every port.
    Ser2netProcess(std::filesystem::path folder, std::vector<Ser2netLine> lines);
    ~Ser2netProcess();
    Ser2netProcess(const Ser2netProcess&) = delete;
    Ser2netProcess& operator=(const Ser2netProcess&) = delete;

    static bool installed();

    // (Re)starts it on the same ports; true once it listens on every one.
    bool start();
    // Ends it: `crash` kills it (SIGKILL) as a machine that fails would, otherwise SIGTERM.
    void stop(bool crash = false);
    [[nodiscard]] bool running() const { return pid_ > 0; }
    [[nodiscard]] pid_t pid() const { return pid_; }

    [[nodiscard]] const std::vector<Ser2netLine>& lines() const { return lines_; }
    // "rfc2217://127.0.0.1:PORT" or "tcp://127.0.0.1:PORT" for line `i`.
    [[nodiscard]] std::string url(std::size_t i) const;

private:
    std::filesystem::path folder_;
    std::vector<Ser2netLine> lines_;
    pid_t pid_ = -1;
};

// A TCP port on 127.0.0.1 that nothing listens on at the moment (0 when none could be found).
std::uint16_t freeLoopbackPort();
// Whether something listens on 127.0.0.1:`port` (read from the kernel's table: no connection is
// made, which would make ser2net open the device).
bool listeningOnLoopback(std::uint16_t port);

} // namespace kestrane
