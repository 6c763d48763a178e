// The digital I/O image: the input and output bytes of ports A (0), B (1) and C (2) of the
// 24-bit unit. The macro language reads and changes bits of both areas (its X area is Input,
// its Y area Output), the I/O monitor shows every bit and toggles output bits, and a board
// driver would fill the inputs and take the outputs (DioBoard, copyBoardToImage, ...).
//
// Any thread may read or change the image. Every change that alters a byte counts up
// `changes()`, so a window that remembers the count it last drew knows when to redraw.
#pragma once

#include "platform/dio_board.h"

#include <array>
#include <atomic>
#include <cstdint>

namespace kestrane {

enum class DioArea { Input, Output };

class DioImage {
public:
    static constexpr int kPorts = 3;

    // The byte of `port`; 0 for a port outside 0..2.
    [[nodiscard]] std::uint8_t byte(DioArea area, int port) const;
    // Ignored for a port outside 0..2.
    void setByte(DioArea area, int port, std::uint8_t value);

    // Bit `bit` (mask 1 << bit) of the byte of `port`; false for a bit outside 0..7 or a port
    // outside 0..2.
    [[nodiscard]] bool bit(DioArea area, int port, int bit) const;
    // Sets or clears the bit; out-of-range ports and bits are ignored.
    void setBit(DioArea area, int port, int bit, bool on);
    void toggleBit(DioArea area, int port, int bit);

    // The three output bytes become 0 (shutdown).
    void clearOutputs();

    // How many changes the image has seen (wraps around; compare for equality only).
    [[nodiscard]] std::uint32_t changes() const { return changes_.load(std::memory_order_acquire); }

private:
    std::atomic<std::uint8_t>* cell(DioArea area, int port);
    const std::atomic<std::uint8_t>* cell(DioArea area, int port) const;
    void changed() { changes_.fetch_add(1, std::memory_order_acq_rel); }

    std::array<std::atomic<std::uint8_t>, kPorts> inputs_{};
    std::array<std::atomic<std::uint8_t>, kPorts> outputs_{};
    std::atomic<std::uint32_t> changes_{0};
};

// The board-access operations applied to the image: read a port into its input byte, write its
// output byte to the port, read a half of port C into that half of input byte C. Each returns
// the board's result code; the image changes only on success.
int copyBoardToImage(DioBoard& board, DioImage& image, int port);
int copyImageToBoard(DioBoard& board, const DioImage& image, int port);
int copyBoardHalfToImage(DioBoard& board, DioImage& image, int half);

} // namespace kestrane
