// The fixed-string file mdata.txt: one string per line, each ended by CR LF (or LF), in the start-up
// folder. The fixed-string dialog 712 and the long-string dialog 701 load it each time they open;
// the editor command opens it for editing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace kestrane {

inline constexpr const char* kFixedStringFile = "mdata.txt";

// Limits of the format.
inline constexpr std::size_t kFixedStringFileBytes = 10240;  // bytes of the file that are read
inline constexpr std::size_t kFixedStringEntries = 20;       // lines that are used
inline constexpr std::size_t kFixedStringLineMax = 511;      // longest line (its CR within 512 bytes)

// The strings of a file image, in file order: the first 10240 bytes are read; each line ends at
// its CR (the byte after the CR, normally LF, is skipped unseen) or at a lone LF (a file written
// on Linux); a blank line is an empty string; the first line without a line end within 512 bytes
// of its start ends the list, so a line longer than 511 bytes, every line after it and a last
// line without a line end are left out. At most 20 strings. A line holding a NUL byte keeps only the bytes before it (the strings are NUL-
// terminated texts); the next line still starts after its CR LF.
[[nodiscard]] std::vector<std::string> parseFixedStrings(std::span<const std::uint8_t> file);

// mdata.txt of `startDirectory`; a missing or unreadable file gives no strings.
[[nodiscard]] std::vector<std::string> loadFixedStrings(const std::filesystem::path& startDirectory);

} // namespace kestrane
