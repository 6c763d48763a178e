// The line-status logic on fake ports (line errors and modem lines, which pseudo-terminals cannot
// show): latching versus live display, the shared latched word, errors the receive thread read
// first, a port closed under an open window, and the line-control escapes.
#include "comm/channel.h"
#include "settings/dialog_values.h"
#include "settings/line_status.h"
#include "support/comm/fake_channels.h"

#include <gtest/gtest.h>

#include <cerrno>

#include <chrono>
#include <thread>

namespace kestrane {
namespace {

using namespace std::chrono_literals;
using test::FakeChannels;

TEST(LineStatus, ALatchedErrorStaysUntilResetAndALiveOneLastsOneSample)
{
    FakeChannels f;
    LineStatusMemory memory;
    LineStatusProbe probe(f.channels, memory, 1);
    EXPECT_STREQ(probe.holdText(), " HOLD中 ");

    f.port[1]->injectErrors(CE_FRAME);
    EXPECT_EQ(probe.sample().errors, CE_FRAME);
    EXPECT_EQ(probe.sample().errors, CE_FRAME);  // latched
    f.port[1]->injectErrors(CE_OVERRUN);
    EXPECT_EQ(probe.sample().errors, CE_FRAME | CE_OVERRUN);
    probe.resetLatched();
    EXPECT_EQ(probe.sample().errors, 0u);

    probe.toggleHold();
    EXPECT_STREQ(probe.holdText(), "常時表示");
    f.port[1]->injectErrors(CE_FRAME);
    EXPECT_EQ(probe.sample().errors, CE_FRAME);
    EXPECT_EQ(probe.sample().errors, 0u);  // live: one sample only
    EXPECT_EQ(memory.latched[1], 0u);      // CH2 has its own word
}

TEST(LineStatus, TwoWindowsShareTheWordAndTheHoldSwitchOutlivesThem)
{
    FakeChannels f;
    LineStatusMemory memory;
    {
        LineStatusProbe first(f.channels, memory, 2);
        LineStatusProbe second(f.channels, memory, 2);
        f.port[2]->injectErrors(CE_BREAK);
        EXPECT_EQ(first.sample().errors, CE_BREAK);
        EXPECT_EQ(second.sample().errors, CE_BREAK);  // read and cleared by the first, latched for both
        second.toggleHold();
        EXPECT_EQ(first.hold(), 1);
    }
    LineStatusProbe later(f.channels, memory, 2);
    EXPECT_STREQ(later.holdText(), "常時表示");
}

TEST(LineStatus, ErrorsTheReceiveThreadReadFirstAreNotLost)
{
    FakeChannels f;
    LineStatusMemory memory;
    LineStatusProbe probe(f.channels, memory, 1);
    // The receive thread wakes on the bytes and clears the error word before the window samples.
    f.port[1]->injectErrors(CE_RXPARITY);
    f.port[1]->receive("x");
    for (int i = 0; i < 500 && f.channels.accumulatedErrors(1) == 0; ++i)
        std::this_thread::sleep_for(2ms);
    ASSERT_EQ(f.channels.accumulatedErrors(1), CE_RXPARITY);
    EXPECT_EQ(probe.sample().errors, CE_RXPARITY);
    EXPECT_EQ(f.channels.accumulatedErrors(1), 0u);  // taken by the display
}

TEST(LineStatus, StatusQueuesAndModemInputs)
{
    FakeChannels f;
    LineStatusMemory memory;
    LineStatusProbe probe(f.channels, memory, 2);
    f.port[2]->setOutQueue(17);
    f.port[2]->setModemStatus(MS_CTS_ON | MS_RLSD_ON);
    LineStatusReading r = probe.sample();
    EXPECT_TRUE(r.portOpen);
    EXPECT_TRUE(r.statusRead);
    EXPECT_EQ(r.stat.cbOutQue, 17u);
    EXPECT_TRUE(r.modemRead);
    EXPECT_EQ(r.modem, MS_CTS_ON | MS_RLSD_ON);

    std::uint32_t both = 0;
    f.port[1]->setModemStatus(MS_DSR_ON | MS_RING_ON);
    EXPECT_TRUE(readModemInputs(f.channels, 1, both));
    EXPECT_EQ(both, MS_DSR_ON | MS_RING_ON);

    // Without modem lines (as on a pseudo-terminal) the lamps stay dark.
    f.port[2]->setModemLinesSupported(false);
    r = probe.sample();
    EXPECT_FALSE(r.modemRead);
    EXPECT_EQ(r.modem, 0u);

    // The port closed under the window: nothing is read, nothing breaks.
    f.channels.closeChannel(2);
    r = probe.sample();
    EXPECT_FALSE(r.portOpen);
    EXPECT_FALSE(r.statusRead);
    EXPECT_FALSE(readModemInputs(f.channels, 2, both));
    EXPECT_EQ(probe.lineControl(SETDTR), ENODEV);
}

TEST(LineStatus, EveryButtonSendsItsEscape)
{
    FakeChannels f;
    LineStatusMemory memory;
    LineStatusProbe probe(f.channels, memory, 1);
    std::vector<int> expected;
    for (const LineControlButton& b : kLineControlButtons) {
        EXPECT_EQ(probe.lineControl(b.escape), 0) << b.label;
        expected.push_back(b.escape);
    }
    EXPECT_EQ(f.port[1]->escapes(), expected);
    EXPECT_EQ(expected, (std::vector<int>{CLRDTR, SETDTR, CLRRTS, SETRTS, SETXOFF, SETXON, SETBREAK, CLRBREAK}));
    EXPECT_TRUE(f.port[2]->escapes().empty());
}

TEST(LineStatus, SamplingPeriods)
{
    EXPECT_EQ(samplingPeriodMs("1000"), 1000);
    EXPECT_EQ(samplingPeriodMs("0"), kShortestTimerMs);
    EXPECT_EQ(samplingPeriodMs("abc"), kShortestTimerMs);
    EXPECT_EQ(samplingPeriodMs("-200"), kShortestTimerMs);
}

} // namespace
} // namespace kestrane
