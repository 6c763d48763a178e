#include "traffic/time_stamp.h"

#include <algorithm>
#include <cstdio>

namespace kestrane {

namespace {

char letterOf(int channel) { return channel == 1 ? 'd' : 'D'; }

} // namespace

TimeStampText timeStampText(int channel, const CalendarTime& time)
{
    TimeStampText text;
    char* out = text.chars.data();
    const std::size_t room = text.chars.size();
    const int n = channel == 1
        ? std::snprintf(out, room, "<%dd%d:%d,%d>", time.day, time.hour, time.minute, time.second)
        : std::snprintf(out, room, "<%dD%d:%d,%d>", time.day, time.hour, time.minute, time.second);
    text.length = std::clamp(n, 0, static_cast<int>(text.chars.size()) - 1);
    return text;
}

std::optional<TimeStamp> readTimeStamp(int channel, std::span<const std::uint8_t> bytes)
{
    std::size_t i = 0;
    const auto expect = [&](char c) {
        if (i >= bytes.size() || bytes[i] != static_cast<std::uint8_t>(c))
            return false;
        ++i;
        return true;
    };
    const auto number = [&](int& out, int max) {
        int digits = 0;
        out = 0;
        while (digits < 2 && i < bytes.size() && bytes[i] >= '0' && bytes[i] <= '9') {
            out = out * 10 + (bytes[i] - '0');
            ++i;
            ++digits;
        }
        return digits > 0 && out <= max;
    };
    TimeStamp s;
    CalendarTime& t = s.time;
    if (!(expect('<') && number(t.day, 31) && t.day >= 1 && expect(letterOf(channel)) && number(t.hour, 23)
          && expect(':') && number(t.minute, 59) && expect(',') && number(t.second, 60) && expect('>')))
        return std::nullopt;
    s.length = static_cast<int>(i);
    return s;
}

} // namespace kestrane
