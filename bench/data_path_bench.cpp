// Data-path figures on pseudo-terminal pairs (run by hand): data_path_bench [path-to-kestrane]
//
// One table of relays, each a process of its own between two pty pairs, fed and read by this
// program, with the relay process's CPU time taken from /proc:
//  - Kestrane itself (the real program on the offscreen platform, CH2 used as a relay, reads
//    that return at once) with the fast display and with the low-speed display;
//  - kestrane-record, the recorder without a window, on the same settings, writing every page
//    to its log folder;
//  - jpnevulator (--pass --read: a relay that also prints the traffic) and socat (a relay that
//    shows nothing), as references;
// for 8 MB one way (throughput, CPU seconds per MB relayed), 2 x 32 MiB both directions at
// once (byte-exact, throughput each way), the one-byte latency and the CPU used while the line
// is quiet (10 s before any traffic). Then Kestrane with CH2 a remote line: the far pty served
// by ser2net on 127.0.0.1 (RFC 2217, and a raw TCP stream), with socat relaying between the pty and
// ser2net's raw port over the same loopback link as the reference (ser2net's own CPU per MB is
// given beside). Last the rate at which one channel stores received bytes in the traffic buffer,
// in this process, without a display.
#include "app/app_core.h"
#include "records/settings_files.h"
#include "ser2net/ser2net_process.h"
#include "support/byte_pattern.h"
#include "support/pty_pair.h"
#include "support/temp_dir.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <cstdio>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#ifndef KESTRANE_EXE
#define KESTRANE_EXE "kestrane"
#endif
#ifndef KESTRANE_RECORD_EXE
#define KESTRANE_RECORD_EXE "kestrane-record"
#endif

using namespace kestrane;
using namespace std::chrono;
using test::PtyPair;
using test::TempDir;

namespace {

constexpr std::size_t kOneWay = 8 * 1000 * 1000;
constexpr std::size_t kBothWays = 32 * 1024 * 1024;

// Writes `data` into the far end in pieces of 4 KiB, as a sender on the line would.
void sendInPieces(PtyPair& far, const std::vector<std::uint8_t>& data)
{
    for (std::size_t at = 0; at < data.size(); at += 4096)
        far.send(std::vector<std::uint8_t>(data.begin() + static_cast<std::ptrdiff_t>(at),
                                           data.begin() + static_cast<std::ptrdiff_t>(std::min(at + 4096, data.size()))));
}

// CPU seconds (user + system, all threads) a process has used so far.
double processCpuSeconds(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(in, line);
    const auto close = line.rfind(')');
    if (close == std::string::npos)
        return 0;
    std::istringstream rest(line.substr(close + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    // Fields after the name start with the state (3rd field); utime and stime are the 14th and 15th.
    for (int i = 3; i <= 15 && rest >> field; ++i) {
        if (i == 14)
            utime = std::stoull(field);
        if (i == 15)
            stime = std::stoull(field);
    }
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// CPU seconds per thread of a process, by thread name.
std::vector<std::pair<std::string, double>> threadCpuSeconds(pid_t pid)
{
    std::vector<std::pair<std::string, double>> out;
    const std::filesystem::path tasks = "/proc/" + std::to_string(pid) + "/task";
    std::error_code ec;
    for (const auto& t : std::filesystem::directory_iterator(tasks, ec)) {
        std::string name;
        std::getline(std::ifstream(t.path() / "comm"), name);
        std::ifstream in(t.path() / "stat");
        std::string line;
        std::getline(in, line);
        const auto close = line.rfind(')');
        if (close == std::string::npos)
            continue;
        std::istringstream rest(line.substr(close + 2));
        std::string field;
        unsigned long long ticks = 0;
        for (int i = 3; i <= 15 && rest >> field; ++i)
            if (i == 14 || i == 15)
                ticks += std::stoull(field);
        out.emplace_back(name, static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK)));
    }
    return out;
}

// A relay program started between the slaves of two pty pairs.
class RelayProcess {
public:
    RelayProcess(std::vector<std::string> argv, const std::string& dir = {}, bool offscreen = false)
    {
        pid_ = fork();
        if (pid_ == 0) {
            if (!dir.empty() && chdir(dir.c_str()) != 0)
                _exit(126);
            if (offscreen)
                setenv("QT_QPA_PLATFORM", "offscreen", 1);
            const int devNull = open("/dev/null", O_WRONLY);
            dup2(devNull, 1);
            dup2(devNull, 2);
            std::vector<char*> args;
            for (auto& a : argv)
                args.push_back(a.data());
            args.push_back(nullptr);
            execvp(args[0], args.data());
            _exit(127);
        }
    }
    ~RelayProcess()
    {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            int status = 0;
            waitpid(pid_, &status, 0);
        }
    }
    RelayProcess(const RelayProcess&) = delete;
    RelayProcess& operator=(const RelayProcess&) = delete;

    [[nodiscard]] pid_t pid() const { return pid_; }
    [[nodiscard]] bool alive() const
    {
        int status = 0;
        return pid_ > 0 && waitpid(pid_, &status, WNOHANG) == 0;
    }

private:
    pid_t pid_ = -1;
};

// True once a byte sent at either far end comes out at the other.
bool relayReady(PtyPair& far1, PtyPair& far2, const RelayProcess& relay)
{
    const auto until = steady_clock::now() + seconds(30);
    bool forward = false, backward = false;
    while (steady_clock::now() < until && relay.alive() && !(forward && backward)) {
        if (!forward) {
            far1.send(std::vector<std::uint8_t>{0x55});
            forward = far2.receive(1, milliseconds(300)).size() == 1;
        }
        if (!backward) {
            far2.send(std::vector<std::uint8_t>{0xAA});
            backward = far1.receive(1, milliseconds(300)).size() == 1;
        }
    }
    // Probes that came late must not count as relayed data.
    std::this_thread::sleep_for(milliseconds(300));
    far1.receive(1 << 20, milliseconds(50));
    far2.receive(1 << 20, milliseconds(50));
    return forward && backward;
}

struct Row {
    std::string name;
    bool ran = false;
    double oneWayMBps = 0, cpuPerMB = 0;
    bool oneWayExact = false;
    double bothMBps = 0;
    bool bothExact = false;
    double latencyMs = 0;
    double idlePercent = 0;  // CPU while the line is quiet, in % of one core
    std::string byThread;  // where the one-way run's CPU went, for the program's own rows
    double serverCpuPerMB = -1;  // ser2net's, on the rows that go through it
};

void measure(Row& row, PtyPair& far1, PtyPair& far2, const RelayProcess& relay, pid_t server = -1)
{
    if (!relayReady(far1, far2, relay)) {
        std::printf("%s: the relay does not pass bytes; skipped\n", row.name.c_str());
        return;
    }
    row.ran = true;

    // Idle: the line quiet for 10 s.
    {
        const double cpu0 = processCpuSeconds(relay.pid());
        std::this_thread::sleep_for(seconds(10));
        row.idlePercent = (processCpuSeconds(relay.pid()) - cpu0) / 10 * 100;
    }

    // Latency: the median of 50 one-byte trips.
    std::vector<double> ms;
    for (int i = 0; i < 50; ++i) {
        const auto t0 = steady_clock::now();
        far1.send(std::vector<std::uint8_t>{static_cast<std::uint8_t>(i)});
        if (far2.receive(1, seconds(5)).size() != 1)
            break;
        ms.push_back(duration<double, std::milli>(steady_clock::now() - t0).count());
    }
    if (!ms.empty()) {
        std::sort(ms.begin(), ms.end());
        row.latencyMs = ms[ms.size() / 2];
    }

    // One way: throughput and the relay's CPU per MB.
    {
        const auto data = test::bytePattern(kOneWay, 1);
        const auto threads0 = threadCpuSeconds(relay.pid());
        const double cpu0 = processCpuSeconds(relay.pid());
        const double serverCpu0 = server > 0 ? processCpuSeconds(server) : 0;
        const auto t0 = steady_clock::now();
        std::thread writer([&] { sendInPieces(far1, data); });
        const auto got = far2.receive(data.size(), seconds(300));
        const double secs = duration<double>(steady_clock::now() - t0).count();
        writer.join();
        const double cpu = processCpuSeconds(relay.pid()) - cpu0;
        if (threads0.size() > 1) {
            for (const auto& [name, after] : threadCpuSeconds(relay.pid())) {
                double before = 0;
                for (const auto& [n0, c0] : threads0)
                    if (n0 == name)
                        before = c0;
                if (after - before >= 0.005) {
                    char part[96];
                    std::snprintf(part, sizeof part, "%s%s %.2f s", row.byThread.empty() ? "" : ", ",
                                  name.c_str(), after - before);
                    row.byThread += part;
                }
            }
        }
        row.oneWayExact = got == data;
        row.oneWayMBps = static_cast<double>(got.size()) / 1e6 / secs;
        row.cpuPerMB = cpu / (static_cast<double>(kOneWay) / 1e6);
        if (server > 0)
            row.serverCpuPerMB = (processCpuSeconds(server) - serverCpu0) / (static_cast<double>(kOneWay) / 1e6);
    }

    // Both directions at once, byte-exact.
    {
        const auto a = test::bytePattern(kBothWays, 2), b = test::bytePattern(kBothWays, 3);
        std::vector<std::uint8_t> at2, at1;
        const auto t0 = steady_clock::now();
        auto pump = [](PtyPair& from, PtyPair& to, const std::vector<std::uint8_t>& data, std::vector<std::uint8_t>& got) {
            std::thread w([&] { sendInPieces(from, data); });
            got = to.receive(data.size(), seconds(300));
            w.join();
        };
        std::thread ta([&] { pump(far1, far2, a, at2); });
        std::thread tb([&] { pump(far2, far1, b, at1); });
        ta.join();
        tb.join();
        const double secs = duration<double>(steady_clock::now() - t0).count();
        row.bothExact = at2 == a && at1 == b;
        row.bothMBps = static_cast<double>(std::min(at1.size(), at2.size())) / 1e6 / secs;
    }
}

// Where CH2's pty is: local, or served by ser2net and reached as a remote line.
enum class Far2 { Local, Rfc2217, RawTcp };

// Kestrane (or, with `recorder`, kestrane-record) between two pty pairs: a start directory with
// ports.conf and settings files.
void kestraneRow(Row& row, const std::string& exe, bool fastDisplay, bool recorder = false,
                 const std::string& logDir = {}, Far2 far2Kind = Far2::Local, const std::vector<std::string>& extra = {})
{
    TempDir dir;
    PtyPair far1, far2;
    std::unique_ptr<Ser2netProcess> server;
    std::string com2 = far2.slavePath();
    if (far2Kind != Far2::Local) {
        server = std::make_unique<Ser2netProcess>(dir.path(),
                                                  std::vector<Ser2netLine>{{far2.slavePath(), far2Kind == Far2::Rfc2217}});
        if (!server->running()) {
            std::printf("%s: ser2net is not installed or does not start (scripts/setup.sh installs it)\n", row.name.c_str());
            return;
        }
        com2 = server->url(0);
    }
    std::ofstream(dir / "ports.conf") << "COM1=" << far1.slavePath() << "\nCOM2=" << com2 << "\n";
    Settings s;
    s.record.ch1ComNumber = 1;
    s.record.ch2ComNumber = 2;
    s.record.ch2Mode = Ch2Mode::MonitorRelay;
    s.record.fastDisplayAtStart = fastDisplay ? 1 : 0;
    s.record.noExitSaveQuery = 1;
    const CommTimeouts atOnce{MAXDWORD, 0, 0, 10, 1000};
    s.lineParams.ch1Timeouts = atOnce;
    s.lineParams.ch2Timeouts = atOnce;
    if (!saveQuellorn(s, dir.path()) || !saveQuellorn1(s, dir.path()) || !saveQuellorn2(s, dir.path())) {
        std::printf("%s: cannot write the settings files\n", row.name.c_str());
        return;
    }
    std::vector<std::string> argv{exe};
    if (recorder)
        argv.push_back("--quiet");
    if (!logDir.empty())
        argv.insert(argv.end(), {"--log-dir", logDir});
    argv.insert(argv.end(), extra.begin(), extra.end());
    RelayProcess relay(argv, dir.path().string(), !recorder);
    measure(row, far1, far2, relay, server ? server->pid() : -1);
}

// socat between a pty and ser2net's raw port, over the same loopback link as the remote rows.
void socatOverTcpRow(Row& row)
{
    TempDir dir;
    PtyPair far1, far2;
    Ser2netProcess server(dir.path(), {{far2.slavePath(), false}});
    if (!server.running()) {
        std::printf("%s: ser2net is not installed or does not start\n", row.name.c_str());
        return;
    }
    RelayProcess relay({"socat", far1.slavePath() + ",raw,echo=0", "TCP:127.0.0.1:" + std::to_string(server.lines()[0].port)});
    std::this_thread::sleep_for(milliseconds(200));
    if (!relay.alive()) {
        std::printf("%s: socat not installed\n", row.name.c_str());
        return;
    }
    measure(row, far1, far2, relay, server.pid());
}

void externalRow(Row& row, std::vector<std::string> argvHead, bool ttyOptions)
{
    PtyPair far1, far2;
    std::vector<std::string> argv = std::move(argvHead);
    if (ttyOptions) {
        argv.push_back("--tty=" + far1.slavePath());
        argv.push_back("--tty=" + far2.slavePath());
    } else {
        argv.push_back(far1.slavePath() + ",raw,echo=0");
        argv.push_back(far2.slavePath() + ",raw,echo=0");
    }
    RelayProcess relay(argv);
    std::this_thread::sleep_for(milliseconds(200));
    if (!relay.alive()) {
        std::printf("%s: not installed (scripts/setup.sh installs it)\n", row.name.c_str());
        return;
    }
    measure(row, far1, far2, relay);
}

// Counts every byte the buffer stores and checks the running pattern.
struct CountingFeed : DisplayFeed {
    std::atomic<std::int64_t> bytes{0};
    std::atomic<std::int64_t> mismatches{0};
    std::uint8_t expect = 0;
    void feedFast(const std::uint8_t* b, int count, int kind) override { feedLowSpeed(b, count, kind); }
    void feedLowSpeed(const std::uint8_t* b, int count, int) override
    {
        for (int i = 0; i < count; ++i) {
            if (b[i] != expect)
                mismatches.fetch_add(1);
            expect = static_cast<std::uint8_t>(b[i] + 1);
        }
        bytes.fetch_add(count);
    }
};

double selfCpuSeconds() { return processCpuSeconds(getpid()); }

void receiveRate()
{
    TempDir dir;
    PtyPair far;
    std::ofstream(dir / "ports.conf") << "COM1=" << far.slavePath() << "\n";
    AppCore core(dir.path());
    CountingFeed feed;
    core.traffic().setDisplayFeed(&feed);
    if (core.channels().openChannel(1, 1) != OpenResult::Opened) {
        std::printf("receive: CH1 does not open\n");
        return;
    }
    const std::size_t total = 8 * 1024 * 1024;
    std::vector<std::uint8_t> data(total);
    for (std::size_t i = 0; i < total; ++i)
        data[i] = static_cast<std::uint8_t>(i);
    const double cpu0 = selfCpuSeconds();
    const auto t0 = steady_clock::now();
    std::thread writer([&] { sendInPieces(far, data); });
    while (feed.bytes.load() < static_cast<std::int64_t>(total) && steady_clock::now() - t0 < seconds(120))
        std::this_thread::sleep_for(milliseconds(1));
    const double secs = duration<double>(steady_clock::now() - t0).count();
    writer.join();
    const double cpu = selfCpuSeconds() - cpu0;
    std::printf("receive CH1 -> buffer (in this process, no display): %.1f MB in %.2f s = %.2f MB/s, lost %lld, "
                "out of order %lld, CPU %.3f s/MB (writer included)\n",
                static_cast<double>(total) / 1e6, secs, static_cast<double>(total) / 1e6 / secs,
                static_cast<long long>(static_cast<std::int64_t>(total) - feed.bytes.load()),
                static_cast<long long>(feed.mismatches.load()), cpu / (static_cast<double>(total) / 1e6));
    core.traffic().setDisplayFeed(nullptr);
}

} // namespace

int main(int argc, char* argv[])
{
    // Optional: the program to measure, then a word that picks the rows to run ("low", "socat").
    // Absolute, because each relay runs in a folder of its own.
    const std::string exe = std::filesystem::absolute(argc > 1 && argv[1][0] ? argv[1] : KESTRANE_EXE).string();
    const std::string only = argc > 2 ? argv[2] : "";
    const std::string recordExe = std::filesystem::absolute(KESTRANE_RECORD_EXE).string();
    std::vector<Row> rows(10);
    rows[0].name = "kestrane, fast display";
    rows[1].name = "kestrane, low-speed display";
    rows[2].name = "jpnevulator --pass --read";
    rows[3].name = "socat";
    rows[4].name = "kestrane-record (no window, pages to disk)";
    rows[5].name = "kestrane-record, pages to memory (tmpfs: without the disk's cost)";
    rows[6].name = "kestrane, fast display, CH2 remote rfc2217://";
    rows[7].name = "kestrane, fast display, CH2 remote tcp://";
    rows[8].name = "socat, pty <-> ser2net tcp";
    rows[9].name = "kestrane-record --pcapng, pages and captures to memory (tmpfs)";
    auto wanted = [&](const Row& r) { return only.empty() || r.name.find(only) != std::string::npos; };
    if (wanted(rows[0]))
        kestraneRow(rows[0], exe, true);
    if (wanted(rows[1]))
        kestraneRow(rows[1], exe, false);
    if (wanted(rows[2]))
        externalRow(rows[2], {"jpnevulator", "--pass", "--read"}, true);
    if (wanted(rows[3]))
        externalRow(rows[3], {"socat"}, false);
    if (wanted(rows[4]))
        kestraneRow(rows[4], recordExe, false, true);
    if (wanted(rows[5]) && std::filesystem::is_directory("/dev/shm")) {
        const std::string shm = "/dev/shm/kestrane-bench-" + std::to_string(getpid());
        kestraneRow(rows[5], recordExe, false, true, shm);
        std::error_code ec;
        std::filesystem::remove_all(shm, ec);
    }
    if (wanted(rows[9]) && std::filesystem::is_directory("/dev/shm")) {
        const std::string shm = "/dev/shm/kestrane-bench-pcapng-" + std::to_string(getpid());
        kestraneRow(rows[9], recordExe, false, true, shm, Far2::Local, {"--pcapng", "--pcapng-size", "16M", "--pcapng-keep", "4"});
        std::error_code ec;
        std::filesystem::remove_all(shm, ec);
    }
    if (wanted(rows[6]))
        kestraneRow(rows[6], exe, true, false, {}, Far2::Rfc2217);
    if (wanted(rows[7]))
        kestraneRow(rows[7], exe, true, false, {}, Far2::RawTcp);
    if (wanted(rows[8]))
        socatOverTcpRow(rows[8]);

    std::printf("\nRelay between two pty pairs (reads that return at once), the second one local or served by ser2net "
                "on 127.0.0.1; CPU of the relay process\n");
    std::printf("| relay | one way 8 MB: MB/s | CPU s/MB relayed | both ways 2 x 32 MiB: MB/s each way | "
                "byte-exact | one-byte latency ms | idle CPU %% |\n|---|---|---|---|---|---|---|\n");
    for (const Row& r : rows) {
        if (!r.ran) {
            std::printf("| %s | - | - | - | - | - | - |\n", r.name.c_str());
            continue;
        }
        std::printf("| %s | %.1f | %.3f | %.1f | %s | %.3f | %.2f |\n", r.name.c_str(), r.oneWayMBps, r.cpuPerMB,
                    r.bothMBps, r.oneWayExact && r.bothExact ? "yes" : "NO", r.latencyMs, r.idlePercent);
    }
    for (const Row& r : rows)
        if (!r.byThread.empty())
            std::printf("%s, CPU by thread in the one-way run: %s\n", r.name.c_str(), r.byThread.c_str());
    for (const Row& r : rows)
        if (r.ran && r.serverCpuPerMB >= 0)
            std::printf("%s: ser2net besides, %.3f CPU s/MB\n", r.name.c_str(), r.serverCpuPerMB);
    if (rows[5].ran && rows[9].ran)
        std::printf("\nCaptures: --pcapng adds %.4f CPU s/MB relayed (goal at most 0.005: %s), flood byte-exact: %s\n",
                    rows[9].cpuPerMB - rows[5].cpuPerMB, rows[9].cpuPerMB - rows[5].cpuPerMB <= 0.005 ? "met" : "NOT MET",
                    rows[9].oneWayExact && rows[9].bothExact ? "yes" : "NO");
    if (rows[0].ran && rows[1].ran) {
        const double worst = std::max(rows[0].cpuPerMB, rows[1].cpuPerMB);
        const double ratio = rows[1].cpuPerMB > 0 ? rows[0].cpuPerMB / rows[1].cpuPerMB : 0;
        const double both = std::min(rows[0].bothMBps, rows[1].bothMBps);
        std::printf("\nGoals: CPU per MB at most 0.040 in either display speed: %.3f %s; fast within 1.5 x "
                    "low-speed: %.2f x %s; both ways at once at least 10 MB/s each way, byte-exact: %.1f MB/s %s\n",
                    worst, worst <= 0.04 ? "met" : "NOT MET", ratio, ratio <= 1.5 ? "met" : "NOT MET", both,
                    both >= 10 && rows[0].bothExact && rows[1].bothExact ? "met" : "NOT MET");
    }
    if (rows[1].ran && rows[4].ran)
        std::printf("Recorder: CPU per MB %.3f against the window's low-speed display %.3f (%s); idle %.2f %% of a "
                    "core against the window's %.2f %% (%s)\n",
                    rows[4].cpuPerMB, rows[1].cpuPerMB, rows[4].cpuPerMB <= rows[1].cpuPerMB ? "at most: met" : "NOT MET",
                    rows[4].idlePercent, rows[1].idlePercent,
                    rows[4].idlePercent <= std::min(rows[1].idlePercent, 0.1) ? "near zero: met" : "NOT MET");
    std::printf("\n");
    if (only.empty())
        receiveRate();
    return 0;
}
