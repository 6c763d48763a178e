// The Send menu in the running application: frames typed into dialog 708 arriving on the far
// end of a pseudo-terminal, the time-out question with output held, the text-file transfer on
// timers 2 and 3 (pace, completion, both channels, progress, cancel, channel close, exit), the
// fixed-string editor command.
#include "app/command_ids.h"
#include "app/app_core.h"
#include "app/ui/draw_app.h"
#include "app/ui/main_window.h"
#include "app/ui/sending_commands.h"
#include "sending/send_result.h"
#include "sending/ui/character_send_dialog.h"
#include "sending/ui/text_transfer_progress.h"
#include "widgets/dialog_ids.h"
#include "records/settings_files.h"
#include "support/pty_pair.h"
#include "support/temp_dir.h"
#include "traffic/ui/traffic_view.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTextLayout>
#include <QThread>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <deque>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace kestrane {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
using test::PtyPair;
using test::TempDir;

struct Message {
    std::string text;
    QMessageBox::Icon icon;
};

// The application on two pty pairs (CH2 a second port unless told otherwise), with scripted
// message boxes.
struct SendingApp {
    TempDir dir;
    PtyPair far1, far2;
    int hold1 = -1;  // a second descriptor of CH1's slave, to stop and restart its output
    std::unique_ptr<AppCore> core;
    std::unique_ptr<TDrawApp> app;
    std::vector<Message> messages;
    std::function<QMessageBox::StandardButton(const std::string&)> answer;

    explicit SendingApp(int ch2Mode = Ch2Mode::Independent, bool ch1Port = true)
    {
        std::ofstream(dir / "ports.conf") << "COM1=" << (ch1Port ? far1.slavePath() : std::string("/nonexistent"))
                                          << "\nCOM2=" << far2.slavePath() << "\n";
        Settings s;
        s.record.ch2Mode = ch2Mode;
        s.record.ch2ComNumber = 2;
        EXPECT_TRUE(saveQuellorn(s, dir.path()));
        EXPECT_TRUE(saveQuellorn1(s, dir.path()));
        EXPECT_TRUE(saveQuellorn2(s, dir.path()));
        hold1 = ::open(far1.slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        core = std::make_unique<AppCore>(dir.path());
        core->loadStartupSize();
        app = std::make_unique<TDrawApp>(*core);
        app->initMainWindow(false);
        app->frame()->show();
        app->frame()->client()->setUp();
        // The first tick of timer 1 clears the traffic buffer; sending starts after it.
        QElapsedTimer clock;
        clock.start();
        while (window().display().lowSpeed().startupClearPending != 0 && clock.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        commands().message = [this](const QString& text, QMessageBox::StandardButtons, QMessageBox::Icon icon) {
            messages.push_back({text.toStdString(), icon});
            return answer ? answer(text.toStdString()) : QMessageBox::Ok;
        };
    }
    ~SendingApp()
    {
        if (hold1 >= 0) {
            ::tcflow(hold1, TCOON);
            ::close(hold1);
        }
        app.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    SendingCommands& commands() { return app->frame()->client()->sendingCommands(); }
    TDrawWindow& window() { return *app->frame()->client(); }
    void trigger(int id)
    {
        QAction* a = app->frame()->action(id);
        ASSERT_NE(a, nullptr) << id;
        app->frame()->refreshAllCommands();
        ASSERT_TRUE(a->isEnabled()) << id;
        a->trigger();
    }
    template <typename W>
    W* find(const char* name)
    {
        return window().findChild<W*>(QString::fromLatin1(name));
    }
    std::filesystem::path file(const std::string& name, std::size_t size)
    {
        Bytes b(size);
        for (std::size_t i = 0; i < size; ++i)
            b[i] = static_cast<std::uint8_t>('A' + i % 26);
        test::writeFileBytes(dir / name, b);
        return dir / name;
    }
    bool hasMessage(const std::string& text) const
    {
        return std::any_of(messages.begin(), messages.end(), [&](const Message& m) { return m.text == text; });
    }
    std::string storedTags()
    {
        TrafficBuffer& t = core->traffic();
        return std::string(reinterpret_cast<const char*>(t.currentTagPlane().data()),
                           static_cast<std::size_t>(t.storedLength()));
    }
};

// Arrivals at a far end while the event loop runs: (milliseconds since start, bytes).
struct Arrivals {
    std::vector<std::pair<qint64, std::size_t>> chunks;
    Bytes bytes;
    [[nodiscard]] std::size_t total() const { return bytes.size(); }
    // The arrivals grouped where the line was quiet for more than `gap` ms: (start, size).
    [[nodiscard]] std::vector<std::pair<qint64, std::size_t>> blocks(qint64 gap = 250) const
    {
        std::vector<std::pair<qint64, std::size_t>> out;
        qint64 last = -1000000;
        for (const auto& [t, n] : chunks) {
            if (out.empty() || t - last > gap)
                out.push_back({t, 0});
            out.back().second += n;
            last = t;
        }
        return out;
    }
};

// Runs the event loop until `done` holds or `ms` passed, collecting what the far ends receive.
template <typename Done>
bool pump(std::vector<std::pair<PtyPair*, Arrivals*>> ends, Done done, int ms = 15000)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        for (auto& [pty, arrivals] : ends) {
            std::uint8_t buf[4096];
            pollfd p{pty->master(), POLLIN, 0};
            while (::poll(&p, 1, 0) == 1 && (p.revents & POLLIN)) {
                const ssize_t n = ::read(pty->master(), buf, sizeof buf);
                if (n <= 0)
                    break;
                arrivals->chunks.push_back({clock.elapsed(), static_cast<std::size_t>(n)});
                arrivals->bytes.insert(arrivals->bytes.end(), buf, buf + n);
            }
        }
        if (done())
            return true;
        QThread::msleep(2);
    }
    return done();
}

// ---- dialog 708 on a real port ----

struct FrameCase {
    const char* name;
    const char* text;
    const char* button;  // 201 送信, 216 ASC送信
    int method;          // checksum method chosen in dialog 724
    int form;
    bool lowerCase;
    bool start, stop, checksum, end;
    Bytes expected;
};

TEST(SendingCommands, FramedLinesFromDialog708ArriveByteForByteAndShowAsSentData)
{
    SendingApp a;
    const FrameCase cases[] = {
        {"xor", "\"AB\"", "201", 0, 0, false, true, true, true, true, {0x02, 0x41, 0x42, 0x03, 0x03, 0x0D}},
        {"sum, two digits", "\"AB\"", "201", 1, 1, false, true, true, true, true, {0x02, 0x41, 0x42, 0x03, '8', '3', 0x0D}},
        {"xor digits", "5A55", "201", 0, 1, false, true, true, true, true, {0x02, 0x5A, 0x55, 0x03, '0', 'F', 0x0D}},
        {"xor lower", "5A55", "201", 0, 1, true, true, true, true, true, {0x02, 0x5A, 0x55, 0x03, '0', 'f', 0x0D}},
        {"crc16", "\"123456789\"", "201", 2, 1, false, false, false, true, false,
         {'1', '2', '3', '4', '5', '6', '7', '8', '9', 0x37, 0x4B}},
        {"empty", "", "201", 0, 0, false, true, false, true, true, {0x02, 0x0D}},
        {"asc", "0D0A", "216", 0, 0, false, false, false, false, true, {'0', 'D', '0', 'A', 0x0D}},
    };
    a.trigger(cmd::SendTyped);
    auto* d = a.find<CharacterSendDialog>("708");
    ASSERT_NE(d, nullptr);
    ASSERT_TRUE(d->isVisible());
    for (const FrameCase& c : cases) {
        SettingsRecord& s = a.core->settings().record;
        s.checksumMethod = c.method;
        s.checksumOutputForm = c.form;
        s.checksumLowerCase = c.lowerCase ? 1 : 0;
        const bool on[4] = {c.start, c.stop, c.checksum, c.end};
        for (int i = 0; i < 4; ++i)
            d->findChild<QCheckBox*>(QString::number(301 + i))->setChecked(on[i]);
        d->findChild<QLineEdit*>("402")->setText("02");
        d->findChild<QLineEdit*>("403")->setText("03");
        d->findChild<QLineEdit*>("404")->setText("0D");
        d->inputLine()->setText(QString::fromLatin1(c.text));
        const auto before = a.core->traffic().storedLength();
        QTest::mouseClick(d->findChild<QPushButton*>(c.button), Qt::LeftButton);
        EXPECT_EQ(a.far1.receive(c.expected.size(), 5s), c.expected) << c.name;
        // Recorded as CH1 send data (tag '0'), after whatever was there.
        const std::string tags = a.storedTags();
        EXPECT_EQ(tags.size(), static_cast<std::size_t>(before) + c.expected.size()) << c.name;
        EXPECT_EQ(tags.substr(static_cast<std::size_t>(before)), std::string(c.expected.size(), '0')) << c.name;
    }
    EXPECT_TRUE(a.messages.empty());
    EXPECT_EQ(a.far1.receive(1, 200ms).size(), 0u);  // nothing more went out
    // The choices went back into the settings.
    EXPECT_EQ(a.core->settings().record.sendEndCharOn, 1);
    EXPECT_EQ(a.core->settings().record.sendStopCharOn, 0);
}

TEST(SendingCommands, YesToTheTimeOutQuestionSendsTheIdenticalFrameWhenOutputIsHeld)
{
    SendingApp a;
    ASSERT_GE(a.hold1, 0);
    a.core->settings().record.sendChecksumOn = 1;
    a.core->settings().record.checksumMethod = 1;
    a.trigger(cmd::SendTyped);
    auto* d = a.find<CharacterSendDialog>("708");
    ASSERT_NE(d, nullptr);
    d->inputLine()->setText("\"HELD\"");
    int questions = 0;
    a.answer = [&](const std::string& text) {
        if (text == kTimedOutRetryText) {
            ++questions;
            ::tcflow(a.hold1, TCOON);  // the line is free again
            return QMessageBox::Yes;
        }
        return QMessageBox::Ok;
    };
    ASSERT_EQ(::tcflow(a.hold1, TCOOFF), 0);  // output stops: the write times out
    QTest::mouseClick(d->findChild<QPushButton*>("201"), Qt::LeftButton);
    EXPECT_EQ(questions, 1);
    const Bytes frame{'H', 'E', 'L', 'D', static_cast<std::uint8_t>('H' + 'E' + 'L' + 'D')};
    EXPECT_EQ(a.far1.receive(frame.size() + 1, 3s), frame);  // once, complete
    EXPECT_EQ(a.storedTags(), std::string(frame.size(), '0'));  // recorded once
}

// ---- text-file transfer ----

TEST(TextTransferCommand, A250ByteFileGoesOutAs100And100And50HalfASecondApart)
{
    SendingApp a;
    a.commands().pickTransferFile = [&](int) { return std::optional(a.file("t250.txt", 250)); };
    a.trigger(cmd::TextTransferCh1);
    EXPECT_TRUE(a.window().transferTimerActive(1));
    ASSERT_NE(a.commands().progress(1), nullptr);
    Arrivals got;
    ASSERT_TRUE(pump({{&a.far1, &got}}, [&] { return a.hasMessage("Text送信完了。"); }));
    EXPECT_EQ(got.bytes, test::readFileBytes(a.dir / "t250.txt"));
    const auto blocks = got.blocks();
    ASSERT_EQ(blocks.size(), 3u);
    EXPECT_EQ(blocks[0].second, 100u);
    EXPECT_EQ(blocks[1].second, 100u);
    EXPECT_EQ(blocks[2].second, 50u);
    for (std::size_t i = 1; i < blocks.size(); ++i) {
        const qint64 gap = blocks[i].first - blocks[i - 1].first;
        EXPECT_GE(gap, 350) << i;   // the pace is 500 ms; a loaded machine only makes it later
        EXPECT_LE(gap, 2500) << i;
    }
    EXPECT_FALSE(a.window().transferTimerActive(1));
    EXPECT_FALSE(a.core->textTransfer().running(1));
    EXPECT_EQ(a.commands().progress(1), nullptr);
    EXPECT_EQ(a.storedTags(), std::string(250, '0'));  // shown as sent data
}

TEST(TextTransferCommand, ShortAndEmptyFilesReportCompletionAndBothChannelsRunAtOnce)
{
    SendingApp a;
    a.core->settings().record.showSentText = 0;
    a.core->applySettings();
    std::deque<std::filesystem::path> files{a.file("t200.txt", 200), a.file("empty.txt", 0)};
    a.commands().pickTransferFile = [&](int) {
        auto f = files.front();
        files.pop_front();
        return std::optional(f);
    };
    a.trigger(cmd::TextTransferCh1);  // 200 bytes on CH1
    a.trigger(cmd::TextTransferCh2);  // nothing on CH2
    Arrivals one, two;
    ASSERT_TRUE(pump({{&a.far1, &one}, {&a.far2, &two}}, [&] {
        return std::count_if(a.messages.begin(), a.messages.end(), [](const Message& m) { return m.text == "Text送信完了。"; }) == 2;
    }));
    EXPECT_EQ(one.total(), 200u);
    EXPECT_EQ(two.total(), 0u);
    EXPECT_EQ(a.core->traffic().storedLength(), 0);  // not shown

    // Both channels at once, each on its own timer.
    files = {a.file("a.txt", 230), a.file("b.txt", 180)};
    a.messages.clear();
    Arrivals three, four;
    a.trigger(cmd::TextTransferCh1);
    a.trigger(cmd::TextTransferCh2);
    EXPECT_TRUE(a.window().transferTimerActive(1));
    EXPECT_TRUE(a.window().transferTimerActive(2));
    ASSERT_TRUE(pump({{&a.far1, &three}, {&a.far2, &four}}, [&] { return a.messages.size() == 2; }));
    EXPECT_EQ(three.bytes, test::readFileBytes(a.dir / "a.txt"));
    EXPECT_EQ(four.bytes, test::readFileBytes(a.dir / "b.txt"));
    // They overlapped: CH2's first block came before CH1's last.
    ASSERT_FALSE(four.chunks.empty());
    EXPECT_LT(four.chunks.front().first, three.chunks.back().first);
}

TEST(TextTransferCommand, ProgressThenCancelStopsTheTransfer)
{
    SendingApp a;
    a.commands().pickTransferFile = [&](int) { return std::optional(a.file("big.txt", 1000)); };
    a.trigger(cmd::TextTransferCh1);
    TextTransferProgress* p = a.commands().progress(1);
    ASSERT_NE(p, nullptr);
    EXPECT_TRUE(p->isVisible());
    EXPECT_EQ(p->windowTitle().toStdString(), "Txtﾌｧｲﾙ転送 CH1");
    Arrivals got;
    ASSERT_TRUE(pump({{&a.far1, &got}}, [&] { return got.total() >= 200; }));
    EXPECT_EQ(p->progressText().toStdString(), std::to_string(got.total()) + " / 1,000 バイト");

    // A second start on the same channel is refused while this one runs.
    a.trigger(cmd::TextTransferCh1);
    ASSERT_EQ(a.messages.size(), 1u);
    EXPECT_EQ(a.messages[0].text, "ＣＨ１はテキスト転送中です。");

    QPointer<TextTransferProgress> alive(p);
    QTest::mouseClick(p->findChild<QPushButton*>("cancel"), Qt::LeftButton);
    EXPECT_FALSE(a.core->textTransfer().running(1));
    EXPECT_FALSE(a.window().transferTimerActive(1));
    const std::size_t sent = got.total();
    pump({{&a.far1, &got}}, [] { return false; }, 1200);
    EXPECT_EQ(got.total(), sent);  // nothing after the cancel
    EXPECT_TRUE(alive.isNull());
    EXPECT_EQ(a.messages.size(), 1u);  // no completion message
}

TEST(TextTransferCommand, ClosingTheChannelEndsTheTransferCleanly)
{
    SendingApp a;
    a.commands().pickTransferFile = [&](int) { return std::optional(a.file("big.txt", 1000)); };
    a.trigger(cmd::TextTransferCh1);
    Arrivals got;
    ASSERT_TRUE(pump({{&a.far1, &got}}, [&] { return got.total() >= 100; }));
    a.core->closeChannel(1);  // what the COM-port command does first
    EXPECT_FALSE(a.core->textTransfer().running(1));
    EXPECT_FALSE(a.window().transferTimerActive(1));
    TextTransferProgress* p = a.commands().progress(1);
    ASSERT_NE(p, nullptr);
    EXPECT_FALSE(p->running());
    EXPECT_NE(p->progressText().indexOf(QStringLiteral("ポートが閉じられた")), -1);
    EXPECT_TRUE(a.messages.empty());
    // The whole message is visible: laid out as the label lays it out, no line of it runs past
    // the label and the lines fit its height.
    auto* label = p->findChild<QLabel*>(QStringLiteral("progress"));
    ASSERT_NE(label, nullptr);
    QCoreApplication::processEvents();
    const QRect room = label->contentsRect();
    QTextLayout lines(label->text(), label->font());
    QTextOption option;
    option.setWrapMode(label->wordWrap() ? QTextOption::WordWrap : QTextOption::NoWrap);
    lines.setTextOption(option);
    lines.beginLayout();
    qreal height = 0;
    int count = 0;
    for (QTextLine line = lines.createLine(); line.isValid(); line = lines.createLine(), ++count) {
        line.setLineWidth(room.width());
        EXPECT_LE(line.naturalTextWidth(), room.width()) << "line " << count;
        height += line.height();
    }
    lines.endLayout();
    EXPECT_GE(count, 1);
    EXPECT_LE(height, room.height());

    // A transfer on CH2 ends the same way when the window closes (exit).
    a.commands().pickTransferFile = [&](int) { return std::optional(a.file("big2.txt", 1000)); };
    a.trigger(cmd::TextTransferCh2);
    ASSERT_TRUE(a.core->textTransfer().running(2));
    a.core->traffic().setUnsavedData(false);
    EXPECT_TRUE(a.app->frame()->close());
    EXPECT_FALSE(a.core->textTransfer().running(2));
    EXPECT_FALSE(a.window().transferTimerActive(2));
}

TEST(TextTransferCommand, HeldOutputEndsTheTransferWithTheTimeOutMessage)
{
    SendingApp a;
    ASSERT_GE(a.hold1, 0);
    ASSERT_EQ(::tcflow(a.hold1, TCOOFF), 0);
    a.commands().pickTransferFile = [&](int) { return std::optional(a.file("held.txt", 300)); };
    a.trigger(cmd::TextTransferCh1);
    ASSERT_TRUE(pump({}, [&] { return !a.messages.empty(); }));
    ASSERT_EQ(a.messages.size(), 1u);  // the error, no completion after it
    EXPECT_EQ(a.messages[0].text, "送信時間切れです。");
    EXPECT_FALSE(a.core->textTransfer().running(1));
    EXPECT_FALSE(a.window().transferTimerActive(1));
}

TEST(TextTransferCommand, StartMessages)
{
    SendingApp a(Ch2Mode::NotUsed, false);  // CH1's port does not open, CH2 not in use
    a.commands().pickTransferFile = [&](int) -> std::optional<std::filesystem::path> { return std::nullopt; };
    a.app->frame()->refreshAllCommands();
    EXPECT_FALSE(a.app->frame()->action(cmd::TextTransferCh1)->isEnabled());
    EXPECT_FALSE(a.app->frame()->action(cmd::TextTransferCh2)->isEnabled());
    EXPECT_TRUE(a.app->frame()->action(cmd::SendTyped)->isEnabled());
    a.commands().startTextTransfer(1);
    a.commands().startTextTransfer(2);
    ASSERT_EQ(a.messages.size(), 2u);
    EXPECT_EQ(a.messages[0].text, "シリアルポートＣＨ１がＯＰＥＮしていません");
    EXPECT_EQ(a.messages[0].icon, QMessageBox::Warning);
    EXPECT_EQ(a.messages[1].text, "シリアルポートＣＨ２がＯＰＥＮしていません");

    SendingApp b;
    b.commands().pickTransferFile = [&](int) -> std::optional<std::filesystem::path> { return std::nullopt; };
    b.trigger(cmd::TextTransferCh1);
    b.commands().pickTransferFile = [&](int) { return std::optional(b.dir / "missing.txt"); };
    b.trigger(cmd::TextTransferCh1);
    ASSERT_EQ(b.messages.size(), 2u);
    EXPECT_EQ(b.messages[0].text, "ファイル名選択できません");
    EXPECT_EQ(b.messages[1].text, "ﾌｧｲﾙが開けません");
    EXPECT_FALSE(b.window().transferTimerActive(1));
}

// ---- the other Send rows and the editor ----

TEST(SendingCommands, EveryRowOpensItsDialogAndTheEditorGetsMdataTxt)
{
    TempDir bin;
    const auto script = bin / "record-editor";
    std::ofstream(script) << "#!/bin/sh\necho \"$@\" > " << (bin / "args").string() << "\n";
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    const QByteArray oldVisual = qgetenv("VISUAL");
    qputenv("VISUAL", QByteArray(script.c_str()));
    {
        SendingApp a;
        for (const auto& [id, name] :
             {std::pair{cmd::SendTyped, dialog_id::TypedSend}, {cmd::SendLong, dialog_id::LongStringSend},
              {cmd::SendFixed, dialog_id::FixedStringSend}, {cmd::SendControl, dialog_id::ControlCharacters}}) {
            a.trigger(id);
            QWidget* w = a.find<QWidget>(name);
            ASSERT_NE(w, nullptr) << name;
            EXPECT_TRUE(w->isVisible()) << name;
            EXPECT_FALSE(w->isModal()) << name;
        }
        a.trigger(cmd::EditFixedStrings);
        EXPECT_TRUE(std::filesystem::exists(a.dir / "mdata.txt"));  // created for the first edit
        std::string args;
        for (int i = 0; i < 500 && args.empty(); ++i) {
            std::ifstream(bin / "args") >> args;
            QThread::msleep(10);
        }
        EXPECT_EQ(args, (a.dir / "mdata.txt").string());
        EXPECT_TRUE(a.messages.empty());
    }
    // No editor at all: the message.
    qunsetenv("VISUAL");
    TempDir emptyBin;
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", QByteArray(emptyBin.path().c_str()));
    {
        SendingApp a;
        qputenv("PATH", oldPath);
        a.trigger(cmd::EditFixedStrings);
        ASSERT_EQ(a.messages.size(), 1u);
        EXPECT_EQ(a.messages[0].text, "notepad.exeが見つかりませんでした。");
    }
    qputenv("PATH", oldPath);
    if (!oldVisual.isNull())
        qputenv("VISUAL", oldVisual);
}

} // namespace
} // namespace kestrane
