// Debian's ser2net serving one device (the slave of a pty pair) on 127.0.0.1 at a free port, with
// a configuration of its own, for tests and benches of remote lines. Stopped with the object.
#pragma once

#include "support/temp_dir.h"

#include <sys/types.h>

#include <cstdint>
#include <string>

namespace kestrane::test {

class Ser2netServer {
public:
    enum class Kind { Rfc2217, RawTcp };

    // Starts it; `running()` tells whether it listens.
    explicit Ser2netServer(std::string devicePath, Kind kind = Kind::Rfc2217);
    ~Ser2netServer();
    Ser2netServer(const Ser2netServer&) = delete;
    Ser2netServer& operator=(const Ser2netServer&) = delete;

    // Whether ser2net is installed (scripts/setup.sh installs it).
    static bool installed();

    // (Re)starts it on the same port; true once it listens.
    bool start();
    // Ends it: `crash` kills it (SIGKILL) as a machine that fails would, otherwise SIGTERM.
    void stop(bool crash = false);
    [[nodiscard]] bool running() const { return pid_ > 0; }

    [[nodiscard]] std::uint16_t port() const { return port_; }
    // "rfc2217://127.0.0.1:PORT" or "tcp://127.0.0.1:PORT".
    [[nodiscard]] std::string url() const;

private:
    std::string device_;
    Kind kind_;
    TempDir dir_;
    std::uint16_t port_ = 0;
    pid_t pid_ = -1;
};

// A TCP port on 127.0.0.1 that nothing listens on at the moment.
std::uint16_t freeLoopbackPort();
// Whether something listens on 127.0.0.1:`port`.
bool listening(std::uint16_t port);

} // namespace kestrane::test
