// Program entry: reads the start-up size, builds the application and runs it.
#include "app/app_core.h"
#include "app/ui/draw_app.h"
#include "app/ui/main_window.h"
#include "platform/ui/qt_japanese.h"

#include <QApplication>
#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

namespace {

int signalPipe[2] = {-1, -1};

// SIGTERM, SIGINT and SIGHUP close the main window as the close command does, so the settings
// are written and the ports closed; the handler only wakes the message loop.
void onTerminate(int)
{
    const char byte = 1;
    (void)!::write(signalPipe[1], &byte, 1);
}

// The handler is installed before the start-up steps, so a signal during the splash is kept in
// the pipe; it is read once the frame exists, which the close needs.
void catchSignals()
{
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    struct sigaction sa {};
    sa.sa_handler = onTerminate;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(sig, &sa, nullptr);
}

void closeOnSignals(kestrane::TDrawApp& app)
{
    if (signalPipe[0] < 0)
        return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, qApp, [&app] {
        char buf[16];
        while (::read(signalPipe[0], buf, sizeof buf) > 0) {
        }
        if (app.frame() && !app.frame()->close())
            return;  // the user kept the window open (unsaved traffic, Cancel)
        QApplication::quit();
    });
}

} // namespace

int main(int argc, char* argv[])
{
    kestrane::AppCore core(std::filesystem::current_path());
    core.loadStartupSize();

    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kestrane"));
    QApplication::setQuitOnLastWindowClosed(true);
    kestrane::installQtJapanese(qapp);

    catchSignals();
    kestrane::TDrawApp app(core);
    app.initMainWindow();  // the splash and the start-up steps
    closeOnSignals(app);
    return app.run();
}
