// The bookkeeping of the requests to a COM-port server, on its own clock: answers that come in
// time, late, twice or never.
#include "remote/com_port_requests.h"

#include "platform/serial_port.h"

#include <gtest/gtest.h>

namespace kestrane::telnet {
namespace {

using namespace std::chrono_literals;

struct Book {
    ComPortRequests requests;
    std::vector<std::uint8_t> wire;
    CommClock::time_point t0 = CommClock::time_point{} + 1h;

    Batch ask(Field f, unsigned value, CommClock::duration at, CommClock::duration bound = 1s)
    {
        FieldValues want;
        want[f] = value;
        return requests.ask(want, wire, t0 + at, bound);
    }
    std::optional<unsigned> answer(Field f, unsigned value, CommClock::duration at)
    {
        return requests.answer(f, value, t0 + at);
    }
};

TEST(ComPortRequests, ALateAnswerFailsItsBatchButConfirmsTheSettingAndIsNotTakenForTheNextRequest)
{
    Book b;
    const Batch first = b.ask(kBaud, 9600, 0ms);
    EXPECT_FALSE(b.requests.settled(first, b.t0 + 999ms));
    EXPECT_TRUE(b.requests.settled(first, b.t0 + 1s)) << "the deadline ends the wait";
    const Batch second = b.ask(kBaud, 19200, 1200ms);

    // The first request's answer comes after its deadline: it still answers the first request.
    EXPECT_EQ(b.answer(kBaud, 9600, 1300ms), 9600u);
    EXPECT_EQ(b.requests.outcome(first).unanswered, kSettingBaudRate);
    EXPECT_EQ(b.requests.outcome(first).refused, kSettingBaudRate);
    EXPECT_EQ(b.requests.unconfirmed(), kSettingBaudRate) << "the latest request is still open";
    EXPECT_FALSE(b.requests.settled(second, b.t0 + 1300ms));

    EXPECT_EQ(b.answer(kBaud, 19200, 1400ms), 19200u);
    EXPECT_TRUE(b.requests.settled(second, b.t0 + 1400ms));
    EXPECT_EQ(b.requests.outcome(second).refused, 0u);
    EXPECT_EQ(b.requests.unconfirmed(), 0u);
    EXPECT_EQ(b.requests.acknowledged()[kBaud], 19200u);
}

TEST(ComPortRequests, AnAnswerAtTheDeadlineIsInTimeAndARoundedRateIsTaken)
{
    Book b;
    const Batch batch = b.ask(kBaud, 9600, 0ms);
    b.answer(kBaud, 9615, 1s);  // within 3 %
    EXPECT_EQ(b.requests.outcome(batch).refused, 0u);
    const Batch far = b.ask(kBaud, 9600, 2s);
    b.answer(kBaud, 10000, 2100ms);
    EXPECT_EQ(b.requests.outcome(far).refused, kSettingBaudRate);
    EXPECT_EQ(b.requests.outcome(far).unanswered, 0u) << "answered, with another value";
}

TEST(ComPortRequests, AnAnswerGivenTwiceLeavesTheAnsweredRequestAsItWasAndOnlyMovesTheAcknowledgedValue)
{
    Book b;
    const Batch batch = b.ask(kParity, 3, 0ms);
    EXPECT_EQ(b.answer(kParity, 3, 10ms), 3u);
    EXPECT_EQ(b.answer(kParity, 1, 20ms), std::nullopt) << "no request is open";
    EXPECT_EQ(b.requests.answerOf(batch.requests.front()), 3u);
    EXPECT_EQ(b.requests.outcome(batch).refused, 0u);
    EXPECT_EQ(b.requests.acknowledged()[kParity], 1u) << "what the line has is the server's last word";
}

TEST(ComPortRequests, ARequestNeverAnsweredStaysUnconfirmedAndOnlyTheNewestStayOpen)
{
    Book b;
    const Batch never = b.ask(kDtr, kDtrOn, 0ms);
    EXPECT_TRUE(b.requests.settled(never, b.t0 + 1s));
    EXPECT_EQ(b.requests.outcome(never).unanswered, kSettingDtr);
    for (int i = 1; i <= 30; ++i)
        b.ask(kDtr, i % 2 ? kDtrOff : kDtrOn, i * 10ms);
    EXPECT_EQ(b.requests.openCount(kDtr), ComPortRequests::kMaxPending);
    EXPECT_EQ(b.requests.unconfirmed(), kSettingDtr);
    EXPECT_EQ(b.requests.outcome(never).unanswered, kSettingDtr) << "given up, and long forgotten";
    // An answer now belongs to the oldest of the newest eight, not to a given-up request.
    EXPECT_EQ(b.requests.oldestOpen(kDtr), kDtrOff);
    EXPECT_EQ(b.answer(kDtr, kDtrOff, 1s), kDtrOff);
    EXPECT_EQ(b.requests.openCount(kDtr), ComPortRequests::kMaxPending - 1);
}

TEST(ComPortRequests, ServerReportsAreReadAndWhatIsNotAReportIsNone)
{
    const std::uint8_t rate[] = {101, 0, 0, 0x25, 0x80};
    const ServerReport r = readServerReport(rate, sizeof rate);
    EXPECT_EQ(r.kind, ServerReport::Answer);
    EXPECT_EQ(r.field, kBaud);
    EXPECT_EQ(r.value, 9600u);
    const std::uint8_t rts[] = {105, kRtsOff}, suspend[] = {108}, clientCode[] = {5, 8}, shortRate[] = {101, 0, 0};
    EXPECT_EQ(readServerReport(rts, 2).field, kRts);
    EXPECT_EQ(readServerReport(suspend, 1).kind, ServerReport::Suspend);
    EXPECT_EQ(readServerReport(clientCode, 2).kind, ServerReport::None);
    EXPECT_EQ(readServerReport(shortRate, 3).kind, ServerReport::None);
}

} // namespace
} // namespace kestrane::telnet
