#include "headless/stop_signals.h"

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace kestrane::headless {

StopSignals::StopSignals()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    sigset_t previous;
    if (const int e = pthread_sigmask(SIG_BLOCK, &set, &previous); e != 0) {
        error_ = e;
        return;
    }
    fd_ = ::signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
    if (fd_ < 0) {
        // Blocked signals nobody reads would leave a program that Ctrl-C cannot stop.
        error_ = errno;
        pthread_sigmask(SIG_SETMASK, &previous, nullptr);
        return;
    }
    ::signal(SIGPIPE, SIG_IGN);
}

bool stopSignalsFailed(const StopSignals& stops, const char* program)
{
    if (stops.error() == 0)
        return false;
    std::fprintf(stderr, "%s: cannot watch the stop signals (SIGINT, SIGTERM, SIGHUP): %s\n", program,
                 std::strerror(stops.error()));
    return true;
}

StopSignals::~StopSignals()
{
    if (fd_ >= 0)
        ::close(fd_);
}

int StopSignals::take()
{
    signalfd_siginfo info{};
    if (fd_ < 0 || ::read(fd_, &info, sizeof info) != static_cast<ssize_t>(sizeof info))
        return 0;
    return static_cast<int>(info.ssi_signo);
}

const char* stopSignalName(int signal)
{
    switch (signal) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    case SIGHUP: return "SIGHUP";
    default: break;
    }
    static thread_local char text[24];
    std::snprintf(text, sizeof text, "signal %d", signal);
    return text;
}

} // namespace kestrane::headless
