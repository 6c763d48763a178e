// The POSIX implementation of the serial-port service, on a tty device or a pseudo-terminal.
#pragma once

#include "platform/serial_port.h"

#include <memory>
#include <string>

namespace kestrane {

// Opens `path` read/write, non-blocking, without becoming its controlling tty, raw, CLOCAL,
// and exclusively (flock + TIOCEXCL). Returns null with `error` set when that fails.
std::unique_ptr<SerialPort> openPosixSerialPort(const std::string& path, OpenError& error);

// A short text for an open error, naming the device (e.g. the group to join on EACCES).
std::string describeOpenError(const std::string& path, const OpenError& error);

} // namespace kestrane
