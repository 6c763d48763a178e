// Display figures on the offscreen platform (run by hand):
//  - the time of one full repaint of the client area with an empty buffer and with a full
//    36000-byte buffer (top and newest page), in low-speed and in fast display, rendered into
//    an image and through the window's own paint (grab);
//  - how the display keeps up while the far end of a pseudo-terminal floods CH1: bytes per
//    second received and stored, timer ticks and paint events per second, and in low-speed
//    display how far the drawing lags behind the stored bytes.
#include "app/app_core.h"
#include "app/draw_app.h"
#include "app/main_window.h"
#include "support/pty_pair.h"
#include "support/temp_dir.h"
#include "traffic/ui/traffic_view.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
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
            maxLag = std::max(maxLag, traffic_.storedLength.load() - traffic_.drawPosition.load());
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
        if (t.storedLength.load() + size >= t.capacity() - 100)
            break;
        if (n % 3 == 0)
            t.appendSent(1, chunk.data(), size);
        else
            t.appendReceived(1, chunk.data(), size);
    }
}

double msPerRepaint(TrafficView& view, QWidget* viewport, bool fast, int rounds)
{
    QImage image(viewport->size(), QImage::Format_ARGB32_Premultiplied);
    const auto start = steady_clock::now();
    for (int i = 0; i < rounds; ++i) {
        image.fill(Qt::white);
        QPainter p(&image);
        view.render(p, image.rect(), fast);
    }
    return duration<double, std::milli>(steady_clock::now() - start).count() / rounds;
}

double msPerGrab(QWidget* viewport, int rounds)
{
    const auto start = steady_clock::now();
    for (int i = 0; i < rounds; ++i)
        (void)viewport->grab();
    return duration<double, std::milli>(steady_clock::now() - start).count() / rounds;
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

    std::printf("Full repaint of the client area (%d x %d, %d characters per line), ms per repaint:\n", vp->width(),
                vp->height(), view.lowSpeed().charsPerLine());
    const double emptyLow = msPerRepaint(view, vp, false, kRounds);
    const double emptyGrab = msPerGrab(vp, kRounds);
    fillBuffer(core.traffic());
    view.timerTick(false);
    const std::int32_t stored = core.traffic().storedLength.load();
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

void floodFigures()
{
    TempDir dir;
    PtyPair far;
    std::ofstream(dir / "ports.conf") << "COM1=" << far.slavePath() << "\n";
    AppCore core(dir.path());
    TDrawApp app(core);
    app.initMainWindow(false);
    app.frame()->resize(1024, 768);
    app.frame()->show();
    TDrawWindow* w = app.frame()->client();
    w->setUp();  // timer 1 with baseClockMs
    if (!core.channels().running(1)) {
        std::printf("CH1 did not open on the pty; no flood figures.\n");
        return;
    }
    CountingFeed counting(w->display().fastDisplay());
    core.traffic().setDisplayFeed(&counting);
    EventCounter counter(w, w->viewport(), core.traffic());
    w->installEventFilter(&counter);
    w->viewport()->installEventFilter(&counter);
    runEventLoop(300);  // start-up clear

    std::vector<std::uint8_t> block(4096);
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = (i % 64 == 62) ? '\r' : (i % 64 == 63) ? '\n' : static_cast<std::uint8_t>('A' + i % 26);

    std::printf("CH1 flooded through a pty for 3 s (timer 1 every %d ms):\n", core.settings().record.baseClockMs);
    for (int fast : {1, 0}) {
        setSpeed(w, fast);
        runEventLoop(100);
        counter.ticks = 0;
        counter.paints = 0;
        counter.maxLag = 0;
        const std::int64_t before = counting.bytes.load();
        std::atomic<bool> stop{false};
        std::atomic<std::int64_t> written{0};
        std::thread writer([&] {
            while (!stop.load()) {
                const ssize_t n = ::write(far.master(), block.data(), block.size());
                if (n > 0)
                    written.fetch_add(n);
            }
        });
        const auto start = steady_clock::now();
        runEventLoop(3000);
        const double seconds = duration<double>(steady_clock::now() - start).count();
        const std::int64_t received = counting.bytes.load() - before;
        stop.store(true);
        writer.join();
        runEventLoop(300);
        std::printf("  %-10s written %9.0f B/s  received and stored %9.0f B/s  ticks %5.1f/s  paints %5.1f/s",
                    fast ? "fast" : "low speed", static_cast<double>(written.load()) / seconds,
                    static_cast<double>(received) / seconds, counter.ticks / seconds, counter.paints / seconds);
        if (!fast)
            std::printf("  drawing lag at ticks <= %d bytes", counter.maxLag);
        std::printf("\n");
    }
    core.traffic().setDisplayFeed(&w->display().fastDisplay());
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
    repaintFigures();
    floodFigures();
    return 0;
}
