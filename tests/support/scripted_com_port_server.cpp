#include "support/scripted_com_port_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

namespace kestrane::test {

namespace {

constexpr std::uint8_t IAC = 255, DONT = 254, DO = 253, WONT = 252, WILL = 251, SB = 250, SE = 240, kComPort = 44;

} // namespace

ScriptedComPortServer::ScriptedComPortServer(bool agree, bool negotiate) : agree_(agree), negotiate_(negotiate)
{
    rule_ = [](std::uint8_t, const std::vector<std::uint8_t>& v) { return std::optional(v); };
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::listen(listener_, 4) != 0 || ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len) != 0)
        throw std::runtime_error("cannot listen on 127.0.0.1");
    port_ = ntohs(a.sin_port);
    stopFd_ = ::eventfd(0, EFD_CLOEXEC);
    thread_ = std::thread([this] { run(); });
}

ScriptedComPortServer::~ScriptedComPortServer()
{
    stopping_ = true;
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto r = ::write(stopFd_, &one, sizeof one);
    thread_.join();
    if (client_ >= 0)
        ::close(client_);
    ::close(listener_);
    ::close(stopFd_);
}

void ScriptedComPortServer::setRule(Rule rule)
{
    std::lock_guard lock(m_);
    rule_ = std::move(rule);
}

void ScriptedComPortServer::pauseReading(bool paused) { paused_ = paused; }

void ScriptedComPortServer::dropClient()
{
    drop_ = true;
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto r = ::write(stopFd_, &one, sizeof one);  // wakes the loop, which drops
}

std::vector<std::chrono::steady_clock::time_point> ScriptedComPortServer::accepted() const
{
    std::lock_guard lock(m_);
    return accepted_;
}

bool ScriptedComPortServer::sendRaw(const std::vector<std::uint8_t>& bytes, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const int fd = client_;
        if (fd < 0 || std::chrono::steady_clock::now() > deadline)
            return false;
        const ssize_t k = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (k > 0) {
            done += static_cast<std::size_t>(k);
            continue;
        }
        pollfd p{fd, POLLOUT, 0};
        ::poll(&p, 1, 10);
    }
    return true;
}

bool ScriptedComPortServer::sendComPort(std::uint8_t code, std::vector<std::uint8_t> value)
{
    std::vector<std::uint8_t> out{IAC, SB, kComPort, code};
    for (const std::uint8_t b : value) {
        out.push_back(b);
        if (b == IAC)
            out.push_back(IAC);
    }
    out.insert(out.end(), {IAC, SE});
    return sendRaw(out);
}

std::vector<std::pair<std::uint8_t, std::vector<std::uint8_t>>> ScriptedComPortServer::requests() const
{
    std::lock_guard lock(m_);
    return requests_;
}

std::vector<std::uint8_t> ScriptedComPortServer::data() const
{
    std::lock_guard lock(m_);
    return data_;
}

std::size_t ScriptedComPortServer::bytesReceived() const
{
    std::lock_guard lock(m_);
    return received_;
}

void ScriptedComPortServer::run()
{
    std::uint8_t buf[4096];
    for (;;) {
        const int fd = client_;
        pollfd p[2] = {{fd >= 0 ? fd : listener_, static_cast<short>(fd >= 0 && paused_ ? 0 : POLLIN), 0},
                       {stopFd_, POLLIN, 0}};
        if (::poll(p, 2, 20) < 0)
            return;
        if (p[1].revents & POLLIN) {
            if (stopping_)
                return;
            std::uint64_t count = 0;
            [[maybe_unused]] const auto r = ::read(stopFd_, &count, sizeof count);
            if (drop_.exchange(false) && fd >= 0) {
                client_ = -1;
                ::close(fd);
                state_ = State::Data;
            }
            continue;
        }
        if (!(p[0].revents & (POLLIN | POLLHUP | POLLERR)))
            continue;
        if (fd < 0) {
            client_ = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            std::lock_guard lock(m_);
            accepted_.push_back(std::chrono::steady_clock::now());
            continue;
        }
        const ssize_t k = ::recv(fd, buf, sizeof buf, MSG_DONTWAIT);
        if (k <= 0) {
            client_ = -1;
            ::close(fd);
            state_ = State::Data;
            continue;
        }
        take(buf, static_cast<std::size_t>(k));
    }
}

// The client's stream: data, negotiations (answered), COM-port requests (recorded, answered by rule).
void ScriptedComPortServer::take(const std::uint8_t* p, std::size_t n)
{
    std::vector<std::uint8_t> reply;
    {
        std::lock_guard lock(m_);
        received_ += n;
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint8_t b = p[i];
            switch (state_) {
            case State::Data:
                if (b == IAC)
                    state_ = State::Iac;
                else
                    data_.push_back(b);
                break;
            case State::Iac:
                state_ = State::Data;
                if (b == IAC)
                    data_.push_back(b);
                else if (b == WILL || b == WONT || b == DO || b == DONT)
                    verb_ = b, state_ = State::Verb;
                else if (b == SB)
                    sb_.clear(), state_ = State::Sb;
                break;
            case State::Verb:
                state_ = State::Data;
                if (negotiate_ && verb_ == WILL && b == kComPort)
                    reply.insert(reply.end(), {IAC, agree_ ? DO : DONT, kComPort});
                break;
            case State::Sb:
                if (b == IAC)
                    state_ = State::SbIac;
                else
                    sb_.push_back(b);
                break;
            case State::SbIac:
                if (b == IAC) {
                    sb_.push_back(b);
                    state_ = State::Sb;
                    break;
                }
                state_ = State::Data;
                if (sb_.size() >= 2 && sb_[0] == kComPort) {
                    const std::vector<std::uint8_t> value(sb_.begin() + 2, sb_.end());
                    requests_.emplace_back(sb_[1], value);
                    if (const auto answer = rule_(sb_[1], value)) {
                        reply.insert(reply.end(), {IAC, SB, kComPort, static_cast<std::uint8_t>(sb_[1] + 100)});
                        for (const std::uint8_t v : *answer) {
                            reply.push_back(v);
                            if (v == IAC)
                                reply.push_back(IAC);
                        }
                        reply.insert(reply.end(), {IAC, SE});
                    }
                }
                break;
            }
        }
    }
    if (!reply.empty())
        sendRaw(reply);
}

} // namespace kestrane::test
