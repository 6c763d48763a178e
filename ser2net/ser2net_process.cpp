#include "ser2net/ser2net_process.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

namespace kestrane {

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

bool listeningOnLoopback(std::uint16_t port)
{
    char want[16];
    std::snprintf(want, sizeof want, "0100007F:%04X", port);
    std::ifstream in("/proc/net/tcp");
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state;
        fields >> slot >> local >> remote >> state;
        if (local == want && state == "0A")  // LISTEN
            return true;
    }
    return false;
}

bool Ser2netProcess::installed() { return ::access(kSer2net, X_OK) == 0; }

Ser2netProcess::Ser2netProcess(std::filesystem::path folder, std::vector<Ser2netLine> lines)
    : folder_(std::move(folder)), lines_(std::move(lines))
{
    // "local": no modem lines to wait for; "kickolduser": a reconnecting client takes the line
    // from a connection the server still thinks alive.
    std::ofstream conf(folder_ / "ser2net.yaml");
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        Ser2netLine& l = lines_[i];
        l.port = freeLoopbackPort();
        conf << "connection: &line" << i << "\n"
             << "  accepter: " << (l.rfc2217 ? "telnet(rfc2217)," : "") << "tcp,127.0.0.1," << l.port << "\n"
             << "  connector: serialdev," << l.device << ",9600n81,local\n"
             << "  options:\n"
             << "    kickolduser: true\n";
    }
    conf.close();
    start();
}

Ser2netProcess::~Ser2netProcess() { stop(); }

std::string Ser2netProcess::url(std::size_t i) const
{
    return (lines_.at(i).rfc2217 ? "rfc2217://127.0.0.1:" : "tcp://127.0.0.1:") + std::to_string(lines_.at(i).port);
}

bool Ser2netProcess::start()
{
    if (pid_ > 0)
        return true;
    if (!installed())
        return false;
    for (const Ser2netLine& l : lines_)
        if (l.port == 0)
            return false;
    const std::string conf = (folder_ / "ser2net.yaml").string();
    const std::string pidFile = (folder_ / "ser2net.pid").string();
    const std::string log = (folder_ / "ser2net.log").string();
    const pid_t parent = ::getpid();
    pid_ = ::fork();
    if (pid_ == 0) {
        // The server ends with the program that started it, even one that crashed; the thread
        // that starts it must live as long as it is wanted (the main thread in every user).
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent)
            ::_exit(127);
        // A caller that handles its signals through a descriptor has them blocked: ser2net must not.
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (out >= 0) {
            ::dup2(out, 1);
            ::dup2(out, 2);
        }
        // In the foreground, without UUCP lock files, with a pid file of its own.
        ::execl(kSer2net, "ser2net", "-n", "-u", "-c", conf.c_str(), "-P", pidFile.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    if (pid_ < 0) {
        pid_ = -1;
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        bool all = true;
        for (const Ser2netLine& l : lines_)
            all = all && listeningOnLoopback(l.port);
        if (all)
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

void Ser2netProcess::stop(bool crash)
{
    if (pid_ <= 0)
        return;
    ::kill(pid_, crash ? SIGKILL : SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    // Its listening sockets go with it; wait until the kernel's table says so too.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    for (const Ser2netLine& l : lines_)
        while (listeningOnLoopback(l.port) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

} // namespace kestrane
