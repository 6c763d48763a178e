#include "platform/remote_address.h"

#include <cctype>

namespace kestrane {

namespace {

bool isNameChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_';
}

bool isIpv6Char(char c)
{
    return std::isxdigit(static_cast<unsigned char>(c)) || c == ':' || c == '.';
}

std::string lower(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

} // namespace

std::string RemoteAddress::hostAndPort() const
{
    const std::string h = ipv6Literal() ? "[" + host + "]" : host;
    return h + ":" + std::to_string(port);
}

std::string RemoteAddress::url() const
{
    return (protocol == Protocol::Rfc2217 ? "rfc2217://" : "tcp://") + hostAndPort();
}

bool looksRemote(std::string_view entry)
{
    const auto sep = entry.find("://");
    if (sep == std::string_view::npos || sep == 0)
        return false;
    for (std::size_t i = 0; i < sep; ++i)
        if (!std::isalnum(static_cast<unsigned char>(entry[i])))
            return false;
    return true;
}

std::optional<RemoteAddress> parseRemoteAddress(std::string_view entry)
{
    if (!looksRemote(entry))
        return std::nullopt;
    const auto sep = entry.find("://");
    RemoteAddress a;
    const std::string scheme = lower(entry.substr(0, sep));
    if (scheme == "rfc2217")
        a.protocol = RemoteAddress::Protocol::Rfc2217;
    else if (scheme == "tcp")
        a.protocol = RemoteAddress::Protocol::RawTcp;
    else
        return std::nullopt;

    std::string_view rest = entry.substr(sep + 3);
    if (!rest.empty() && rest.back() == '/')  // "tcp://host:4000/" as browsers write it
        rest.remove_suffix(1);
    std::string_view host;
    std::string_view port;
    if (!rest.empty() && rest.front() == '[') {
        const auto close = rest.find(']');
        if (close == std::string_view::npos || close + 1 >= rest.size() || rest[close + 1] != ':')
            return std::nullopt;
        host = rest.substr(1, close - 1);
        port = rest.substr(close + 2);
        if (host.find(':') == std::string_view::npos)
            return std::nullopt;
        for (const char c : host)
            if (!isIpv6Char(c))
                return std::nullopt;
    } else {
        const auto colon = rest.find(':');
        if (colon == std::string_view::npos)
            return std::nullopt;
        host = rest.substr(0, colon);
        port = rest.substr(colon + 1);
        for (const char c : host)
            if (!isNameChar(c))
                return std::nullopt;
    }
    if (host.empty() || host.size() > 253 || port.empty() || port.size() > 5)
        return std::nullopt;
    unsigned long n = 0;
    for (const char c : port) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return std::nullopt;
        n = n * 10 + static_cast<unsigned long>(c - '0');
    }
    if (n < 1 || n > 65535)
        return std::nullopt;
    a.host = std::string(host);
    a.port = static_cast<std::uint16_t>(n);
    return a;
}

} // namespace kestrane
