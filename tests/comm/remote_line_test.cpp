// A COM number that names a line served by ser2net: the relay between it and a local port is
// byte-exact both ways at once, and a server that goes away is a lost line that comes back by
// itself, with its stored settings, when the server returns.
#include "app/app_core.h"
#include "device_events.h"
#include "support/byte_pattern.h"
#include "support/pty_pair.h"
#include "support/ser2net_server.h"
#include "support/temp_dir.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <thread>

namespace kestrane {
namespace {

using namespace std::chrono_literals;
using test::handleUntil;
using test::PtyPair;
using test::Ser2netServer;
using test::storedText;
using State = DeviceStatus::State;
using Bytes = std::vector<std::uint8_t>;

// Line traffic with 0xFF (the Telnet escape) every fifth byte.
Bytes pattern(std::size_t n, std::uint32_t seed)
{
    Bytes b = test::bytePattern(n, seed);
    for (std::size_t i = 0; i < n; i += 5)
        b[i] = 0xFF;
    return b;
}

// COM1 a local pty, COM7 a pty served by ser2net.
struct RemoteBench {
    test::TempDir dir;
    PtyPair local, served;
    Ser2netServer server{served.slavePath()};
    std::unique_ptr<AppCore> core;

    explicit RemoteBench(int ch2Mode)
    {
        std::ofstream(dir / "ports.conf") << "COM1=" << local.slavePath() << "\nCOM7=" << server.url() << "\n";
        core = std::make_unique<AppCore>(dir.path());
        Settings& s = core->settings();
        s.record.ch2Mode = ch2Mode;
        s.lineParams.ch1Dcb.BaudRate = 19200;
        s.lineParams.ch1Timeouts = s.lineParams.ch2Timeouts = CommTimeouts{MAXDWORD, 0, 0, 10, 1000};
        core->applySettings();
        core->traffic().clearTraffic();
    }
    Channels& channels() { return core->channels(); }
    unsigned servedSpeed() const
    {
        termios2 t{};
        return ::ioctl(served.master(), TCGETS2, &t) == 0 ? t.c_ospeed : 0;
    }
};

TEST(RemoteLine, TheRelayBetweenALocalAndARemoteLineIsExactBothWaysAtOnce)
{
    RemoteBench b(Ch2Mode::MonitorRelay);
    ASSERT_TRUE(b.server.running());
    ASSERT_EQ(b.channels().openChannel(1, 1), OpenResult::Opened);
    ASSERT_EQ(b.channels().openChannel(2, 7), OpenResult::Opened);
    EXPECT_EQ(b.channels().device(2).path, b.server.url());
    const Bytes right = pattern(300000, 7), left = pattern(300000, 13);
    Bytes atServed, atLocal;
    std::thread toRight([&] {
        std::thread w([&] { b.local.send(right); });
        atServed = b.served.receive(right.size(), 30s);
        w.join();
    });
    std::thread toLeft([&] {
        std::thread w([&] { b.served.send(left); });
        atLocal = b.local.receive(left.size(), 30s);
        w.join();
    });
    toRight.join();
    toLeft.join();
    EXPECT_TRUE(atServed == right) << atServed.size() << " of " << right.size();
    EXPECT_TRUE(atLocal == left) << atLocal.size() << " of " << left.size();
}

TEST(RemoteLine, AServerThatGoesAwayIsALostLineThatComesBackByItself)
{
    RemoteBench b(Ch2Mode::NotUsed);
    ASSERT_EQ(b.channels().openChannel(1, 7), OpenResult::Opened);
    EXPECT_EQ(b.servedSpeed(), 19200u);
    // ser2net serving a pty never answers DTR/RTS: the line opens, and says so.
    EXPECT_EQ(b.channels().device(1).unconfirmed, kSettingDtr | kSettingRts);
    // The device streams (less than half the traffic buffer, which drops its older half when
    // full); the serving machine fails in the middle of it.
    const Bytes stream = pattern(16000, 3);
    std::size_t fed = 0;
    std::atomic<bool> feeding{true};
    std::thread feeder([&] {
        while (feeding && fed < stream.size()) {
            const auto at = stream.begin() + static_cast<std::ptrdiff_t>(fed);
            fed += b.served.sendFor(Bytes(at, at + std::min<std::ptrdiff_t>(128, stream.end() - at)), 20ms);
            std::this_thread::sleep_for(2ms);
        }
    });
    ASSERT_TRUE(handleUntil(b.channels(), [&] { return storedText(*b.core).size() >= 4000; }));
    b.server.stop(true);
    ASSERT_TRUE(handleUntil(b.channels(), [&] { return b.channels().device(1).state == State::Lost; }));
    feeding = false;
    feeder.join();
    const DeviceStatus& d = b.channels().device(1);
    EXPECT_TRUE(d.lossReason == LossReason::ClosedByServer || d.lossReason == LossReason::ConnectionReset);
    EXPECT_TRUE(d.awaiting);
    // What was stored is what the device sent, up to where the server went.
    const std::string before = storedText(*b.core);
    ASSERT_LE(before.size(), fed);
    EXPECT_LT(before.size(), stream.size()) << "the server went in the middle";
    EXPECT_TRUE(Bytes(before.begin(), before.end()) == Bytes(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(before.size())));
    // Tried again while it is away (refused), sleeping in between.
    const double cpu = test::processCpuSeconds();
    ASSERT_TRUE(handleUntil(b.channels(), [&] { return d.retries >= 2; }, 10s));
    EXPECT_LT(test::processCpuSeconds() - cpu, 0.2);
    EXPECT_EQ(d.openFailure.kind, OpenError::Refused);

    ASSERT_TRUE(b.server.start());
    ASSERT_TRUE(handleUntil(b.channels(), [&] { return d.state == State::Open; }, 15s));
    EXPECT_TRUE(d.reconnectedAt.has_value());
    EXPECT_EQ(b.servedSpeed(), 19200u) << "the stored settings are applied again";
    b.served.send("after");
    ASSERT_TRUE(handleUntil(b.channels(), [&] {
        const std::string s = storedText(*b.core);
        return s.size() > before.size() && s.compare(0, before.size(), before) == 0 && s.ends_with("after");
    }));
}

TEST(RemoteLine, ClosingTheChannelStopsTheTries)
{
    RemoteBench b(Ch2Mode::NotUsed);
    ASSERT_EQ(b.channels().openChannel(1, 7), OpenResult::Opened);
    b.server.stop();
    ASSERT_TRUE(handleUntil(b.channels(), [&] { return b.channels().device(1).state == State::Lost; }));
    const auto start = std::chrono::steady_clock::now();
    b.channels().closeChannel(1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_FALSE(b.channels().device(1).awaiting);
    ASSERT_TRUE(b.server.start());
    EXPECT_FALSE(handleUntil(b.channels(), [&] { return b.channels().running(1); }, 1500ms));
}

} // namespace
} // namespace kestrane
