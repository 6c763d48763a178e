// kestrane-macro as a test step: golden macro scripts run on pseudo-terminal pairs, with a
// responder at the far end, and the exit codes a test runner sees.
#include "support/child_process.h"
#include "support/pty_pair.h"
#include "support/temp_dir.h"
#include "traffic/traffic_buffer.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

namespace kestrane {
namespace {

using namespace std::chrono_literals;
using test::ChildProcess;
using test::PtyPair;
using test::TempDir;

// The macro part of a golden script, with the CR LF line ends of the program's macro files.
std::string goldenMacro(const std::string& name)
{
    std::ifstream in(std::string(KESTRANE_MACRO_GOLDEN_DIR) + "/" + name);
    std::stringstream text;
    text << in.rdbuf();
    std::string macro = text.str().substr(0, text.str().find("=== expect ==="));
    std::string crlf;
    for (const char c : macro)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return crlf;
}

// A folder with ports.conf for COM1 and COM2 on pty pairs; each far end answers the sent frames
// ending in ETX with the replies given, in order.
struct MacroFolder {
    TempDir dir;
    PtyPair far1, far2;
    std::vector<std::string> replies;
    std::atomic<bool> done{false};
    std::string heard1;  // what CH1 sent, once the run is over
    std::thread responder;

    explicit MacroFolder(std::vector<std::string> answers = {}) : replies(std::move(answers))
    {
        std::ofstream(dir / "ports.conf") << "COM1=" << far1.slavePath() << "\nCOM2=" << far2.slavePath() << "\n";
        responder = std::thread([this] {
            std::size_t next = 0;
            while (!done) {
                const auto got = far1.receive(1, 20ms);
                heard1.append(got.begin(), got.end());
                if (!got.empty() && got.back() == 0x03 && next < replies.size())
                    far1.send(replies[next++]);
            }
        });
    }
    ~MacroFolder() { finish(); }
    void finish()
    {
        done = true;
        if (responder.joinable())
            responder.join();
    }

    // Runs `macro` (the text of a file) with `options`; the exit code.
    int run(const std::string& macro, std::vector<std::string> options, std::string* output = nullptr)
    {
        std::ofstream(dir / "test.mac", std::ios::binary) << macro;
        options.insert(options.begin(), {KESTRANE_PROGRAM_DIR "/kestrane-macro", "--folder", dir.path().string(),
                                         "--clock", "25"});
        options.push_back((dir / "test.mac").string());
        ChildProcess p(options);
        const int code = p.waitForExit(60s);
        if (output)
            *output = p.output();
        return code;
    }
};

// The lines of `out` that hold other than ASCII outside parentheses, where only the dialog's own
// words may follow their English.
std::string japaneseOutsideParentheses(const std::string& out)
{
    std::string found;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        int depth = 0;
        for (const char c : line) {
            depth += c == '(' ? 1 : c == ')' ? -1 : 0;
            if (depth == 0 && static_cast<unsigned char>(c) >= 0x80) {
                found += line + "\n";
                break;
            }
        }
    }
    return found;
}

TEST(MacroRun, TheExampleProgramTalksToADeviceAndEndsAtPendWithTheTrafficInALog)
{
    MacroFolder f({"NG", "OK"});
    std::string out;
    const auto log = f.dir / "run.LOG";
    ASSERT_EQ(f.run(goldenMacro("example/read_until_ok.mac"), {"--log", log.string()}, &out), 0) << out;
    EXPECT_NE(out.find("00000000 running (処理中)"), std::string::npos) << out;
    EXPECT_NE(out.find("waiting for reception (受信待) line 3"), std::string::npos);
    EXPECT_NE(out.find("finished at line 7\n"), std::string::npos);
    EXPECT_EQ(japaneseOutsideParentheses(out), "");
    f.finish();
    EXPECT_EQ(f.heard1, "\x02" "012\x03\x02" "012\x03");

    SystemClock clock;
    TrafficBuffer window(clock);
    ASSERT_TRUE(window.loadFromLog(log));
    std::string recorded, tags;
    for (std::int32_t i = 0; i < window.storedLength(); ++i) {
        recorded += static_cast<char>(window.dataAt(i));
        tags += static_cast<char>(window.tagAt(i));
    }
    EXPECT_EQ(recorded, "\x02" "012\x03NG\x02" "012\x03OK");
    EXPECT_EQ(tags, "0000011000001" "1");
}

TEST(MacroRun, FramesGoOutOnBothChannelsAsTheMacroSaysThem)
{
    MacroFolder f;
    std::string out;
    ASSERT_EQ(f.run(goldenMacro("sending/send_commands.mac"), {"--ch2", "COM2"}, &out), 0) << out;
    EXPECT_EQ(f.far2.receive(4, 2s), (std::vector<std::uint8_t>{0x41, 'x', 'y', 'z'}));
    f.finish();
    EXPECT_EQ(f.heard1, std::string("AB\rxyz\x02\0", 8));
}

TEST(MacroRun, ATimeOutEndsTheRunWithExitCode1)
{
    MacroFolder f;
    std::string out;
    EXPECT_EQ(f.run(goldenMacro("reception/read_count_without_time.mac"), {"--timeout", "0.5"}, &out), 1) << out;
    EXPECT_NE(out.find("time-out after 0.5 s at line 1, waiting for reception (受信待)"), std::string::npos) << out;
}

TEST(MacroRun, AStopSignalWhileTheMacroWaitsEndsTheRunWithExitCode1)
{
    MacroFolder f;
    for (const int sig : {SIGTERM, SIGINT, SIGHUP}) {
        std::ofstream(f.dir / "test.mac", std::ios::binary) << goldenMacro("reception/read_count_without_time.mac");
        ChildProcess p({KESTRANE_PROGRAM_DIR "/kestrane-macro", "--folder", f.dir.path().string(), "--clock", "25",
                        (f.dir / "test.mac").string()});
        ASSERT_TRUE(p.waitForOutput("waiting for reception (受信待) line 1")) << p.output();
        p.signal(sig);
        EXPECT_EQ(p.waitForExit(), 1) << "signal " << sig << "\n" << p.output();
        EXPECT_NE(p.output().find(std::string("stopped by SIG") + sigabbrev_np(sig) + " at line 1, waiting for reception"),
                  std::string::npos)
            << p.output();
    }
}

TEST(MacroRun, ADeviceLostWhileTheMacroWaitsIsToldWithItsReason)
{
    MacroFolder f;
    std::ofstream(f.dir / "test.mac", std::ios::binary) << goldenMacro("reception/read_count_without_time.mac");
    ChildProcess p({KESTRANE_PROGRAM_DIR "/kestrane-macro", "--folder", f.dir.path().string(), "--clock", "25",
                    "--timeout", "30", (f.dir / "test.mac").string()});
    ASSERT_TRUE(p.waitForOutput("waiting for reception (受信待) line 1")) << p.output();
    f.finish();
    f.far1.closeMaster();  // unplugged
    EXPECT_TRUE(p.waitForOutput("CH1 lost: the device went away; waiting for it to come back")) << p.output();
    p.signal(SIGTERM);
    EXPECT_EQ(p.waitForExit(), 1) << p.output();
}

TEST(MacroRun, NoticesAndReasonsAreInEnglish)
{
    MacroFolder f;
    std::string out;
    EXPECT_EQ(f.run(goldenMacro("out_of_range/mmid_negative_range.mac"), {}, &out), 0) << out;
    EXPECT_NE(out.find("line 3: MMID: a negative position or length; the command did nothing"), std::string::npos) << out;
    EXPECT_EQ(f.run(goldenMacro("out_of_range/madd_longer_than_520.mac"), {}, &out), 0) << out;
    EXPECT_NE(out.find("line 3: MADD: 280 bytes beyond the register's 520 were cut off"), std::string::npos) << out;
    EXPECT_EQ(f.run("MOVE 01,'x'\r\nMCLR -9\r\nPEND\r\n", {}, &out), 0) << out;
    EXPECT_NE(out.find("line 2: MCLR: register number -9 lies outside 00..99; the command did nothing"), std::string::npos)
        << out;
    EXPECT_EQ(japaneseOutsideParentheses(out), "");
}

TEST(MacroRun, ButtonsAndTypedInputAreAnsweredByOptionsOrEndTheRunWithExitCode3)
{
    MacroFolder f;
    std::string out;
    // Button2 does not match PUSE 3, Button3 jumps to L20, whose PEND is on line 7.
    EXPECT_EQ(f.run(goldenMacro("buttons/puse.mac"), {"--button", "2", "--button", "3"}, &out), 0) << out;
    EXPECT_NE(out.find("Button2 pressed"), std::string::npos);
    EXPECT_NE(out.find("finished at line 7"), std::string::npos) << out;

    EXPECT_EQ(f.run(goldenMacro("buttons/waits_until_pressed.mac"), {}, &out), 3) << out;
    EXPECT_NE(out.find("line 1 waits for a button (釦押待): nobody can press one here; answer it with --button N"),
              std::string::npos)
        << out;
    EXPECT_EQ(f.run(goldenMacro("input/ichr.mac"), {}, &out), 3) << out;
    EXPECT_NE(out.find("answer it with --input1 TEXT and --input2 TEXT"), std::string::npos) << out;
    EXPECT_EQ(f.run("ICHR 1,03\r\nMSED 03\r\nICHR 2,04\r\nMSED 04\r\nPEND\r\n", {"--input1", "温度", "--input2", "ok"}, &out), 0)
        << out;
    EXPECT_EQ(f.run(goldenMacro("bits/bton_boff.mac"), {}, &out), 3) << out;
    EXPECT_NE(out.find("waits for an external input bit (外入待)"), std::string::npos) << out;
    f.finish();
    EXPECT_EQ(f.heard1, "\x89\xB7\x93\x78ok") << "typed input goes on the line as code page 932";
}

TEST(MacroRun, AFailedSendABadFileOrAPortThatDoesNotOpenEndWithExitCode2)
{
    MacroFolder f;
    std::string out;
    // CH2 is not used: SED2 cannot send, and the run ends there.
    EXPECT_EQ(f.run(goldenMacro("sending/failed_send_goes_on.mac"), {}, &out), 2) << out;
    EXPECT_NE(out.find("a send failed at line 3, running (処理中)"), std::string::npos) << out;
    EXPECT_EQ(japaneseOutsideParentheses(out), "");

    ChildProcess missing({KESTRANE_PROGRAM_DIR "/kestrane-macro", "--folder", f.dir.path().string(),
                          (f.dir / "nothing.mac").string()});
    EXPECT_EQ(missing.waitForExit(), 2);
    EXPECT_NE(missing.output().find("cannot read the macro file " + (f.dir / "nothing.mac").string()
                                    + ": No such file or directory (ENOENT)"),
              std::string::npos)
        << missing.output();

    std::ofstream(f.dir / "ports.conf") << "COM5=" << (f.dir / "ttyGone").string() << "\n";
    EXPECT_EQ(f.run("PEND\r\n", {"--ch1", "COM5"}, &out), 2) << out;
    EXPECT_NE(out.find("cannot open CH1 (COM5): " + (f.dir / "ttyGone").string() + " is not present"), std::string::npos)
        << out;
}

// A log that cannot be written ends the run at once, before a byte is sent, with the reason.
TEST(MacroRun, ALogThatCannotBeWrittenEndsTheRunBeforeAnythingIsSent)
{
    MacroFolder f({"OK"});
    std::filesystem::create_directory(f.dir / "folder.LOG");
    const std::vector<std::pair<std::filesystem::path, int>> logs = {
        {f.dir / "missing" / "run.LOG", ENOENT}, {f.dir / "ports.conf" / "run.LOG", ENOTDIR}, {f.dir / "folder.LOG", EISDIR}};
    for (const auto& [log, error] : logs) {
        std::string out;
        EXPECT_EQ(f.run(goldenMacro("example/read_until_ok.mac"), {"--log", log.string()}, &out), 2) << out;
        EXPECT_NE(out.find("cannot write the log " + log.string() + ": " + std::strerror(error)), std::string::npos) << out;
        EXPECT_EQ(out.find("処理中"), std::string::npos) << "the macro never started: " << out;
    }
    f.finish();
    EXPECT_EQ(f.heard1, "");
}

} // namespace
} // namespace kestrane
