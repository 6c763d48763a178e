#include "remote/tcp_connect.h"

#include "platform/wake_token.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace kestrane {

namespace {

struct Lookup {
    std::mutex m;
    std::condition_variable cv;
    bool done = false;
    int rc = 0;
    int systemError = 0;  // errno, for EAI_SYSTEM
    std::vector<sockaddr_storage> addresses;
};

// The addresses of `host`, resolving a name on a thread of its own so a name server that does
// not answer cannot hold the caller past `deadline` (or `stop`).
std::vector<sockaddr_storage> resolveHost(const RemoteAddress& a, std::stop_token stop,
                                          CommClock::time_point deadline, OpenError& error)
{
    sockaddr_storage s{};
    auto* v4 = reinterpret_cast<sockaddr_in*>(&s);
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&s);
    if (::inet_pton(AF_INET, a.host.c_str(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons(a.port);
        return {s};
    }
    if (::inet_pton(AF_INET6, a.host.c_str(), &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(a.port);
        return {s};
    }

    auto lookup = std::make_shared<Lookup>();
    try {
        std::thread([lookup, host = a.host, port = a.port] {
            addrinfo hints{};
            hints.ai_family = AF_UNSPEC;
            hints.ai_socktype = SOCK_STREAM;
            hints.ai_flags = AI_ADDRCONFIG;
            addrinfo* res = nullptr;
            const int rc = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &res);
            const int err = rc == EAI_SYSTEM ? errno : 0;
            std::vector<sockaddr_storage> found;
            for (addrinfo* i = res; rc == 0 && i; i = i->ai_next) {
                if ((i->ai_family != AF_INET && i->ai_family != AF_INET6) || i->ai_addrlen > sizeof(sockaddr_storage))
                    continue;
                sockaddr_storage one{};
                std::memcpy(&one, i->ai_addr, i->ai_addrlen);
                found.push_back(one);
            }
            if (res)
                ::freeaddrinfo(res);
            std::lock_guard lock(lookup->m);
            lookup->done = true;
            lookup->rc = rc;
            lookup->systemError = err;
            lookup->addresses = std::move(found);
            lookup->cv.notify_all();
        }).detach();
    } catch (const std::system_error& e) {
        error = OpenError(OpenError::Other, e.code().value(), error.path);
        return {};
    }
    std::stop_callback wakeOnStop(stop, [&] {
        std::lock_guard lock(lookup->m);
        lookup->cv.notify_all();
    });
    std::unique_lock lock(lookup->m);
    lookup->cv.wait_until(lock, deadline, [&] { return lookup->done || stop.stop_requested(); });
    if (!lookup->done) {
        error.kind = OpenError::NoAnswer;
        return {};
    }
    if (lookup->rc == EAI_SYSTEM || lookup->rc == EAI_MEMORY) {
        error = OpenError(OpenError::Other, lookup->rc == EAI_MEMORY ? ENOMEM : lookup->systemError, error.path);
        return {};
    }
    if (lookup->rc != 0 || lookup->addresses.empty()) {
        error.kind = lookup->rc == EAI_SYSTEM || lookup->rc == EAI_MEMORY ? OpenError::Other : OpenError::NameNotFound;
        error.resolverError = lookup->rc;  // the resolver's own reason, told with the name
        return {};
    }
    return lookup->addresses;
}

OpenError::Kind connectErrorKind(int err)
{
    switch (err) {
    case ECONNREFUSED: return OpenError::Refused;
    case EHOSTUNREACH:
    case ENETUNREACH:
    case ENETDOWN:
    case EHOSTDOWN: return OpenError::Unreachable;
    case ETIMEDOUT: return OpenError::NoAnswer;
    default: return OpenError::Other;
    }
}

// A connected, non-blocking socket to the first address that answers, or -1 with `error` set.
int connectTo(const std::vector<sockaddr_storage>& addresses, CommClock::time_point deadline, std::stop_token stop,
              OpenError& error)
{
    const int cancel = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (cancel < 0) {
        error = OpenError(OpenError::Other, errno, error.path);
        return -1;
    }
    const auto wake = [cancel] { signalFd(cancel); };
    std::optional<std::stop_callback<decltype(wake)>> wakeOnStop(std::in_place, stop, wake);
    int connected = -1;
    for (const sockaddr_storage& a : addresses) {
        const int fd = ::socket(a.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            error = OpenError(OpenError::Other, errno, error.path);
            continue;
        }
        const socklen_t len = a.ss_family == AF_INET ? sizeof(sockaddr_in) : sizeof(sockaddr_in6);
        int err = ::connect(fd, reinterpret_cast<const sockaddr*>(&a), len) == 0 ? 0 : errno;
        if (err == EINPROGRESS) {
            pollfd p[2] = {{fd, POLLOUT, 0}, {cancel, POLLIN, 0}};
            int r = 0;
            do
                r = ::poll(p, 2, pollTimeoutMs(deadline, CommClock::now()));
            while (r < 0 && errno == EINTR);
            if (r > 0 && (p[0].revents & (POLLOUT | POLLERR | POLLHUP))) {
                socklen_t size = sizeof err;
                if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &size) != 0)
                    err = errno;
            } else {
                err = ETIMEDOUT;  // the deadline, or a stop
            }
        }
        if (err == 0) {
            connected = fd;
            break;
        }
        ::close(fd);
        error = OpenError(connectErrorKind(err), err, error.path);
        if (CommClock::now() >= deadline || stop.stop_requested())
            break;
    }
    // A stop from now on must not write to the descriptor: closed, its number may already be
    // another's. Dropping the callback waits for one that is running.
    wakeOnStop.reset();
    ::close(cancel);
    if (connected >= 0) {
        // Small requests and single bytes go out at once; a server that vanishes without a word
        // (a machine switched off) while the line is idle is noticed within about half a minute.
        const int on = 1, idle = 10, interval = 5, count = 3;
        const std::pair<int, int> options[] = {{IPPROTO_TCP, TCP_NODELAY}, {SOL_SOCKET, SO_KEEPALIVE},
                                               {IPPROTO_TCP, TCP_KEEPIDLE}, {IPPROTO_TCP, TCP_KEEPINTVL},
                                               {IPPROTO_TCP, TCP_KEEPCNT}};
        const int values[] = {on, on, idle, interval, count};
        for (std::size_t i = 0; i < std::size(options); ++i) {
            if (::setsockopt(connected, options[i].first, options[i].second, &values[i], sizeof values[i]) != 0) {
                error = OpenError(OpenError::Other, errno, error.path);
                ::close(connected);
                return -1;
            }
        }
    }
    return connected;
}

} // namespace

int connectTcp(const RemoteAddress& address, CommClock::time_point deadline, std::stop_token stop, OpenError& error)
{
    const std::vector<sockaddr_storage> addresses = resolveHost(address, stop, deadline, error);
    if (addresses.empty())
        return -1;
    return connectTo(addresses, deadline, stop, error);
}

} // namespace kestrane
