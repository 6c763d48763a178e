// The digital I/O board (a 24-bit unit laid out like an 8255: ports A 0, B 1, C 2) behind four
// operations. A driver for a real board implements DioBoard; this platform has none, so
// openDioBoard gives the layer that reports no board.
#pragma once

#include <cstdint>
#include <memory>

namespace kestrane {

// Result codes of the board operations.
enum DioResult : int {
    kDioOk = 0,
    kDioNoBoard = 1,   // no board is fitted or its driver is missing
    kDioBadPort = 2,   // port or half number out of range
};

class DioBoard {
public:
    virtual ~DioBoard() = default;

    // Whether a board answers behind this layer.
    [[nodiscard]] virtual bool present() const = 0;
    // Reads port `port` (0..2) into `value`; `value` is untouched on failure.
    virtual int readPort(int port, std::uint8_t& value) = 0;
    // Writes `value` to port `port` (0..2).
    virtual int writePort(int port, std::uint8_t value) = 0;
    // Reads half `half` of port C (0 bits 0-3, 1 bits 4-7) into the low four bits of `value`.
    virtual int readPortCHalf(int half, std::uint8_t& value) = 0;
    // Releases the board; closing a closed board does nothing and succeeds.
    virtual int close() = 0;
};

// No board fitted: reads and writes report kDioNoBoard, close succeeds.
class NoDioBoard final : public DioBoard {
public:
    [[nodiscard]] bool present() const override { return false; }
    int readPort(int port, std::uint8_t& /*value*/) override { return validPort(port) ? kDioNoBoard : kDioBadPort; }
    int writePort(int port, std::uint8_t /*value*/) override { return validPort(port) ? kDioNoBoard : kDioBadPort; }
    int readPortCHalf(int half, std::uint8_t& /*value*/) override
    {
        return half == 0 || half == 1 ? kDioNoBoard : kDioBadPort;
    }
    int close() override { return kDioOk; }

private:
    static bool validPort(int port) { return port >= 0 && port <= 2; }
};

// The board named by the driver and group numbers of the settings. No driver exists on this
// platform, so it is always the layer without a board.
inline std::unique_ptr<DioBoard> openDioBoard(int /*driverNo*/, int /*groupNo*/)
{
    return std::make_unique<NoDioBoard>();
}

} // namespace kestrane
