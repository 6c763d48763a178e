// The character code table's contents (glimra): the single-byte page (ASCII and the half-width
// katakana of code page 932) and one page of 256 cells for each Shift-JIS lead byte.
#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <vector>

namespace kestrane {

class Cp932Text;

enum class CellKind : std::uint8_t {
    Unused,       // no character has this code
    Control,      // a control code (shown by its name)
    Character,    // a printable character
    LeadByte,     // a Shift-JIS lead byte on the single-byte page: opens that byte's page
    UserDefined,  // a user-defined character (private use area)
};

struct CodeCell {
    std::uint16_t code = 0;  // the byte, or lead byte * 256 + trail byte
    CellKind kind = CellKind::Unused;
    QString text;            // what the cell shows
};

// The pages in order: 0 (single bytes), then the lead bytes 81..9F and E0..FC.
[[nodiscard]] std::vector<std::uint8_t> codeTablePages();
// The page's title for the page list.
[[nodiscard]] QString codeTablePageName(std::uint8_t lead);
// The 256 cells of a page; cell i is byte i (page 0) or trail byte i of `lead`.
[[nodiscard]] std::array<CodeCell, 256> codeTablePage(std::uint8_t lead, const Cp932Text& cp932);
// The name of a control code: NUL .. US, SP for 20, DEL for 7F; empty for others.
[[nodiscard]] QString controlCodeName(std::uint8_t byte);
// What a click copies: the code as hexadecimal digits, two for a byte, four for a pair ("82A0").
[[nodiscard]] QString cellHex(const CodeCell& cell);

} // namespace kestrane
