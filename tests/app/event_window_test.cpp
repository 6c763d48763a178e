// The line-events window "回線イベント" on the offscreen platform: opened from the View menu of
// the running application, rows from bytes written into pseudo-terminals, the filters and the
// summary, a selected row scrolling the display to its byte (and saying so when the bytes are
// gone), the character inspection's lines; and the window's own logic on a journal of its own:
// error marks, texts, the bound on rows, a cleared record.
#include "app/app_core.h"
#include "app/command_ids.h"
#include "app/ui/draw_app.h"
#include "app/ui/event_commands.h"
#include "app/ui/main_window.h"
#include "platform/comm_types.h"
#include "records/settings_files.h"
#include "support/pty_pair.h"
#include "support/temp_dir.h"
#include "traffic/ui/event_window.h"
#include "traffic/ui/traffic_view.h"
#include "traffic/view_commands.h"
#include "widgets/dialog_ids.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTableView>
#include <QThread>
#include <QToolTip>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <fstream>
#include <memory>

namespace kestrane {
namespace {

using test::PtyPair;
using test::TempDir;
using timeline::Direction;
using timeline::RowKind;
using Bytes = std::vector<std::uint8_t>;

template <typename Pred>
bool pumpUntil(Pred done, int ms = 15000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}

// The application with CH1 and CH2 monitoring a line on two pty pairs (T connection), low-speed
// display, timer 1 running.
struct EventsApp {
    TempDir dir;
    PtyPair far1, far2;
    std::unique_ptr<AppCore> core;
    std::unique_ptr<TDrawApp> app;

    explicit EventsApp(int bufferSize = 600)
    {
        std::ofstream(dir / "ports.conf") << "COM1=" << far1.slavePath() << "\nCOM2=" << far2.slavePath() << "\n";
        Settings s;
        s.record.ch2Mode = Ch2Mode::MonitorT;
        s.record.ch2ComNumber = 2;
        s.record.bufferSize = bufferSize;
        s.record.fastDisplayAtStart = 0;
        EXPECT_TRUE(saveQuellorn(s, dir.path()));
        EXPECT_TRUE(saveQuellorn1(s, dir.path()));
        EXPECT_TRUE(saveQuellorn2(s, dir.path()));
        core = std::make_unique<AppCore>(dir.path());
        core->loadStartupSize();
        app = std::make_unique<TDrawApp>(*core);
        app->initMainWindow(false);
        app->frame()->show();
        app->frame()->client()->setUp();
        // The first tick of timer 1 clears the record (and the journal with it).
        EXPECT_TRUE(pumpUntil([this] { return window().display().lowSpeed().startupClearPending == 0; }));
    }
    ~EventsApp()
    {
        app.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    TDrawWindow& window() { return *app->frame()->client(); }
    TEventWindow* events() { return window().eventCommands().window(); }
    EventTableModel& model() { return events()->model(); }
    void open()
    {
        QAction* a = app->frame()->action(cmd::LineEvents);
        ASSERT_NE(a, nullptr);
        app->frame()->refreshAllCommands();
        ASSERT_TRUE(a->isEnabled());
        a->trigger();
        ASSERT_NE(events(), nullptr);
    }
    // Frames that have ended (quiet past their rule) on the table.
    int closedFrames()
    {
        int n = 0;
        for (int r = 0; r < model().rowCount(); ++r)
            n += model().rowAt(r)->kind == RowKind::Frame && !model().rowAt(r)->open;
        return n;
    }
    int rowOf(int channel, RowKind kind)
    {
        for (int r = 0; r < model().rowCount(); ++r)
            if (model().rowAt(r)->channel == channel && model().rowAt(r)->kind == kind)
                return r;
        return -1;
    }
    QString cell(int row, int column) { return model().cellText(*model().rowAt(row), column); }
    // The Data entries the journal keeps, in order.
    std::vector<timeline::Entry> chunks()
    {
        std::vector<timeline::Entry> all, data;
        core->journal().copySince(0, all);
        for (const auto& e : all)
            if (e.kind == timeline::Kind::Data)
                data.push_back(e);
        return data;
    }
};

const Bytes kRequest{0x01, 0x03, 0x00, 0x00, 0x00, 0x02, 0xC4, 0x0B};
const Bytes kReply{0x01, 0x03, 0x04, 0x00, 0x0A, 0x00, 0x14, 0xDA, 0x3E};

TEST(EventWindowApp, TheViewMenuOpensOneWindowWhoseRowsAreTheLinesFramesWithTheirTimes)
{
    EventsApp a;
    // The View menu keeps its entries and ends with the new one, enabled with or without a port.
    QMenu* view = a.app->frame()->menuBar()->findChild<QMenu*>();
    for (QMenu* m : a.app->frame()->menuBar()->findChildren<QMenu*>())
        if (m->title() == QStringLiteral("表示(&V)"))
            view = m;
    ASSERT_NE(view, nullptr);
    const QList<QAction*> items = view->actions();
    ASSERT_GE(items.size(), 2);
    EXPECT_EQ(items.back()->text(), QStringLiteral("回線イベント(&E)"));
    EXPECT_EQ(items[items.size() - 2]->data().toInt(), cmd::SamplingView);
    EXPECT_EQ(items.size(), 16) << "every earlier entry is still there";

    a.open();
    TEventWindow* w = a.events();
    EXPECT_TRUE(w->isVisible());
    EXPECT_FALSE(w->isModal());
    EXPECT_EQ(w->windowTitle(), QStringLiteral("回線イベント"));
    EXPECT_EQ(w->objectName(), QString::fromLatin1(dialog_id::LineEvents));
    a.open();
    EXPECT_EQ(a.events(), w) << "asked again, the same window comes to the front";

    // A request on CH1's line, the device's reply on CH2's a moment later.
    a.far1.send(kRequest);
    ASSERT_TRUE(pumpUntil([&] { return a.rowOf(1, RowKind::Frame) >= 0; }));
    QThread::msleep(30);
    a.far2.send(kReply);
    ASSERT_TRUE(pumpUntil([&] { return a.closedFrames() == 2; }));

    const int request = a.rowOf(1, RowKind::Frame);
    const int reply = a.rowOf(2, RowKind::Frame);
    ASSERT_LT(request, reply);
    EXPECT_EQ(a.cell(request, EventTableModel::Content), QStringLiteral("01 03 00 00 00 02 C4 0B"));
    EXPECT_EQ(a.cell(request, EventTableModel::Count), QStringLiteral("8"));
    EXPECT_EQ(a.cell(request, EventTableModel::Direction), QStringLiteral("受信"));
    EXPECT_TRUE(a.cell(request, EventTableModel::Answer).isEmpty());
    EXPECT_EQ(a.cell(reply, EventTableModel::Content), QStringLiteral("01 03 04 00 0A 00 14 DA 3E"));
    EXPECT_EQ(a.cell(reply, EventTableModel::Channel), QStringLiteral("CH2"));
    const QString answer = a.cell(reply, EventTableModel::Answer);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d+\\.\\d{3} ms$")).match(answer).hasMatch()) << answer.toStdString();
    // Each row's time is its first chunk's, as the journal has it, to the microsecond.
    const auto data = a.chunks();
    ASSERT_FALSE(data.empty());
    EXPECT_EQ(a.model().rowAt(request)->time.wallUs, data.front().time.wallUs);
    EXPECT_EQ(a.cell(request, EventTableModel::Time), timeOfDayText(data.front().time.wallUs));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d\\.\\d{6}$"))
                    .match(a.cell(request, EventTableModel::Time)).hasMatch());
    // The summary: both frames and the one answer as minimum, median and maximum.
    EXPECT_TRUE(w->summary().startsWith(QStringLiteral("フレーム 2　エラー 0"))) << w->summary().toStdString();
    EXPECT_TRUE(w->summary().contains(QStringLiteral("応答時間 最小 %1／中央 %1／最大 %1（1 回）").arg(answer)))
        << w->summary().toStdString();

    // A purge on CH1 is a row of its own; the filters pick channel and kind.
    ASSERT_EQ(a.core->channels().purge(1, PURGE_RXCLEAR), 0);
    ASSERT_TRUE(pumpUntil([&] { return a.rowOf(1, RowKind::Action) >= 0; }));
    EXPECT_EQ(a.cell(a.rowOf(1, RowKind::Action), EventTableModel::Content), QStringLiteral("パージ（受信）"));
    auto* channel = w->findChild<QComboBox*>(QStringLiteral("channel"));
    auto* frames = w->findChild<QCheckBox*>(QStringLiteral("frames"));
    ASSERT_TRUE(channel && frames);
    channel->setCurrentIndex(2);
    ASSERT_EQ(a.model().rowCount(), 1);
    EXPECT_EQ(a.model().rowAt(0)->channel, 2);
    channel->setCurrentIndex(1);
    frames->setChecked(false);
    ASSERT_EQ(a.model().rowCount(), 1);
    EXPECT_EQ(a.model().rowAt(0)->kind, RowKind::Action);
    frames->setChecked(true);
    channel->setCurrentIndex(0);
    EXPECT_EQ(a.model().rowCount(), 3);
}

TEST(EventWindowApp, ASelectedRowScrollsTheDisplayToItsByteOrSaysTheBytesAreGone)
{
    EventsApp a(200);  // 12000 bytes of record
    a.open();
    a.far1.send(Bytes(2000, 'x'));
    ASSERT_TRUE(pumpUntil([&] { return a.core->traffic().storedLength() == 2000; }));
    a.far2.send(Bytes{'O', 'K', '\r', '\n', 0x03});
    ASSERT_TRUE(pumpUntil([&] { return a.closedFrames() == 2 && a.core->traffic().drawPosition() == 2005; }));

    TrafficView& display = a.window().display();
    const int reply = a.rowOf(2, RowKind::Frame);
    a.events()->table()->selectRow(reply);
    EXPECT_EQ(a.events()->status(), QStringLiteral("記録の 2001 バイト目へ移りました。"));
    const std::int32_t cpl = display.lowSpeed().charsPerLine();
    const SearchHighlight expected =
        searchHighlight(2000, 5, cpl, display.lowSpeed().lineCount(200), a.window().verticalScrollBar()->maximum());
    EXPECT_GT(expected.topLine, 0);
    EXPECT_EQ(display.scrollLine(), expected.topLine);

    // The character inspection on that byte: the reply's channel, direction and time.
    const QPoint cell(40 + (2000 % cpl) * 10 + 4, (2000 / cpl - display.scrollLine()) * 34 + 20);
    QTest::mousePress(a.window().viewport(), Qt::LeftButton, {}, cell);
    const auto data = a.chunks();
    const auto holder = std::find_if(data.begin(), data.end(), [](const timeline::Entry& e) {
        return e.record <= 2000 && 2000 < e.record + e.count;
    });
    ASSERT_NE(holder, data.end());
    ASSERT_EQ(display.inspectionNoteLines(),
              QStringList{QStringLiteral("CH2 受信 ") + timeOfDayText(holder->time.wallUs)});
    QTest::mouseRelease(a.window().viewport(), Qt::LeftButton, {}, cell);
    EXPECT_TRUE(display.inspectionNoteLines().isEmpty());

    // The request is on line 0: scrolling back to it.
    a.events()->table()->selectRow(a.rowOf(1, RowKind::Frame));
    EXPECT_EQ(a.events()->status(), QStringLiteral("記録の 1 バイト目へ移りました。"));
    EXPECT_EQ(display.scrollLine(), 0);

    // In fast display the display does not move.
    a.window().toggleSpeed();
    a.events()->table()->selectRow(reply);
    EXPECT_TRUE(a.events()->status().startsWith(QStringLiteral("高速表示では")));
    a.window().toggleSpeed();

    // Enough to make the record let its oldest half go: both frames are no longer in it.
    a.far1.send(Bytes(11000, 'y'));
    ASSERT_TRUE(pumpUntil([&] { return a.core->traffic().recordBase() > 2005; }));
    a.events()->table()->selectRow(reply);
    const int before = display.scrollLine();
    a.events()->table()->selectRow(a.rowOf(1, RowKind::Frame));
    EXPECT_TRUE(a.events()->status().startsWith(QStringLiteral("このバイトはもう記録にありません")))
        << a.events()->status().toStdString();
    EXPECT_EQ(display.scrollLine(), before);
}

TEST(EventWindowApp, TheInspectionNamesALineErrorAtTheByte)
{
    EventsApp a;
    // A chunk as the receive thread stores it: a parity error marked at its second byte.
    ReadMarks marks;
    marks.arrivals.push_back({0, timeline::now()});
    marks.errors.push_back({1, timeline::LineError::Parity, 0});
    const Bytes bytes{'A', 'B', 'C'};
    a.core->traffic().appendReceivedChunks(1, bytes.data(), 3, 3, &marks);
    ASSERT_TRUE(pumpUntil([&] { return a.core->traffic().drawPosition() == 3; }));
    TrafficView& display = a.window().display();
    QTest::mousePress(a.window().viewport(), Qt::LeftButton, {}, QPoint(40 + 10 + 4, 20));
    const QStringList notes = display.inspectionNoteLines();
    ASSERT_EQ(notes.size(), 2);
    EXPECT_TRUE(notes[0].startsWith(QStringLiteral("CH1 受信 ")));
    EXPECT_EQ(notes[1], QStringLiteral("パリティエラー"));
    EXPECT_EQ(QToolTip::text(), notes.join(QLatin1Char('\n'))) << "in a tip of its own, off the display's cells";
    QTest::mouseRelease(a.window().viewport(), Qt::LeftButton, {}, QPoint(40 + 10 + 4, 20));
    EXPECT_FALSE(QToolTip::isVisible());
    QTest::mousePress(a.window().viewport(), Qt::LeftButton, {}, QPoint(40 + 4, 20));
    EXPECT_EQ(display.inspectionNoteLines().size(), 1) << "the first byte has no error";
    QTest::mouseRelease(a.window().viewport(), Qt::LeftButton, {}, QPoint(40 + 4, 20));

    // The window marks the byte and lists the error after its frame.
    a.open();
    ASSERT_TRUE(pumpUntil([&] { return a.rowOf(1, RowKind::Error) >= 0; }));
    const int frame = a.rowOf(1, RowKind::Frame);
    EXPECT_EQ(a.cell(frame, EventTableModel::Content), QStringLiteral("41 [42] 43"));
    EXPECT_EQ(a.cell(frame, EventTableModel::Text), QStringLiteral("ABC"));
    EXPECT_EQ(a.model().data(a.model().index(frame, 0), Qt::ToolTipRole).toString(), QStringLiteral("2 バイト目: パリティエラー"));
    EXPECT_GT(a.rowOf(1, RowKind::Error), frame);
    EXPECT_TRUE(a.events()->summary().contains(QStringLiteral("エラー パリティエラー 1")));
}

// ---------------------------------------------------------------- the window on a journal of its own

struct OwnJournal : ::testing::Test {
    timeline::Journal journal;
    std::uint64_t record = 0;
    std::int64_t now = 0;
    std::unique_ptr<TEventWindow> window;

    void SetUp() override
    {
        EventWindowServices s;
        s.journal = &journal;
        s.rule = [](int) { return timeline::FrameRule{4000, 1000}; };
        s.nowMonoUs = [this] { return now; };
        window = std::make_unique<TEventWindow>(std::move(s));
    }
    void data(int channel, Direction d, std::int64_t atUs, const Bytes& bytes)
    {
        journal.appendData(channel, d, {1'700'000'000'000'000 + atUs, atUs}, record, bytes);
        record += bytes.size();
    }
    EventTableModel& model() { return window->model(); }
    QString cell(int row, int column) { return model().cellText(*model().rowAt(row), column); }
};

TEST_F(OwnJournal, SummaryGivesTheAnswerTimesMinimumMedianAndMaximum)
{
    // Three requests and their answers after 1, 5 and 3 ms (each chunk one byte); each request
    // answers the reply before it too, after 99 and 95 ms.
    std::int64_t t = 0;
    for (std::int64_t answerUs : {1000, 5000, 3000}) {
        data(1, Direction::Sent, t, {0x05});
        data(1, Direction::Received, t + answerUs, {0x06});
        t += 100'000;
    }
    now = t + 1'000'000;
    window->readNow();
    EXPECT_EQ(model().rowCount(), 6);
    EXPECT_EQ(cell(1, EventTableModel::Answer), QStringLiteral("1.000 ms"));
    EXPECT_EQ(cell(2, EventTableModel::Quiet), QStringLiteral("99.000 ms"));
    EXPECT_EQ(cell(2, EventTableModel::Direction), QStringLiteral("送信"));
    EXPECT_EQ(cell(1, EventTableModel::Text), QString(QChar(0x2406)));  // ACK as its picture
    EXPECT_EQ(window->summary(), QStringLiteral("フレーム 6　エラー 0　応答時間 最小 1.000 ms／中央 5.000 ms／最大 99.000 ms（5 回）"));
}

TEST_F(OwnJournal, TextIsCodePage932AsTheDisplayShowsItAndLongFramesKeepTheirFirstBytes)
{
    Bytes text{0x82, 0xA0, ' ', 'A', 0x0D, 0xB1};
    Bytes longer(100, 0x20);
    data(1, Direction::Received, 0, text);
    data(2, Direction::Received, 1000, longer);
    window->readNow();
    ASSERT_EQ(model().rowCount(), 2);
    EXPECT_EQ(cell(0, EventTableModel::Text), QStringLiteral("あ A") + QChar(0x240D) + QStringLiteral("ｱ"));
    EXPECT_EQ(cell(1, EventTableModel::Count), QStringLiteral("100"));
    EXPECT_TRUE(cell(1, EventTableModel::Content).endsWith(QStringLiteral("20 …")));
    EXPECT_EQ(model().rowAt(1)->bytes.size(), timeline::kRowBytes);
    EXPECT_EQ(cell(1, EventTableModel::Kind), QStringLiteral("フレーム…")) << "still open";
}

TEST_F(OwnJournal, EventsAreRowsOfTheirOwnInWordsAndTheRowsAreBounded)
{
    timeline::Entry modem;
    modem.kind = timeline::Kind::ModemChange;
    modem.channel = 2;
    modem.detail = MS_CTS_ON;                 // CTS on, DCD off after it
    modem.value = MS_CTS_ON | MS_RLSD_ON;     // both changed
    modem.count = 3;
    journal.append(modem);
    timeline::Entry overrun;
    overrun.kind = timeline::Kind::LineError;
    overrun.detail = static_cast<std::uint8_t>(timeline::LineError::Overrun);
    overrun.value = 4;
    journal.append(overrun);
    window->readNow();
    ASSERT_EQ(model().rowCount(), 2);
    EXPECT_EQ(cell(0, EventTableModel::Content), QStringLiteral("CTS オン、DCD オフ（3 回変化）"));
    EXPECT_EQ(cell(0, EventTableModel::Kind), QStringLiteral("モデム信号"));
    EXPECT_EQ(cell(1, EventTableModel::Content), QStringLiteral("オーバーラン（この前で 4 バイト失われました）"));
    EXPECT_EQ(model().data(model().index(1, 0), Qt::ForegroundRole).value<QColor>(), QColor(200, 0, 0));

    // More rows than the window keeps: the oldest go, and the summary says how many.
    timeline::Entry mark;
    mark.kind = timeline::Kind::Action;
    mark.detail = static_cast<std::uint8_t>(timeline::Action::UserMark);
    for (std::size_t i = 0; i < timeline::kMaxEventRows; ++i)
        journal.append(mark);
    for (int i = 0; i < 5; ++i)
        window->readNow();
    EXPECT_EQ(model().rowCount(), static_cast<int>(timeline::kMaxEventRows));
    EXPECT_EQ(model().rowAt(0)->kind, RowKind::Action);
    EXPECT_TRUE(window->summary().contains(QStringLiteral("古い 2 行を外しました"))) << window->summary().toStdString();

    // The record cleared (so is the journal): the list starts anew.
    journal.clear();
    window->readNow();
    EXPECT_EQ(model().rowCount(), 0);
    EXPECT_EQ(window->status(), QStringLiteral("記録がクリアされたので、一覧も新しく始めました。"));
    EXPECT_EQ(window->summary(), QStringLiteral("フレーム 0　エラー 0　応答時間 なし"));
}

} // namespace
} // namespace kestrane
