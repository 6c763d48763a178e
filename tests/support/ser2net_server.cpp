#include "support/ser2net_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

namespace kestrane::test {

namespace {

constexpr const char* kSer2net = "/usr/sbin/ser2net";

} // namespace

std::uint16_t freeLoopbackPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    std::uint16_t port = 0;
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    if (fd >= 0)
        ::close(fd);
    return port;
}

bool listening(std::uint16_t port)
{
    // The kernel's socket table, so no connection is made (ser2net would open the device for it).
    char want[16];
    std::snprintf(want, sizeof want, "0100007F:%04X", port);
    std::ifstream in("/proc/net/tcp");
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state;
        fields >> slot >> local >> remote >> state;
        if (local == want && state == "0A")
            return true;
    }
    return false;
}

bool Ser2netServer::installed() { return ::access(kSer2net, X_OK) == 0; }

Ser2netServer::Ser2netServer(std::string devicePath, Kind kind) : device_(std::move(devicePath)), kind_(kind)
{
    port_ = freeLoopbackPort();
    // "local": no modem lines to wait for; "kickolduser": a reconnecting client takes the line
    // from a connection the server still thinks alive.
    std::ofstream(dir_ / "ser2net.yaml")
        << "connection: &line\n"
        << "  accepter: " << (kind_ == Kind::Rfc2217 ? "telnet(rfc2217)," : "") << "tcp,127.0.0.1," << port_ << "\n"
        << "  connector: serialdev," << device_ << ",9600n81,local\n"
        << "  options:\n"
        << "    kickolduser: true\n";
    start();
}

Ser2netServer::~Ser2netServer() { stop(); }

std::string Ser2netServer::url() const
{
    return (kind_ == Kind::Rfc2217 ? "rfc2217://127.0.0.1:" : "tcp://127.0.0.1:") + std::to_string(port_);
}

bool Ser2netServer::start()
{
    if (pid_ > 0)
        return true;
    if (!installed() || port_ == 0)
        return false;
    const std::string conf = (dir_ / "ser2net.yaml").string();
    const std::string pidFile = (dir_ / "ser2net.pid").string();
    const std::string log = (dir_ / "ser2net.log").string();
    pid_ = ::fork();
    if (pid_ == 0) {
        const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (out >= 0) {
            ::dup2(out, 1);
            ::dup2(out, 2);
        }
        // Foreground, no UUCP lock files, its own pid file.
        ::execl(kSer2net, "ser2net", "-n", "-u", "-c", conf.c_str(), "-P", pidFile.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    if (pid_ < 0) {
        pid_ = -1;
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        if (listening(port_))
            return true;
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    stop(true);
    return false;
}

void Ser2netServer::stop(bool crash)
{
    if (pid_ <= 0)
        return;
    ::kill(pid_, crash ? SIGKILL : SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    // Its listening socket is gone with it; wait until the kernel says so too.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (listening(port_) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

} // namespace kestrane::test
