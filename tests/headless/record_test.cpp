// kestrane-record as a user runs it: in a folder with ports.conf, between pseudo-terminal pairs,
// ended by a signal; its pages opened by the window's own loader.
#include "app/app_core.h"
#include "capture/pcapng.h"
#include "capture/rtac_serial.h"
#include "headless/port_setup.h"
#include "headless/recorder.h"
#include "platform/atomic_file.h"
#include "platform/clock.h"
#include "support/child_process.h"
#include "support/byte_pattern.h"
#include "support/pty_pair.h"
#include "support/scripted_com_port_server.h"
#include "support/temp_dir.h"
#include "traffic/log_file.h"
#include "traffic/traffic_buffer.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mount.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <tuple>
#include <sstream>
#include <thread>

namespace kestrane {
namespace {

using namespace std::chrono_literals;
using test::ChildProcess;
using test::PtyPair;
using test::TempDir;
using Bytes = std::vector<std::uint8_t>;

// What the pages <prefix>0.log, <prefix>1.log, ... hold, as the window loads them.
struct Pages {
    int count = 0;
    bool allLoad = true;
    std::vector<std::int32_t> lengths;
    Bytes ch1, ch2;  // received on CH1 (tag '1') and on CH2 (tag '0' in the line-monitor modes)
};

Pages readPages(const std::filesystem::path& folder, const std::string& prefix = "Log")
{
    Pages p;
    SystemClock clock;
    TrafficBuffer window(clock);
    for (int n = 0; std::filesystem::exists(folder / (prefix + std::to_string(n) + ".log")); ++n) {
        ++p.count;
        p.allLoad = window.loadFromLog(folder / (prefix + std::to_string(n) + ".log")) && p.allLoad;
        const std::int32_t length = window.storedLength();
        p.lengths.push_back(length);
        for (std::int32_t i = 0; i < length; ++i) {
            const std::uint8_t tag = window.tagAt(i);
            (tag == '1' ? p.ch1 : p.ch2).push_back(window.dataAt(i));
            p.allLoad = p.allLoad && (tag == '1' || tag == '0');
        }
    }
    return p;
}

// The bytes a channel received in all, from the recorder's last line ("at the end: CH1 1,234 B ...").
std::uint64_t receivedAtTheEnd(const std::string& output, const std::string& name)
{
    const auto line = output.find("at the end: ");
    const auto at = line == std::string::npos ? line : output.find(name + " ", line);
    if (at == std::string::npos)
        return ~std::uint64_t{0};
    std::uint64_t n = 0;
    for (std::size_t i = at + name.size() + 1; i < output.size() && output[i] != ' '; ++i)
        if (output[i] != ',')
            n = n * 10 + static_cast<std::uint64_t>(output[i] - '0');
    return n;
}

bool isPrefix(const Bytes& part, const Bytes& whole)
{
    return part.size() <= whole.size() && std::equal(part.begin(), part.end(), whole.begin());
}

// A folder whose ports.conf maps COM1 and COM2 to two pty pairs; the test is the far end of each.
struct RecordFolder {
    TempDir dir;
    PtyPair far1, far2;
    std::filesystem::path logs = dir / "log";

    RecordFolder() { std::ofstream(dir / "ports.conf") << "COM1=" << far1.slavePath() << "\nCOM2=" << far2.slavePath() << "\n"; }
    std::unique_ptr<ChildProcess> start(std::vector<std::string> options)
    {
        options.insert(options.begin(), {KESTRANE_PROGRAM_DIR "/kestrane-record", "--folder", dir.path().string()});
        auto p = std::make_unique<ChildProcess>(options);
        EXPECT_TRUE(p->waitForOutput("recording CH1")) << p->output();
        return p;
    }
};

TEST(Record, ARelayRecordsBothDirectionsAtOnceIntoPagesTheWindowOpens)
{
    RecordFolder f;
    auto recorder = f.start({"--relay", "--ch1", "COM1", "--ch2", "COM2"});
    // 10 MB in all, 5 MB each way at the same time; each far end gets what the other sent.
    const Bytes a = test::bytePattern(5'000'000, 1), b = test::bytePattern(5'000'000, 2);
    Bytes atFar2, atFar1;
    std::thread ab([&] {
        std::thread w([&] { f.far1.send(a); });
        atFar2 = f.far2.receive(a.size(), 240s);
        w.join();
    });
    std::thread ba([&] {
        std::thread w([&] { f.far2.send(b); });
        atFar1 = f.far1.receive(b.size(), 240s);
        w.join();
    });
    ab.join();
    ba.join();
    EXPECT_TRUE(atFar2 == a && atFar1 == b) << "the relay passes every byte on";

    recorder->signal(SIGTERM);
    ASSERT_EQ(recorder->waitForExit(), 0) << recorder->output();
    const Pages pages = readPages(f.logs);
    EXPECT_TRUE(pages.allLoad);
    EXPECT_GT(pages.count, 250);
    for (std::size_t i = 0; i + 1 < pages.lengths.size(); ++i)
        ASSERT_GT(pages.lengths[i], 35'000) << "page " << i << " is a full page";
    EXPECT_TRUE(pages.ch1 == a) << "CH1's pages hold what CH1 received, byte for byte";
    EXPECT_TRUE(pages.ch2 == b);
    EXPECT_NE(recorder->output().find("page Log0.log complete"), std::string::npos) << recorder->output();
}

TEST(Record, AStopSignalInTheMiddleOfTrafficKeepsEveryByteReadBeforeIt)
{
    RecordFolder f;
    auto recorder = f.start({"--relay", "--ch1", "1", "--ch2", "2", "--prefix", "Run"});
    const Bytes data = test::bytePattern(20'000'000, 3);
    std::atomic<bool> stop{false};
    std::size_t sent = 0;
    std::thread sender([&] {
        for (; sent < data.size() && !stop; sent += 4096)
            f.far1.sendFor(Bytes(data.begin() + static_cast<std::ptrdiff_t>(sent),
                                 data.begin() + static_cast<std::ptrdiff_t>(std::min(sent + 4096, data.size()))),
                           2s);
    });
    Bytes relayed;
    std::thread reader([&] {
        while (!stop) {
            const Bytes got = f.far2.receive(1 << 16, 50ms);
            relayed.insert(relayed.end(), got.begin(), got.end());
        }
    });
    ASSERT_TRUE(recorder->waitForOutput("page Run2.log complete", 0, 120s)) << recorder->output();
    recorder->signal(SIGTERM);
    const int code = recorder->waitForExit();
    stop = true;
    sender.join();
    reader.join();
    ASSERT_EQ(code, 0) << recorder->output();
    EXPECT_NE(recorder->output().find("stopped by SIGTERM; wrote the page in progress"), std::string::npos);

    const Pages pages = readPages(f.logs, "Run");
    EXPECT_TRUE(pages.allLoad);
    EXPECT_TRUE(isPrefix(pages.ch1, data)) << "no gap and no stray byte";
    EXPECT_EQ(pages.ch1.size(), receivedAtTheEnd(recorder->output(), "CH1>CH2"))
        << "every byte the recorder read is in a file: the page in progress is written after the channels closed";
    EXPECT_TRUE(isPrefix(relayed, pages.ch1)) << relayed.size() << " bytes passed on, " << pages.ch1.size() << " recorded";
}

// Polls the pages in `folder` until CH1's bytes are `text` (false after 10 s).
bool pagesShow(const std::filesystem::path& folder, const std::string& text)
{
    for (int i = 0; i < 200; ++i) {
        const Pages pages = readPages(folder);
        if (std::string(pages.ch1.begin(), pages.ch1.end()) == text)
            return true;
        std::this_thread::sleep_for(50ms);
    }
    return false;
}

std::string text(const std::vector<std::uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

TEST(Record, EachStopSignalWritesThePageInProgressAndACheckpointKeepsItMeanwhile)
{
    for (const int sig : {SIGINT, SIGHUP}) {
        RecordFolder f;
        auto recorder = f.start({"--relay", "--ch2", "COM2", "--checkpoint", "1"});
        f.far1.send("hello");
        EXPECT_EQ(text(f.far2.receive(5, 10s)), "hello");
        EXPECT_TRUE(pagesShow(f.logs, "hello")) << "the checkpoint writes the page in progress meanwhile";
        f.far1.send(" world");
        EXPECT_EQ(text(f.far2.receive(6, 10s)), " world") << "read (and passed on) before the signal";
        recorder->signal(sig);
        ASSERT_EQ(recorder->waitForExit(), 0) << recorder->output();
        const Pages pages = readPages(f.logs);
        EXPECT_EQ(pages.count, 1);
        EXPECT_EQ(text(pages.ch1), "hello world") << "signal " << sig;
    }
}

// Waits up to 10 s for `done`.
bool eventually(const std::function<bool()>& done)
{
    for (int i = 0; i < 1000 && !done(); ++i)
        std::this_thread::sleep_for(10ms);
    return done();
}

// How often the page in progress is written meanwhile, however often the recorder wakes:
// --checkpoint 0 never, S seconds once S seconds have passed and only when the page grew since.
// (Also: a prefix given in UTF-8 names the pages as given.)
TEST(Record, TheCheckpointWritesThePageInProgressOnlyWhenDueAndGrown)
{
    for (const int seconds : {0, 2}) {
        SCOPED_TRACE(seconds);
        RecordFolder f;
        AppCore core(f.dir.path());
        std::unique_ptr<std::FILE, int (*)(std::FILE*)> out(std::tmpfile(), &std::fclose);
        headless::Console console(out.get(), false);
        headless::RecordOptions options;
        options.checkpointSeconds = seconds;
        options.prefix = "記録";
        headless::Recorder recorder(core, options, console);
        ASSERT_EQ(recorder.start(), headless::Recorder::kStopped);
        const auto onDisk = [&] { return text(readPages(f.logs, "記録").ch1); };
        f.far1.send("hello");
        ASSERT_TRUE(eventually([&] { return core.traffic().storedLength() == 5; }));
        for (std::int64_t ms = 0; ms < 2000; ms += 250)
            recorder.watch(ms);
        EXPECT_EQ(onDisk(), "");
        recorder.watch(2000);
        EXPECT_EQ(onDisk(), seconds == 2 ? "hello" : "");
        f.far1.send(" world");
        ASSERT_TRUE(eventually([&] { return core.traffic().storedLength() == 11; }));
        recorder.watch(3999);
        EXPECT_EQ(onDisk(), seconds == 2 ? "hello" : "");
        recorder.watch(4000);
        EXPECT_EQ(onDisk(), seconds == 2 ? "hello world" : "");
        std::filesystem::remove(f.logs / "記録0.log");
        recorder.watch(6000);
        EXPECT_EQ(onDisk(), "") << "not grown: not written again";
        recorder.watch(100'000);
        EXPECT_TRUE(recorder.stop("test"));
        EXPECT_EQ(onDisk(), "hello world");
    }
}

// A flood never fills the disk: on a small file system of its own, pages stop where the floor
// would no longer stay free, that is said once, the recording goes on in memory, and pages go
// on once there is room. Needs the right to mount (root in CI); skipped elsewhere.
TEST(Record, BelowTheFreeSpaceFloorPagesAreHeldBackAndGoOnWhenThereIsRoom)
{
    RecordFolder f;
    std::filesystem::create_directory(f.logs);
    constexpr std::uint64_t kPageOnDisk = 73728;  // 72004 bytes in 4 KiB blocks
    const auto mountLogs = [&](unsigned long flags, std::uint64_t pages) {
        const std::string size = "size=" + std::to_string(kAutoLogFreeSpaceFloor + pages * kPageOnDisk);
        return ::mount("tmpfs", f.logs.c_str(), "tmpfs", flags, size.c_str()) == 0;
    };
    if (!mountLogs(0, 8))
        GTEST_SKIP() << "cannot mount a small file system here: " << std::strerror(errno);
    struct Unmount {
        std::filesystem::path at;
        ~Unmount() { ::umount2(at.c_str(), MNT_DETACH); }
    } unmount{f.logs};

    auto recorder = f.start({"--ch1", "COM1", "--ch2", "none"});
    const Bytes data = test::bytePattern(3'000'000, 5);
    f.far1.send(Bytes(data.begin(), data.begin() + 1'000'000));
    ASSERT_TRUE(recorder->waitForOutput("on are not written until there is room", 0, 60s)) << recorder->output();
    EXPECT_GE(freeSpace(f.logs).value_or(0), kAutoLogFreeSpaceFloor) << "the floor stays free";

    ASSERT_TRUE(mountLogs(MS_REMOUNT, 8 + (kAutoLogResumeMargin / kPageOnDisk) + 40));
    f.far1.send(Bytes(data.begin() + 1'000'000, data.end()));
    ASSERT_TRUE(recorder->waitForOutput("room again: ", 0, 60s)) << recorder->output();
    recorder->signal(SIGTERM);
    ASSERT_EQ(recorder->waitForExit(), 0) << recorder->output();
    const std::string& out = recorder->output();
    EXPECT_EQ(out.find("not written until there is room"), out.rfind("not written until there is room")) << "said once";

    // The pages before the gap hold the start of the traffic; the pages after it go on where the
    // traffic was, up to the last byte read: nothing but the held pages is missing.
    std::vector<int> onDisk;
    for (int n = 0; n < 200; ++n)
        if (std::filesystem::exists(f.logs / ("Log" + std::to_string(n) + ".log")))
            onDisk.push_back(n);
    ASSERT_FALSE(onDisk.empty());
    EXPECT_GT(onDisk.back() + 1 - static_cast<int>(onDisk.size()), 0) << "some pages were held back";
    const Pages before = readPages(f.logs);
    EXPECT_TRUE(isPrefix(before.ch1, data));
    const std::uint64_t received = receivedAtTheEnd(out, "CH1");
    ASSERT_LE(received, data.size()) << out;
    SystemClock clock;
    TrafficBuffer window(clock);
    ASSERT_TRUE(window.loadFromLog(f.logs / ("Log" + std::to_string(onDisk.back()) + ".log")));
    const auto last = window.currentDataPlane().first(static_cast<std::size_t>(window.storedLength()));
    ASSERT_LE(last.size(), received);
    EXPECT_TRUE(std::equal(last.begin(), last.end(), data.begin() + static_cast<std::ptrdiff_t>(received - last.size())))
        << "the last page ends with the last byte read";
    for (std::size_t i = 1; i < onDisk.size(); ++i) {
        if (onDisk[i] != onDisk[i - 1] + 1) {
            EXPECT_NE(out.find("pages go on with Log" + std::to_string(onDisk[i]) + ".log"), std::string::npos) << out;
        }
    }
}

TEST(Record, ANewRunNumbersOnAfterTheHighestPageInTheFolder)
{
    TempDir dir;
    for (const char* name : {"Log0.log", "Log7.log", "Log12.log", "Log03.log", "Logx.log", "Lag99.log", "Log40.txt"})
        std::ofstream(dir / name) << "x";
    EXPECT_EQ(headless::nextLogNumber(dir.path(), "Log"), 13);
    EXPECT_EQ(headless::nextLogNumber(dir.path(), "Lag"), 100);
    EXPECT_EQ(headless::nextLogNumber(dir.path(), "New"), 0);
}

TEST(Record, APortThatDoesNotOpenIsToldWithItsReasonAndExitCode2)
{
    RecordFolder f;
    std::ofstream(f.dir / "ports.conf") << "COM1=" << f.far1.slavePath() << "\nCOM9=" << (f.dir / "ttyUSB7").string() << "\n";
    ChildProcess recorder({KESTRANE_PROGRAM_DIR "/kestrane-record", "--folder", f.dir.path().string(), "--tap", "--ch2", "COM9"});
    EXPECT_EQ(recorder.waitForExit(), 2);
    EXPECT_NE(recorder.output().find("cannot open CH2 (COM9): " + (f.dir / "ttyUSB7").string() + " is not present"),
              std::string::npos)
        << recorder.output();
    EXPECT_FALSE(std::filesystem::exists(f.logs)) << "a start that fails leaves no empty log folder";

    // Nor the folders above a log folder of its own, while one that was there stays.
    std::filesystem::create_directory(f.dir / "kept");
    for (const auto& logDir : {f.dir / "new/deeper/log", f.dir / "kept/log"}) {
        ChildProcess again({KESTRANE_PROGRAM_DIR "/kestrane-record", "--folder", f.dir.path().string(), "--log-dir",
                            logDir.string(), "--tap", "--ch2", "COM9"});
        EXPECT_EQ(again.waitForExit(), 2);
    }
    EXPECT_FALSE(std::filesystem::exists(f.dir / "new"));
    EXPECT_TRUE(std::filesystem::is_directory(f.dir / "kept"));
    EXPECT_FALSE(std::filesystem::exists(f.dir / "kept/log"));
}

TEST(Record, ALineThatDoesNotTakeTheGivenSettingsOrAnyIsRefusedNamingWhatItRefused)
{
    RecordFolder f;
    test::ScriptedComPortServer mute;  // takes the COM-port option, then answers no setting
    mute.setRule([](std::uint8_t, const Bytes&) { return std::nullopt; });
    std::ofstream(f.dir / "ports.conf", std::ios::app) << "COM7=" << mute.url() << "\n";
    const std::vector<std::string> program = {KESTRANE_PROGRAM_DIR "/kestrane-record", "--folder", f.dir.path().string(),
                                              "--ch2", "none", "--ch1"};
    auto run = [&](std::vector<std::string> args) {
        args.insert(args.begin(), program.begin(), program.end());
        return std::make_unique<ChildProcess>(args);
    };
    auto given = run({"COM1", "--line", "9600,7E1"});  // a pty keeps 8 data bits and no parity
    EXPECT_EQ(given->waitForExit(), 2);
    EXPECT_NE(given->output().find("cannot open CH1 (COM1): " + f.far1.slavePath()
                                   + " does not take the settings of --line: it refused data bits 7, parity even"),
              std::string::npos)
        << given->output();
    auto unanswered = run({"COM7"});
    EXPECT_EQ(unanswered->waitForExit(), 2);
    EXPECT_NE(unanswered->output().find("cannot open CH1 (COM7): " + mute.url()
                                        + " opened, but its line settings could not be set: it refused rate 9600, data "
                                          "bits 8, parity none, stop bits 1, flow control none (no answer), and the "
                                          "defaults as well"),
              std::string::npos)
        << unanswered->output();
}

TEST(Record, AServerThatHoldsTheLineIsToldAndSoIsItsRelease)
{
    TempDir dir;
    test::ScriptedComPortServer server;
    std::ofstream(dir / "ports.conf") << "COM7=" << server.url() << "\n";
    ChildProcess recorder({KESTRANE_PROGRAM_DIR "/kestrane-record", "--folder", dir.path().string(), "--ch1", "COM7",
                           "--ch2", "none"});
    ASSERT_TRUE(recorder.waitForOutput("recording CH1")) << recorder.output();
    server.sendComPort(108, {});  // FLOWCONTROL-SUSPEND, never resumed on its own
    ASSERT_TRUE(recorder.waitForOutput("held by its server (flow control suspended)")) << recorder.output();
    server.sendComPort(109, {});
    ASSERT_TRUE(recorder.waitForOutput("released by its server")) << recorder.output();
    recorder.signal(SIGTERM);
    EXPECT_EQ(recorder.waitForExit(), 0) << recorder.output();
}

TEST(Record, ALostDeviceIsToldAndRecordingGoesOnWhenItComesBack)
{
    TempDir dir;
    auto far = std::make_unique<PtyPair>();
    const auto link = dir / "ttyUSB0";
    std::filesystem::create_symlink(far->slavePath(), link);
    std::ofstream(dir / "ports.conf") << "COM1=" << link.string() << "\n";
    ChildProcess recorder({KESTRANE_PROGRAM_DIR "/kestrane-record", "--folder", dir.path().string(), "--ch1", "COM1",
                           "--ch2", "none", "--checkpoint", "1"});
    ASSERT_TRUE(recorder.waitForOutput("recording CH1")) << recorder.output();
    far->send("before ");
    ASSERT_TRUE(pagesShow(dir / "log", "before "));
    far->closeMaster();  // unplugged
    ASSERT_TRUE(recorder.waitForOutput("lost: the device went away; waiting for it to come back")) << recorder.output();

    PtyPair back;  // plugged in again under the same name
    std::filesystem::remove(link);
    std::filesystem::create_symlink(back.slavePath(), link);
    ASSERT_TRUE(recorder.waitForOutput("reconnected; recording goes on")) << recorder.output();
    back.send("after");
    EXPECT_TRUE(pagesShow(dir / "log", "before after"));
    recorder.signal(SIGTERM);
    EXPECT_EQ(recorder.waitForExit(), 0) << recorder.output();
    EXPECT_EQ(text(readPages(dir / "log").ch1), "before after");
}

TEST(Record, ADevicePathOrARemoteLineOnTheCommandLineIsUsedForThisRunOnly)
{
    TempDir dir;  // no ports.conf
    PtyPair far;
    test::ScriptedComPortServer server;  // a line served by another machine
    ChildProcess recorder({KESTRANE_PROGRAM_DIR "/kestrane-record", "--folder", dir.path().string(), "--tap", "--ch1",
                           far.slavePath(), "--ch2", server.url(), "--checkpoint", "1"});
    ASSERT_TRUE(recorder.waitForOutput("recording CH1 " + far.slavePath() + ", CH2 " + server.url() + " (line monitor"))
        << recorder.output();
    far.send("local");
    ASSERT_TRUE(server.sendRaw({'s', 'e', 'r', 'v', 'e', 'd'}));
    for (int i = 0; i < 200 && readPages(dir / "log").ch1.size() + readPages(dir / "log").ch2.size() < 11; ++i)
        std::this_thread::sleep_for(50ms);  // the checkpoint writes them meanwhile
    recorder.signal(SIGTERM);
    ASSERT_EQ(recorder.waitForExit(), 0) << recorder.output();
    const Pages pages = readPages(dir / "log");
    EXPECT_EQ(text(pages.ch1), "local") << "CH1's device";
    EXPECT_EQ(text(pages.ch2), "served") << "CH2's remote line";
    EXPECT_FALSE(std::filesystem::exists(dir / "ports.conf")) << "nothing is written for a run's own ports";
}

TEST(Record, PortArgumentsAreNumbersDevicesOrRemoteLines)
{
    using headless::parsePortArgument;
    for (const auto& [given, com] : {std::pair{"COM3", 3}, {"com3", 3}, {"Com255", 255}, {"7", 7}, {"007", 7}}) {
        const auto port = parsePortArgument(given);
        ASSERT_TRUE(port) << given;
        EXPECT_EQ(port->com, com) << given;
        EXPECT_EQ(port->device, "");
    }
    for (const char* device : {"/dev/ttyUSB0", "rfc2217://lab-7:3001", "tcp://[::1]:4001"}) {
        const auto port = parsePortArgument(device);
        ASSERT_TRUE(port) << device;
        EXPECT_EQ(port->com, 0);
        EXPECT_EQ(port->device, device);
    }
    EXPECT_EQ(parsePortArgument("pts/../ttyV0")->device, (std::filesystem::current_path() / "ttyV0").string());
    for (const char* wrong : {"", "COM0", "COM256", "256", "COM3x", "ttyUSB0", "rfc2217://lab-7", "tcp://h:0", "ftp://h:1"})
        EXPECT_FALSE(parsePortArgument(wrong)) << wrong;
}

TEST(Record, ANamedDeviceKeepsItsPortsConfNumberOrTakesOneThatNothingElseUses)
{
    TempDir dir;
    const std::string conf = "COM1=/dev/ttyUSB0\nCOM2=/dev/ttyUSB1\n";
    std::ofstream(dir / "ports.conf") << conf;
    {
        AppCore core(dir.path());
        headless::PortOptions ports;
        ports.ch1 = headless::parsePortArgument("/dev/ttyUSB1");
        ports.ch2 = headless::parsePortArgument("/dev/ttyACM0");
        headless::loadSettings(core, ports);
        EXPECT_EQ(core.settings().record.ch1ComNumber, 2);
        EXPECT_EQ(core.settings().record.ch2ComNumber, 3);
        EXPECT_EQ(core.namedPorts(), (NamedPorts{{3, "/dev/ttyACM0"}}));
        EXPECT_EQ(headless::portName(core, 3), "/dev/ttyACM0");
        EXPECT_EQ(headless::portName(core, 2), "COM2");
    }
    {
        AppCore core(dir.path());
        headless::PortOptions ports;
        ports.ch1 = headless::parsePortArgument("tcp://127.0.0.1:9");
        ports.ch2 = headless::parsePortArgument("COM3");  // the other channel's number is not free
        headless::loadSettings(core, ports);
        EXPECT_EQ(core.settings().record.ch1ComNumber, 4);
        EXPECT_EQ(core.namedPorts(), (NamedPorts{{4, "tcp://127.0.0.1:9"}}));
    }
    std::stringstream after;
    after << std::ifstream(dir / "ports.conf").rdbuf();
    EXPECT_EQ(after.str(), conf);
}

TEST(Record, MistakesInTheCommandLineExit2AndEveryProgramExplainsItself)
{
    for (const char* program : {"/kestrane-record", "/kestrane-macro", "/kestrane-log"}) {
        ChildProcess help({std::string(KESTRANE_PROGRAM_DIR) + program, "--help"});
        EXPECT_EQ(help.waitForExit(), 0);
        EXPECT_NE(help.output().find("Exit status"), std::string::npos) << program;
        ChildProcess wrong({std::string(KESTRANE_PROGRAM_DIR) + program, "--no-such-option", "x"});
        EXPECT_EQ(wrong.waitForExit(), 2);
        EXPECT_NE(wrong.output().find("unknown option --no-such-option"), std::string::npos) << wrong.output();
    }
    ChildProcess prefix({KESTRANE_PROGRAM_DIR "/kestrane-record", "--line", "9600,9Q1"});
    EXPECT_EQ(prefix.waitForExit(), 2);
    EXPECT_NE(prefix.output().find("--line takes RATE or RATE,DPS"), std::string::npos) << prefix.output();
}

} // namespace
} // namespace kestrane

namespace kestrane {
namespace {

// The captures <prefix>_<n>_<time>.pcapng of a folder, in their order.
std::vector<std::filesystem::path> captures(const std::filesystem::path& folder, const std::string& prefix = "Log")
{
    std::vector<std::filesystem::path> files;
    for (const auto& e : std::filesystem::directory_iterator(folder)) {
        const std::string name = e.path().filename().string();
        if (name.rfind(prefix + "_", 0) == 0 && name.find(".pcapng") != std::string::npos)
            files.push_back(e.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

// The numbers in the recorder's sentences "<what> NAME (N bytes of the lines)" and "NAME complete:
// P packets, N bytes of the lines", by file name.
std::map<std::string, std::uint64_t> toldBytes(const std::string& output, const std::string& what, const std::string& follow)
{
    std::map<std::string, std::uint64_t> told;
    for (std::size_t at = output.find(what); at != std::string::npos; at = output.find(what, at + 1)) {
        const std::size_t nameAt = at + what.size();
        const std::size_t nameEnd = output.find(' ', nameAt);
        const std::size_t bytesEnd = output.find(" bytes of the lines", nameEnd);
        const std::size_t bytesAt = output.rfind(' ', bytesEnd - 1) + 1;
        if (nameEnd == std::string::npos || bytesEnd == std::string::npos || output.find('\n', nameAt) < bytesEnd
            || output.compare(nameEnd, follow.size(), follow) != 0)
            continue;
        std::uint64_t n = 0;
        for (std::size_t i = bytesAt; i < bytesEnd; ++i)
            if (output[i] != ',' && output[i] != '(')
                n = n * 10 + static_cast<std::uint64_t>(output[i] - '0');
        told[output.substr(nameAt, nameEnd - nameAt)] = n;
    }
    return told;
}

struct CaptureRead {
    bool whole = true;
    Bytes received;  // CH1's received data packets, in order
    std::vector<std::uint64_t> times;  // of every packet
    std::string description;
};

CaptureRead readCapture(const std::filesystem::path& path)
{
    CaptureRead r;
    pcapng::File file;
    r.whole = pcapng::read(test::readFileBytes(path), file).ok();
    if (!file.interfaces.empty())
        r.description = file.interfaces[0].description;
    for (const pcapng::Packet& p : file.packets) {
        r.times.push_back(p.timestamp);
        if (p.interfaceId == 0 && rtac::parseHeader(p.data)->event == rtac::Event::DataReceived)
            r.received.insert(r.received.end(), p.data.begin() + rtac::kHeaderSize, p.data.end());
    }
    return r;
}

TEST(Record, CapturesTakeTurnsKeepAtMostTheLimitAndLoseNoByteBetweenTwoFiles)
{
    RecordFolder f;
    auto recorder = f.start({"--ch1", "COM1", "--ch2", "none", "--pcapng-size", "16k", "--pcapng-keep", "3", "--protocol", "mbrtu"});
    // Frames with quiet between them, then a flood that never goes quiet: 400 kB in all.
    const Bytes data = test::bytePattern(400'000, 7);
    std::size_t sent = 0;
    for (; sent < 90'000; sent += 3000) {
        f.far1.send(Bytes(data.begin() + static_cast<std::ptrdiff_t>(sent), data.begin() + static_cast<std::ptrdiff_t>(sent + 3000)));
        std::this_thread::sleep_for(60ms);  // past the quiet time of a pty (20 ms: it batches its bytes)
    }
    f.far1.send(Bytes(data.begin() + static_cast<std::ptrdiff_t>(sent), data.end()));
    std::this_thread::sleep_for(1s);  // the recorder reads what the pty still holds
    recorder->signal(SIGTERM);
    ASSERT_EQ(recorder->waitForExit(), 0) << recorder->output();
    const std::string out = recorder->output();
    ASSERT_EQ(receivedAtTheEnd(out, "CH1"), data.size()) << out;

    const auto kept = captures(f.logs);
    const auto complete = toldBytes(out, "capture ", " complete:");
    const auto removed = toldBytes(out, "removed the capture ", " (");
    EXPECT_LE(kept.size(), 3U);
    EXPECT_GE(complete.size(), 8U) << "the files took turns: " << out;
    EXPECT_EQ(removed.size(), complete.size() - kept.size()) << out;
    // Every byte is in exactly one file: those removed as told, those kept as they read.
    std::uint64_t removedBytes = 0;
    for (const auto& [name, bytes] : removed)
        removedBytes += bytes;
    Bytes keptBytes;
    for (const auto& path : kept) {
        EXPECT_EQ(path.extension(), ".pcapng") << "no file left unfinished";
        const CaptureRead r = readCapture(path);
        EXPECT_TRUE(r.whole) << path;
        EXPECT_EQ(r.description, f.far1.slavePath() + ", 9600 8N1, flow none; payload Modbus RTU (tshark -d rtacser.data,mbrtu)");
        ASSERT_TRUE(complete.contains(path.filename().string())) << path;
        EXPECT_EQ(r.received.size(), complete.at(path.filename().string())) << path;
        keptBytes.insert(keptBytes.end(), r.received.begin(), r.received.end());
    }
    EXPECT_EQ(removedBytes + keptBytes.size(), data.size());
    EXPECT_TRUE(keptBytes.size() <= data.size() && std::equal(keptBytes.begin(), keptBytes.end(), data.end() - static_cast<std::ptrdiff_t>(keptBytes.size())))
        << "the kept files end the recording without a gap";

    // A restart numbers on and counts the earlier run's files against the limit.
    auto again = f.start({"--ch1", "COM1", "--ch2", "none", "--pcapng-keep", "2"});
    again->signal(SIGINT);
    ASSERT_EQ(again->waitForExit(), 0) << again->output();
    const auto after = captures(f.logs);
    EXPECT_EQ(after.size(), 2U);
    EXPECT_NE(again->output().find("(of an earlier run): at most 2 captures are kept"), std::string::npos) << again->output();
    char next[16];
    std::snprintf(next, sizeof next, "Log_%05zu_", complete.size() + 1);
    EXPECT_EQ(after.back().filename().string().substr(0, 10), next);
}

TEST(Record, ACaptureEndsAfterItsTimeAndWrongCaptureOptionsAreRefused)
{
    RecordFolder f;
    auto recorder = f.start({"--ch1", "COM1", "--ch2", "none", "--pcapng-time", "1", "--pcapng-keep", "100"});
    for (int i = 0; i < 12; ++i) {
        f.far1.send("x");
        std::this_thread::sleep_for(250ms);
    }
    recorder->signal(SIGTERM);
    ASSERT_EQ(recorder->waitForExit(), 0) << recorder->output();
    const auto files = captures(f.logs);
    EXPECT_GE(files.size(), 3U);
    std::size_t bytes = 0;
    for (const auto& path : files) {
        const CaptureRead r = readCapture(path);
        bytes += r.received.size();
        if (!r.times.empty()) {
            EXPECT_LE(r.times.back() - r.times.front(), 1'500'000U) << path << ": a file holds about a second";
        }
    }
    EXPECT_EQ(bytes, 12U);

    for (const auto& [option, value, says] :
         {std::tuple{"--pcapng-size", "1k", "--pcapng-size takes a size of at least 4k"},
          std::tuple{"--pcapng-time", "2w", "--pcapng-time takes a time of at most a year"},
          std::tuple{"--pcapng-keep", "0", "--pcapng-keep"}, std::tuple{"--protocol", "modbus", "--protocol takes data, mbrtu, dnp3"}}) {
        ChildProcess p({KESTRANE_PROGRAM_DIR "/kestrane-record", "--folder", f.dir.path().string(), option, value});
        EXPECT_EQ(p.waitForExit(), 2) << option;
        EXPECT_NE(p.output().find(says), std::string::npos) << p.output();
    }
}

// A pymodbus master on COM1's far end and its slave on COM2's, 30 transactions through the
// relay; the recorder's capture as tshark decodes it as Modbus RTU with CRC checking: every
// query received on COM1 and every response on COM2, in the order they were sent, each CRC
// good, each response paired with its query.
TEST(Record, AModbusExchangeThroughTheRelayIsDecodedByTsharkQueryByResponse)
{
    if (!std::filesystem::exists("/usr/bin/tshark"))
        GTEST_SKIP() << "tshark is not installed (scripts/setup.sh installs it)";
    RecordFolder f;
    auto recorder = f.start({"--relay", "--ch1", "COM1", "--ch2", "COM2", "--line", "19200", "--protocol", "mbrtu"});
    std::vector<std::string> args = {"/usr/bin/python3", KESTRANE_TESTS_DIR "/comm/modbus_peers.py"};
    constexpr int kRounds = 30;
    for (int i = 0; i < kRounds; ++i)
        args.push_back(std::to_string(1 + i % 7 * 4));  // the slave waits 1 to 25 ms
    const int masterFd = f.far1.master(), slaveFd = f.far2.master();
    ChildProcess peers(args, {}, [&] {
        const int m = ::fcntl(masterFd, F_DUPFD, 10), s = ::fcntl(slaveFd, F_DUPFD, 10);
        ::dup2(m, 3);
        ::dup2(s, 4);
    });
    ASSERT_EQ(peers.waitForExit(60s), 0) << peers.output() << "(scripts/setup.sh installs python3-pymodbus)";
    recorder->signal(SIGTERM);  // every reply reached the master, so the recorder has read it
    ASSERT_EQ(recorder->waitForExit(), 0) << recorder->output();

    // What the peers sent: request, reply, request, ... as hex.
    std::vector<std::string> sent;
    std::istringstream said(peers.output());
    for (std::string word, hex; said >> word && word != "done";) {
        said >> hex;
        sent.push_back(hex);
    }
    ASSERT_EQ(sent.size(), 2U * kRounds) << peers.output();
    const auto files = captures(f.logs);
    ASSERT_EQ(files.size(), 1U);
    ChildProcess tshark({"/usr/bin/tshark", "-r", files[0].string(), "-d", "rtacser.data,mbrtu", "-o",
                         "mbrtu.crc_verification:TRUE", "-T", "fields", "-e", "frame.interface_name", "-e",
                         "frame.packet_flags_direction", "-e", "rtacser.eventtype", "-e", "mbrtu.crc16.status", "-e",
                         "mbrtu.crc16", "-e", "modbus.request_frame", "-e", "_ws.col.Info"});
    ASSERT_EQ(tshark.waitForExit(60s), 0) << tshark.output();
    std::istringstream rows(tshark.output());
    std::size_t n = 0;
    for (std::string row; std::getline(rows, row);) {
        if (row.rfind("Running as user", 0) == 0)  // tshark's warning to root, on the same stream
            continue;
        ASSERT_LT(n, sent.size()) << tshark.output();
        const bool query = n % 2 == 0;
        const std::string& hex = sent[n];
        // Received (inbound, DATA_RX_START) on its port, CRC good and the message's own (its last
        // two bytes), a response paired with the query just before it.
        const std::string expected = std::string(query ? "COM1" : "COM2") + "\t0x00000001\t0x02\t1\t0x" +
                                     hex.substr(hex.size() - 4) + "\t" + (query ? "" : std::to_string(n)) + "\t";
        EXPECT_EQ(row.substr(0, expected.size()), expected) << "packet " << n + 1;
        EXPECT_NE(row.find(query ? "Query" : "Response", expected.size()), std::string::npos) << row;
        ++n;
    }
    EXPECT_EQ(n, sent.size()) << tshark.output();
}

} // namespace
} // namespace kestrane
