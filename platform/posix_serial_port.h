// The POSIX implementation of the serial-port service, on a tty device or a pseudo-terminal.
#pragma once

#include "platform/serial_port.h"

#include <memory>
#include <string>

namespace kestrane {

// Opens `path` read/write, non-blocking, without becoming its controlling tty, raw, CLOCAL,
// and exclusively (flock + TIOCEXCL). Returns null with `error` set when that fails.
std::unique_ptr<SerialPort> openPosixSerialPort(const std::string& path, OpenError& error);

// What the system can tell about a refused open beyond its kind.
struct OpenRefusalFacts {
    long lockHolder = 0;             // Busy: the process named by the device's UUCP lock, or 0
    std::string group, user;         // PermissionDenied: the device's group (empty: unknown) and this user
    bool groupNotInSession = false;  // PermissionDenied: the user is in the group, this session not yet
};
[[nodiscard]] OpenRefusalFacts openRefusalFacts(const std::string& path, OpenError::Kind kind);

// A short text for an open error, naming the device (e.g. the group to join on EACCES), in
// English for the programs without a window (the window's words are in comm/device_texts).
std::string describeOpenError(const std::string& path, const OpenError& error);

} // namespace kestrane
