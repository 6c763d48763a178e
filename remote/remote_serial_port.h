// The serial-port service on a line served by another machine: rfc2217://HOST:PORT (Telnet with
// the COM-port option, as ser2net and terminal servers serve lines) or tcp://HOST:PORT (a raw
// byte stream). The same Win32 comm meanings as the POSIX port, on the same port core (input
// queue with the event character, read and write time-outs, the wake by setCommMask): purges,
// escapes, the error word and the modem inputs (from the server's notifications), loss of the
// connection.
//
// Line settings go to the server and what it acknowledges is what getCommState reads back: a
// setting it refuses, acknowledges with another value or does not answer within the bound fails
// setCommState. Control requests (DTR, RTS, break) that it does not answer (ser2net serving a
// pseudo-terminal never answers them) do not hold anything up: they are reported by
// unconfirmedSettings until an answer comes.
#pragma once

#include "platform/serial_port.h"

#include <chrono>
#include <memory>
#include <stop_token>
#include <string>

namespace kestrane {

struct RemoteTiming {
    // The longest wait for the name, the connection and the server's first answer.
    std::chrono::milliseconds connect{6000};
    // The longest wait for the server's answers to one set of line settings.
    std::chrono::milliseconds answer{1000};
    // A server silent this long while our bytes wait for it is gone: the line is lost.
    std::chrono::milliseconds stall{30000};
    // A hold of our output by the server (flow control) this long is said (heldByFarEnd).
    std::chrono::milliseconds holdTold{2000};
};

// Connects to the line that `entry` (a ports.conf entry) names; null with `error` set when the
// address is not valid, the name does not resolve, the connection fails or the server does not
// take line control. `stop` ends a wait for the connection early (error NoAnswer). error.path is
// the entry. An idle connection whose server vanished is lost within about half a minute
// (keepalive); one with our bytes waiting in it within `timing.stall` (LossReason::NoAnswer).
std::unique_ptr<SerialPort> openRemoteSerialPort(const std::string& entry, OpenError& error,
                                                 std::stop_token stop = {}, RemoteTiming timing = {});

} // namespace kestrane
