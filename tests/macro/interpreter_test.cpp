// What the golden scripts cannot show: the busy guard against a nested tick, a text longer than
// the text area, registers kept between runs, the step counter and line during waits, and
// reception that goes on across a traffic buffer overflow or clear; the pacer's schedule.
#include "macro/macro_pacer.h"
#include "macro/macro_sim.h"

#include <gtest/gtest.h>

#include <string>

namespace kestrane {
namespace {

std::vector<std::uint8_t> bytes(const std::string& s) { return {s.begin(), s.end()}; }

std::string reg(const MacroSimulation& sim, int n)
{
    const auto b = const_cast<MacroSimulation&>(sim).memory().registers[static_cast<std::size_t>(n)].bytes();
    return std::string(b.begin(), b.end());
}

// A host whose failure message runs a nested event loop that delivers another timer tick.
class NestedTickHost final : public MacroHost {
public:
    MacroInterpreter* interpreter = nullptr;
    int transmits = 0;
    int messages = 0;
    TransmitResult transmit(int, std::span<const std::uint8_t>) override
    {
        ++transmits;
        return TransmitResult::WriteFailed;
    }
    void sendFailed() override
    {
        ++messages;
        interpreter->step();  // the tick that arrives while the message box is open
    }
    void refresh() override {}
    void finished() override {}
};

class NoTraffic final : public MacroTraffic {
public:
    std::int32_t scan(std::int32_t, std::uint8_t, const std::function<void(std::uint8_t)>&) override { return 0; }
    [[nodiscard]] std::int32_t storedLength() const override { return 0; }
    [[nodiscard]] std::int32_t receptionMarker() const override { return 0; }
    void setReceptionMarker(std::int32_t) override {}
};

TEST(MacroInterpreter, ATickDuringAFailureMessageIsDropped)
{
    MacroMemory memory;
    SendState send;
    SettingsRecord settings;
    NestedTickHost host;
    NoTraffic traffic;
    PlainMacroDio dio;
    ManualClock clock;
    MacroInterpreter interp(memory, send, settings, host, traffic, dio, clock);
    host.interpreter = &interp;
    const std::string text = "SEND 41\r\nSEND 42\r\nPEND\r\n";
    interp.load(bytes(text));
    interp.start();
    interp.step();
    EXPECT_EQ(host.transmits, 1);  // the nested tick did not run the second SEND
    EXPECT_EQ(host.messages, 1);
    EXPECT_EQ(memory.pc, 8);
    EXPECT_EQ(memory.busy, 0);
    interp.step();
    EXPECT_EQ(host.transmits, 2);
}

TEST(MacroInterpreter, OnlyTheFirst25600BytesAreLoaded)
{
    MacroSimulation sim;
    std::string text(kMacroTextSize - 2, ' ');
    text += "PEND MOVE 01,'x'";  // "PE" inside, "ND" outside the text area
    text.replace(0, 12, "MOVE 02,'y'\r");
    sim.load(text);
    sim.start();
    EXPECT_TRUE(sim.run(10));
    EXPECT_EQ(sim.memory().textLength, kMacroTextSize);
    EXPECT_EQ(reg(sim, 2), "y");
    EXPECT_EQ(reg(sim, 1), "");
    EXPECT_EQ(sim.memory().pc, kMacroTextSize);
    EXPECT_LE(sim.interpreter().lastStepWork(), 2 * kMacroTextSize);
}

TEST(MacroInterpreter, RegistersAndBitsAreKeptBetweenRunsAndANewRunStartsAtZero)
{
    MacroSimulation sim;
    sim.load(std::string("MOVE 01,'kept'\r\nBSET M017\r\nPUSM 02\r\n"));
    sim.start();
    sim.run(5);
    ASSERT_TRUE(sim.interpreter().running());  // waiting for a button
    // A new run replaces the text and restarts at offset 0 while the old one waits.
    sim.load(std::string("MINC 03\r\nPEND\r\n"));
    sim.start();
    EXPECT_EQ(sim.memory().pc, 0);
    EXPECT_TRUE(sim.run(10));
    EXPECT_EQ(reg(sim, 1), "kept");
    EXPECT_EQ(sim.memory().bits[1], 0x80);
}

TEST(MacroInterpreter, CounterAndLineStayOnTheCommandWaitedOn)
{
    MacroSimulation sim;
    sim.load(std::string("MOVE 01,'a'\r\n\r\n; wait for the answer\r\nREAD 01,001,050\r\nPEND\r\n"));
    sim.start();
    sim.advance(350);
    EXPECT_EQ(sim.memory().status, MacroStatus::WaitReception);
    EXPECT_EQ(sim.memory().pc, 38);
    EXPECT_EQ(sim.interpreter().currentLine(), 4);
    EXPECT_TRUE(sim.interpreter().inTimedWait());
    sim.interpreter().stop();
    EXPECT_FALSE(sim.interpreter().inTimedWait());
    EXPECT_EQ(sim.memory().stopRequested, 1);
    EXPECT_EQ(std::string(macroStatusText(sim.memory().status)), "処理完");
}

TEST(MacroInterpreter, ReceptionGoesOnAcrossAnOverflowOfTheTrafficBuffer)
{
    MacroSimulation sim;
    sim.settings.bufferSize = 200;  // capacity 12000: received chunks overflow from 11900 on
    sim.applySettings();
    for (int i = 0; i < 118; ++i)
        sim.traffic().appendReceived(2, std::vector<std::uint8_t>(100, 'n').data(), 100);
    ASSERT_EQ(sim.traffic().storedLength(), 11800);
    sim.receiveAt(300, 1, std::vector<std::uint8_t>(150, 'y'));
    sim.load(std::string("READ 01,150,000\r\nPEND\r\n"));
    sim.start();
    EXPECT_TRUE(sim.run(20));
    EXPECT_EQ(sim.traffic().storedLength(), 11800 - 6000 + 150);  // the oldest half was dropped
    EXPECT_EQ(reg(sim, 1), std::string(150, 'y'));
}

TEST(MacroInterpreter, ReceptionGoesOnAfterTheBufferIsCleared)
{
    MacroSimulation sim;
    sim.traffic().appendReceived(1, bytes("old bytes").data(), 9);
    sim.at(250, [&sim] { sim.traffic().clearTraffic(); });
    sim.receiveAt(400, 1, bytes("new"));
    sim.load(std::string("READ 01,003,000\r\nPEND\r\n"));
    sim.start();
    EXPECT_TRUE(sim.run(20));
    EXPECT_EQ(reg(sim, 1), "new");
}

TEST(MacroInterpreter, TheStatusTextsAreThoseOfTheStatusDisplay)
{
    const std::vector<std::pair<int, std::string>> texts{{-1, "処理完"}, {0, "処理中"}, {1, "受信待"}, {2, "時間待"},
                                                         {3, "釦押待"}, {4, "外入待"}, {5, "文入待"}, {6, ""}};
    for (const auto& [status, text] : texts)
        EXPECT_EQ(std::string(macroStatusText(status)), text) << status;
}

TEST(MacroPacer, StepsOnEachTickAndDuringAPolledWaitEvery20Ms)
{
    MacroPacer p;
    p.start(1000, 100);
    EXPECT_EQ(p.nextDue(), 1100);
    EXPECT_TRUE(p.stepped(1100, true));  // a tick that began a wait: polled from here
    EXPECT_EQ(p.nextDue(), 1120);
    EXPECT_FALSE(p.stepped(1120, true));
    EXPECT_EQ(p.nextDue(), 1140);
    EXPECT_FALSE(p.stepped(1190, true));  // a late poll: the next keeps the 20 ms grid
    EXPECT_EQ(p.nextDue(), 1200);
    EXPECT_TRUE(p.stepped(1200, true));  // tick and poll at once: one step
    EXPECT_EQ(p.nextDue(), 1220);
    EXPECT_FALSE(p.stepped(1220, false));  // the wait ended: ticks only
    EXPECT_EQ(p.nextDue(), 1300);
    EXPECT_TRUE(p.stepped(1530, false));  // ticks missed meanwhile are dropped
    EXPECT_EQ(p.nextDue(), 1600);
}

TEST(MacroPacer, TheSimulationStepsAsThePacerSays)
{
    MacroSimulation sim;
    sim.load(std::string("TIME 003\r\nPEND\r\n"));
    std::vector<std::int64_t> steps;
    sim.afterStep = [&] {
        steps.push_back(sim.elapsedMs());
        return true;
    };
    sim.start();
    EXPECT_TRUE(sim.run(10));
    std::vector<std::int64_t> expected;
    for (std::int64_t t = 100; t <= 400; t += MacroPacer::kWaitPollMs)
        expected.push_back(t);  // the tick that begins the wait, then its polls until it ends
    expected.push_back(500);    // PEND on the next tick
    EXPECT_EQ(steps, expected);
}

} // namespace
} // namespace kestrane
