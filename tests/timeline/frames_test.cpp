#include "timeline/frames.h"

#include <gtest/gtest.h>

namespace kestrane::timeline {
namespace {

struct Feed {
    FrameBuilder builder;
    std::vector<Frame> frames;
    std::vector<Entry> events;
    std::uint64_t sequence = 0;
    std::uint64_t record = 0;

    void data(int channel, Direction d, std::int64_t atUs, std::uint32_t count)
    {
        Entry e;
        e.sequence = ++sequence;
        e.channel = static_cast<std::uint8_t>(channel);
        e.direction = d;
        e.time = {1'700'000'000'000'000 + atUs, atUs};
        e.record = record;
        e.count = count;
        record += count;
        builder.add(e, frames, events);
    }
    void error(int channel, std::uint64_t at, LineError kind)
    {
        Entry e;
        e.sequence = ++sequence;
        e.kind = Kind::LineError;
        e.channel = static_cast<std::uint8_t>(channel);
        e.record = at;
        e.detail = static_cast<std::uint8_t>(kind);
        builder.add(e, frames, events);
    }
};

TEST(Frames, TheRuleIsThreeAndAHalfCharactersNeverBelowTheFloor)
{
    const FrameRule r = frameRuleFor(9600, 11, 1000);
    EXPECT_EQ(r.characterUs, 1146);
    EXPECT_EQ(r.quietUs, 4011);
    EXPECT_EQ(frameRuleFor(115200, 10, 1000).quietUs, 1000) << "304 us is below what can be seen";
    EXPECT_EQ(frameRuleFor(0, 10, 0).quietUs, frameRuleFor(9600, 10, 0).quietUs);
}

TEST(Frames, AQuietLineOrAnotherStreamEndsAFrameAndTheAnswerIsTimed)
{
    Feed f;
    f.builder.setRule(1, {4000, 1000});
    f.builder.setRule(2, {4000, 1000});
    // A request of 8 bytes taken in two pieces: the second's own 4 bytes took 4 ms on the line.
    f.data(1, Direction::Received, 10'000, 4);
    f.data(1, Direction::Received, 17'999, 4);  // 7.999 ms later, 4 of it its own bytes: quiet 3.999 ms
    EXPECT_TRUE(f.frames.empty());
    // The reply on the other channel 25 ms after the request's last piece.
    f.data(2, Direction::Received, 42'999, 5);
    ASSERT_EQ(f.frames.size(), 1U);
    EXPECT_EQ(f.frames[0].bytes, 8U);
    EXPECT_EQ(f.frames[0].start.monoUs, 10'000);
    EXPECT_EQ(f.frames[0].end.monoUs, 17'999);
    EXPECT_EQ(f.frames[0].answerUs, -1);
    // The next request on CH1 after a quiet of just over 4 ms past its own bytes.
    f.data(2, Direction::Received, 47'999 + 1, 5);  // 5.001 ms later with 5 ms of bytes: still the reply
    f.data(1, Direction::Received, 60'000, 2);
    ASSERT_EQ(f.frames.size(), 2U);
    EXPECT_EQ(f.frames[1].bytes, 10U);
    EXPECT_EQ(f.frames[1].answerUs, 25'000);
    EXPECT_EQ(f.frames[1].quietBeforeUs, 25'000);
    f.data(1, Direction::Received, 66'001, 2);  // 6.001 ms, 2 of them its own: quiet 4.001 ms
    ASSERT_EQ(f.frames.size(), 3U);
    EXPECT_EQ(f.frames[2].answerUs, 60'000 - 48'000);
    f.builder.flush(66'001 + 4'000, f.frames);
    EXPECT_EQ(f.frames.size(), 3U) << "not yet quiet past the rule";
    f.builder.flush(66'001 + 4'001, f.frames);
    ASSERT_EQ(f.frames.size(), 4U);
    EXPECT_EQ(f.frames[3].answerUs, -1) << "follows its own stream";
    EXPECT_EQ(f.frames[3].quietBeforeUs, 6'001);

    const Summary s = f.builder.summary();
    EXPECT_EQ(s.frames, 4U);
    EXPECT_EQ(s.answers, 2U);
    EXPECT_EQ(s.answerMinUs, 12'000);
    EXPECT_EQ(s.answerMaxUs, 25'000);
}

TEST(Frames, SentAndReceivedOnOneChannelAreTwoStreams)
{
    Feed f;
    f.data(1, Direction::Sent, 0, 8);
    f.data(1, Direction::Received, 100, 3);
    ASSERT_EQ(f.frames.size(), 1U);
    EXPECT_EQ(f.frames[0].direction, Direction::Sent);
    EXPECT_EQ(f.builder.open()->answerUs, 100);
}

TEST(Frames, LineErrorsCountOnTheFrameHoldingTheirByteAndPassThrough)
{
    Feed f;
    f.data(1, Direction::Received, 0, 10);  // bytes 0..9
    f.error(1, 9, LineError::Parity);
    f.error(1, 10, LineError::Break);       // after the frame's last byte
    f.error(2, 3, LineError::Framing);      // another channel
    f.builder.flush(0, f.frames, true);
    ASSERT_EQ(f.frames.size(), 1U);
    EXPECT_EQ(f.frames[0].errors, 1U);
    EXPECT_EQ(f.events.size(), 3U);
    const Summary s = f.builder.summary();
    EXPECT_EQ(s.errors[static_cast<int>(LineError::Parity)], 1U);
    EXPECT_EQ(s.errors[static_cast<int>(LineError::Break)], 1U);
    EXPECT_EQ(s.errors[static_cast<int>(LineError::Framing)], 1U);
}

} // namespace
} // namespace kestrane::timeline
