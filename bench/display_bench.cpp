// Display figures on the offscreen platform (run by hand):
//  - the time of one full repaint of the client area with an empty buffer and with a full
//    36000-byte buffer (top and newest page), in low-speed and in fast display, rendered into
//    an image and through the window's own paint (grab);
//  - how the display keeps up while the far end of a pseudo-terminal floods CH1 (alone, and
//    relayed to CH2): bytes per second received and stored, timer ticks and paint events per
//    second, CPU seconds per MB of the whole process and of the GUI thread, and in low-speed
//    display how far the drawing lags behind the stored bytes.
//  - the same relayed at the pace of a 4 Mbaud line (400 kB/s), one way and both ways at once,
//    with the line-events window closed and then open (its rows, and entries it missed).
// Usage: display_bench [seconds of each flood, default 3] [steady: only the 400 kB/s figures]
#include "app/app_core.h"
#include "app/ui/draw_app.h"
#include "app/ui/event_commands.h"
#include "app/ui/main_window.h"
#include "support/pty_pair.h"
#include "support/temp_dir.h"
#include "traffic/ui/event_window.h"
#include "traffic/ui/traffic_view.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <ctime>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

using namespace kestrane;
using namespace std::chrono;
using test::PtyPair;
using test::TempDir;

namespace {

// Counts what the buffer stores and hands it on to the display's own feed.
struct CountingFeed final : DisplayFeed {
    explicit CountingFeed(DisplayFeed& next) : inner(next) {}
    DisplayFeed& inner;
    std::atomic<std::int64_t> bytes{0};
    void feedFast(const std::uint8_t* b, int count, int kind) override
    {
        bytes.fetch_add(count);
        inner.feedFast(b, count, kind);
    }
    void feedLowSpeed(const std::uint8_t* b, int count, int kind) override
    {
        bytes.fetch_add(count);
        inner.feedLowSpeed(b, count, kind);
    }
};

// Counts timer events of the window and paint events of its viewport; samples the low-speed lag.
class EventCounter final : public QObject {
public:
    EventCounter(QObject* window, QObject* viewport, TrafficBuffer& traffic)
        : window_(window), viewport_(viewport), traffic_(traffic)
    {
    }
    int ticks = 0;
    int paints = 0;
    std::int32_t maxLag = 0;
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (o == window_ && e->type() == QEvent::Timer) {
            ++ticks;
            maxLag = std::max(maxLag, traffic_.storedLength() - traffic_.drawPosition());
        }
        if (o == viewport_ && e->type() == QEvent::Paint)
            ++paints;
        return false;
    }

private:
    QObject* window_;
    QObject* viewport_;
    TrafficBuffer& traffic_;
};

void runEventLoop(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Mixed traffic: text, control bytes, double-byte characters, received and sent.
void fillBuffer(TrafficBuffer& t)
{
    std::vector<std::uint8_t> chunk;
    unsigned n = 0;
    while (true) {
        chunk.clear();
        for (int i = 0; i < 90; ++i, ++n) {
            const unsigned pick = (n * 7u) % 20u;
            if (pick == 0) {
                chunk.push_back('\r');
                chunk.push_back('\n');
            } else if (pick < 3) {
                chunk.push_back(0x82);
                chunk.push_back(static_cast<std::uint8_t>(0xA0 + n % 80));
            } else {
                chunk.push_back(static_cast<std::uint8_t>('!' + n % 90));
            }
        }
        const auto size = static_cast<std::int32_t>(chunk.size());
        if (t.storedLength() + size >= t.capacity() - 100)
            break;
        if (n % 3 == 0)
            t.appendSent(1, chunk.data(), size);
        else
            t.appendReceived(1, chunk.data(), size);
    }
}

// CPU time of the calling thread: the figures of one thread's work hold up on a loaded machine.
double threadCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

double msPerRepaint(TrafficView& view, QWidget* viewport, bool fast, int rounds)
{
    QImage image(viewport->size(), QImage::Format_ARGB32_Premultiplied);
    const double start = threadCpuSeconds();
    for (int i = 0; i < rounds; ++i) {
        image.fill(Qt::white);
        QPainter p(&image);
        view.render(p, image.rect(), fast);
    }
    return (threadCpuSeconds() - start) * 1000 / rounds;
}

double msPerGrab(QWidget* viewport, int rounds)
{
    const double start = threadCpuSeconds();
    for (int i = 0; i < rounds; ++i)
        (void)viewport->grab();
    return (threadCpuSeconds() - start) * 1000 / rounds;
}

void setSpeed(TDrawWindow* w, int fast)
{
    if (w->core().fastDisplay() != fast)
        w->toggleSpeed();
}

void repaintFigures()
{
    TempDir dir;
    AppCore core(dir.path(), [](int, OpenError&) { return std::unique_ptr<SerialPort>(); });
    TDrawApp app(core);
    app.initMainWindow(false);
    app.frame()->resize(1280, 1024);
    app.frame()->show();
    QCoreApplication::processEvents();
    TDrawWindow* w = app.frame()->client();
    TrafficView& view = w->display();
    QWidget* vp = w->viewport();
    setSpeed(w, 0);
    view.timerTick(false);  // the start-up clear
    constexpr int kRounds = 200;

    std::printf("Full repaint of the client area (%d x %d, %d characters per line), CPU ms per repaint:\n", vp->width(),
                vp->height(), view.lowSpeed().charsPerLine());
    const double emptyLow = msPerRepaint(view, vp, false, kRounds);
    const double emptyGrab = msPerGrab(vp, kRounds);
    fillBuffer(core.traffic());
    view.timerTick(false);
    const std::int32_t stored = core.traffic().storedLength();
    w->verticalScrollBar()->setValue(0);
    const double fullTop = msPerRepaint(view, vp, false, kRounds);
    view.scrollToLine(view.lowSpeed().lineCount(core.settings().record.bufferSize));
    const double fullEnd = msPerRepaint(view, vp, false, kRounds);
    const double fullGrab = msPerGrab(vp, kRounds);
    std::printf("  low speed, empty buffer          %8.3f  (window paint %8.3f)\n", emptyLow, emptyGrab);
    std::printf("  low speed, %5d bytes, top page  %8.3f\n", stored, fullTop);
    std::printf("  low speed, %5d bytes, last page %8.3f  (window paint %8.3f)\n", stored, fullEnd, fullGrab);

    setSpeed(w, 1);
    view.clearScreenCellMap();
    const double fastEmpty = msPerRepaint(view, vp, true, kRounds);
    // A full page in the cell map: text on every line of the window.
    std::vector<std::uint8_t> line(300, 'F');
    for (int i = 0; i < 60; ++i)
        core.traffic().appendReceived(1, line.data(), static_cast<std::int32_t>(line.size()));
    const double fastFull = msPerRepaint(view, vp, true, kRounds);
    std::printf("  fast, empty page                 %8.3f\n", fastEmpty);
    std::printf("  fast, full page                  %8.3f\n\n", fastFull);
}

double processCpuSeconds()
{
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
           static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}


// A child process that writes `block` into `fd` for ever (until killed): the far end of CH1
// floods the line without costing this process CPU. With `bytesPerSecond` above 0 it paces
// its writes to that rate, as a line of that speed would deliver them. Only async-signal-safe
// calls after the fork.
pid_t startWriter(int fd, const std::vector<std::uint8_t>& block, long bytesPerSecond = 0)
{
    const pid_t pid = fork();
    if (pid == 0) {
        timespec start{};
        clock_gettime(CLOCK_MONOTONIC, &start);
        long long sent = 0;
        for (;;) {
            const ssize_t n = ::write(fd, block.data(), block.size());
            if (n < 0 && errno != EAGAIN && errno != EINTR)
                _exit(0);
            if (n > 0)
                sent += n;
            if (bytesPerSecond <= 0)
                continue;
            // Sleep until the time these bytes take on the line has passed.
            const long long dueNs = sent * 1000000000LL / bytesPerSecond;
            timespec now{};
            clock_gettime(CLOCK_MONOTONIC, &now);
            const long long elapsedNs = (now.tv_sec - start.tv_sec) * 1000000000LL + (now.tv_nsec - start.tv_nsec);
            if (dueNs > elapsedNs) {
                const long long waitNs = dueNs - elapsedNs;
                timespec wait{static_cast<time_t>(waitNs / 1000000000LL), static_cast<long>(waitNs % 1000000000LL)};
                nanosleep(&wait, nullptr);
            }
        }
    }
    return pid;
}

// A child process that reads and drops whatever arrives on `fd` (the far end of the relay target).
pid_t startDrain(int fd)
{
    const pid_t pid = fork();
    if (pid == 0) {
        static char sink[65536];
        for (;;) {
            if (::read(fd, sink, sizeof sink) < 0 && errno != EAGAIN && errno != EINTR)
                _exit(0);
        }
    }
    return pid;
}

void stopChild(pid_t pid)
{
    if (pid <= 0)
        return;
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
}

// The far end of CH1 floods the line for `seconds` while the real window runs, in each display
// speed; with `relay` CH2 is the relay target (ch2Mode 7) and its far end is drained. Reads
// return at once (interval time-out MAXDWORD), as a busy line would be set up. With `pace`
// above 0 the far end sends at that many bytes a second instead of as fast as it can. With
// `bothWays` both far ends send (each at `pace`) and both drain what is relayed to them. With
// `eventsWindow` the line-events window is open throughout (its reading on the GUI thread).
void floodFigures(bool relay, int seconds, long pace = 0, bool bothWays = false, bool eventsWindow = false)
{
    TempDir dir;
    PtyPair far1, far2;
    std::ofstream(dir / "ports.conf") << "COM1=" << far1.slavePath() << "\nCOM2=" << far2.slavePath() << "\n";
    AppCore core(dir.path());
    TDrawApp app(core);
    app.initMainWindow(false);
    app.frame()->resize(1024, 768);
    app.frame()->show();
    TDrawWindow* w = app.frame()->client();
    w->setUp();  // timer 1 with baseClockMs

    // The start-up steps read the (missing) settings files: set the line up afterwards and reopen.
    core.channels().closeChannel(1);
    const CommTimeouts atOnce{MAXDWORD, 0, 0, 10, 1000};
    core.settings().lineParams.ch1Timeouts = atOnce;
    core.settings().lineParams.ch2Timeouts = atOnce;
    if (relay) {
        core.settings().record.ch2Mode = Ch2Mode::MonitorRelay;
        core.settings().record.ch2ComNumber = 2;
    }
    core.applySettings();
    const bool opened = core.channels().openChannel(1, 1) == OpenResult::Opened
                        && (!relay || core.channels().openChannel(2, 2) == OpenResult::Opened);
    if (!opened) {
        std::printf("The channels did not open on the ptys; no flood figures.\n");
        return;
    }
    CountingFeed counting(w->display().fastDisplay());
    core.traffic().setDisplayFeed(&counting);
    EventCounter counter(w, w->viewport(), core.traffic());
    w->installEventFilter(&counter);
    w->viewport()->installEventFilter(&counter);
    runEventLoop(300);  // start-up clear
    if (eventsWindow)
        w->eventCommands().open();
    const char* windowWords = eventsWindow ? ", 回線イベント open" : "";

    std::vector<std::uint8_t> block(4096);
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = (i % 64 == 62) ? '\r' : (i % 64 == 63) ? '\n' : static_cast<std::uint8_t>('A' + i % 26);

    if (pace > 0 && bothWays)
        std::printf("CH1 and CH2 each fed at %ld kB/s through ptys for %d s, relayed both ways at once%s (timer 1 "
                    "every %d ms, %d x %d client):\n",
                    pace / 1000, seconds, windowWords, core.settings().record.baseClockMs, w->viewport()->width(),
                    w->viewport()->height());
    else if (pace > 0)
        std::printf("CH1 fed at %ld kB/s through a pty for %d s%s%s (timer 1 every %d ms, %d x %d client):\n",
                    pace / 1000, seconds, relay ? ", relayed to CH2" : "", windowWords, core.settings().record.baseClockMs,
                    w->viewport()->width(), w->viewport()->height());
    else
        std::printf("CH1 flooded through a pty for %d s%s (timer 1 every %d ms, %d x %d client):\n", seconds,
                    relay ? ", relayed to CH2" : "", core.settings().record.baseClockMs, w->viewport()->width(),
                    w->viewport()->height());
    const pid_t drain = relay ? startDrain(far2.master()) : -1;
    const pid_t drain1 = relay && bothWays ? startDrain(far1.master()) : -1;
    for (int fast : {1, 0}) {
        setSpeed(w, fast);
        runEventLoop(100);
        counter.ticks = 0;
        counter.paints = 0;
        counter.maxLag = 0;
        const std::int64_t before = counting.bytes.load();
        const double cpu0 = processCpuSeconds();
        const double gui0 = threadCpuSeconds();
        const auto start = steady_clock::now();
        const pid_t writer = startWriter(far1.master(), block, pace);
        const pid_t writer2 = relay && bothWays ? startWriter(far2.master(), block, pace) : -1;
        runEventLoop(seconds * 1000);
        const double elapsed = duration<double>(steady_clock::now() - start).count();
        const double cpu = processCpuSeconds() - cpu0;
        const double gui = threadCpuSeconds() - gui0;
        const double mb = static_cast<double>(counting.bytes.load() - before) / 1e6;
        stopChild(writer);
        stopChild(writer2);
        runEventLoop(300);
        std::printf("  %-10s %6.2f MB/s stored  ticks %5.1f/s  paints %5.1f/s  CPU %.4f s/MB (GUI thread %.4f s/MB)",
                    fast ? "fast" : "low speed", mb / elapsed, counter.ticks / elapsed, counter.paints / elapsed,
                    mb > 0 ? cpu / mb : 0.0, mb > 0 ? gui / mb : 0.0);
        if (!fast)
            std::printf("  drawing lag at ticks <= %d bytes", counter.maxLag);
        if (TEventWindow* events = w->eventCommands().window())
            std::printf("  window: %d rows, %llu entries missed", events->model().rowCount(),
                        static_cast<unsigned long long>(events->model().reader().missedEntries()));
        std::printf("\n");
    }
    stopChild(drain);
    stopChild(drain1);
    core.traffic().setDisplayFeed(&w->display().fastDisplay());
    core.channels().closeChannel(2);
    core.channels().closeChannel(1);
}

} // namespace

int main(int argc, char** argv)
{
    const QString config = QDir::temp().filePath(QStringLiteral("kestrane-bench-screen.json"));
    QFile f(config);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(R"({"screens":[{"name":"s","x":0,"y":0,"width":1280,"height":1024,"logicalDpi":96,"logicalBaseDpi":96,"dpr":1}]})");
    f.close();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", QByteArray("offscreen:configfile=") + config.toLocal8Bit());
    QApplication qapp(argc, argv);
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const bool steadyOnly = argc > 2 && std::string(argv[2]) == "steady";
    if (!steadyOnly) {
        repaintFigures();
        floodFigures(false, seconds);
        floodFigures(true, seconds);
    }
    // A 4 Mbaud line (400 kB/s) relayed: the display draws (nearly) every byte in both speeds.
    floodFigures(true, seconds, 400000);
    // Both lines of a 4 Mbaud relay busy at once: the steady load a line monitor meets.
    floodFigures(true, seconds, 400000, true);
    // The same with the line-events window open: its reading must not hold the relay back.
    floodFigures(true, seconds, 400000, false, true);
    floodFigures(true, seconds, 400000, true, true);
    return 0;
}
