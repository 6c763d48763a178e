// ser2net serving one device (the slave of a pty pair) on 127.0.0.1 at a free port, in a
// temporary folder of its own, for the tests of remote lines. Stopped with the object.
#pragma once

#include "ser2net/ser2net_process.h"
#include "support/temp_dir.h"

#include <cstdint>
#include <string>

namespace kestrane::test {

class Ser2netServer {
public:
    enum class Kind { Rfc2217, RawTcp };

    explicit Ser2netServer(const std::string& devicePath, Kind kind = Kind::Rfc2217)
        : process_(dir_.path(), {Ser2netLine{devicePath, kind == Kind::Rfc2217}})
    {
    }

    bool start() { return process_.start(); }
    void stop(bool crash = false) { process_.stop(crash); }
    [[nodiscard]] bool running() const { return process_.running(); }
    [[nodiscard]] std::uint16_t port() const { return process_.lines()[0].port; }
    [[nodiscard]] std::string url() const { return process_.url(0); }

private:
    TempDir dir_;
    Ser2netProcess process_;
};

inline std::uint16_t freeLoopbackPort() { return kestrane::freeLoopbackPort(); }

} // namespace kestrane::test
