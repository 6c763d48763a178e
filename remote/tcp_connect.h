// The TCP connection of a remote line, on its own: the host's addresses (a name is resolved on a
// short-lived thread of its own, so a name server that does not answer cannot hold the caller
// past the deadline) and a connection to the first one that answers, with what a serial line
// wants of it (small writes sent at once, keepalive so a vanished server is noticed).
#pragma once

#include "platform/comm_deadline.h"
#include "platform/remote_address.h"
#include "platform/serial_port.h"

#include <stop_token>

namespace kestrane {

// A connected, non-blocking socket, or -1 with `error` set (its path kept): NameNotFound (with
// the resolver's code), Refused, Unreachable, NoAnswer (the deadline or `stop`), Other.
int connectTcp(const RemoteAddress& address, CommClock::time_point deadline, std::stop_token stop, OpenError& error);

} // namespace kestrane
