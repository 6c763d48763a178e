// The demo instrument as a program: Kestrane's core on its ports sends a framed request and gets
// the framed reply, watches the line in T connection, and nothing is left when the demo stops.
#include "app/app_core.h"
#include "comm/channel.h"
#include "demo/demo_instrument.h"
#include "records/settings_files.h"
#include "ser2net/ser2net_process.h"
#include "support/child_process.h"
#include "support/eventually.h"
#include "support/temp_dir.h"
#include "text/cp932.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

namespace kestrane {
namespace {

using namespace std::chrono_literals;
using test::TempDir;
using test::eventually;

// The demo starts a process and its pseudo-terminals: waits are longer than elsewhere.
constexpr std::chrono::milliseconds kDemoWait = 20s;

// The demo program running in a folder, optionally with a program it starts.
class DemoProcess : public test::ChildProcess {
public:
    explicit DemoProcess(const std::filesystem::path& folder, std::vector<std::string> program = {},
                         std::vector<std::string> options = {})
        : ChildProcess(arguments(folder, std::move(program), std::move(options)))
    {
    }

private:
    static std::vector<std::string> arguments(const std::filesystem::path& folder, std::vector<std::string> program,
                                              std::vector<std::string> options)
    {
        std::vector<std::string> args{KESTRANE_PROGRAM_DIR "/kestrane-demo", "--folder", folder.string(), "--reading-ms",
                                      "200", "--poll-ms", "400"};
        args.insert(args.end(), options.begin(), options.end());
        if (!program.empty()) {
            args.push_back("--");
            args.insert(args.end(), program.begin(), program.end());
        }
        return args;
    }
};

std::string storedText(AppCore& core)
{
    TrafficBuffer& t = core.traffic();
    const auto n = static_cast<std::size_t>(t.storedLength());
    return std::string(reinterpret_cast<const char*>(t.currentDataPlane().data()), n);
}

TEST(DemoRun, KestranesCoreSendsAFramedRequestAndGetsTheFramedReply)
{
    TempDir dir;
    DemoProcess demo(dir.path());
    ASSERT_TRUE(demo.waitForOutput("kestrane-demo: ready")) << demo.output();

    // The core as the program builds it: ports through the ports.conf the demo wrote, settings
    // from the files it wrote on first run.
    AppCore core(dir.path());
    ASSERT_TRUE(core.loadGeneralSettings());
    ASSERT_TRUE(core.loadLineSettings());
    core.applySettings();
    core.traffic().clearTraffic();
    ASSERT_EQ(core.channels().openChannel(1, core.settings().record.ch1ComNumber), OpenResult::Opened);

    // Hold the instrument's device open ourselves too, to see the hang-up when the demo stops.
    const std::string device = std::filesystem::read_symlink(dir / "ttyDEMO1").string();
    const int watch = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(watch, 0);

    // The periodic reading with its label in code page 932.
    ASSERT_TRUE(eventually([&] { return fromCp932(QByteArray::fromStdString(storedText(core))).contains(QStringLiteral("温度")); }, kDemoWait));

    SendState& send = core.sendState();
    send.composeFrame("\"RD\"", TextForm::HexNotation, frameOptionsFrom(core.settings().record));
    ASSERT_EQ(std::string(send.sendBuffer.frame().begin(), send.sendBuffer.frame().end()), "\x02RD\x03\x16");
    ASSERT_EQ(core.transmit(1, send.sendBuffer.frame()), TransmitResult::Transmitted);

    // The reply: STX "RD,<value>" ETX and the byte XOR of its data, as the request was checked.
    std::size_t at = std::string::npos;
    ASSERT_TRUE(eventually([&] {
        const std::string s = storedText(core);
        at = s.find("\x02RD,");
        return at != std::string::npos && s.find('\x03', at) != std::string::npos && s.find('\x03', at) + 1 < s.size();
    }, kDemoWait)) << storedText(core);
    const std::string s = storedText(core);
    const std::size_t etx = s.find('\x03', at);
    const std::string data = s.substr(at + 1, etx - at - 1);
    EXPECT_EQ(data.size(), std::string("RD,+23.4").size());
    std::uint8_t bcc = 0;
    for (const char c : data)
        bcc = static_cast<std::uint8_t>(bcc ^ static_cast<std::uint8_t>(c));
    EXPECT_EQ(static_cast<std::uint8_t>(s[etx + 1]), bcc);

    demo.signal(SIGTERM);
    EXPECT_EQ(demo.waitForExit(), 0);
    EXPECT_FALSE(std::filesystem::is_symlink(dir / "ttyDEMO1"));
    EXPECT_FALSE(std::filesystem::is_symlink(dir / "ttyDEMO2"));
    // The demo's side of the terminal is closed: whoever still holds the device sees the hang-up.
    pollfd p{watch, POLLIN, 0};
    EXPECT_EQ(::poll(&p, 1, 5000), 1);
    EXPECT_TRUE(p.revents & POLLHUP);
    ::close(watch);
    core.channels().closeChannel(1);
}

class DemoLines : public ::testing::TestWithParam<bool> {};

// Served by ser2net, the demo's lines are remote lines (RFC 2217 on 127.0.0.1), watched the same way.
TEST_P(DemoLines, ALineMonitorSeesTheHostsPollOnCh2AndTheInstrumentsReplyOnCh1)
{
    const bool served = GetParam();
    TempDir dir;
    DemoProcess demo(dir.path(), {}, served ? std::vector<std::string>{"--ser2net"} : std::vector<std::string>{});
    ASSERT_TRUE(demo.waitForOutput("kestrane-demo: ready")) << demo.output();
    std::stringstream conf;
    conf << std::ifstream(dir / "ports.conf").rdbuf();
    EXPECT_EQ(conf.str().find("COM1=rfc2217://127.0.0.1:") != std::string::npos, served) << conf.str();
    AppCore core(dir.path());
    core.settings().record.ch2Mode = Ch2Mode::MonitorT;
    core.settings().record.ch2ComNumber = 2;
    core.applySettings();
    core.traffic().clearTraffic();
    ASSERT_EQ(core.channels().openChannel(1, 1), OpenResult::Opened);
    ASSERT_EQ(core.channels().openChannel(2, 2), OpenResult::Opened);

    const std::string poll = [] {
        const auto b = demo::hostPoll();
        return std::string(b.begin(), b.end());
    }();
    ASSERT_TRUE(eventually([&] {
        const std::string s = storedText(core);
        return s.find(poll) != std::string::npos && s.find("\x02RD,") != std::string::npos;
    }, kDemoWait)) << storedText(core);
    // In the T connection CH2's bytes are tagged '0' and CH1's '1'.
    TrafficBuffer& t = core.traffic();
    const std::string s = storedText(core);
    const auto tagAt = [&](std::size_t i) { return static_cast<char>(t.currentTagPlane()[i]); };
    EXPECT_EQ(tagAt(s.find(poll)), '0');
    EXPECT_EQ(tagAt(s.find("\x02RD,")), '1');

    demo.signal(SIGINT);
    EXPECT_EQ(demo.waitForExit(), 0);
    core.channels().closeChannel(1);
    core.channels().closeChannel(2);
    if (served) {  // ser2net ended with the demo
        const auto at = conf.str().find("127.0.0.1:") + 10;
        EXPECT_FALSE(listeningOnLoopback(static_cast<std::uint16_t>(std::stoi(conf.str().substr(at)))));
    }
}
INSTANTIATE_TEST_SUITE_P(LocalOrServed, DemoLines, ::testing::Bool(),
                         [](const auto& p) { return p.param ? "ServedBySer2net" : "Local"; });

TEST(DemoRun, TheProgramRunsInTheFolderAndTheDemoEndsWithIt)
{
    TempDir dir;
    DemoProcess demo(dir.path(), {"/bin/sh", "-c", "pwd > where.txt; cat ports.conf > seen.txt"});
    EXPECT_EQ(demo.waitForExit(), 0) << demo.output();
    std::string where;
    std::getline(std::ifstream(dir / "where.txt"), where);
    EXPECT_EQ(std::filesystem::path(where), dir.path());
    std::stringstream seen;
    seen << std::ifstream(dir / "seen.txt").rdbuf();
    EXPECT_NE(seen.str().find("COM1=" + (dir / "ttyDEMO1").string()), std::string::npos);
    EXPECT_FALSE(std::filesystem::is_symlink(dir / "ttyDEMO1"));
}

TEST(DemoRun, StoppingTheDemoEndsItsProgramAndLeavesNoProcess)
{
    TempDir dir;
    DemoProcess demo(dir.path(), {"/bin/sleep", "60"});
    ASSERT_TRUE(demo.waitForOutput("(pid ")) << demo.output();
    const auto at = demo.output().find("(pid ");
    ASSERT_TRUE(demo.waitForOutput(")", at)) << demo.output();
    const std::string& out = demo.output();
    const pid_t child = static_cast<pid_t>(std::stoi(out.substr(at + 5)));
    ASSERT_EQ(::kill(child, 0), 0);
    demo.signal(SIGTERM);
    EXPECT_EQ(demo.waitForExit(), 128 + SIGTERM);  // the program's own end is the demo's result
    EXPECT_EQ(::kill(child, 0), -1);
    EXPECT_EQ(errno, ESRCH);
}

TEST(DemoRun, HelpIsPrintedAndMistakesAreToldWithoutMakingTheFolder)
{
    TempDir dir;
    test::ChildProcess help({KESTRANE_PROGRAM_DIR "/kestrane-demo", "--help"}, dir.path());
    EXPECT_EQ(help.waitForExit(), 0);
    EXPECT_EQ(help.output().rfind("Usage: kestrane-demo [OPTIONS] [-- PROGRAM [ARGS...]]\n", 0), 0u) << help.output();
    for (const char* part : {"--folder DIR", "--ser2net", "COM1", "Exit status"})
        EXPECT_NE(help.output().find(part), std::string::npos) << part;
    test::ChildProcess wrong({KESTRANE_PROGRAM_DIR "/kestrane-demo", "--poll-ms", "5"}, dir.path());
    EXPECT_EQ(wrong.waitForExit(), 2);
    EXPECT_NE(wrong.output().find("--poll-ms takes milliseconds from 10 to 3600000, not \"5\""), std::string::npos)
        << wrong.output();
    EXPECT_TRUE(std::filesystem::is_empty(dir.path())) << "no ./kestrane-demo folder, no ports.conf";
}

// Ctrl-C in the terminal reaches the demo alone; Kestrane, in its own process group, is told by
// the demo, and both end within a second at any moment of Kestrane's start-up.
TEST(DemoRun, CtrlCEndsTheDemoAndKestraneAtAnyMomentOfItsStartUp)
{
    ASSERT_NE(getenv("QT_QPA_PLATFORM"), nullptr);
    const std::chrono::milliseconds moments[] = {300ms, 700ms, 1200ms, 4s};  // toolkit, splash, window
    std::vector<std::unique_ptr<TempDir>> dirs;
    std::vector<std::unique_ptr<DemoProcess>> demos;
    const auto start = std::chrono::steady_clock::now();
    for (std::size_t i = 0; i < std::size(moments); ++i) {
        dirs.push_back(std::make_unique<TempDir>());
        demos.push_back(std::make_unique<DemoProcess>(dirs[i]->path(),
                                                      std::vector<std::string>{KESTRANE_PROGRAM_DIR "/kestrane"}));
    }
    for (std::size_t i = 0; i < std::size(moments); ++i) {
        DemoProcess& demo = *demos[i];
        ASSERT_TRUE(demo.waitForOutput("(pid ")) << demo.output();
        const auto at = demo.output().find("(pid ");
        ASSERT_TRUE(demo.waitForOutput(")", at)) << demo.output();
        const pid_t kestrane = static_cast<pid_t>(std::stoi(demo.output().substr(at + 5)));
        std::this_thread::sleep_until(start + moments[i]);
        demo.signal(SIGINT);
        EXPECT_NE(demo.waitForExit(2s), -1) << "at " << moments[i].count() << " ms\n" << demo.output();
        EXPECT_EQ(::kill(kestrane, 0), -1) << "Kestrane still runs after the demo ended";
        EXPECT_EQ(errno, ESRCH);
    }
}

} // namespace
} // namespace kestrane
