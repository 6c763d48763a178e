// The traffic display in the main window on the offscreen platform: the font and bitmaps, code
// page 932 text, what a grab of the window shows for known traffic, the speed switch (F5 and
// command 37832), scrolling, the fast display fed from another thread, and the character
// inspection under the mouse.
#include "app/app_core.h"
#include "app/command_ids.h"
#include "app/ui/draw_app.h"
#include "app/ui/main_window.h"
#include "app/startup_sequence.h"
#include "app/ui/view_log_commands.h"
#include "traffic/ui/print_display.h"
#include "support/temp_dir.h"
#include "traffic/display_zoom.h"
#include "traffic/ui/display_resources.h"
#include "traffic/ui/op_painter.h"
#include "traffic/ui/repaint_relay.h"
#include "traffic/ui/traffic_view.h"

#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QElapsedTimer>
#include <QPaintEvent>
#include <QPrinter>
#include <QProcess>
#include <QScreen>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <thread>

namespace kestrane {
namespace {

using test::TempDir;

const std::uint8_t* bytes(const char* s) { return reinterpret_cast<const std::uint8_t*>(s); }

// ---------------------------------------------------------------- resources

TEST(DisplayResources, FontIsTheInstalledGothicAtTenPixels)
{
    DisplayResources r;
    const QFontInfo info(r.font());
    EXPECT_EQ(info.family().toStdString(), "IPAGothic");
    EXPECT_EQ(info.pixelSize(), 10);
}

TEST(DisplayResources, EveryBitmapOfTheTableLoadsWithItsSize)
{
    DisplayResources r;
    r.loadBitmaps();
    for (int id : DisplayResources::bitmapIds()) {
        const QPixmap& p = r.bitmap(id);
        ASSERT_FALSE(p.isNull()) << id;
        EXPECT_EQ(p.width(), glyph::sizeOf(id).width) << id;
        EXPECT_EQ(p.height(), glyph::sizeOf(id).height) << id;
    }
    EXPECT_TRUE(r.bitmap(7777).isNull());
}

TEST(Cp932Text, DecodesSingleBytesPairsAndHalfWidthKana)
{
    const Cp932Text t;
    ASSERT_TRUE(t.valid());
    EXPECT_EQ(t.decode(bytes("A\\~"), 3), QStringLiteral("A\\~"));
    EXPECT_EQ(t.decode(bytes("\x82\xA0\x83\x4C"), 4), QStringLiteral("あキ"));
    EXPECT_EQ(t.decode(bytes("\xB1\xDF"), 2), QStringLiteral("ｱﾟ"));
    EXPECT_EQ(t.decode(bytes("\x88\x9F"), 2), QStringLiteral("亜"));
    // A lead byte without its trail byte stands alone, shown as a byte that cannot be shown; it
    // never swallows a following unit.
    EXPECT_EQ(t.decode(bytes("x\x82"), 2), QStringLiteral("x") + t.single(0x80).toString());
    EXPECT_FALSE(t.single(0x82).isEmpty());
    EXPECT_EQ(t.decode(bytes("\x82\x20z"), 3).back(), QChar(u'z'));
}

TEST(Cp932Text, MeasuredWidthsFollowTheFont)
{
    DisplayResources r;
    const QFontMetrics m(r.font());
    const TextMeasurer& w = r.measurer();
    EXPECT_EQ(w.textWidth(bytes("A"), 1), m.horizontalAdvance(QStringLiteral("A")));
    EXPECT_EQ(w.textWidth(bytes("\x82\xA0"), 2), m.horizontalAdvance(QStringLiteral("あ")));
    EXPECT_EQ(w.textWidth(bytes("ABC\x82\xA0"), 5), m.horizontalAdvance(QStringLiteral("ABCあ")));
    // A lead byte alone keeps a cell as wide as any byte that cannot be shown.
    EXPECT_EQ(w.textWidth(bytes("A\xE3"), 2), w.textWidth(bytes("A\x80"), 2));
    EXPECT_GT(w.textWidth(bytes("\xE3"), 1), 0);
    // IPAGothic: a full-width character is exactly two half-width ones.
    EXPECT_EQ(w.textWidth(bytes("\x82\xA0"), 2), 2 * w.textWidth(bytes("\xB1"), 1));
    // The measurer is a table: other threads get the same answers.
    int fromThread = 0;
    std::thread([&] { fromThread = w.textWidth(bytes("Hello\x82\xA0"), 7); }).join();
    EXPECT_EQ(fromThread, w.textWidth(bytes("Hello\x82\xA0"), 7));
}

// ---------------------------------------------------------------- the window

bool isDark(QRgb p) { return qGray(p) < 110 && qRed(p) < 140; }
bool isRed(QRgb p) { return qRed(p) > 150 && qGreen(p) < 130 && qBlue(p) < 130; }
bool isWhite(QRgb p) { return qRed(p) > 245 && qGreen(p) > 245 && qBlue(p) > 245; }

int count(const QImage& img, const QRect& r, bool (*test)(QRgb))
{
    int n = 0;
    const QRect area = r.intersected(img.rect());
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += test(img.pixel(x, y)) ? 1 : 0;
    return n;
}

// Whether `img` shows `part` of `bitmap` unchanged at `at`.
bool showsBitmap(const QImage& img, QPoint at, const QPixmap& bitmap, QSize part = {})
{
    const QImage b = bitmap.toImage().convertToFormat(QImage::Format_RGB32);
    if (b.isNull())
        return false;
    const QSize size = part.isValid() ? part : b.size();
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            if (img.pixel(at.x() + x, at.y() + y) != b.pixel(x, y))
                return false;
    return true;
}

TEST(DisplayResources, TextFromTheGlyphTableLooksLikeLaidOutText)
{
    DisplayResources r;
    // ASCII, a full-width pair, half-width kana, a broken pair and a lone lead byte at the end.
    const char* text = "Hello \x82\xA0\x88\x9F\xB1\xDF~\x82\x20z\x82";
    const int length = static_cast<int>(std::strlen(text));

    auto paint = [&](bool glyphTable) {
        QImage img(200, 20, QImage::Format_RGB32);
        img.fill(Qt::white);
        QPainter p(&img);
        p.setFont(r.font());
        p.setPen(QColor(255, 0, 0));
        if (glyphTable) {
            OpPainter ops(p, r);
            DrawOp op;
            op.type = DrawOp::Type::Text;
            op.text = bytes(text);
            op.length = length;
            op.ink = Ink::Red;
            op.x = 3;
            op.y = 2;
            ops.draw(op);
        } else {
            p.drawText(3, 2 + r.ascent(), r.text().decode(bytes(text), length));
        }
        return img;
    };
    const QImage fromTable = paint(true);
    const QImage laidOut = paint(false);
    EXPECT_GT(count(fromTable, fromTable.rect(), isRed), 60);
    EXPECT_EQ(fromTable, laidOut);
}

// Records the areas of the paint events a widget receives.
class PaintRecorder final : public QObject {
public:
    std::vector<QRect> rects;
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            rects.push_back(static_cast<QPaintEvent*>(e)->rect());
        return false;
    }
};

struct DisplayWindow : ::testing::Test {
    TempDir dir;
    AppCore core{dir.path(), [](int, OpenError&) { return std::unique_ptr<SerialPort>(); }};
    TDrawApp app{core};
    TDrawWindow* window = nullptr;

    void SetUp() override
    {
        app.initMainWindow(false);
        app.frame()->show();
        window = app.frame()->client();
        // No timer: the tests run the ticks themselves.
        QCoreApplication::processEvents();
    }

    TrafficBuffer& traffic() { return core.traffic(); }
    TrafficView& view() { return window->display(); }
    QWidget* viewport() { return window->viewport(); }

    // Makes the client area `width` pixels wide.
    void setClientWidth(int width)
    {
        for (int i = 0; i < 3 && viewport()->width() != width; ++i) {
            app.frame()->resize(app.frame()->width() + width - viewport()->width(), app.frame()->height());
            QCoreApplication::processEvents();
        }
        ASSERT_EQ(viewport()->width(), width);
    }
    void lowSpeed()
    {
        if (core.fastDisplay() == 1)
            window->toggleSpeed();
    }
    TickResult tick() { return view().timerTick(core.fastDisplay() == 1); }
    QImage grab() { return viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32); }
    void save(const QImage& img, const char* name)
    {
        const QByteArray folder = qgetenv("KESTRANE_DISPLAY_GRABS");
        if (!folder.isEmpty())
            img.save(QString::fromLocal8Bit(folder) + QLatin1Char('/') + QLatin1String(name));
    }
};

TEST_F(DisplayWindow, StartsInFastDisplayAndItsFirstTickClearsTheBuffer)
{
    EXPECT_EQ(core.fastDisplay(), 1);
    traffic().appendReceived(1, bytes("early"), 5);
    EXPECT_TRUE(tick().cleared);
    EXPECT_EQ(traffic().storedLength(), 0);
    EXPECT_FALSE(traffic().unsavedData());
}

TEST_F(DisplayWindow, GrabShowsKnownTrafficInItsRowsColoursAndGlyphs)
{
    core.settings().record.ch2Mode = Ch2Mode::Independent;
    core.applySettings();
    setClientWidth(441);
    lowSpeed();
    tick();  // start-up clear
    traffic().appendReceived(1, bytes("A\r"), 2);   // cells 0, 1: lower row, black
    traffic().appendSent(2, bytes("Z"), 1);         // cell 2: upper row, red
    traffic().appendReceived(2, bytes("\x82\xA0"), 2);  // cells 3, 4: one red character, lower row
    tick();
    EXPECT_EQ(traffic().drawPosition(), 5);
    EXPECT_EQ(traffic().charsPerLine(), 40);

    const QImage img = grab();
    save(img, "known-traffic.png");
    DisplayResources& r = view().resources();
    EXPECT_TRUE(showsBitmap(img, {50, 17}, r.bitmap(glyph::control(13, Ink::Black))));
    EXPECT_GT(count(img, {40, 17, 10, 13}, isDark), 3);        // "A"
    EXPECT_EQ(count(img, {40, 17, 10, 13}, isRed), 0);
    EXPECT_GT(count(img, {60, 3, 10, 13}, isRed), 3);          // "Z"
    EXPECT_EQ(count(img, {60, 17, 10, 13}, isRed), 0);
    EXPECT_GT(count(img, {70, 17, 12, 13}, isRed), 10);        // "あ"
    EXPECT_EQ(count(img, {90, 0, 300, 16}, isWhite), 300 * 16);  // nothing after it
    EXPECT_EQ(count(img, {90, 17, 300, 16}, isWhite), 300 * 16);
    // Labels "SEND"/"READ" and the separators of every line in view.
    EXPECT_GT(count(img, {0, 3, 40, 12}, isDark), 10);
    EXPECT_GT(count(img, {0, 17, 40, 12}, isDark), 10);
    for (int line = 0; line < viewport()->height() / 34; ++line)
        EXPECT_EQ(count(img, {0, line * 34 + 16, viewport()->width(), 1}, isDark), viewport()->width()) << line;
}

TEST_F(DisplayWindow, LineMonitorLabelsDifferFromTheTerminalLabels)
{
    lowSpeed();
    tick();
    const QImage terminal = grab();
    core.settings().record.ch2Mode = Ch2Mode::MonitorRelay;
    viewport()->update();
    const QImage monitor = grab();
    EXPECT_NE(terminal.copy(0, 0, 40, 34), monitor.copy(0, 0, 40, 34));
    EXPECT_EQ(terminal.copy(40, 0, 300, 300), monitor.copy(40, 0, 300, 300));
}

TEST_F(DisplayWindow, FortyFirstByteWrapsToTheNextLineIn441Pixels)
{
    setClientWidth(441);
    lowSpeed();
    tick();
    traffic().appendReceived(1, bytes("0123456789012345678901234567890123456789W"), 41);
    tick();
    const QImage img = grab();
    EXPECT_GT(count(img, {430, 17, 10, 13}, isDark), 3);  // the 40th byte, last cell of line 0
    EXPECT_EQ(count(img, {440, 0, img.width() - 440, 34}, isDark) -
                  count(img, {440, 16, img.width() - 440, 1}, isDark),
              0);                                          // nothing right of the last cell
    EXPECT_GT(count(img, {40, 34 + 17, 10, 13}, isDark), 3);  // the 41st at x 40 of line 1
}

TEST_F(DisplayWindow, HexModeShowsTheDigitBitmaps)
{
    core.settings().record.displayMode = 1;
    core.settings().record.ch2Mode = Ch2Mode::Independent;
    core.applySettings();
    lowSpeed();
    tick();
    traffic().appendReceived(1, bytes("J"), 1);
    traffic().appendSent(2, bytes("J"), 1);
    tick();
    const QImage img = grab();
    DisplayResources& r = view().resources();
    EXPECT_TRUE(showsBitmap(img, {40, 18}, r.bitmap(glyph::hexDigit(4, Ink::Black))));
    EXPECT_TRUE(showsBitmap(img, {45, 18}, r.bitmap(glyph::hexDigit(0xA, Ink::Black))));
    EXPECT_TRUE(showsBitmap(img, {50, 7}, r.bitmap(glyph::hexDigit(4, Ink::Red))));
    EXPECT_TRUE(showsBitmap(img, {55, 7}, r.bitmap(glyph::hexDigit(0xA, Ink::Red))));
}

TEST_F(DisplayWindow, AutoScrollBringsTheNewestLineIntoView)
{
    setClientWidth(441);
    lowSpeed();
    tick();
    const std::string lines(40 * 30, 'm');
    traffic().appendReceived(1, bytes(lines.c_str()), static_cast<std::int32_t>(lines.size()));
    tick();
    EXPECT_EQ(window->verticalScrollBar()->value(), 29 - 8);
    const QImage img = grab();
    // Line 29 is drawn eight lines below the top.
    EXPECT_GT(count(img, {40, 8 * 34 + 17, 10, 13}, isDark), 3);
    EXPECT_EQ(count(img, {40, 9 * 34 + 17, 10, 13}, isDark), 0);
    // The scroll range covers all display lines of the buffer.
    EXPECT_EQ(window->verticalScrollBar()->maximum(), 900 - viewport()->height() / 34);
}

// The repaint puts the drawing cursor after the last stored byte in today's layout, and the
// commands that show the newest line go by it.
TEST_F(DisplayWindow, AfterAResizeTheLastLineCommandShowsTheNewestLine)
{
    setClientWidth(441);
    lowSpeed();
    tick();
    const std::string lines(40 * 30, 'm');
    traffic().appendReceived(1, bytes(lines.c_str()), static_cast<std::int32_t>(lines.size()));
    tick();
    ASSERT_EQ(window->verticalScrollBar()->value(), 29 - 8);

    setClientWidth(241);  // 20 characters per line: the same bytes take 60 lines
    window->commands().dispatch(cmd::LastLine);
    EXPECT_EQ(window->verticalScrollBar()->value(), 59 - 8);
    const QImage img = grab();
    EXPECT_GT(count(img, {40 + 19 * 10, 8 * 34 + 17, 10, 13}, isDark), 3);  // the newest line, eight down
    EXPECT_EQ(count(img, {40, 9 * 34 + 17, 10, 13}, isDark), 0);             // nothing below it

    // Auto-scroll of the next traffic goes by the same layout.
    traffic().appendReceived(1, bytes("n"), 1);
    tick();
    EXPECT_EQ(window->verticalScrollBar()->value(), 60 - 8);
}

TEST_F(DisplayWindow, OpenWithAutoScrollShowsTheNewestLineOfTheLoadedLog)
{
    setClientWidth(441);
    lowSpeed();
    tick();
    const std::string lines(40 * 30, 'q');
    traffic().appendReceived(1, bytes(lines.c_str()), static_cast<std::int32_t>(lines.size()));
    ASSERT_TRUE(traffic().saveToLog(dir / "thirty.log"));
    traffic().clearTraffic();
    window->display().scrollToLine(0);
    core.settings().record.autoScroll = 1;
    window->viewCommands().logCommands().chooseOpenFile = [&](const std::filesystem::path&) {
        return std::optional<std::filesystem::path>(dir / "thirty.log");
    };

    window->commands().dispatch(cmd::OpenLog);
    EXPECT_EQ(traffic().storedLength(), 1200);
    EXPECT_EQ(traffic().drawY(), 29 * 34);
    EXPECT_EQ(window->verticalScrollBar()->value(), 29 - 8);
    const QImage img = grab();
    EXPECT_GT(count(img, {40 + 39 * 10, 8 * 34 + 17, 10, 13}, isDark), 3);  // line 29 eight lines down

    // The loaded bytes count as drawn: the timer does not draw them again or mark them unsaved.
    EXPECT_EQ(traffic().drawPosition(), 1200);
    EXPECT_EQ(tick().drawnBytes, 0);
    EXPECT_FALSE(traffic().unsavedData());
}

TEST_F(DisplayWindow, ASearchHitInTheLastScreenfulIsFramedOnItsRow)
{
    setClientWidth(441);  // 40 characters a line, 900 lines
    lowSpeed();
    tick();
    // 'a' everywhere, the needle on line 897, in the last screenful of the buffer.
    std::string all(35890, 'a');
    all.replace(897 * 40 + 2, 6, "NEEDLE");
    for (std::size_t at = 0; at < all.size(); at += 500)
        traffic().appendReceived(1, bytes(all.c_str() + at), static_cast<std::int32_t>(std::min<std::size_t>(500, all.size() - at)));
    tick();
    ASSERT_EQ(traffic().drawPosition(), 35890);
    const QByteArray needle("NEEDLE");
    ASSERT_TRUE(startSearch(window->viewCommands().searchState(),
                            BytesView(reinterpret_cast<const std::uint8_t*>(needle.data()), 6), SearchKind::Ascii,
                            traffic().currentDataPlane(), traffic().drawPosition()));

    window->setUp();  // timer 1 frames the hit
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->viewCommands().searchState().searchPhase == 1; }, 10000));
    const int top = window->verticalScrollBar()->value();
    ASSERT_EQ(top, window->verticalScrollBar()->maximum());  // scrolled as far as it goes
    ASSERT_LT(top, 897 - 8);
    const QImage img = grab();
    save(img, "search-last-screenful.png");
    const int row = (897 - top) * 34;
    // The red frame around the needle's six cells, on the needle's row.
    EXPECT_GT(count(img, {40 + 2 * 10, row, 60, 1}, isRed), 50);
    EXPECT_GT(count(img, {40 + 2 * 10, row + 34, 60, 1}, isRed), 50);
    // Nothing red on the row eight lines down, where an unclamped top would have put it.
    EXPECT_EQ(count(img, {0, 8 * 34 + 1, viewport()->width(), 32}, isRed), 0);
}

TEST_F(DisplayWindow, F5SwitchesTheSpeedAndTheStatusText)
{
    tick();
    ASSERT_EQ(core.fastDisplay(), 1);
    // Fast display: appends leave the low-speed drawing alone...
    traffic().appendReceived(1, bytes("abc"), 3);
    EXPECT_EQ(traffic().pendingDrawTicks(), 0);
    window->setFocus();
    QTest::keyClick(window, Qt::Key_F5);
    EXPECT_EQ(core.fastDisplay(), 0);
    EXPECT_TRUE(app.frame()->statusText().contains(QStringLiteral("| 低速表示")));
    // ...and going to low speed draws them at once.
    EXPECT_EQ(traffic().drawPosition(), 3);
    QTest::keyClick(window, Qt::Key_F5);
    EXPECT_EQ(core.fastDisplay(), 1);
    EXPECT_TRUE(app.frame()->statusText().contains(QStringLiteral("| 高速表示")));
    EXPECT_EQ(window->verticalScrollBar()->value(), 0);

    // F5 works in any display mode.
    core.settings().record.displayMode = 1;
    QTest::keyClick(window, Qt::Key_F5);
    EXPECT_EQ(core.fastDisplay(), 0);
}

TEST_F(DisplayWindow, SpeedCommandIsEnabledOnlyInAscMode)
{
    CommandTable& commands = window->commands();
    EXPECT_TRUE(commands.isEnabled(cmd::ToggleSpeed));
    for (int mode : {1, 2}) {
        core.settings().record.displayMode = mode;
        EXPECT_FALSE(commands.isEnabled(cmd::ToggleSpeed)) << mode;
    }
    core.settings().record.displayMode = 0;
    const int before = core.fastDisplay();
    commands.dispatch(cmd::ToggleSpeed);
    EXPECT_EQ(core.fastDisplay(), 1 - before);
}

TEST_F(DisplayWindow, FastDisplayDrawsTrafficFedFromAReceiveThread)
{
    ASSERT_EQ(core.fastDisplay(), 1);
    tick();
    PaintRecorder painted;
    viewport()->installEventFilter(&painted);
    QCoreApplication::processEvents();
    painted.rects.clear();
    std::thread([&] { traffic().appendReceived(1, bytes("Hello"), 5); }).join();
    // The feed only posted a repaint of its line; the GUI thread paints it (within a frame).
    ASSERT_TRUE(QTest::qWaitFor([&] { return !painted.rects.empty(); }, 5000));
    EXPECT_TRUE(painted.rects.front().contains(QRect(0, 0, viewport()->width(), 34)));
    EXPECT_LT(painted.rects.front().bottom(), 34 * 2);
    viewport()->removeEventFilter(&painted);
    const QImage img = grab();
    save(img, "fast-display.png");
    DisplayResources& r = view().resources();
    const int width = r.measurer().textWidth(bytes("Hello"), 5);
    EXPECT_GT(count(img, {40, 17, width, 13}, isDark), 10);
    EXPECT_TRUE(showsBitmap(img, {40 + width, 3}, r.bitmap(glyph::kEndMarker), {28, 13}));
    EXPECT_TRUE(showsBitmap(img, {40 + width, 17}, r.bitmap(glyph::kEndMarker), {28, 13}));

    // The clear command's part empties the page.
    view().clearScreenCellMap();
    const QImage cleared = grab();
    EXPECT_EQ(count(cleared, {40, 17, width + 30, 13}, isDark), 0);
}

TEST(RepaintRelay, ManyRequestsFlushOncePerFrameAndTheLastIsNeverLost)
{
    constexpr int kFrameMs = 40;
    QElapsedTimer clock;
    clock.start();
    std::vector<qint64> flushedAt;
    QObject parent;
    RepaintRelay relay([&] { flushedAt.push_back(clock.elapsed()); }, &parent);
    EXPECT_EQ(relay.frameMs(), RepaintRelay::kDefaultFrameMs);
    relay.setFrameMs(kFrameMs);  // what the view does when painting the page gets expensive

    // A feeding thread asks for a repaint about every millisecond for a while.
    std::atomic<bool> done{false};
    std::atomic<qint64> lastPost{0};
    std::thread feeder([&] {
        for (int i = 0; i < 300; ++i) {
            relay.post();
            lastPost.store(clock.elapsed());
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        done.store(true);
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return done.load(); }, 60000));
    feeder.join();
    const qint64 elapsed = clock.elapsed();
    // The request of the last post is flushed once its frame is over.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !flushedAt.empty() && flushedAt.back() >= lastPost.load(); }, 5000));
    QTest::qWait(3 * kFrameMs);

    // One flush a frame at most (a generous bound: the count only drops on a loaded machine).
    EXPECT_LE(static_cast<qint64>(flushedAt.size()), elapsed / kFrameMs + 3);
    for (std::size_t i = 1; i < flushedAt.size(); ++i)
        EXPECT_GE(flushedAt[i] - flushedAt[i - 1], kFrameMs - 2) << i;
    EXPECT_EQ(relay.flushes(), static_cast<long long>(flushedAt.size()));
}

TEST_F(DisplayWindow, AFloodOfChunksRepaintsTheFastPageOncePerFrame)
{
    ASSERT_EQ(core.fastDisplay(), 1);
    tick();
    PaintRecorder painted;
    viewport()->installEventFilter(&painted);
    QCoreApplication::processEvents();
    painted.rects.clear();

    QElapsedTimer clock;
    clock.start();
    std::atomic<bool> done{false};
    std::thread feeder([&] {
        // For half a second a chunk every 0.2 ms: faster than any screen shows.
        while (clock.elapsed() < 500) {
            traffic().appendReceived(1, bytes("chunk of text\r\n"), 15);
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        done.store(true);
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return done.load(); }, 60000));
    feeder.join();
    const qint64 elapsed = clock.elapsed();
    // The last flush comes at the end of its frame, which a slow paint stretches (sanitizer builds).
    auto* relay = viewport()->findChild<RepaintRelay*>();
    ASSERT_NE(relay, nullptr);
    QTest::qWait(20);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !relay->pending(); }, 5000));
    QTest::qWait(50);
    viewport()->removeEventFilter(&painted);

    // Each chunk used to cost a repaint of its own; now a frame of 16 ms takes them together.
    ASSERT_FALSE(painted.rects.empty());
    EXPECT_LE(static_cast<qint64>(painted.rects.size()), elapsed / RepaintRelay::kDefaultFrameMs + 5);

    // What the window shows at the end is the final page: the last chunk was not lost.
    QScreen* screen = window->screen();
    const QPoint at = viewport()->mapTo(app.frame(), QPoint(0, 0));
    const QImage shown = screen->grabWindow(app.frame()->winId(), at.x(), at.y(), viewport()->width(),
                                            viewport()->height())
                             .toImage()
                             .convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(shown, grab());
}

TEST_F(DisplayWindow, FastPageDoesNotMoveWithTheScrollBar)
{
    tick();
    traffic().appendReceived(1, bytes("page"), 4);
    QCoreApplication::processEvents();
    const QImage before = grab();
    window->verticalScrollBar()->setValue(5);
    const QImage after = grab();
    EXPECT_EQ(before, after);
}

TEST_F(DisplayWindow, LeftClickShowsTheCharacterUntilTheButtonIsReleased)
{
    lowSpeed();
    tick();
    traffic().appendReceived(1, bytes("AB"), 2);
    tick();
    QTest::mousePress(viewport(), Qt::LeftButton, {}, QPoint(55, 40));
    EXPECT_FALSE(view().inspection().has_value());  // line 1: beyond the drawn bytes
    QTest::mouseRelease(viewport(), Qt::LeftButton, {}, QPoint(55, 40));

    const QImage before = grab();
    QTest::mousePress(viewport(), Qt::LeftButton, {}, QPoint(55, 30));
    ASSERT_TRUE(view().inspection().has_value());
    EXPECT_EQ(view().inspection()->text, "(0x42)");
    const QImage shown = grab();
    save(shown, "inspection.png");
    const QRect textArea(33, 12, 40, 12);  // "(0x42)" at (x - 22, y - 18)
    EXPECT_NE(shown.copy(textArea), before.copy(textArea));
    EXPECT_EQ(shown.copy(0, 40, shown.width(), 100), before.copy(0, 40, before.width(), 100));
    QTest::mouseRelease(viewport(), Qt::LeftButton, {}, QPoint(55, 30));
    EXPECT_FALSE(view().inspection().has_value());
    EXPECT_EQ(grab(), before);

    // Left of the first cell nothing is read and nothing is shown.
    for (int x : {0, 5, 30, 39}) {
        QTest::mouseClick(viewport(), Qt::LeftButton, {}, QPoint(x, 20));
        EXPECT_FALSE(view().inspection().has_value()) << x;
    }
}

// ---------------------------------------------------------------- printing

// The text a printed page holds (characters are drawn as text, single bytes as pictures).
std::string printedText(const std::filesystem::path& pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QString::fromStdString(pdf.string()), QStringLiteral("-")});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return "(pdftotext failed)";
    return p.readAllStandardOutput().toStdString();
}

TEST_F(DisplayWindow, PrintingDrawsALeadByteBeforeAnotherLinesByteAloneInBothSpeeds)
{
    const auto print = [this](const char* name) {
        const auto pdf = dir / name;
        window->viewCommands().printing().runPrintDialog = [pdf](QPrinter& printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(QString::fromStdString(pdf.string()));
            return true;
        };
        window->commands().dispatch(cmd::Print);
        return printedText(pdf);
    };
    const auto feed = [this] {
        // CH1 receives a chunk ending in a lead byte, then CH1 sends a byte that would complete
        // it, then receives 亜.
        traffic().appendReceived(1, bytes("x\x82"), 2);
        traffic().appendSent(1, bytes("\xA0"), 1);
        traffic().appendReceived(1, bytes("\x88\x9F"), 2);
    };
    tick();  // fast display, its first tick clears
    feed();
    QCoreApplication::processEvents();
    const std::string fast = print("fast.pdf");
    lowSpeed();
    traffic().clearTraffic();
    tick();
    feed();
    tick();
    const std::string low = print("low.pdf");
    for (const auto& [speed, text] : {std::pair{"fast", fast}, {"low speed", low}}) {
        EXPECT_NE(text.find("亜"), std::string::npos) << speed << ": " << text;
        EXPECT_EQ(text.find("あ"), std::string::npos) << speed << ": the lead byte paired with the other line's byte";
    }
}

// ---------------------------------------------------------------- magnification

// The bounding box of the pixels that pass `test` inside `r`.
QRect inkBox(const QImage& img, const QRect& r, bool (*test)(QRgb))
{
    QRect box;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (test(img.pixel(x, y)))
                box = box.united(QRect(x, y, 1, 1));
    return box;
}

bool near(const QRect& a, const QRect& b, int slack)
{
    return std::abs(a.left() - b.left()) <= slack && std::abs(a.top() - b.top()) <= slack &&
           std::abs(a.right() - b.right()) <= slack && std::abs(a.bottom() - b.bottom()) <= slack;
}

TEST_F(DisplayWindow, AtTwoHundredPercentEveryPositionIsDoubledAndInspectionPicksTheSameByte)
{
    lowSpeed();
    tick();
    traffic().appendReceived(1, bytes("A\rZ"), 3);
    tick();

    // 100 %: 441 pixels, 40 characters a line.
    setClientWidth(441);
    const QImage one = grab();
    // 200 %: twice the pixels hold the same 441 display units.
    window->commands().dispatch(cmd::Zoom200);
    EXPECT_EQ(view().zoom(), 200);
    setClientWidth(882);
    EXPECT_EQ(view().displayWidth(), 441);
    EXPECT_EQ(traffic().charsPerLine(), 40);
    const QImage two = grab();
    save(two, "zoom-200.png");

    // The CR glyph at (50, 17) is the same picture, each pixel a 2 x 2 block, at (100, 34).
    const QImage glyph = view().resources().bitmap(glyph::control(13, Ink::Black)).toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(two.copy(100, 34, 20, 32), glyph.scaled(20, 32, Qt::IgnoreAspectRatio, Qt::FastTransformation));
    // Text, labels and separators where the 100 % ones are, doubled (text within a pixel).
    for (const QRect cell : {QRect(40, 17, 10, 14), QRect(60, 17, 10, 14), QRect(0, 3, 40, 13), QRect(0, 17, 40, 13)}) {
        const QRect small = inkBox(one, cell, isDark);
        const QRect big = inkBox(two, QRect(cell.topLeft() * 2, cell.size() * 2), isDark);
        ASSERT_FALSE(small.isEmpty());
        EXPECT_TRUE(near(big, QRect(small.topLeft() * 2, small.size() * 2), 2))
            << cell.x() << ": " << big.x() << "," << big.y() << " " << big.width() << "x" << big.height();
    }
    for (int line = 0; line < 3; ++line)  // the separators: two pixel rows at twice the height
        EXPECT_EQ(count(two, {0, line * 68 + 32, 882, 2}, isDark), 2 * 882) << line;

    // The click on "Z" (cell 2 of line 0) picks it at either magnification.
    QTest::mousePress(viewport(), Qt::LeftButton, {}, QPoint(2 * 65, 2 * 25));
    ASSERT_TRUE(view().inspection().has_value());
    EXPECT_EQ(view().inspection()->text, "(0x5a)");
    QTest::mouseRelease(viewport(), Qt::LeftButton, {}, QPoint(2 * 65, 2 * 25));
    EXPECT_EQ(grab(), two);  // the text is gone again, at its magnified place too

    // A page of the scroll bar is the lines that fit magnified; the choice is kept for the next start.
    EXPECT_EQ(window->verticalScrollBar()->pageStep(), viewport()->height() / 68);
    EXPECT_EQ(loadZoom(dir.path()), 200);
    window->commands().dispatch(cmd::Zoom150);
    EXPECT_EQ(loadZoom(dir.path()), 150);
    EXPECT_TRUE(window->commands().checked(cmd::Zoom150).value_or(false));
    EXPECT_FALSE(window->commands().checked(cmd::Zoom200).value_or(true));
}

// Scrolling moves what is on the screen by whole magnified lines: after each scroll the window
// shows exactly what a full repaint at that position draws.
TEST_F(DisplayWindow, AtTwoHundredPercentAScrolledViewIsWhatAFullRepaintDrawsThere)
{
    lowSpeed();
    tick();
    window->commands().dispatch(cmd::Zoom200);
    setClientWidth(882);
    // Sixty lines of forty bytes, each line its own letter: a line drawn at a wrong height shows.
    std::string lines;
    for (int line = 0; line < 60; ++line)
        lines += std::string(40, static_cast<char>('A' + line % 26));
    traffic().appendReceived(1, bytes(lines.c_str()), static_cast<std::int32_t>(lines.size()));
    tick();
    QScrollBar* bar = window->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 10);
    bar->setValue(0);
    QCoreApplication::processEvents();
    // What the screen holds (the backing store), not a fresh rendering of the widget.
    const auto shown = [this] {
        QCoreApplication::processEvents();
        const QPoint at = viewport()->mapTo(app.frame(), QPoint(0, 0));
        return window->screen()
            ->grabWindow(app.frame()->winId(), at.x(), at.y(), viewport()->width(), viewport()->height())
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    };
    for (const int step : {1, 3, -2, 2}) {
        bar->setValue(bar->value() + step);
        const QImage scrolled = shown();
        viewport()->update();
        EXPECT_EQ(scrolled, shown()) << "after a scroll by " << step << " to line " << bar->value();
    }
}

TEST(DisplayZoom, TheFileKeepsOneOfTheStepsAndAnythingElseIsOneHundred)
{
    TempDir dir;
    EXPECT_EQ(loadZoom(dir.path()), 100);
    for (const auto& [text, zoom] : {std::pair{"zoom=150\n", 150}, {"# ours\r\nzoom=200\r\n", 200}, {"zoom=175\n", 100},
                                     {"zoom=\n", 100}, {"zoom=2000\n", 100}, {"zoom=15O\n", 100}}) {
        std::ofstream(dir / kDisplayConfFile) << text;
        EXPECT_EQ(loadZoom(dir.path()), zoom) << text;
    }
    EXPECT_TRUE(saveZoom(dir.path(), 150));
    EXPECT_EQ(loadZoom(dir.path()), 150);
    EXPECT_EQ(zoomStep(100, 1), 150);
    EXPECT_EQ(zoomStep(200, 1), 200);
    EXPECT_EQ(zoomStep(100, -1), 100);
}

// The start-up steps without a splash.
struct QuietStartup final : StartupView {
    void setGauge(int) override {}
    void setText(const QString&) override {}
    void pause(int) override {}
};

TEST(DisplayNarrowWindow, ClientTwentyPixelsWideKeepsDrawingInBothSpeeds)
{
    TempDir dir;
    AppCore core(dir.path(), [](int, OpenError&) { return std::unique_ptr<SerialPort>(); });
    QuietStartup startup;
    TDrawWindow window(core, startup);
    window.resize(20 + window.verticalScrollBar()->sizeHint().width() + 2 * window.frameWidth(), 200);
    window.show();
    QCoreApplication::processEvents();
    ASSERT_EQ(window.viewport()->width(), 20);
    TrafficView& view = window.display();
    TrafficBuffer& traffic = core.traffic();

    if (core.fastDisplay() == 1)
        window.toggleSpeed();
    view.timerTick(false);
    traffic.appendReceived(1, bytes("abc"), 3);
    view.timerTick(false);
    EXPECT_EQ(traffic.charsPerLine(), 1);
    EXPECT_EQ(traffic.drawPosition(), 3);
    EXPECT_EQ(traffic.drawY(), 2 * 34);
    (void)window.viewport()->grab();

    // The fast page: one byte per line (right limit 0), wrapping at the bottom limit.
    window.toggleSpeed();
    const int bottom = window.viewport()->height() - 18;
    const int pageLines = (bottom + 33) / 34;
    int before = -1, after = -1;
    view.fastDisplay().readMap([&](const ScreenCellMap& m) { before = m.fastLine; });
    std::thread([&] { traffic.appendReceived(1, bytes("defg\r\n"), 6); }).join();
    QCoreApplication::processEvents();
    view.fastDisplay().readMap([&](const ScreenCellMap& m) { after = m.fastLine; });
    EXPECT_EQ(after, (before + 6) % pageLines);
    (void)window.viewport()->grab();
}

} // namespace
} // namespace kestrane
