#include "sampling/dio_image.h"

namespace kestrane {

std::atomic<std::uint8_t>* DioImage::cell(DioArea area, int port)
{
    if (port < 0 || port >= kPorts)
        return nullptr;
    auto& bytes = area == DioArea::Input ? inputs_ : outputs_;
    return &bytes[static_cast<std::size_t>(port)];
}

const std::atomic<std::uint8_t>* DioImage::cell(DioArea area, int port) const
{
    return const_cast<DioImage*>(this)->cell(area, port);
}

std::uint8_t DioImage::byte(DioArea area, int port) const
{
    const auto* c = cell(area, port);
    return c ? c->load(std::memory_order_acquire) : std::uint8_t{0};
}

void DioImage::setByte(DioArea area, int port, std::uint8_t value)
{
    if (auto* c = cell(area, port); c && c->exchange(value, std::memory_order_acq_rel) != value)
        changed();
}

bool DioImage::bit(DioArea area, int port, int bit) const
{
    if (bit < 0 || bit > 7)
        return false;
    return (byte(area, port) & (1u << bit)) != 0;
}

void DioImage::setBit(DioArea area, int port, int bit, bool on)
{
    auto* c = cell(area, port);
    if (!c || bit < 0 || bit > 7)
        return;
    const auto mask = static_cast<std::uint8_t>(1u << bit);
    const std::uint8_t before = on ? c->fetch_or(mask, std::memory_order_acq_rel)
                                   : c->fetch_and(static_cast<std::uint8_t>(~mask), std::memory_order_acq_rel);
    if (((before & mask) != 0) != on)
        changed();
}

void DioImage::toggleBit(DioArea area, int port, int bit)
{
    auto* c = cell(area, port);
    if (!c || bit < 0 || bit > 7)
        return;
    c->fetch_xor(static_cast<std::uint8_t>(1u << bit), std::memory_order_acq_rel);
    changed();
}

void DioImage::clearOutputs()
{
    for (int port = 0; port < kPorts; ++port)
        setByte(DioArea::Output, port, 0);
}

int copyBoardToImage(DioBoard& board, DioImage& image, int port)
{
    std::uint8_t value = 0;
    const int result = board.readPort(port, value);
    if (result == kDioOk)
        image.setByte(DioArea::Input, port, value);
    return result;
}

int copyImageToBoard(DioBoard& board, const DioImage& image, int port)
{
    if (port < 0 || port >= DioImage::kPorts)
        return kDioBadPort;
    return board.writePort(port, image.byte(DioArea::Output, port));
}

int copyBoardHalfToImage(DioBoard& board, DioImage& image, int half)
{
    std::uint8_t value = 0;
    const int result = board.readPortCHalf(half, value);
    if (result != kDioOk)
        return result;
    const int shift = half == 0 ? 0 : 4;
    const auto keep = static_cast<std::uint8_t>(half == 0 ? 0xF0 : 0x0F);
    const auto merged = static_cast<std::uint8_t>((image.byte(DioArea::Input, 2) & keep) | ((value & 0x0F) << shift));
    image.setByte(DioArea::Input, 2, merged);
    return result;
}

} // namespace kestrane
