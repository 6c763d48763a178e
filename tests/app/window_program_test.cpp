// The window program `kestrane` itself, run as a user runs it in a folder of its own (offscreen):
// its command line and how it ends on a signal at any moment of its start-up.
#include "app/program_options.h"
#include "records/settings_files.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>
#include <stdlib.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <memory>
#include <thread>

namespace kestrane {
namespace {

using namespace std::chrono_literals;
using test::ChildProcess;
using test::TempDir;

const std::string kProgram = KESTRANE_PROGRAM_DIR "/kestrane";

std::vector<std::string> entries(const TempDir& dir)
{
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(WindowProgram, OptionsThatOnlyPrintNeitherOpenAWindowNorWriteAFile)
{
    // Without a display the xcb platform aborts the program: an option that opened the window
    // would end with SIGABRT instead of its text.
    struct Restore {
        std::string platform = getenv("QT_QPA_PLATFORM") ? getenv("QT_QPA_PLATFORM") : "offscreen";
        ~Restore() { ::setenv("QT_QPA_PLATFORM", platform.c_str(), 1); }
    } restore;
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    TempDir dir;
    for (const char* help : {"--help", "-h"}) {
        ChildProcess run({kProgram, help}, dir.path());
        EXPECT_EQ(run.waitForExit(10s), 0) << run.output();
        EXPECT_EQ(run.output().rfind("Usage: kestrane", 0), 0u) << run.output();
    }
    ChildProcess version({kProgram, "--version"}, dir.path());
    EXPECT_EQ(version.waitForExit(10s), 0);
    EXPECT_EQ(version.output(), programVersion() + "\n");
    EXPECT_EQ(version.output(), "kestrane 1.91\n");

    ChildProcess unknown({kProgram, "--colour=red"}, dir.path());
    EXPECT_EQ(unknown.waitForExit(10s), 2);
    EXPECT_EQ(unknown.output(),
              "kestrane: unknown option --colour\nusage: kestrane [--help] [--version] [--lang en|ja] [--folder DIR]\n");
    // A language we do not have, or none, is a mistake too, before any window or file.
    for (const std::vector<std::string>& args : {std::vector<std::string>{kProgram, "--lang=fr"},
                                                 std::vector<std::string>{kProgram, "--lang"},
                                                 std::vector<std::string>{kProgram, "--folder="},
                                                 std::vector<std::string>{kProgram, "--folder", "/nonexistent/kestrane"}}) {
        ChildProcess bad(args, dir.path());
        EXPECT_EQ(bad.waitForExit(10s), 2) << args.back();
        EXPECT_NE(bad.output().find("usage: kestrane"), std::string::npos) << bad.output();
    }
    ChildProcess helpInEnglish({kProgram, "--lang", "en", "--help"}, dir.path());
    EXPECT_EQ(helpInEnglish.waitForExit(10s), 0);
    ChildProcess stray({kProgram, "Quellorn.dat"}, dir.path());
    EXPECT_EQ(stray.waitForExit(10s), 2);
    EXPECT_NE(stray.output().find("unexpected argument \"Quellorn.dat\""), std::string::npos) << stray.output();
    ChildProcess helpAfterMistake({kProgram, "--x", "--help"}, dir.path());
    EXPECT_EQ(helpAfterMistake.waitForExit(10s), 0);

    EXPECT_TRUE(entries(dir).empty());
}

// The first start in a folder whose COM1 does not open: three missing settings files and the
// port failure are each shown for 3 s, then the main window offers the COM-port dialog.
TEST(WindowProgram, AStopSignalEndsEveryMomentOfTheStartUpAtOnce)
{
    ASSERT_NE(getenv("QT_QPA_PLATFORM"), nullptr);
    struct Moment {
        int signal;
        std::chrono::milliseconds at;  // after the start
        bool inSplash;                 // the four 3 s messages alone last longer than `at`
        bool silentLine = false;       // COM1 is a remote line whose server never answers
    };
    const Moment moments[] = {
        {SIGINT, 300ms, true},     // the toolkit starts, the splash is made
        {SIGTERM, 1500ms, true},   // "Quellorn.datがありません。"
        {SIGHUP, 4500ms, true},    // "Quellorn1.datがありません。"
        {SIGINT, 7500ms, true},    // "Quellorn2.datがありません。"
        {SIGTERM, 10500ms, true},  // "CH1のポートがopenしません。"
        {SIGINT, 9600ms, true, true},  // waiting for a line whose server says nothing
        // The COM-port dialog over the main window: its folder has the settings files, so only
        // the port's message is shown first and the window is surely up, however slow the build.
        {SIGHUP, 18s, false},
    };
    // A server that never answers: its backlog is filled by a connection of the test's own, so
    // the program's connect waits unanswered (the longest wait of an open).
    const int silent = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(silent, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(silent, 0), 0);
    ASSERT_EQ(::getsockname(silent, reinterpret_cast<sockaddr*>(&address), &length), 0);
    const int filler = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_EQ(::connect(filler, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const std::string silentLine = "rfc2217://127.0.0.1:" + std::to_string(ntohs(address.sin_port));

    std::vector<std::unique_ptr<TempDir>> dirs;
    std::vector<std::unique_ptr<ChildProcess>> programs;
    const auto start = std::chrono::steady_clock::now();
    for (std::size_t i = 0; i < std::size(moments); ++i) {
        dirs.push_back(std::make_unique<TempDir>());
        std::ofstream(*dirs[i] / "ports.conf")
            << "COM1=" << (moments[i].silentLine ? silentLine : (*dirs[i] / "no-such-device").string()) << "\n";
        if (!moments[i].inSplash) {
            const Settings defaults;
            ASSERT_TRUE(saveQuellorn(defaults, dirs[i]->path()));
            ASSERT_TRUE(saveQuellorn1(defaults, dirs[i]->path()));
            ASSERT_TRUE(saveQuellorn2(defaults, dirs[i]->path()));
        }
        programs.push_back(std::make_unique<ChildProcess>(std::vector<std::string>{kProgram}, dirs[i]->path()));
    }
    for (std::size_t i = 0; i < std::size(moments); ++i) {
        const Moment& m = moments[i];
        std::this_thread::sleep_until(start + m.at);
        programs[i]->signal(m.signal);
        // Within a second on an idle machine; the bound leaves room for a loaded one, and is
        // still below the 3 s of a message's wait. Before its handlers exist the signal's own
        // action ends it.
        const int code = programs[i]->waitForExit(2s);
        EXPECT_TRUE(code == 0 || code == 128 + m.signal)
            << strsignal(m.signal) << " at " << m.at.count() << " ms: " << code << "\n" << programs[i]->output();
        if (m.inSplash) {
            EXPECT_EQ(entries(*dirs[i]), std::vector<std::string>{"ports.conf"}) << "nothing is written before the window";
        } else {
            EXPECT_TRUE(std::filesystem::exists(*dirs[i] / "draw_size.dat")) << "the window closes as its 終了 does";
        }
    }
    ::close(filler);
    ::close(silent);
}

} // namespace
} // namespace kestrane
