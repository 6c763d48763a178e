#include "sampling/dio_monitor.h"

namespace kestrane {

namespace {

bool isInput(std::uint16_t controlWord, std::uint16_t groupBit)
{
    const std::uint16_t both = static_cast<std::uint16_t>(0x80 | groupBit);
    return (controlWord & both) == both;
}

std::uint16_t groupBit(int port, int bit)
{
    switch (port) {
    case 0: return 0x10;
    case 1: return 0x02;
    default: return bit < 4 ? 0x01 : 0x08;
    }
}

} // namespace

bool dioBitIsInput(std::uint16_t controlWord, int port, int bit)
{
    return isInput(controlWord, groupBit(port, bit));
}

std::string_view dioRowLabel(std::uint16_t controlWord, int port)
{
    switch (port) {
    case 0: return isInput(controlWord, 0x10) ? "Port A in " : "Port A out";
    case 1: return isInput(controlWord, 0x02) ? "Port B in " : "Port B out";
    default: {
        const bool low = isInput(controlWord, 0x01);
        const bool high = isInput(controlWord, 0x08);
        if (low && high)
            return "Port C in ";
        if (!low && !high)
            return "Port C out";
        return low ? "Port C i/o" : "Port C o/i";
    }
    }
}

bool dioLampOn(const DioImage& image, std::uint16_t controlWord, int port, int bit)
{
    return image.bit(dioBitIsInput(controlWord, port, bit) ? DioArea::Input : DioArea::Output, port, bit);
}

std::optional<DioBitRef> dioOutputBitAt(std::uint16_t controlWord, int x, int y)
{
    using G = DioMonitorGeometry;
    for (int port = 0; port < DioImage::kPorts; ++port) {
        if (y < G::rowTop(port) || y > G::rowTop(port) + G::kLampSize)
            continue;
        for (int bit = 0; bit < 8; ++bit) {
            if (x >= G::lampX(bit) && x <= G::lampX(bit) + G::kLampSize && !dioBitIsInput(controlWord, port, bit))
                return DioBitRef{port, bit};
        }
    }
    return std::nullopt;
}

} // namespace kestrane
