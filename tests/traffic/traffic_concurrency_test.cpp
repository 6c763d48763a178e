// Three producers append at once while a reader reads below storedLength and a repaint takes
// the interlock: no chunk may interleave with another, no byte may be lost, the feed must never
// run twice at once or during a repaint. Run under ThreadSanitizer as well.
#include "records/settings_records.h"
#include "traffic/traffic_buffer.h"

#include "traffic_test_support.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <thread>
#include <vector>

namespace kestrane {
namespace {

constexpr int kChunksPerProducer = 1200;

// Chunk k of producer p: 1 + k % 18 bytes (capacity 36000 is never reached by the three of them).
int chunkLength(int k) { return 1 + k % 18; }
std::uint8_t chunkByte(int producer, int k, int i) { return static_cast<std::uint8_t>(producer * 85 + k * 13 + i); }

class ExclusiveFeed final : public DisplayFeed {
public:
    void feedFast(const std::uint8_t* bytes, int count, int kind) override { feed(bytes, count, kind); }
    void feedLowSpeed(const std::uint8_t* bytes, int count, int kind) override { feed(bytes, count, kind); }

    std::atomic<int> active{0};
    std::atomic<bool> overlapped{false};
    std::array<long, 4> bytesByKind{};  // written only under the interlock

private:
    void feed(const std::uint8_t*, int count, int kind)
    {
        if (active.fetch_add(1) != 0)
            overlapped = true;
        bytesByKind[static_cast<std::size_t>(kind)] += count;
        active.fetch_sub(1);
    }
};

class TrafficConcurrency : public ::testing::TestWithParam<bool> {};

// Once in each display speed (the feed differs).
TEST_P(TrafficConcurrency, ProducersReaderAndRepaintTogether)
{
    test::FixedClock clock;
    auto buffer = std::make_unique<TrafficBuffer>(clock);
    TrafficConfig config;
    config.ch2Mode = Ch2Mode::Independent;
    config.bufferSize = 600;
    config.fastDisplay = GetParam();
    buffer->configure(config);
    buffer->clearTraffic();
    ExclusiveFeed feed;
    buffer->setDisplayFeed(&feed);

    // Producers: 0 CH1 received (tag '1'), 1 CH2 received ('3'), 2 CH1 sent ('0').
    const std::array<std::uint8_t, 3> tagOf = {'1', '3', '0'};
    auto produce = [&](int producer) {
        std::array<std::uint8_t, 32> chunk{};
        for (int k = 0; k < kChunksPerProducer; ++k) {
            const int n = chunkLength(k);
            for (int i = 0; i < n; ++i)
                chunk[static_cast<std::size_t>(i)] = chunkByte(producer, k, i);
            if (producer == 2)
                buffer->appendSent(1, chunk.data(), n);
            else
                buffer->appendReceived(producer + 1, chunk.data(), n);
        }
    };

    std::atomic<bool> readerSawBadTag{false};
    std::atomic<bool> lengthWentBack{false};
    auto read = [&] {
        std::int32_t last = 0;
        for (int pass = 0; pass < 300; ++pass) {
            const std::int32_t length = buffer->storedLength();
            if (length < last)
                lengthWentBack = true;
            last = length;
            const auto tags = buffer->currentTagPlane();
            for (std::int32_t i = 0; i < length; ++i) {
                const std::uint8_t t = tags[static_cast<std::size_t>(i)];
                if (t != '0' && t != '1' && t != '3')
                    readerSawBadTag = true;
            }
        }
    };

    std::atomic<bool> repaintDuringFeed{false};
    auto repaint = [&] {
        for (int i = 0; i < 300; ++i) {
            DisplayInterlock::RepaintGuard g(buffer->interlock());
            if (feed.active.load() != 0)
                repaintDuringFeed = true;
        }
    };

    std::vector<std::thread> threads;
    for (int p = 0; p < 3; ++p)
        threads.emplace_back(produce, p);
    threads.emplace_back(read);
    threads.emplace_back(repaint);
    for (auto& t : threads)
        t.join();

    EXPECT_FALSE(feed.overlapped.load());
    EXPECT_FALSE(repaintDuringFeed.load());
    EXPECT_FALSE(readerSawBadTag.load());
    EXPECT_FALSE(lengthWentBack.load());

    // Walk the record: every chunk must be whole (one tag, its bytes in order) and each
    // producer's chunks must appear in the order they were appended.
    long total = 0;
    for (int k = 0; k < kChunksPerProducer; ++k)
        total += chunkLength(k);
    ASSERT_EQ(buffer->storedLength(), 3 * total);

    std::array<int, 3> next = {0, 0, 0};
    std::int32_t pos = 0;
    while (pos < buffer->storedLength()) {
        const std::uint8_t tag = buffer->tagAt(pos);
        int producer = -1;
        for (int p = 0; p < 3; ++p)
            if (tagOf[static_cast<std::size_t>(p)] == tag)
                producer = p;
        ASSERT_GE(producer, 0) << "unknown tag at " << pos;
        const int k = next[static_cast<std::size_t>(producer)]++;
        ASSERT_LT(k, kChunksPerProducer);
        for (int i = 0; i < chunkLength(k); ++i) {
            ASSERT_EQ(buffer->tagAt(pos + i), tag) << "chunk " << k << " of producer " << producer << " split at " << pos;
            ASSERT_EQ(buffer->dataAt(pos + i), chunkByte(producer, k, i)) << "at " << pos + i;
        }
        pos += chunkLength(k);
    }
    EXPECT_EQ(next, (std::array<int, 3>{kChunksPerProducer, kChunksPerProducer, kChunksPerProducer}));
    EXPECT_EQ(feed.bytesByKind[1], total);
    EXPECT_EQ(feed.bytesByKind[3], total);
    EXPECT_EQ(feed.bytesByKind[0], total);
}

INSTANTIATE_TEST_SUITE_P(BothSpeeds, TrafficConcurrency, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& p) { return p.param ? "Fast" : "LowSpeed"; });

} // namespace
} // namespace kestrane
