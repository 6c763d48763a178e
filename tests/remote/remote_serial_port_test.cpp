// The remote port on real servers: ser2net serving one end of a pty pair (what a user's bench
// has) and a scripted server for refusals, notifications and hostile replies.
#include "remote/remote_serial_port.h"
#include "platform/posix_serial_port.h"

#include "support/eventually.h"
#include "support/port_events.h"
#include "support/pty_pair.h"
#include "support/scripted_com_port_server.h"
#include "support/ser2net_server.h"

#include <asm/termbits.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

namespace kestrane {
namespace {

using namespace std::chrono_literals;
using test::eventually;
using test::PtyPair;
using test::ScriptedComPortServer;
using test::Ser2netServer;
using Bytes = std::vector<std::uint8_t>;

std::unique_ptr<SerialPort> open(const std::string& url, OpenError* why = nullptr, RemoteTiming timing = {})
{
    OpenError e;
    auto port = openRemoteSerialPort(url, e, {}, timing);
    if (why)
        *why = e;
    if (port) {
        port->setCommTimeouts(CommTimeouts{MAXDWORD, 0, 0, 10, 1000});
        port->setCommMask(EV_RXCHAR);
    }
    return port;
}

Dcb lineDefaults()
{
    Dcb d;
    applyLineDefaults(d);
    return d;
}

// Reads what arrives within `timeout`, until `n` bytes are there.
Bytes readAll(SerialPort& port, std::size_t n, std::chrono::milliseconds timeout = 5s)
{
    Bytes got(n);
    std::size_t have = 0;
    const auto until = std::chrono::steady_clock::now() + timeout;
    while (have < n && std::chrono::steady_clock::now() < until) {
        std::size_t k = 0;
        if (port.read(got.data() + have, n - have, k, 50) == IoStatus::Failed)
            break;
        have += k;
    }
    got.resize(have);
    return got;
}

// Data as a Telnet server puts it on the wire: 0xFF doubled.
Bytes onTheWire(const Bytes& data)
{
    Bytes w;
    for (const std::uint8_t b : data) {
        w.push_back(b);
        if (b == 0xFF)
            w.push_back(0xFF);
    }
    return w;
}

// Every value, and 0xFF (the Telnet escape) in runs.
Bytes iacRich(std::size_t n)
{
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i)
        b[i] = (i % 3 == 0) ? 0xFF : static_cast<std::uint8_t>(i * 7);
    return b;
}

class Ser2netLine : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.running()) << "ser2net is not installed (scripts/setup.sh installs it)";
        // A long bound: a set that waited for the answers ser2net never gives would show.
        port = open(server.url(), nullptr, RemoteTiming{.answer = 3s});
        ASSERT_TRUE(port);
    }
    PtyPair pty;
    Ser2netServer server{pty.slavePath()};
    std::unique_ptr<SerialPort> port;
};

TEST_F(Ser2netLine, EveryByteValuePassesBothWaysExactly)
{
    ASSERT_TRUE(port->setCommState(lineDefaults()));
    const Bytes out = iacRich(20000), in = iacRich(30000);
    std::size_t written = 0;
    ASSERT_EQ(port->writeAndDrain(out.data(), out.size(), written), IoStatus::Ok);
    EXPECT_EQ(written, out.size());
    EXPECT_EQ(pty.receive(out.size(), 5s), out);
    pty.send(in);
    EXPECT_EQ(readAll(*port, in.size()), in);
}

TEST_F(Ser2netLine, SettingsReachTheServedTtyAndReadBackAsAcknowledged)
{
    Dcb d = lineDefaults();
    d.BaudRate = 19200;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(port->setCommState(d));
    // The pty has no modem lines, so ser2net never answers DTR/RTS: no wait for them.
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1500ms);
    termios2 t{};
    ASSERT_EQ(::ioctl(pty.master(), TCGETS2, &t), 0);
    EXPECT_EQ(t.c_ospeed, 19200u);
    Dcb back;
    ASSERT_TRUE(port->getCommState(back));
    EXPECT_EQ(back.BaudRate, 19200u);
    EXPECT_EQ(back.ByteSize, 8);
    EXPECT_EQ(port->unconfirmedSettings(), kSettingDtr | kSettingRts);

    d.BaudRate = 0;  // no rate at all: refused before anything is sent
    EXPECT_FALSE(port->setCommState(d));
    ASSERT_TRUE(port->getCommState(back));
    EXPECT_EQ(back.BaudRate, 19200u);
}

TEST_F(Ser2netLine, AFullQueueHoldsTheServerBackUntilReadAndAFlagWaitKeepsTakingBytes)
{
    ASSERT_TRUE(port->setCommState(lineDefaults()));
    auto queued = [&] {
        std::uint32_t errors = 0;
        ComStat st;
        return port->clearCommError(errors, &st) ? st.cbInQue : 0;
    };
    // Three queues' worth while nobody reads: the queue fills, the rest waits in the server.
    const Bytes burst = iacRich(3 * 64 * 1024);
    std::thread sender([&] { pty.sendFor(burst, 20s); });
    ASSERT_TRUE(eventually([&] { return queued() == 64 * 1024; }, 10s));
    EXPECT_EQ(readAll(*port, burst.size(), 20s), burst) << "reading lets the rest come, in order";
    sender.join();
    std::uint32_t errors = 0;
    ASSERT_TRUE(port->clearCommError(errors, nullptr));
    EXPECT_EQ(errors & CE_RXOVER, 0u);

    // EV_RXFLAG alone: nothing will read before the event character, so the oldest bytes give
    // way (CE_RXOVER) and the character is still found.
    ASSERT_TRUE(port->setCommMask(EV_RXFLAG));
    std::uint32_t ev = 0;
    ASSERT_TRUE(port->waitCommEvent(ev));  // the wake of the mask change
    std::atomic<bool> found{false};
    std::thread waiter([&] { found = port->waitCommEvent(ev) && ev == EV_RXFLAG; });
    Bytes flood(2 * 64 * 1024, 'x');
    flood.push_back('\r');
    pty.sendFor(flood, 10s);
    const bool inTime = eventually([&] { return found.load(); }, 10s);
    port->setCommMask(EV_RXFLAG);  // ends the wait if it never saw the character
    waiter.join();
    ASSERT_TRUE(inTime) << "the event character behind a full queue was never seen";
    ASSERT_TRUE(port->clearCommError(errors, nullptr));
    EXPECT_EQ(errors & CE_RXOVER, static_cast<std::uint32_t>(CE_RXOVER));
    const Bytes tail = readAll(*port, 64 * 1024, 5s);
    ASSERT_FALSE(tail.empty());
    EXPECT_EQ(tail.back(), '\r');
}

TEST(RemoteLine, ARawTcpLineCarriesBytesAsTheyAreAndKeepsItsSettings)
{
    PtyPair pty;
    Ser2netServer server(pty.slavePath(), Ser2netServer::Kind::RawTcp);
    ASSERT_TRUE(server.running());
    auto port = open(server.url());
    ASSERT_TRUE(port);
    Dcb d = lineDefaults();
    d.BaudRate = 300;
    EXPECT_TRUE(port->setCommState(d));
    EXPECT_EQ(port->unconfirmedSettings(), kSettingNoLineControl);
    std::uint32_t modem = 0;
    EXPECT_FALSE(port->getCommModemStatus(modem));
    const Bytes b = iacRich(3000);
    std::size_t written = 0;
    ASSERT_EQ(port->write(b.data(), b.size(), written), IoStatus::Ok);
    EXPECT_EQ(pty.receive(b.size(), 5s), b);
}

TEST(RemoteLine, OpenFailuresSayWhy)
{
    OpenError e;
    EXPECT_FALSE(open("rfc2217://127.0.0.1:" + std::to_string(test::freeLoopbackPort()), &e));
    EXPECT_EQ(e.kind, OpenError::Refused);
    EXPECT_FALSE(open("rfc2217://127.0.0.1", &e));
    EXPECT_EQ(e.kind, OpenError::BadAddress);
    EXPECT_FALSE(open("rfc2217://no-such-host.invalid:7000", &e));
    EXPECT_EQ(e.kind, OpenError::NameNotFound);
    EXPECT_EQ(e.path, "rfc2217://no-such-host.invalid:7000");
    // The resolver's own reason travels with it (EAI_NONAME, or EAI_AGAIN without a name server).
    EXPECT_NE(e.resolverError, 0);
    EXPECT_NE(describeOpenError(e.path, e).find("(EAI_"), std::string::npos) << describeOpenError(e.path, e);

    ScriptedComPortServer refuses(false);
    EXPECT_FALSE(open(refuses.url(), &e));
    EXPECT_EQ(e.kind, OpenError::NoLineControl);
    // A plain TCP service named as rfc2217://: it sends, but never takes the option.
    ScriptedComPortServer plain(true, false);
    std::thread greeting([&] {
        if (eventually([&] { return plain.connected(); }))
            plain.sendRaw({'l', 'o', 'g', 'i', 'n', ':', ' '});
    });
    EXPECT_FALSE(open(plain.url(), &e));
    greeting.join();
    EXPECT_EQ(e.kind, OpenError::NoLineControl);
    // A server that says nothing at all (one still ending the previous client's session) is
    // slow, not one without line control.
    ScriptedComPortServer silent(true, false);
    EXPECT_FALSE(open(silent.url(), &e));
    EXPECT_EQ(e.kind, OpenError::NoAnswer);
}

// ---- Scripted servers ----

TEST(RemoteLine, ASettingTheServerRefusesOrNeverAnswersFailsAndTheLineIsAsItWas)
{
    ScriptedComPortServer server;
    auto port = open(server.url());
    ASSERT_TRUE(port);
    ASSERT_TRUE(port->setCommState(lineDefaults()));
    EXPECT_EQ(port->unconfirmedSettings(), 0u) << "this server answers control requests";

    // Refused: the answer names the data size the line keeps.
    server.setRule([](std::uint8_t code, const Bytes& v) {
        return code == 2 ? std::optional(Bytes{8}) : std::optional(v);
    });
    Dcb d = lineDefaults();
    d.ByteSize = 7;
    d.BaudRate = 4800;
    EXPECT_FALSE(port->setCommState(d));
    Dcb back;
    ASSERT_TRUE(port->getCommState(back));
    EXPECT_EQ(back.ByteSize, 8);
    EXPECT_EQ(back.BaudRate, 9600u) << "the rate it took was put back";
    EXPECT_TRUE(port->unconfirmedSettings() & kSettingByteSize);

    // Never answered: the set gives up after the bound.
    server.setRule([](std::uint8_t code, const Bytes& v) { return code == 1 ? std::nullopt : std::optional(v); });
    d.ByteSize = 8;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(port->setCommState(d));
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, 1s) << "the bound is a second, to the microsecond";
    EXPECT_LT(took, 1900ms);
}

TEST(RemoteLine, NotificationsReachTheErrorWordModemInputsAndTheOutputHold)
{
    ScriptedComPortServer server;
    auto port = open(server.url());
    ASSERT_TRUE(port);
    ASSERT_TRUE(eventually([&] { return server.requests().size() >= 2; })) << "masks asked for";
    EXPECT_EQ(server.requests()[0], (std::pair<std::uint8_t, Bytes>{11, {0xFF}}));

    server.sendComPort(106, {0x08});  // framing error
    server.sendComPort(107, {0xB1});  // CTS, DSR, carrier (and a delta bit)
    std::uint32_t errors = 0;
    ASSERT_TRUE(eventually([&] {
        std::uint32_t e = 0;
        port->clearCommError(e, nullptr);
        errors |= e;
        return errors != 0;
    }));
    EXPECT_EQ(errors, CE_FRAME);
    port->clearCommError(errors, nullptr);
    EXPECT_EQ(errors, 0u) << "read and cleared";
    std::uint32_t modem = 0;
    ASSERT_TRUE(eventually([&] { return port->getCommModemStatus(modem) && modem != 0; }));
    EXPECT_EQ(modem, MS_CTS_ON | MS_DSR_ON | MS_RLSD_ON);

    // The server asks us to hold our output, as a received XOFF would.
    server.sendComPort(108, {});
    ComStat st;
    ASSERT_TRUE(eventually([&] { return port->clearCommError(errors, &st) && (st.flags & ComStat::fXoffHold); }));
    const Bytes msg = {'h', 'i', 0xFF};
    std::size_t written = 0;
    port->setCommTimeouts(CommTimeouts{MAXDWORD, 0, 0, 0, 200});
    EXPECT_EQ(port->writeAndDrain(msg.data(), msg.size(), written), IoStatus::Ok);
    EXPECT_EQ(written, 0u) << "a held line times out";
    server.sendComPort(109, {});
    ASSERT_TRUE(eventually([&] { return server.data() == msg; }));
}

// NOTIFY-LINESTATE lands between the bytes that came before and after it; with nothing after it
// and no read under way it is an event of its own. NOTIFY-MODEMSTATE changes are events with
// their time, a line reported changed in an unchanged state counted as gone and back.
TEST(RemoteLine, LineAndModemStatesTakeTheirPlaceOnTheTimeline)
{
    ScriptedComPortServer server;
    test::PortEventLog log;
    auto port = open(server.url());
    ASSERT_TRUE(port);
    port->setEventSink(log.sink());
    const auto before = timeline::now();
    ASSERT_TRUE(server.sendRaw({'a', 'b'}));
    server.sendComPort(106, {0x04});  // parity
    ASSERT_TRUE(server.sendRaw({'c', 0xFF, 0xFF, 'd'}));  // c, FF, d
    ComStat st;
    std::uint32_t errors = 0;
    ASSERT_TRUE(eventually([&] { return port->clearCommError(errors, &st) && st.cbInQue == 5; }));
    EXPECT_EQ(readAll(*port, 4), (Bytes{'a', 'b', 'c', 0xFF}));
    ReadMarks m;
    port->takeReadMarks(m);
    EXPECT_EQ(test::describe(m.errors), "2 P");
    ASSERT_FALSE(m.arrivals.empty());
    EXPECT_GE(m.arrivals[0].time.monoUs, before.monoUs);
    EXPECT_EQ(readAll(*port, 1), Bytes{'d'});

    server.sendComPort(106, {0x10});  // a break after the last byte
    ASSERT_TRUE(log.waitFor(1));
    EXPECT_EQ(log.events()[0].kind, PortEvent::Kind::LineState);
    EXPECT_EQ(log.events()[0].error, timeline::LineError::Break);

    server.sendComPort(107, {0xB1});  // CTS (changed), DSR, DCD
    server.sendComPort(107, {0x38});  // DCD dropped
    server.sendComPort(107, {0x32});  // DSR went and came back
    ASSERT_TRUE(log.waitFor(4));
    const auto e = log.events();
    ASSERT_EQ(e.size(), 4u);
    EXPECT_EQ(e[1].kind, PortEvent::Kind::ModemChange);
    EXPECT_EQ(e[1].changed, MS_CTS_ON);
    EXPECT_EQ(e[1].lines, MS_CTS_ON | MS_DSR_ON | MS_RLSD_ON);
    EXPECT_EQ(e[2].changed, MS_RLSD_ON);
    EXPECT_EQ(e[2].lines, MS_CTS_ON | MS_DSR_ON);
    EXPECT_EQ(e[2].count, 1u);
    EXPECT_EQ(e[3].changed, MS_DSR_ON);
    EXPECT_EQ(e[3].count, 2u);
    EXPECT_GE(e[3].time.monoUs, e[1].time.monoUs);
    EXPECT_GE(e[1].time.monoUs, before.monoUs);
}

TEST(RemoteLine, LineControlGoesToTheServer)
{
    ScriptedComPortServer server;
    auto port = open(server.url());
    ASSERT_TRUE(port);
    server.setRule([](std::uint8_t code, const Bytes& v) { return code == 5 && v == Bytes{8} ? std::nullopt : std::optional(v); });
    EXPECT_TRUE(port->escapeCommFunction(SETDTR));
    EXPECT_TRUE(port->escapeCommFunction(CLRRTS));
    EXPECT_TRUE(port->escapeCommFunction(SETBREAK));
    EXPECT_TRUE(port->purgeComm(PURGE_RXCLEAR | PURGE_TXCLEAR));
    const std::vector<std::pair<std::uint8_t, Bytes>> want = {{5, {8}}, {5, {12}}, {5, {5}}, {12, {3}}};
    ASSERT_TRUE(eventually([&] { return server.requests().size() >= 2 + want.size(); }));
    const auto got = server.requests();
    EXPECT_EQ(std::vector(got.end() - static_cast<std::ptrdiff_t>(want.size()), got.end()), want);
    EXPECT_TRUE(eventually([&] { return port->unconfirmedSettings() == kSettingDtr; }))
        << "RTS and break were answered, DTR was not";

    // XOFF/XON from the line-status window hold and release our own output.
    EXPECT_TRUE(port->escapeCommFunction(SETXOFF));
    const Bytes msg = {'x'};
    std::size_t written = 0;
    port->setCommTimeouts(CommTimeouts{MAXDWORD, 0, 0, 0, 100});
    EXPECT_EQ(port->writeAndDrain(msg.data(), 1, written), IoStatus::Ok);
    EXPECT_EQ(written, 0u);
    EXPECT_TRUE(port->escapeCommFunction(SETXON));
    ASSERT_TRUE(eventually([&] { return server.data() == msg; }));
}

TEST(RemoteLine, HostileRepliesNeitherCrashNorGrowAndDataStillPasses)
{
    ScriptedComPortServer server;
    auto port = open(server.url());
    ASSERT_TRUE(port);
    const std::size_t before = server.bytesReceived();
    Bytes junk;
    for (int i = 0; i < 5000; ++i)  // options nobody asked for, offered again and again
        junk.insert(junk.end(), {255, 253, 99, 255, 251, 77});
    junk.insert(junk.end(), {255, 250, 44, 101, 0, 0});  // an answer cut short by a command
    junk.insert(junk.end(), {255, 250, 44, 107});         // a subnegotiation that never ends
    junk.insert(junk.end(), 200000, 0x41);
    junk.insert(junk.end(), {255, 240, 'o', 'k', 255, 255, 255, 243});  // its end, data, a break
    ASSERT_TRUE(server.sendRaw(junk));
    EXPECT_EQ(readAll(*port, 3), (Bytes{'o', 'k', 0xFF}));
    std::uint32_t errors = 0;
    ASSERT_TRUE(eventually([&] { return port->clearCommError(errors, nullptr) && errors == CE_BREAK; }));
    EXPECT_LT(server.bytesReceived() - before, 100u) << "each unwanted option refused once";

    // A server that floods a port nobody reads is held back by the full queue (and the
    // connection's buffers), not stored without end; every byte arrives once read.
    const Bytes flood = iacRich(32 << 20);
    std::atomic<bool> allSent{false};
    std::thread sender([&] { allSent = server.sendRaw(onTheWire(flood), 60000); });
    std::this_thread::sleep_for(500ms);
    EXPECT_FALSE(allSent) << "the client took everything without reading";
    EXPECT_EQ(readAll(*port, flood.size(), 60s), flood);
    sender.join();
}

TEST(RemoteLine, AServerThatHoldsTheLineLongerThanAFlowControlPauseIsTold)
{
    ScriptedComPortServer server;
    auto port = open(server.url(), nullptr, RemoteTiming{.holdTold = 300ms});
    ASSERT_TRUE(port);
    std::atomic<int> told{0};
    port->setHoldNotifier([&] { ++told; });
    server.sendComPort(108, {});  // suspend, and resume soon: ordinary flow control
    std::this_thread::sleep_for(100ms);
    server.sendComPort(109, {});
    std::this_thread::sleep_for(400ms);
    EXPECT_EQ(told, 0);
    EXPECT_FALSE(port->heldByFarEnd());

    server.sendComPort(108, {});
    ASSERT_TRUE(eventually([&] { return port->heldByFarEnd(); }));
    EXPECT_EQ(told, 1);
    server.sendComPort(109, {});
    ASSERT_TRUE(eventually([&] { return !port->heldByFarEnd(); }));
    EXPECT_EQ(told, 2);
}

// Takes this thread's network namespace's loopback up or down.
bool setLoopback(bool up)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ifreq r{};
    std::strcpy(r.ifr_name, "lo");
    bool ok = fd >= 0 && ::ioctl(fd, SIOCGIFFLAGS, &r) == 0;
    r.ifr_flags = static_cast<short>(up ? (r.ifr_flags | IFF_UP) : (r.ifr_flags & ~IFF_UP));
    ok = ok && ::ioctl(fd, SIOCSIFFLAGS, &r) == 0;
    if (fd >= 0)
        ::close(fd);
    return ok;
}

// In a network namespace of the test's own (it needs the right to make one), whose loopback it
// can take down as a switched-off server machine vanishes.
TEST(RemoteLine, AServerThatStopsAnsweringWhileBytesWaitIsALossWithinTheBoundAndOneThatOnlyStopsReadingIsNot)
{
    std::string skip;
    std::thread inNamespace([&] {
        // Only this thread (and those it starts: the server's, the port's) moves.
        if (::unshare(CLONE_NEWNET) != 0 || !setLoopback(true)) {
            skip = std::strerror(errno);
            return;
        }
        ScriptedComPortServer server;
        auto port = open(server.url(), nullptr, RemoteTiming{.stall = 1500ms});
        ASSERT_TRUE(port);
        port->setCommTimeouts(CommTimeouts{MAXDWORD, 0, 0, 0, 100});
        // The server stops reading: its window closes, but it still answers; the line is held.
        server.pauseReading(true);
        const Bytes chunk(64 * 1024, 'h');
        std::size_t sent = 0, written = 0;
        do {
            port->write(chunk.data(), chunk.size(), written);
            sent += written;
        } while (written == chunk.size());
        std::this_thread::sleep_for(4s);
        EXPECT_FALSE(port->lost()) << "a held line is not lost";
        server.pauseReading(false);
        EXPECT_TRUE(eventually([&] { return server.data().size() == sent; }));

        // Gone without a word: lost within the bound, not after the kernel's quarter of an hour.
        ASSERT_TRUE(setLoopback(false));
        const auto start = std::chrono::steady_clock::now();
        port->write(chunk.data(), 100, written);
        EXPECT_TRUE(eventually([&] { return port->lost(); }, 10s));
        EXPECT_LT(std::chrono::steady_clock::now() - start, 4s);
        EXPECT_EQ(port->lossReason(), LossReason::NoAnswer);
    });
    inNamespace.join();
    if (!skip.empty())
        GTEST_SKIP() << "no network namespace of our own: " << skip;
}

} // namespace
} // namespace kestrane
