// The macro commands in the real main window: 55518 refused in the time-stamped display and
// disabled in the line-monitor modes, the editor commands, and a macro run end to end that
// sends on a pseudo-terminal and takes the far end's reply into a register.
#include "app/command_ids.h"
#include "app/app_core.h"
#include "app/ui/draw_app.h"
#include "app/ui/macro_commands.h"
#include "app/ui/main_window.h"
#include "traffic/ui/traffic_view.h"
#include "macro/ui/macro_dialog.h"
#include "support/pty_pair.h"
#include "support/temp_dir.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QThread>

#include <gtest/gtest.h>

#include <fstream>
#include <thread>

namespace kestrane {
namespace {

using namespace std::chrono_literals;
using test::PtyPair;
using test::TempDir;

struct App {
    explicit App(const std::filesystem::path& dir, PortOpener opener = {}) : core(dir, std::move(opener))
    {
        core.loadStartupSize();
        app.initMainWindow(false);
        app.frame()->show();
        app.frame()->client()->setUp();
    }
    ~App()
    {
        core.settings().record.noExitSaveQuery = 1;  // no save question for the traffic of the test
        app.frame()->close();
    }
    AppCore core;
    TDrawApp app{core};
};

std::unique_ptr<SerialPort> noPort(int, OpenError&) { return nullptr; }

struct Recorded {
    std::vector<std::string> messages;
    std::vector<std::pair<std::string, std::string>> editors;  // file, folder
    int dialogs = 0;
    std::optional<std::filesystem::path> choice;
    bool editorStarts = true;
};

MacroCommandHooks hooksFor(Recorded& r, std::function<void(TMacrosend&)> runDialog = {})
{
    MacroCommandHooks h;
    h.message = [&r](const QString& text, QMessageBox::StandardButtons, QMessageBox::Icon) {
        r.messages.push_back(text.toStdString());
        return QMessageBox::Ok;
    };
    h.chooseFile = [&r](QWidget*, const QString&) { return r.choice; };
    h.startEditor = [&r](const std::filesystem::path& file, const std::filesystem::path& folder) {
        r.editors.emplace_back(file.string(), folder.string());
        return r.editorStarts;
    };
    h.runDialog = [&r, runDialog](TMacrosend& d) {
        ++r.dialogs;
        if (runDialog)
            runDialog(d);
    };
    return h;
}

TEST(MacroCommands, RunMacroIsRefusedInTimeStampedAscAndDisabledInLineMonitorModes)
{
    TempDir dir;
    App a(dir.path(), noPort);
    Recorded r;
    TDrawWindow& w = *a.app.frame()->client();
    registerMacroCommands(w.commands(), w, a.core, w.tools(), hooksFor(r));

    a.core.settings().record.displayMode = DisplayMode::TimeStampedAsc;
    w.commands().dispatch(cmd::RunMacro);
    EXPECT_EQ(r.messages, std::vector<std::string>{"表示が時刻付きＡＳＣ表示なのでマクロは実行出来ません"});
    EXPECT_EQ(r.dialogs, 0);

    a.core.settings().record.displayMode = DisplayMode::Hex;
    w.commands().dispatch(cmd::RunMacro);
    EXPECT_EQ(r.dialogs, 1);

    for (int mode : {Ch2Mode::MonitorT, Ch2Mode::MonitorRelay}) {
        a.core.settings().record.ch2Mode = mode;
        a.app.frame()->refreshAllCommands();
        EXPECT_FALSE(a.app.frame()->action(cmd::RunMacro)->isEnabled()) << mode;
    }
    a.core.settings().record.ch2Mode = Ch2Mode::Independent;
    a.app.frame()->refreshAllCommands();
    EXPECT_TRUE(a.app.frame()->action(cmd::RunMacro)->isEnabled());
    EXPECT_TRUE(a.app.frame()->action(cmd::NewMacro)->isEnabled());
    EXPECT_TRUE(a.app.frame()->action(cmd::EditMacro)->isEnabled());
}

TEST(MacroCommands, NewAndEditStartTheEditorInTheMacroFolder)
{
    TempDir dir;
    App a(dir.path(), noPort);
    Recorded r;
    TDrawWindow& w = *a.app.frame()->client();
    registerMacroCommands(w.commands(), w, a.core, w.tools(), hooksFor(r));

    w.commands().dispatch(cmd::NewMacro);
    ASSERT_EQ(r.editors.size(), 1u);
    EXPECT_EQ(r.editors[0], (std::pair<std::string, std::string>{"", (dir / "macro").string()}));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "macro"));

    w.commands().dispatch(cmd::EditMacro);  // the file dialog cancelled: nothing starts
    EXPECT_EQ(r.editors.size(), 1u);
    r.choice = dir / "macro" / "m.txt";
    w.commands().dispatch(cmd::EditMacro);
    ASSERT_EQ(r.editors.size(), 2u);
    EXPECT_EQ(r.editors[1], (std::pair<std::string, std::string>{(dir / "macro" / "m.txt").string(), dir.path().string()}));
    EXPECT_TRUE(r.messages.empty());

    r.editorStarts = false;
    w.commands().dispatch(cmd::NewMacro);
    w.commands().dispatch(cmd::EditMacro);
    EXPECT_EQ(r.messages, std::vector<std::string>(2, "notepad.exeが見つかりませんでした。"));
}

TEST(MacroCommands, AMacroSendsOnThePortAndTakesTheReplyIntoARegister)
{
    TempDir dir;
    PtyPair far;
    std::ofstream(dir / "ports.conf") << "COM1=" << far.slavePath() << "\n";
    std::filesystem::create_directories(dir / "macro");
    const auto macro = dir / "macro" / "ping.txt";
    std::ofstream(macro, std::ios::binary) << "SEND 'PING'0D\r\n"
                                              "ZRED 01,005,050\r\n"
                                              "CMPL 01,OK1,'PONG'\r\n"
                                              "MOVE 02,'bad'\r\n"
                                              "PEND\r\n"
                                              ":OK1\r\n"
                                              "MOVE 02,'good'\r\n"
                                              "BSET Y017\r\n"
                                              "PEND\r\n";
    App a(dir.path());
    ASSERT_TRUE(a.core.channels().running(1));
    a.core.settings().record.macroClockMs = 10;
    // The first tick of the display's timer empties the buffer, as at every start: the run
    // begins after it, or a slow machine would see the sent bytes wiped out.
    TDrawWindow& w = *a.app.frame()->client();
    QElapsedTimer started;
    started.start();
    while (w.display().lowSpeed().startupClearPending != 0 && started.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_EQ(w.display().lowSpeed().startupClearPending, 0);

    // The far end answers PING with PONG.
    std::vector<std::uint8_t> heard;
    std::thread responder([&] {
        heard = far.receive(5, 10s);
        if (heard == std::vector<std::uint8_t>{'P', 'I', 'N', 'G', 0x0D})
            far.send("PONG\r");
    });

    Recorded r;
    r.choice = macro;
    bool finished = false;
    registerMacroCommands(w.commands(), w, a.core, w.tools(), hooksFor(r, [&](TMacrosend& d) {
        d.findChild<QPushButton*>(QStringLiteral("211"))->click();
        d.findChild<QPushButton*>(QStringLiteral("201"))->click();
        QElapsedTimer t;
        t.start();
        while (d.interpreter().running() && t.elapsed() < 15000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            QThread::msleep(1);
        }
        finished = !d.interpreter().running();
        d.findChild<QPushButton*>(QStringLiteral("202"))->click();
    }));
    w.commands().dispatch(cmd::RunMacro);
    responder.join();

    EXPECT_TRUE(finished);
    EXPECT_TRUE(r.messages.empty());
    const auto reg = [&](int n) {
        const auto b = a.core.macroMemory().registers[static_cast<std::size_t>(n)].bytes();
        return std::string(b.begin(), b.end());
    };
    EXPECT_EQ(reg(1), "PONG\r");
    EXPECT_EQ(reg(2), "good");
    EXPECT_EQ(a.core.dio().byte(DioArea::Output, 1), 0x80);  // the Y area is the core's I/O image
    // Sent and received bytes are in the traffic buffer with their tags.
    TrafficBuffer& t = a.core.traffic();
    std::string data, tags;
    for (std::int32_t i = 0; i < t.storedLength(); ++i) {
        data += static_cast<char>(t.dataAt(i));
        tags += static_cast<char>(t.tagAt(i));
    }
    EXPECT_EQ(data, "PING\rPONG\r");
    EXPECT_EQ(tags, "0000011111");
    EXPECT_EQ(std::filesystem::file_size(dir / "macro.dat"), 5120u);
}

} // namespace
} // namespace kestrane
