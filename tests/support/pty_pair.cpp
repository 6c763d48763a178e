#include "support/pty_pair.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <system_error>

namespace kestrane::test {

namespace {

[[noreturn]] void throwErrno(const char* what)
{
    throw std::system_error(errno, std::generic_category(), what);
}

void makeRaw(int fd)
{
    termios t{};
    if (tcgetattr(fd, &t) != 0)
        throwErrno("tcgetattr");
    cfmakeraw(&t);
    if (tcsetattr(fd, TCSANOW, &t) != 0)
        throwErrno("tcsetattr");
}

} // namespace

PtyPair::PtyPair()
{
    char name[128] = {};
    if (openpty(&master_, &slaveKeep_, name, nullptr, nullptr) != 0)
        throwErrno("openpty");
    slavePath_ = name;
    ::fcntl(master_, F_SETFD, FD_CLOEXEC);
    ::fcntl(slaveKeep_, F_SETFD, FD_CLOEXEC);
    // A fresh slave is cooked (CR to LF, echo); the master must not translate either.
    makeRaw(slaveKeep_);
    makeRaw(master_);
}

PtyPair::~PtyPair()
{
    if (master_ >= 0)
        ::close(master_);
    if (slaveKeep_ >= 0)
        ::close(slaveKeep_);
}

void PtyPair::send(const std::vector<std::uint8_t>& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t r = ::write(master_, bytes.data() + done, bytes.size() - done);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            throwErrno("write to pty master");
        }
        done += static_cast<std::size_t>(r);
    }
}

void PtyPair::send(const std::string& text)
{
    send(std::vector<std::uint8_t>(text.begin(), text.end()));
}

std::size_t PtyPair::sendFor(const std::vector<std::uint8_t>& bytes, std::chrono::milliseconds timeout,
                             std::chrono::milliseconds stall)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + timeout;
    const int flags = ::fcntl(master_, F_GETFL);
    ::fcntl(master_, F_SETFL, flags | O_NONBLOCK);
    std::size_t done = 0;
    while (done < bytes.size()) {
        pollfd p{master_, POLLOUT, 0};
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            break;
        const int r = ::poll(&p, 1, static_cast<int>(std::min<std::int64_t>(left, stall.count())));
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0 || !(p.revents & POLLOUT))
            break;
        const ssize_t k = ::write(master_, bytes.data() + done, bytes.size() - done);
        if (k < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (k <= 0)
            break;
        done += static_cast<std::size_t>(k);
    }
    ::fcntl(master_, F_SETFL, flags);
    return done;
}

std::vector<std::uint8_t> PtyPair::receive(std::size_t n, std::chrono::milliseconds timeout)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + timeout;
    std::vector<std::uint8_t> out;
    std::uint8_t buf[4096];
    while (out.size() < n) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            break;
        pollfd p{master_, POLLIN, 0};
        const int r = ::poll(&p, 1, static_cast<int>(left));
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            break;
        const std::size_t want = std::min(sizeof buf, n - out.size());
        const ssize_t k = ::read(master_, buf, want);
        if (k <= 0)
            break;
        out.insert(out.end(), buf, buf + k);
    }
    return out;
}

void PtyPair::closeMaster()
{
    if (master_ >= 0)
        ::close(master_);
    master_ = -1;
}

} // namespace kestrane::test
