#include "app/ui/close_signals.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace kestrane {

namespace {

int signalPipe[2] = {-1, -1};
volatile std::sig_atomic_t endAtOnce = 1;

void onSignal(int)
{
    if (endAtOnce)
        ::_exit(0);
    const int saved = errno;
    const char byte = 1;
    (void)!::write(signalPipe[1], &byte, 1);  // a full pipe already holds a wake-up
    errno = saved;
}

} // namespace

CloseSignals::CloseSignals(QObject* parent) : QObject(parent)
{
    if (signalPipe[0] < 0 && ::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    endAtOnce = 1;
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(sig, &sa, nullptr);
    notifier_ = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char buf[16];
        while (::read(signalPipe[0], buf, sizeof buf) > 0) {
        }
        emit arrived();
    });
}

void CloseSignals::setEndAtOnce(bool on) { endAtOnce = on ? 1 : 0; }

} // namespace kestrane
