// Writing a whole file so that a reader always finds either the old or the new file complete:
// the bytes go to a temporary file in the same folder, are flushed to the disk, and the
// temporary file is renamed over the old one. A crash, a kill or a full disk mid-write leaves
// the old file untouched.
#pragma once

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <span>

namespace kestrane {

// Writes the pieces one after the other as the new content of `path`. False (and nothing
// changed) when the folder is not writable, the disk is full or any write fails. A symbolic
// link is followed: its target gets the new content and the link stays. A new file gets the
// usual mode (0666 less the umask); an existing file keeps its mode.
[[nodiscard]] bool writeFileAtomically(const std::filesystem::path& path,
                                       std::initializer_list<std::span<const std::uint8_t>> pieces);

} // namespace kestrane
