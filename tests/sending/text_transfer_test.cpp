// The text-file transfer's steps without a window: blocks, completion, errors, stop, start refusals.
#include "sending/text_transfer.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <sys/stat.h>
#include <vector>

namespace kestrane {
namespace {

using Bytes = std::vector<std::uint8_t>;
using test::TempDir;

std::size_t openFiles()
{
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator("/proc/self/fd"))
        ++n;
    return n;
}

Bytes pattern(std::size_t n)
{
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i)
        b[i] = static_cast<std::uint8_t>(i * 7 + 1);
    return b;
}

struct Rig {
    TempDir dir;
    std::unique_ptr<SendState> state = std::make_unique<SendState>();
    SettingsRecord settings;
    std::vector<std::pair<int, Bytes>> sent;
    std::deque<int> results;  // scripted transmit results; 0 when empty
    bool open[3] = {false, true, true};
    std::vector<std::pair<int, TransferEnd>> stopped;
    TextTransfer transfer{*state, settings,
                          [this](int ch, std::span<const std::uint8_t> f) {
                              sent.emplace_back(ch, Bytes(f.begin(), f.end()));
                              if (results.empty())
                                  return TransmitResult::Transmitted;
                              const int r = results.front();
                              results.pop_front();
                              return static_cast<TransmitResult>(r);
                          },
                          [this](int ch) { return open[ch]; }};

    Rig()
    {
        transfer.onStopped = [this](int ch, TransferEnd why) { stopped.emplace_back(ch, why); };
    }
    std::filesystem::path file(const std::string& name, const Bytes& bytes)
    {
        test::writeFileBytes(dir / name, bytes);
        return dir / name;
    }
};

TEST(TextTransfer, BlocksOf100UntilAShortOneCompletes)
{
    struct Case {
        std::size_t size;
        std::vector<std::size_t> reads;  // bytes read per tick, the last tick completes
    };
    for (const Case& c : {Case{250, {100, 100, 50}}, Case{200, {100, 100, 0}}, Case{0, {0}}, Case{99, {99}}}) {
        Rig r;
        const Bytes data = pattern(c.size);
        ASSERT_EQ(r.transfer.start(1, r.file("f.txt", data)), TextTransfer::StartResult::Started);
        EXPECT_EQ(r.transfer.fileSize(1), c.size);
        Bytes all;
        for (std::size_t i = 0; i < c.reads.size(); ++i) {
            const TransferTick t = r.transfer.tick(1);
            EXPECT_EQ(t.blockBytes, c.reads[i]) << c.size << " tick " << i;
            const bool last = i + 1 == c.reads.size();
            EXPECT_EQ(t.continues, !last);
            EXPECT_EQ(t.ended.has_value(), last);
            if (last) {
                EXPECT_EQ(*t.ended, TransferEnd::Completed);
            }
        }
        for (const auto& [ch, bytes] : r.sent) {
            EXPECT_EQ(ch, 1);
            EXPECT_FALSE(bytes.empty());  // an empty read writes nothing
            all.insert(all.end(), bytes.begin(), bytes.end());
        }
        EXPECT_EQ(all, data);
        EXPECT_EQ(r.transfer.bytesSent(1), c.size);
        EXPECT_FALSE(r.transfer.running(1));
        EXPECT_FALSE(r.transfer.tick(1).ended.has_value());  // nothing left to do
        EXPECT_TRUE(r.stopped.empty());
    }
}

TEST(TextTransfer, ShownTextGoesThroughTheSendBuffer)
{
    Rig r;
    r.settings.showSentText = 1;
    r.transfer.start(2, r.file("f.txt", pattern(30)));
    r.transfer.tick(2);
    EXPECT_EQ(r.state->sendBuffer.count, 30);
    EXPECT_EQ(r.sent.at(0).first, 2);

    Rig quiet;
    quiet.settings.showSentText = 0;
    quiet.state->sendBuffer.count = 7;
    quiet.transfer.start(1, quiet.file("f.txt", pattern(30)));
    quiet.transfer.tick(1);
    EXPECT_EQ(quiet.sent.at(0).second, pattern(30));
    EXPECT_EQ(quiet.state->sendBuffer.count, 7);  // the send buffer is left alone
}

TEST(TextTransfer, ATransmitFailureEndsTheTransferWithItsKind)
{
    const std::pair<int, TransferEnd> cases[] = {
        {1, TransferEnd::CouldNotSend}, {2, TransferEnd::TimedOut}, {3, TransferEnd::OtherError}, {9, TransferEnd::OtherError}};
    for (const auto& [result, end] : cases) {
        Rig r;
        r.transfer.start(1, r.file("f.txt", pattern(300)));
        r.results = {0, result};
        EXPECT_TRUE(r.transfer.tick(1).continues);
        const TransferTick t = r.transfer.tick(1);
        EXPECT_FALSE(t.continues);
        ASSERT_TRUE(t.ended.has_value());
        EXPECT_EQ(*t.ended, end) << result;
        EXPECT_EQ(r.transfer.bytesSent(1), 100u);  // the failed block does not count
        EXPECT_FALSE(r.transfer.running(1));
        EXPECT_EQ(r.sent.size(), 2u);
    }
}

TEST(TextTransfer, StopAndAClosedChannelEndItWithTheFileClosed)
{
    Rig r;
    const std::size_t before = openFiles();
    r.transfer.start(1, r.file("a.txt", pattern(500)));
    EXPECT_EQ(openFiles(), before + 1);
    r.transfer.tick(1);
    r.transfer.stop(1, TransferEnd::Cancelled);
    EXPECT_EQ(openFiles(), before);
    EXPECT_FALSE(r.transfer.running(1));
    EXPECT_EQ(r.stopped, (std::vector<std::pair<int, TransferEnd>>{{1, TransferEnd::Cancelled}}));
    r.transfer.stop(1, TransferEnd::Cancelled);  // not running: nothing more
    EXPECT_EQ(r.stopped.size(), 1u);
    EXPECT_FALSE(r.transfer.tick(1).ended.has_value());
    EXPECT_EQ(r.sent.size(), 1u);

    // A port closed behind the transfer's back ends it at the next tick without writing.
    r.transfer.start(2, r.file("b.txt", pattern(500)));
    r.open[2] = false;
    const TransferTick t = r.transfer.tick(2);
    EXPECT_EQ(*t.ended, TransferEnd::ChannelClosed);
    EXPECT_EQ(openFiles(), before);
    EXPECT_EQ(r.sent.size(), 1u);
    EXPECT_FALSE(r.transfer.running(2));
    // The file can be started again once the first is over.
    r.open[2] = true;
    EXPECT_EQ(r.transfer.start(2, r.dir / "b.txt"), TextTransfer::StartResult::Started);
}

TEST(TextTransfer, StartRefusals)
{
    Rig r;
    EXPECT_EQ(r.transfer.start(1, r.dir / "missing.txt"), TextTransfer::StartResult::CannotOpen);
    EXPECT_EQ(r.transfer.start(1, r.dir.path()), TextTransfer::StartResult::CannotOpen);
    const auto fifo = r.dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(r.transfer.start(1, fifo), TextTransfer::StartResult::CannotOpen);  // and does not hang
    EXPECT_EQ(r.transfer.start(0, r.file("f.txt", pattern(1))), TextTransfer::StartResult::BadChannel);
    EXPECT_EQ(r.transfer.start(3, r.dir / "f.txt"), TextTransfer::StartResult::BadChannel);
    EXPECT_EQ(r.transfer.start(1, r.dir / "f.txt"), TextTransfer::StartResult::Started);
    EXPECT_EQ(r.transfer.start(1, r.dir / "f.txt"), TextTransfer::StartResult::AlreadyRunning);
    EXPECT_FALSE(r.transfer.running(2));
}

} // namespace
} // namespace kestrane
