// Lines that take long to answer: an open's waits run off the caller's thread and a close gives
// them up at once; the tries of a lost line slow down whichever step failed.
#include "comm/channel.h"
#include "comm/device_texts.h"
#include "device_events.h"
#include "support/eventually.h"
#include "support/fake_serial_port.h"
#include "support/scripted_com_port_server.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <optional>

namespace kestrane {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using test::FakeSerialPort;
using test::handleUntil;

// A remote line played by a fake port (its address makes a loss tried again); each try is
// timed and gets what `next` makes, nothing (refused) by default.
struct FakeRemote {
    Settings settings;
    Channels channels{settings, [this](int, OpenError& e) {
                          e.path = "rfc2217://192.0.2.1:7000";
                          auto p = std::make_unique<FakeSerialPort>();
                          port = p.get();
                          return std::unique_ptr<SerialPort>(std::move(p));
                      }};
    FakeSerialPort* port = nullptr;
    std::mutex m;
    std::vector<Clock::time_point> tries;
    std::function<std::unique_ptr<SerialPort>()> next;

    FakeRemote()
    {
        channels.setRetryOpener([this](int, OpenError& e, std::stop_token) {
            std::lock_guard lock(m);
            tries.push_back(Clock::now());
            std::unique_ptr<SerialPort> p = next ? next() : nullptr;
            if (!p)
                e = OpenError(OpenError::Refused, ECONNREFUSED, "rfc2217://192.0.2.1:7000");
            return p;
        });
    }
    std::size_t triesSoFar()
    {
        std::lock_guard lock(m);
        return tries.size();
    }
};

TEST(Reconnect, TheTriesOfALostLineSlowDownFromHalfASecondToTen)
{
    for (const auto& [failed, pause] : {std::pair{0u, 500ms}, {1u, 1000ms}, {2u, 2000ms}, {3u, 4000ms}, {4u, 8000ms},
                                        {5u, 10000ms}, {40u, 10000ms}, {~0u, 10000ms}})
        EXPECT_EQ(reconnectPause(failed), pause) << failed;

    FakeRemote r;
    ASSERT_EQ(r.channels.openChannel(1, 7), OpenResult::Opened);
    const auto lostAt = Clock::now();
    r.port->hangUp();
    ASSERT_TRUE(handleUntil(r.channels, [&] { return r.triesSoFar() >= 4; }, 15s));
    // 0.5 s after the loss, then 1, 2 and 4 s between the tries: never shorter (the pause grows)
    // and not much longer.
    auto from = lostAt;
    for (std::size_t i = 0; i < 4; ++i) {
        const auto gap = r.tries[i] - from;
        EXPECT_GE(gap, reconnectPause(static_cast<unsigned>(i)) - 5ms) << "try " << i + 1;
        EXPECT_LT(gap, reconnectPause(static_cast<unsigned>(i)) + 1s) << "try " << i + 1;
        from = r.tries[i];
    }
    EXPECT_EQ(r.channels.device(1).openFailure.kind, OpenError::Refused);
}

TEST(Reconnect, ALineThatConnectsButTakesNoSettingsIsTriedWithGrowingPausesToo)
{
    FakeRemote r;
    ASSERT_EQ(r.channels.openChannel(1, 7), OpenResult::Opened);
    r.next = [] {
        auto p = std::make_unique<FakeSerialPort>();
        p->rejectStates([](const Dcb&) { return true; });
        return p;
    };
    r.port->hangUp();
    ASSERT_TRUE(handleUntil(r.channels, [&] { return r.triesSoFar() >= 3; }, 10s));
    EXPECT_GE(r.tries[1] - r.tries[0], 1000ms - 5ms);
    EXPECT_GE(r.tries[2] - r.tries[1], 2000ms - 5ms);
    const DeviceStatus& d = r.channels.device(1);
    ASSERT_TRUE(handleUntil(r.channels, [&] { return d.retries >= 3; }));
    EXPECT_EQ(d.state, DeviceStatus::State::Lost);
    EXPECT_EQ(d.openFailure.kind, OpenError::SettingsRefused);
}

TEST(Reconnect, ALineLostAgainRightAfterItCameBackGoesOnWithTheLongerPause)
{
    FakeRemote r;
    ASSERT_EQ(r.channels.openChannel(1, 7), OpenResult::Opened);
    FakeSerialPort* back = nullptr;
    r.next = [&] {
        auto p = std::make_unique<FakeSerialPort>();
        back = p.get();
        return p;
    };
    r.port->hangUp();
    ASSERT_TRUE(handleUntil(r.channels, [&] { return r.channels.device(1).reconnectedAt.has_value(); }, 5s));
    back->hangUp();  // a server that takes the line and drops it again at once
    ASSERT_TRUE(handleUntil(r.channels, [&] { return r.triesSoFar() >= 2; }, 5s));
    EXPECT_GE(r.tries[1] - r.tries[0], reconnectPause(1)) << "not from half a second again";
    EXPECT_EQ(r.channels.device(1).retries, 0u);
}

TEST(OpenOnTheSide, ALineThatAnswersNoSettingHoldsNoCallerAndACloseGivesItUp)
{
    test::TempDir dir;
    test::ScriptedComPortServer server;  // takes the COM-port option, then answers nothing
    server.setRule([](std::uint8_t, const std::vector<std::uint8_t>&) { return std::nullopt; });
    std::ofstream(dir / "ports.conf") << "COM7=" << server.url() << "\n";
    Settings settings;
    Channels channels(settings, systemPortOpener(dir.path()));
    channels.setRetryOpener(systemRetryOpener(dir.path()));

    std::optional<OpenResult> result;
    auto start = Clock::now();
    channels.beginOpen(1, 7, [&](OpenResult r) { result = r; });
    EXPECT_LT(Clock::now() - start, 300ms);
    EXPECT_EQ(channels.device(1).state, DeviceStatus::State::Opening);
    ASSERT_TRUE(handleUntil(channels, [&] { return result.has_value(); }, 10s));
    // The stored settings, then the defaults, each unanswered within its bound: the step and
    // the settings are named.
    EXPECT_EQ(result, OpenResult::PortCannotBeConfigured);
    const DeviceStatus& d = channels.device(1);
    EXPECT_EQ(d.openFailure.kind, OpenError::SettingsRefused);
    EXPECT_EQ(d.openFailure.path, server.url());
    EXPECT_EQ(d.refusal.failure.unanswered, 0x1Fu);
    EXPECT_EQ(refusedSettingsText(d.refusal), "通信速度 9600, データ長 8, パリティ なし, ストップビット 1, フロー制御 なし（応答なし）");
    EXPECT_FALSE(channels.opening(1));

    // Closed while it waits for the server's answers: given up at once, never told.
    result.reset();
    const std::size_t asked = server.requests().size();
    channels.beginOpen(1, 7, [&](OpenResult r) { result = r; });
    ASSERT_TRUE(test::eventually([&] { return server.requests().size() >= asked + 5; }));
    start = Clock::now();
    channels.closeChannel(1);
    EXPECT_LT(Clock::now() - start, 300ms);
    EXPECT_FALSE(handleUntil(channels, [&] { return result.has_value(); }, 500ms));
    EXPECT_EQ(channels.device(1).state, DeviceStatus::State::Closed);
}

} // namespace
} // namespace kestrane
