// Lines served on another machine, named in ports.conf instead of a device path:
//   rfc2217://HOST:PORT   Telnet with the COM-port option (ser2net, terminal servers): data and
//                         line control (rate, framing, flow control, modem lines, break, purge);
//   tcp://HOST:PORT       a raw byte stream: data only, no line control.
// HOST is a name, an IPv4 address or an IPv6 address in brackets ([::1]); names are resolved when
// the port opens.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestrane {

struct RemoteAddress {
    enum class Protocol { Rfc2217, RawTcp };

    Protocol protocol = Protocol::Rfc2217;
    std::string host;  // without brackets
    std::uint16_t port = 0;

    // The address written back in its usual form ("rfc2217://[::1]:3456").
    [[nodiscard]] std::string url() const;
    // HOST:PORT with an IPv6 host in brackets.
    [[nodiscard]] std::string hostAndPort() const;
    [[nodiscard]] bool ipv6Literal() const { return host.find(':') != std::string::npos; }
    bool operator==(const RemoteAddress&) const = default;
};

// True when a ports.conf entry names a remote line (it has a scheme, "xxx://"), whether or not
// the rest is valid: such an entry is never opened as a file.
[[nodiscard]] bool looksRemote(std::string_view entry);

// The address of a remote entry, or nothing when it is not one of the two forms above. Host names
// hold only letters, digits, '.', '-' and '_'; IPv6 literals only hex digits, ':' and '.'; the port
// is 1..65535. The scheme is taken in any case; the host is kept as written.
[[nodiscard]] std::optional<RemoteAddress> parseRemoteAddress(std::string_view entry);

} // namespace kestrane
