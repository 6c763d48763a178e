// The digital I/O image, the monitor's rules for the control word, lamps and clicks, and the
// board-access layer.
#include "sampling/dio_image.h"
#include "sampling/dio_monitor.h"

#include <gtest/gtest.h>

#include <map>

namespace kestrane {
namespace {

using G = DioMonitorGeometry;

TEST(DioImage, BitsOfBothAreasAndTheChangeCount)
{
    DioImage image;
    EXPECT_EQ(image.byte(DioArea::Input, 0), 0);
    const auto start = image.changes();
    image.setBit(DioArea::Output, 1, 7, true);
    EXPECT_EQ(image.byte(DioArea::Output, 1), 0x80);
    EXPECT_TRUE(image.bit(DioArea::Output, 1, 7));
    EXPECT_FALSE(image.bit(DioArea::Input, 1, 7)) << "the areas are separate";
    EXPECT_NE(image.changes(), start);

    const auto afterSet = image.changes();
    image.setBit(DioArea::Output, 1, 7, true);  // already set: nothing changes
    image.setByte(DioArea::Output, 1, 0x80);
    EXPECT_EQ(image.changes(), afterSet);

    image.setBit(DioArea::Input, 2, 0, true);
    image.toggleBit(DioArea::Input, 2, 3);
    EXPECT_EQ(image.byte(DioArea::Input, 2), 0x09);
    image.setBit(DioArea::Input, 2, 0, false);
    EXPECT_EQ(image.byte(DioArea::Input, 2), 0x08);

    // Ports outside A..C and bits outside 0..7 read as 0 and are never written.
    const auto before = image.changes();
    image.setBit(DioArea::Output, 3, 0, true);
    image.setBit(DioArea::Output, -1, 0, true);
    image.setBit(DioArea::Output, 0, 8, true);
    image.toggleBit(DioArea::Output, 0, -1);
    image.setByte(DioArea::Input, 5, 0xFF);
    EXPECT_EQ(image.changes(), before);
    EXPECT_EQ(image.byte(DioArea::Output, 3), 0);
    EXPECT_FALSE(image.bit(DioArea::Output, 1, 8));
    EXPECT_EQ(image.byte(DioArea::Output, 0), 0);

    image.setByte(DioArea::Output, 0, 0x55);
    image.clearOutputs();
    for (int port = 0; port < 3; ++port)
        EXPECT_EQ(image.byte(DioArea::Output, port), 0);
    EXPECT_EQ(image.byte(DioArea::Input, 2), 0x08) << "inputs stay";
}

TEST(DioMonitor, RowLabelsAndDirectionsFromTheControlWord)
{
    struct Case {
        std::uint16_t word;
        const char* a;
        const char* b;
        const char* c;
    };
    const Case cases[] = {
        {0x80, "Port A out", "Port B out", "Port C out"},
        {0x9B, "Port A in ", "Port B in ", "Port C in "},
        {0x81, "Port A out", "Port B out", "Port C i/o"},
        {0x88, "Port A out", "Port B out", "Port C o/i"},
        {0x91, "Port A in ", "Port B out", "Port C i/o"},
        {0x1B, "Port A out", "Port B out", "Port C out"},  // without bit 7 nothing is an input
        {0x192, "Port A in ", "Port B in ", "Port C out"},  // the high byte is not used
    };
    for (const Case& c : cases) {
        EXPECT_EQ(dioRowLabel(c.word, 0), c.a) << std::hex << c.word;
        EXPECT_EQ(dioRowLabel(c.word, 1), c.b) << std::hex << c.word;
        EXPECT_EQ(dioRowLabel(c.word, 2), c.c) << std::hex << c.word;
        EXPECT_EQ(dioRowLabel(c.word, 0).size(), 10u);
        EXPECT_EQ(dioRowLabel(c.word, 2).size(), 10u);
    }
    EXPECT_TRUE(dioBitIsInput(0x81, 2, 3));
    EXPECT_FALSE(dioBitIsInput(0x81, 2, 4));
    EXPECT_FALSE(dioBitIsInput(0x88, 2, 3));
    EXPECT_TRUE(dioBitIsInput(0x88, 2, 4));
}

TEST(DioMonitor, LampsShowInputBytesForInputsAndOutputBytesForOutputs)
{
    DioImage image;
    image.setByte(DioArea::Input, 2, 0x0F);
    image.setByte(DioArea::Output, 2, 0xF0);
    for (int bit = 0; bit < 8; ++bit) {
        EXPECT_TRUE(dioLampOn(image, 0x81, 2, bit)) << bit;   // low half in (0x0F), high half out (0xF0)
        EXPECT_FALSE(dioLampOn(image, 0x88, 2, bit)) << bit;  // the reverse sees the other halves
    }
    EXPECT_TRUE(dioLampOn(image, 0x9B, 2, 0));
    EXPECT_FALSE(dioLampOn(image, 0x9B, 2, 4));
    EXPECT_TRUE(dioLampOn(image, 0x80, 2, 4));
}

// The toggled bit for a click at every point of a window-sized grid.
std::map<std::pair<int, int>, int> clickMap(std::uint16_t word)
{
    std::map<std::pair<int, int>, int> hits;  // (port, bit) -> number of points that hit it
    for (int y = -5; y < 140; ++y)
        for (int x = -5; x < 300; ++x)
            if (const auto hit = dioOutputBitAt(word, x, y))
                ++hits[{hit->port, hit->bit}];
    return hits;
}

TEST(DioMonitor, ClicksHitOutputLampsWithTheirBoundsIncluded)
{
    // All outputs: every lamp reacts, on a 17 x 17 square of points (both bounds included).
    const auto all = clickMap(0x80);
    EXPECT_EQ(all.size(), 24u);
    for (const auto& [bit, points] : all)
        EXPECT_EQ(points, 17 * 17) << bit.first << "/" << bit.second;
    EXPECT_TRUE(clickMap(0x9B).empty()) << "inputs never react";
    // 0x81: ports A and B are outputs; of port C only bits 4-7.
    const auto half = clickMap(0x81);
    EXPECT_EQ(half.size(), 20u);
    for (int bit = 0; bit < 8; ++bit)
        EXPECT_EQ(half.count({2, bit}), bit >= 4 ? 1u : 0u) << bit;

    EXPECT_EQ(dioOutputBitAt(0x80, 96, 20), (DioBitRef{0, 0}));
    EXPECT_EQ(dioOutputBitAt(0x80, 80, 36), (DioBitRef{0, 0}));
    EXPECT_FALSE(dioOutputBitAt(0x80, 97, 28));
    EXPECT_FALSE(dioOutputBitAt(0x80, 79, 28));
    EXPECT_FALSE(dioOutputBitAt(0x80, 88, 37));
    EXPECT_EQ(dioOutputBitAt(0x80, 104, 60), (DioBitRef{1, 1}));
    EXPECT_EQ(dioOutputBitAt(0x80, G::lampX(7) + 16, G::rowTop(2) + 16), (DioBitRef{2, 7}));
}

// A board that answers: records writes, returns set values.
struct FakeBoard : DioBoard {
    std::array<std::uint8_t, 3> ports{0x12, 0x34, 0xA5};
    std::array<std::uint8_t, 3> written{};
    int closes = 0;
    bool present() const override { return true; }
    int readPort(int port, std::uint8_t& value) override
    {
        if (port < 0 || port > 2)
            return kDioBadPort;
        value = ports[static_cast<std::size_t>(port)];
        return kDioOk;
    }
    int writePort(int port, std::uint8_t value) override
    {
        if (port < 0 || port > 2)
            return kDioBadPort;
        written[static_cast<std::size_t>(port)] = value;
        return kDioOk;
    }
    int readPortCHalf(int half, std::uint8_t& value) override
    {
        value = static_cast<std::uint8_t>(half == 0 ? ports[2] & 0x0F : ports[2] >> 4);
        return kDioOk;
    }
    int close() override { return ++closes, kDioOk; }
};

TEST(DioBoardAccess, WithoutABoardNothingReachesTheImage)
{
    auto board = openDioBoard(1, 1);
    EXPECT_FALSE(board->present());
    DioImage image;
    image.setByte(DioArea::Input, 0, 0x42);
    image.setByte(DioArea::Output, 1, 0x24);
    EXPECT_EQ(copyBoardToImage(*board, image, 0), kDioNoBoard);
    EXPECT_EQ(copyBoardHalfToImage(*board, image, 1), kDioNoBoard);
    EXPECT_EQ(copyImageToBoard(*board, image, 1), kDioNoBoard);
    EXPECT_EQ(copyBoardToImage(*board, image, 3), kDioBadPort);
    EXPECT_EQ(copyBoardHalfToImage(*board, image, 2), kDioBadPort);
    EXPECT_EQ(image.byte(DioArea::Input, 0), 0x42);
    EXPECT_EQ(board->close(), kDioOk);
    EXPECT_EQ(board->close(), kDioOk) << "closing twice is harmless";
}

TEST(DioBoardAccess, ABoardFillsInputsAndTakesOutputs)
{
    FakeBoard board;
    DioImage image;
    EXPECT_EQ(copyBoardToImage(board, image, 1), kDioOk);
    EXPECT_EQ(image.byte(DioArea::Input, 1), 0x34);
    image.setByte(DioArea::Input, 2, 0x33);
    EXPECT_EQ(copyBoardHalfToImage(board, image, 1), kDioOk);
    EXPECT_EQ(image.byte(DioArea::Input, 2), 0xA3) << "the high half from the board, the low half kept";
    EXPECT_EQ(copyBoardHalfToImage(board, image, 0), kDioOk);
    EXPECT_EQ(image.byte(DioArea::Input, 2), 0xA5);
    image.setByte(DioArea::Output, 0, 0x81);
    EXPECT_EQ(copyImageToBoard(board, image, 0), kDioOk);
    EXPECT_EQ(board.written[0], 0x81);
    EXPECT_EQ(copyImageToBoard(board, image, 7), kDioBadPort);
}

} // namespace
} // namespace kestrane
