// Code page 932 (Shift-JIS as Windows writes it) and UTF-8, through the C library's iconv. The
// settings files hold their texts in code page 932; this system names files in UTF-8.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kestrane {

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
