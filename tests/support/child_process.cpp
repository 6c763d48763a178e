#include "support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kestrane::test {

ChildProcess::ChildProcess(std::vector<std::string> args, const std::filesystem::path& folder,
                           const std::function<void()>& inChild)
{
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0)
        return;
    pid_ = ::fork();
    if (pid_ == 0) {
        ::dup2(out[1], 1);
        ::dup2(out[1], 2);
        if (!folder.empty() && ::chdir(folder.c_str()) != 0)
            ::_exit(126);
        if (inChild)
            inChild();
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(out[1]);
    output_ = out[0];
}

ChildProcess::~ChildProcess()
{
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    if (output_ >= 0)
        ::close(output_);
}

int ChildProcess::readSome(int waitMs)
{
    if (output_ < 0)
        return -1;
    pollfd p{output_, POLLIN, 0};
    if (::poll(&p, 1, waitMs) <= 0)
        return 0;
    char buf[4096];
    const ssize_t n = ::read(output_, buf, sizeof buf);
    if (n <= 0)
        return -1;
    text_.append(buf, static_cast<std::size_t>(n));
    return 1;
}

bool ChildProcess::waitForOutput(const std::string& text, std::size_t from, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (text_.find(text, from) == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || readSome(static_cast<int>(left.count())) < 0)
            return false;
    }
    return true;
}

void ChildProcess::signal(int sig)
{
    if (pid_ > 0)
        ::kill(pid_, sig);
}

int ChildProcess::waitForExit(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    int status = 0;
    while (::waitpid(pid_, &status, WNOHANG) != pid_) {
        if (std::chrono::steady_clock::now() > deadline)
            return -1;
        readSome(10);  // a program that writes much must not block on a full pipe
    }
    pid_ = -1;
    // What it wrote last; a child of its own that keeps the pipe open must not hold the test.
    while (readSome(100) > 0) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

} // namespace kestrane::test
