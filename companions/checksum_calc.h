// The checksum calculator's arithmetic (tolvek): the data bytes of a typed text and their byte
// XOR, byte sum and CRC16, computed by the send buffer's own code, so every answer equals what
// Kestrane appends when it sends the same text.
#pragma once

#include "sending/send_buffer.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kestrane {

struct ChecksumResult {
    std::vector<std::uint8_t> data;  // the data bytes as Kestrane would send them
    bool cut = false;                // the text was longer than a send dialog takes (511 characters)
    std::uint8_t byteXor = 0;
    std::uint8_t byteSum = 0;
    std::uint16_t crc16 = 0xFFFF;    // the register as it starts when there are no data bytes
};

// `text` is code page 932 bytes, read as the hex send notation ("送信") or one byte per
// character ("ASC送信").
[[nodiscard]] ChecksumResult computeChecksums(std::string_view text, TextForm form);

// The checksum field Kestrane appends to these data for a method (kChecksumXor, kChecksumSum,
// kChecksumCrc16) and output form: one raw byte, two hexadecimal digit characters, or for CRC16
// always the low byte and then the high byte. An empty text has no field.
[[nodiscard]] std::vector<std::uint8_t> checksumField(std::string_view text, TextForm form, std::int32_t method,
                                                      std::int32_t outputForm, bool lowerCase);

// Bytes as upper-case hexadecimal pairs separated by spaces ("02 41 42").
[[nodiscard]] std::string hexBytes(std::span<const std::uint8_t> bytes);

} // namespace kestrane
