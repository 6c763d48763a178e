// What a send button would put on the line, shown by the send dialogs before it is pressed:
// the frame's bytes (made by the very composition the button runs), which part of the frame each
// byte is, and how each character of the text was read, so that a text the hex send notation
// reads otherwise than the user meant (letters, spaces, an odd digit) is seen before it is sent.
#pragma once

#include "sending/send_buffer.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace kestrane {

enum class FramePart : std::uint8_t { Start, Data, Stop, Checksum, End };

// How one character of the text went into the frame.
enum class CharUse : std::uint8_t {
    Sent,        // sent as written (a digit of a pair, a quoted or ASC character)
    Quote,       // a quote of the notation: opens or closes a literal, not sent itself
    ReadAsZero,  // the first character of a pair that is no hexadecimal digit: the pair sends 00
    Ignored,     // its value goes nowhere: a non-digit in a pair, an odd last character
};

struct FramePreview {
    std::vector<std::uint8_t> bytes;  // exactly what the send buffer holds after the composition
    std::vector<FramePart> parts;     // one per byte
    std::vector<bool> misread;        // one per byte: data from a pair that is not two digits
    std::vector<CharUse> uses;        // one per byte of the text
    // True when some character was read as zero or ignored.
    [[nodiscard]] bool hasMisread() const;
};

// The frame a character send dialog composes from `text` (already cut as the dialog cuts it)
// with `options`: start, data, stop, checksum and end characters. A dialog that sends without
// decoration passes default options.
[[nodiscard]] FramePreview previewFrame(std::string_view text, TextForm form, const FrameOptions& options);

} // namespace kestrane
