// Data-path figures on pseudo-terminal pairs (run by hand):
//  - the sustained rate at which bytes written to CH1's far end reach the traffic buffer, every
//    byte accounted for through the display feed;
//  - relay throughput (both directions at once) and the one-byte latency through the relay, with
//    the default read time-outs and with reads that return at once;
//  - CPU seconds per megabyte of the whole process;
//  - the same relay figures for socat between the same kind of pty pairs, as a reference.
#include "app/app_core.h"
#include "support/pty_pair.h"
#include "support/temp_dir.h"

#include <sys/resource.h>
#include <sys/wait.h>
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

double cpuSeconds()
{
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
           static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

double childCpuSeconds()
{
    rusage ru{};
    getrusage(RUSAGE_CHILDREN, &ru);
    return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
           static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
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

std::vector<std::uint8_t> pattern(std::size_t n)
{
    std::vector<std::uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i)
        v[i] = static_cast<std::uint8_t>(i);
    return v;
}

// Writes `data` into the far end in pieces of 4 KiB, as a sender on the line would.
void sendInPieces(PtyPair& far, const std::vector<std::uint8_t>& data)
{
    for (std::size_t at = 0; at < data.size(); at += 4096)
        far.send(std::vector<std::uint8_t>(data.begin() + static_cast<std::ptrdiff_t>(at),
                                           data.begin() + static_cast<std::ptrdiff_t>(std::min(at + 4096, data.size()))));
}

struct BothWays {
    double seconds = 0;
    bool exact = false;
};

// Pushes `data` each way at once through whatever joins far1 and far2.
BothWays pumpBothWays(PtyPair& far1, PtyPair& far2, const std::vector<std::uint8_t>& data)
{
    const auto t0 = steady_clock::now();
    std::vector<std::uint8_t> got1, got2;
    auto pump = [&](PtyPair& from, PtyPair& to, std::vector<std::uint8_t>& got) {
        std::thread w([&] { sendInPieces(from, data); });
        got = to.receive(data.size(), seconds(120));
        w.join();
    };
    std::thread a([&] { pump(far1, far2, got2); });
    std::thread b([&] { pump(far2, far1, got1); });
    a.join();
    b.join();
    return {duration<double>(steady_clock::now() - t0).count(), got1 == data && got2 == data};
}

void receiveRate()
{
    TempDir dir;
    PtyPair far;
    std::ofstream(dir / "ports.conf") << "COM1=" << far.slavePath() << "\n";
    AppCore core(dir.path());
    CountingFeed feed;
    core.traffic().setDisplayFeed(&feed);
    if (core.channels().openChannel(1, 1) != 0) {
        std::printf("receive: CH1 does not open\n");
        return;
    }
    const std::size_t total = 8 * 1024 * 1024;
    const auto data = pattern(total);
    const double cpu0 = cpuSeconds();
    const auto t0 = steady_clock::now();
    std::thread writer([&] { sendInPieces(far, data); });
    while (feed.bytes.load() < static_cast<std::int64_t>(total) && steady_clock::now() - t0 < seconds(120))
        std::this_thread::sleep_for(milliseconds(1));
    const double secs = duration<double>(steady_clock::now() - t0).count();
    writer.join();
    const double cpu = cpuSeconds() - cpu0;
    std::printf("receive CH1 -> buffer: %.1f MB in %.2f s = %.2f MB/s, lost %lld, out of order %lld, "
                "CPU %.2f s/MB (writer included)\n",
                static_cast<double>(total) / 1e6, secs, static_cast<double>(total) / 1e6 / secs,
                static_cast<long long>(static_cast<std::int64_t>(total) - feed.bytes.load()),
                static_cast<long long>(feed.mismatches.load()), cpu / (static_cast<double>(total) / 1e6));
    core.traffic().setDisplayFeed(nullptr);
}

// Relay throughput of Kestrane: both directions at once, CPU of the whole process.
void relayThroughput(const char* label, PtyPair& far1, PtyPair& far2, std::size_t n)
{
    const auto data = pattern(n);
    const double cpu0 = cpuSeconds();
    const BothWays r = pumpBothWays(far1, far2, data);
    const double cpu = cpuSeconds() - cpu0;
    std::printf("%s relay: 2 x %.1f MB in %.2f s = %.2f MB/s each way, %s, CPU %.3f s/MB (pumps included)\n", label,
                static_cast<double>(n) / 1e6, r.seconds, static_cast<double>(n) / 1e6 / r.seconds,
                r.exact ? "byte-exact" : "MISMATCH", cpu / (2 * static_cast<double>(n) / 1e6));
}

void relayLatency(const char* label, PtyPair& far1, PtyPair& far2)
{
    std::vector<double> ms;
    for (int i = 0; i < 50; ++i) {
        const auto t0 = steady_clock::now();
        far1.send(std::vector<std::uint8_t>{static_cast<std::uint8_t>(i)});
        const auto got = far2.receive(1, seconds(5));
        if (got.size() != 1)
            break;
        ms.push_back(duration<double, std::milli>(steady_clock::now() - t0).count());
    }
    if (ms.empty()) {
        std::printf("%s latency: no byte came through\n", label);
        return;
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%s one-byte latency: median %.3f ms, min %.3f ms, max %.3f ms\n", label, ms[ms.size() / 2],
                ms.front(), ms.back());
}

void kestraneRelay(bool immediateReads)
{
    TempDir dir;
    PtyPair far1, far2;
    std::ofstream(dir / "ports.conf") << "COM1=" << far1.slavePath() << "\nCOM2=" << far2.slavePath() << "\n";
    AppCore core(dir.path());
    core.settings().record.ch2Mode = 7;
    core.settings().record.ch2ComNumber = 2;
    if (immediateReads) {
        const CommTimeouts atOnce{MAXDWORD, 0, 0, 10, 1000};
        core.settings().lineParams.ch1Timeouts = atOnce;
        core.settings().lineParams.ch2Timeouts = atOnce;
    }
    core.applySettings();
    if (core.channels().openChannel(1, 1) != 0 || core.channels().openChannel(2, 2) != 0) {
        std::printf("relay: ports do not open\n");
        return;
    }
    const char* label = immediateReads ? "kestrane (reads return at once)" : "kestrane (default time-outs)";
    relayThroughput(label, far1, far2, 16 * 1024 * 1024);
    relayLatency(label, far1, far2);
}

void socatRelay()
{
    PtyPair far1, far2;
    const pid_t pid = fork();
    if (pid == 0) {
        const std::string a = far1.slavePath() + ",raw,echo=0";
        const std::string b = far2.slavePath() + ",raw,echo=0";
        execlp("socat", "socat", a.c_str(), b.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    std::this_thread::sleep_for(milliseconds(300));
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) {
        std::printf("socat: not available\n");
        return;
    }
    relayLatency("socat", far1, far2);
    // socat's CPU shows in the children's usage only once it has ended: run the volume last.
    const auto data = pattern(16 * 1024 * 1024);
    const BothWays r = pumpBothWays(far1, far2, data);
    kill(pid, SIGTERM);
    waitpid(pid, &status, 0);
    const double cpu = childCpuSeconds();
    std::printf("socat relay: 2 x %.1f MB in %.2f s = %.2f MB/s each way, %s, CPU %.3f s/MB (socat process, "
                "whole life)\n",
                static_cast<double>(data.size()) / 1e6, r.seconds, static_cast<double>(data.size()) / 1e6 / r.seconds,
                r.exact ? "byte-exact" : "MISMATCH",
                cpu / (2 * static_cast<double>(data.size()) / 1e6));
}

} // namespace

int main()
{
    receiveRate();
    kestraneRelay(false);
    kestraneRelay(true);
    socatRelay();
    return 0;
}
