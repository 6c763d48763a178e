// The way of a byte end to end on pseudo-terminal pairs: received chunks land in the traffic
// buffer with their tags, the relay passes bytes on byte-exact, frames go out in pieces.
#include "app/app_core.h"
#include "comm/channel.h"
#include "comm/transmit.h"
#include "support/fake_serial_port.h"
#include "support/app/pty_core.h"
#include "support/eventually.h"
#include "support/pty_pair.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <fstream>
#include <mutex>
#include <random>
#include <thread>

namespace kestrane {
namespace {

using namespace std::chrono_literals;
using test::FakeSerialPort;
using test::PtyCore;
using test::PtyPair;
using test::TempDir;
using test::eventually;

// The data and tag planes stored so far.
std::string stored(AppCore& core)
{
    TrafficBuffer& t = core.traffic();
    const auto n = t.storedLength();
    return std::string(reinterpret_cast<const char*>(t.currentDataPlane().data()), static_cast<std::size_t>(n));
}

std::string tags(AppCore& core)
{
    TrafficBuffer& t = core.traffic();
    const auto n = t.storedLength();
    return std::string(reinterpret_cast<const char*>(t.currentTagPlane().data()), static_cast<std::size_t>(n));
}

void timeStamped(Settings& s) { s.record.displayMode = DisplayMode::TimeStampedAsc; }

TEST(ReceivePath, BytesLandWithTheirChannelTags)
{
    for (int mode : {Ch2Mode::Independent, Ch2Mode::MonitorT}) {
        PtyCore p(mode);
        p.far1.send("hello");
        ASSERT_TRUE(eventually([&] { return p.core->traffic().storedLength() == 5; }));
        p.far2.send("abc");
        ASSERT_TRUE(eventually([&] { return p.core->traffic().storedLength() == 8; }));
        EXPECT_EQ(stored(*p.core), "helloabc");
        EXPECT_EQ(tags(*p.core), mode == Ch2Mode::Independent ? "11111333" : "11111000");
        EXPECT_TRUE(p.core->traffic().unsavedData());
    }
}

TEST(ReceivePath, TimeStampedModeStoresTheTextInFrontOfEachChunk)
{
    PtyCore p(Ch2Mode::Independent, timeStamped);
    p.far2.send("AB");
    ASSERT_TRUE(eventually([&] { return p.core->traffic().storedLength() > 2; }));
    const std::string s = stored(*p.core);
    ASSERT_GE(s.size(), 2u);
    EXPECT_EQ(s.front(), '<');
    EXPECT_NE(s.find('D'), std::string::npos);  // the CH2 mark
    EXPECT_EQ(s.substr(s.size() - 3), ">AB");
    EXPECT_EQ(tags(*p.core), std::string(s.size(), '3'));
}

// Records the chunks a channel hands over.
struct RecordingSink : ReceiveSink {
    std::mutex m;
    std::condition_variable cv;
    std::vector<std::size_t> sizes;
    std::string bytes;
    std::vector<std::size_t> sampled;
    void takeSample(const std::uint8_t*, std::size_t count) override
    {
        std::lock_guard lock(m);
        sampled.push_back(count);
    }
    void appendReceived(int, const std::uint8_t* b, std::size_t count) override
    {
        std::lock_guard lock(m);
        sizes.push_back(count);
        bytes.append(reinterpret_cast<const char*>(b), count);
        cv.notify_all();
    }
    bool waitFor(std::size_t total, std::chrono::milliseconds timeout = 10s)
    {
        std::unique_lock lock(m);
        return cv.wait_for(lock, timeout, [&] { return bytes.size() >= total; });
    }
};

struct OneChannel {
    TempDir dir;
    PtyPair far;
    Settings settings;
    RecordingSink sink;
    Channels channels{settings, systemPortOpener(dir.path())};
    OneChannel()
    {
        std::ofstream(dir / "ports.conf") << "COM1=" << far.slavePath() << "\n";
        channels.setSink(&sink);
    }
};

TEST(ReceivePath, ABurstIsReadInChunksOfAtMostOneHundred)
{
    OneChannel c;
    ASSERT_EQ(c.channels.openChannel(1, 1), OpenResult::Opened);
    std::vector<std::uint8_t> burst(250);
    for (std::size_t i = 0; i < burst.size(); ++i)
        burst[i] = static_cast<std::uint8_t>(i);
    c.far.send(burst);
    ASSERT_TRUE(c.sink.waitFor(250));
    std::lock_guard lock(c.sink.m);
    EXPECT_EQ(c.sink.bytes, std::string(burst.begin(), burst.end()));
    EXPECT_GE(c.sink.sizes.size(), 3u);
    for (std::size_t n : c.sink.sizes)
        EXPECT_LE(n, 100u);
}

TEST(ReceivePath, WithOnlyTheFlagEventNothingIsReadBeforeTheEventCharacter)
{
    OneChannel c;
    c.settings.record.ch1MaskRxChar = 0;
    c.settings.record.ch1MaskRxFlag = 1;
    ASSERT_EQ(c.channels.openChannel(1, 1), OpenResult::Opened);
    c.far.send("no end yet");
    EXPECT_FALSE(c.sink.waitFor(1, 300ms));
    c.far.send("\r");
    ASSERT_TRUE(c.sink.waitFor(11));
    std::lock_guard lock(c.sink.m);
    EXPECT_EQ(c.sink.bytes, "no end yet\r");
}

TEST(ReceivePath, SamplingSeesCh1ChunksBeforeTheyAreStored)
{
    OneChannel c;
    c.channels.setSamplingActive(true);
    ASSERT_EQ(c.channels.openChannel(1, 1), OpenResult::Opened);
    c.far.send("12345");
    ASSERT_TRUE(c.sink.waitFor(5));
    std::lock_guard lock(c.sink.m);
    std::size_t sampled = 0;
    for (std::size_t n : c.sink.sampled)
        sampled += n;
    EXPECT_EQ(sampled, 5u);
}

// Pumps `data` into `from` while reading `to` until every byte arrived; returns what arrived.
std::vector<std::uint8_t> pump(PtyPair& from, PtyPair& to, const std::vector<std::uint8_t>& data)
{
    std::thread writer([&] {
        for (std::size_t at = 0; at < data.size(); at += 4096)
            from.send(std::vector<std::uint8_t>(data.begin() + static_cast<std::ptrdiff_t>(at),
                                                data.begin() + static_cast<std::ptrdiff_t>(std::min(at + 4096, data.size()))));
    });
    std::vector<std::uint8_t> got = to.receive(data.size(), 60s);
    writer.join();
    return got;
}

TEST(Relay, ForwardsByteExactInBothDirectionsAtOnce)
{
    PtyCore p(Ch2Mode::MonitorRelay);
    std::mt19937 rng(42);
    std::vector<std::uint8_t> oneWay(2 * 1024 * 1024), otherWay(2 * 1024 * 1024);
    for (auto& b : oneWay)
        b = static_cast<std::uint8_t>(rng());
    for (auto& b : otherWay)
        b = static_cast<std::uint8_t>(rng());

    std::vector<std::uint8_t> at2, at1;
    std::thread a([&] { at2 = pump(p.far1, p.far2, oneWay); });
    std::thread b([&] { at1 = pump(p.far2, p.far1, otherWay); });
    a.join();
    b.join();
    EXPECT_TRUE(at2 == oneWay) << "CH1 -> CH2 got " << at2.size() << " of " << oneWay.size();
    EXPECT_TRUE(at1 == otherWay) << "CH2 -> CH1 got " << at1.size() << " of " << otherWay.size();
}

TEST(Relay, PassesOnlyTheReceivedBytesInTimeStampedMode)
{
    PtyCore p(Ch2Mode::MonitorRelay, timeStamped);
    p.far1.send("ping");
    EXPECT_EQ(p.far2.receive(4, 5s), (std::vector<std::uint8_t>{'p', 'i', 'n', 'g'}));
    EXPECT_TRUE(p.far2.receive(1, 300ms).empty());  // no time-stamp text follows
    EXPECT_GT(p.core->traffic().storedLength(), 4);  // but the buffer holds it
}

TEST(Relay, TheTConnectionForwardsNothing)
{
    PtyCore p(Ch2Mode::MonitorT);
    p.far1.send("one");
    p.far2.send("two");
    ASSERT_TRUE(eventually([&] { return p.core->traffic().storedLength() == 6; }));
    EXPECT_TRUE(p.far1.receive(1, 300ms).empty());
    EXPECT_TRUE(p.far2.receive(1, 50ms).empty());
}

// A core with fake ports for the transmit path.
struct FakePorts {
    TempDir dir;
    FakeSerialPort* port1 = nullptr;
    FakeSerialPort* port2 = nullptr;
    AppCore core{dir.path(), [this](int com, OpenError&) {
                     auto p = std::make_unique<FakeSerialPort>();
                     (com == 1 ? port1 : port2) = p.get();
                     return std::unique_ptr<SerialPort>(std::move(p));
                 }};
    explicit FakePorts(int ch2Mode = Ch2Mode::Independent)
    {
        core.settings().record.ch2Mode = ch2Mode;
        core.applySettings();
        core.traffic().clearTraffic();
        EXPECT_EQ(core.channels().openChannel(1, 1), OpenResult::Opened);
        EXPECT_EQ(core.channels().openChannel(2, 2), OpenResult::Opened);
    }
};

std::vector<std::uint8_t> frameOf(std::size_t n)
{
    std::vector<std::uint8_t> f(n);
    for (std::size_t i = 0; i < n; ++i)
        f[i] = static_cast<std::uint8_t>('A' + i % 26);
    return f;
}

TEST(Transmit, WritesPiecesOfOneHundredAndRecordsTheFrameOnce)
{
    FakePorts f;
    const auto frame = frameOf(250);
    EXPECT_EQ(f.core.transmit(1, frame), TransmitResult::Transmitted);
    EXPECT_EQ(f.port1->writeSizes(), (std::vector<std::size_t>{100, 100, 50}));
    EXPECT_EQ(f.port1->written(), frame);
    TrafficBuffer& t = f.core.traffic();
    ASSERT_EQ(t.storedLength(), 250);
    EXPECT_EQ(t.tagAt(0), '0');
    EXPECT_EQ(t.tagAt(249), '0');
    EXPECT_EQ(t.receptionMarker(), 250);

    EXPECT_EQ(f.core.transmit(2, frameOf(3)), TransmitResult::Transmitted);
    EXPECT_EQ(t.tagAt(250), '2');
    EXPECT_EQ(f.core.transmit(1, {}), TransmitResult::Transmitted);  // nothing to write
    EXPECT_EQ(t.storedLength(), 253);
}

TEST(Transmit, BadChannelsTouchNoPort)
{
    FakePorts f;
    EXPECT_EQ(f.core.transmit(0, frameOf(5)), TransmitResult::BadChannel);
    EXPECT_EQ(f.core.transmit(3, frameOf(5)), TransmitResult::BadChannel);
    EXPECT_TRUE(f.port1->writeSizes().empty());
    EXPECT_TRUE(f.port2->writeSizes().empty());
}

TEST(Transmit, AShortPieceStopsTheFrameAndRecordsNothing)
{
    FakePorts f;
    f.port1->setWriteLimit(60);
    EXPECT_EQ(f.core.transmit(1, frameOf(250)), TransmitResult::WriteTimedOut);
    EXPECT_EQ(f.port1->writeSizes(), (std::vector<std::size_t>{100}));
    EXPECT_EQ(f.core.traffic().storedLength(), 0);
}

TEST(Transmit, AFailedWriteCapturesTheErrorState)
{
    FakePorts f;
    f.port2->setWriteFailure(true);
    f.port2->injectErrors(CE_FRAME);
    EXPECT_EQ(f.core.transmit(2, frameOf(10)), TransmitResult::WriteFailed);
    EXPECT_EQ(f.core.channels().accumulatedErrors(2) & CE_FRAME, CE_FRAME);
    f.core.channels().closeChannel(2);
    EXPECT_EQ(f.core.transmit(2, frameOf(10)), TransmitResult::WriteFailed);  // a closed port fails its first write
}

TEST(Transmit, NothingIsRecordedWithoutSentTextOrInTheLineMonitorModes)
{
    {
        FakePorts f;
        f.core.settings().record.showSentText = 0;
        f.core.applySettings();
        EXPECT_EQ(f.core.transmit(1, frameOf(10)), TransmitResult::Transmitted);
        EXPECT_EQ(f.port1->written().size(), 10u);
        EXPECT_EQ(f.core.traffic().storedLength(), 0);
    }
    for (int mode : {Ch2Mode::MonitorT, Ch2Mode::MonitorRelay}) {
        FakePorts f(mode);
        EXPECT_EQ(f.core.transmit(1, frameOf(10)), TransmitResult::Transmitted);
        EXPECT_EQ(f.core.transmit(2, frameOf(10)), TransmitResult::Transmitted);
        EXPECT_EQ(f.port2->written().size(), 10u);
        EXPECT_EQ(f.core.traffic().storedLength(), 0) << mode;
    }
}

TEST(Transmit, TimesOutWhenTheLineIsHeld)
{
    PtyCore p(Ch2Mode::NotUsed);
    SerialPort* port = p.core->channels().port(1);
    ASSERT_NE(port, nullptr);
    CommTimeouts t = defaultTimeouts();
    t.WriteTotalTimeoutMultiplier = 0;
    t.WriteTotalTimeoutConstant = 100;
    ASSERT_TRUE(port->setCommTimeouts(t));
    ASSERT_TRUE(port->escapeCommFunction(SETXOFF));  // output suspended, as after a received XOFF
    // Far more than the pty can take while output is stopped.
    EXPECT_EQ(p.core->transmit(1, frameOf(100000)), TransmitResult::WriteTimedOut);
    EXPECT_EQ(p.core->traffic().storedLength(), 0);
    ASSERT_TRUE(port->escapeCommFunction(SETXON));
}

} // namespace
} // namespace kestrane
