// Shared pieces of the traffic tests: a clock with a fixed calendar time, a feed that records
// what the buffer hands it, and byte helpers.
#pragma once

#include "platform/clock.h"
#include "traffic/display_feed.h"
#include "traffic/traffic_buffer.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kestrane::test {

class FixedClock final : public Clock {
public:
    CalendarTime now;
    [[nodiscard]] std::int64_t tickMs() const override { return 0; }
    [[nodiscard]] CalendarTime localTime() const override { return now; }
};

struct FeedCall {
    bool fast = false;
    int kind = -1;
    std::string bytes;
};

class RecordingFeed final : public DisplayFeed {
public:
    std::vector<FeedCall> calls;
    void feedFast(const std::uint8_t* bytes, int count, int kind) override { record(true, bytes, count, kind); }
    void feedLowSpeed(const std::uint8_t* bytes, int count, int kind) override { record(false, bytes, count, kind); }

private:
    void record(bool fast, const std::uint8_t* bytes, int count, int kind)
    {
        calls.push_back({fast, kind, std::string(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(count))});
    }
};

inline std::vector<std::uint8_t> bytesOf(const std::string& s) { return {s.begin(), s.end()}; }

// The first `length` bytes of the current tag / data plane as text.
inline std::string storedTags(const TrafficBuffer& b, std::int32_t length)
{
    const auto plane = b.currentTagPlane();
    return {reinterpret_cast<const char*>(plane.data()), static_cast<std::size_t>(length)};
}

inline std::string storedData(const TrafficBuffer& b, std::int32_t length)
{
    const auto plane = b.currentDataPlane();
    return {reinterpret_cast<const char*>(plane.data()), static_cast<std::size_t>(length)};
}

inline std::string storedTags(const TrafficBuffer& b) { return storedTags(b, b.storedLength()); }
inline std::string storedData(const TrafficBuffer& b) { return storedData(b, b.storedLength()); }

inline void receive(TrafficBuffer& b, int channel, const std::string& s)
{
    b.appendReceived(channel, reinterpret_cast<const std::uint8_t*>(s.data()), static_cast<std::int32_t>(s.size()));
}

inline void send(TrafficBuffer& b, int channel, const std::string& s)
{
    b.appendSent(channel, reinterpret_cast<const std::uint8_t*>(s.data()), static_cast<std::int32_t>(s.size()));
}

// `n` bytes of a repeating pattern that starts at `seed`, so neighbouring chunks differ.
inline std::string pattern(std::size_t n, unsigned seed)
{
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>((seed * 31u + i * 7u) & 0xFFu);
    return s;
}

} // namespace kestrane::test
