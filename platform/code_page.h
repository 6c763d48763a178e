// Code page 932 (Shift-JIS as Windows writes it): the program's one table of it, from the C
// library's iconv, and its texts in UTF-8. The settings files hold their texts in code page 932;
// this system names files in UTF-8. Qt's texts go through the same table (text/cp932.h).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestrane {

// The table, read once from iconv on first use; any thread may ask.
// False when the C library has no code page 932 (every unit then reads as nothing).
[[nodiscard]] bool cp932Available();
// The character of a single byte, or of a lead byte with the byte after it; nothing where the
// code page defines none (a lead byte alone, an unused byte or pair).
[[nodiscard]] std::optional<char32_t> cp932CharOf(std::uint8_t byte);
[[nodiscard]] std::optional<char32_t> cp932CharOf(std::uint8_t lead, std::uint8_t trail);
// The code of a character that the code page holds as its own (its code reads back as the same
// character; of two such codes the one iconv writes), else nothing.
struct Cp932Code {
    std::array<std::uint8_t, 2> bytes{};
    std::uint8_t length = 0;
};
[[nodiscard]] std::optional<Cp932Code> cp932CodeOf(char32_t c);

// nullopt when `bytes` is not valid code page 932 (a stray trail byte, a lead byte at the end,
// an unmapped code).
[[nodiscard]] std::optional<std::string> cp932ToUtf8(std::string_view bytes);
// The same, with every byte that cannot be read shown as U+FFFD.
[[nodiscard]] std::string cp932ToUtf8Lossy(std::string_view bytes);
// nullopt when `utf8` is not valid UTF-8 or holds a character code page 932 lacks.
[[nodiscard]] std::optional<std::string> utf8ToCp932(std::string_view utf8);
// The same, with every character code page 932 lacks written as '?'.
[[nodiscard]] std::string utf8ToCp932Lossy(std::string_view utf8);
// How many leading bytes of the code page 932 text `bytes` fit `maxBytes` without splitting a
// character.
[[nodiscard]] std::size_t cp932Fit(std::string_view bytes, std::size_t maxBytes);

} // namespace kestrane
