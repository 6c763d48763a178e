// The time stamp of time-stamped ASC: the text written, and reading it back, at the edges.
#include "traffic/time_stamp.h"

#include <gtest/gtest.h>

#include <string>

namespace kestrane {
namespace {

std::span<const std::uint8_t> bytesOf(std::string_view s)
{
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

TEST(TimeStamp, WrittenAndReadBackAtTheEdgesOnBothChannels)
{
    struct Case {
        int channel;
        CalendarTime time;
        const char* text;
    };
    for (const Case& c : {Case{1, {1, 0, 0, 0}, "<1d0:0,0>"}, Case{2, {1, 0, 0, 0}, "<1D0:0,0>"},
                          Case{1, {9, 9, 9, 9}, "<9d9:9,9>"}, Case{2, {10, 10, 10, 10}, "<10D10:10,10>"},
                          Case{1, {31, 23, 59, 60}, "<31d23:59,60>"}, Case{2, {31, 23, 59, 59}, "<31D23:59,59>"},
                          Case{1, {5, 12, 3, 45}, "<5d12:3,45>"}}) {
        const TimeStampText written = timeStampText(c.channel, c.time);
        EXPECT_EQ(written.view(), c.text);
        // Read back from the bytes of the chunk it leads.
        const std::string chunk = std::string(written.view()) + "OK\r";
        const auto read = readTimeStamp(c.channel, bytesOf(chunk));
        ASSERT_TRUE(read) << c.text;
        EXPECT_EQ(read->length, written.length) << c.text;
        EXPECT_EQ(read->time.day, c.time.day);
        EXPECT_EQ(read->time.hour, c.time.hour);
        EXPECT_EQ(read->time.minute, c.time.minute);
        EXPECT_EQ(read->time.second, c.time.second);
        // The other channel's letter is not this channel's stamp.
        EXPECT_FALSE(readTimeStamp(c.channel == 1 ? 2 : 1, bytesOf(chunk))) << c.text;
        // Cut anywhere, it is no stamp.
        for (std::size_t n = 0; n < static_cast<std::size_t>(written.length); ++n)
            EXPECT_FALSE(readTimeStamp(c.channel, bytesOf(chunk.substr(0, n)))) << c.text << " cut at " << n;
    }
    EXPECT_LE(timeStampText(1, {31, 23, 59, 60}).view().size(), kTimeStampMaxLength);
}

TEST(TimeStamp, ReadsOnlyWhatACalendarTimeWrites)
{
    for (const char* text : {"<0d1:1,1>", "<32d1:1,1>", "<1d24:1,1>", "<1d1:60,1>", "<1d1:1,61>", "<001d1:1,1>",
                             "<1d1:1:1>", "1d1:1,1>", "<d1:1,1>", "<1d1:1,1"})
        EXPECT_FALSE(readTimeStamp(1, bytesOf(text))) << text;
}

} // namespace
} // namespace kestrane
