// What the I/O monitor shows and where: the direction of each port from the 8255 mode-set word
// (`dioControlWord`), the row labels, the lamp of every bit and the lamp a click hits. The
// window (TDialog9) only paints and forwards clicks.
#pragma once

#include "sampling/dio_image.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace kestrane {

// Which ports and halves of the control word are inputs: bit 7 together with 0x10 (port A),
// 0x02 (port B), 0x01 (port C bits 0-3), 0x08 (port C bits 4-7); otherwise outputs.
[[nodiscard]] bool dioBitIsInput(std::uint16_t controlWord, int port, int bit);

// The ten-character label of row `port` (0 A, 1 B, 2 C), e.g. "Port A in " or "Port C i/o".
[[nodiscard]] std::string_view dioRowLabel(std::uint16_t controlWord, int port);

// Whether the lamp of bit `bit` of `port` is lit: the input byte for an input, else the output byte.
[[nodiscard]] bool dioLampOn(const DioImage& image, std::uint16_t controlWord, int port, int bit);

// Geometry of the drawing, in client pixels.
struct DioMonitorGeometry {
    static constexpr int kLampSize = 16;
    static constexpr int kLabelX = 0;
    [[nodiscard]] static constexpr int rowTop(int port) { return 20 + 40 * port; }     // lamps and label
    [[nodiscard]] static constexpr int numberTop(int port) { return 40 * port; }       // bit numbers
    [[nodiscard]] static constexpr int lampX(int bit) { return 80 + 24 * bit; }
    [[nodiscard]] static constexpr int numberX(int bit) { return 84 + 24 * bit; }
    static constexpr int kWidth = 80 + 24 * 7 + kLampSize;  // right edge of the last lamp
    static constexpr int kHeight = 20 + 40 * 2 + kLampSize;  // bottom of the last row
};

struct DioBitRef {
    int port = 0;
    int bit = 0;
    bool operator==(const DioBitRef&) const = default;
};

// The output bit whose lamp contains (x, y), bounds included (x 80 + 24 bit ... 96 + 24 bit,
// y top ... top + 16); nothing over an input lamp or between lamps.
[[nodiscard]] std::optional<DioBitRef> dioOutputBitAt(std::uint16_t controlWord, int x, int y);

} // namespace kestrane
