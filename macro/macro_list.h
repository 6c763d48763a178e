// The list of up to 20 favourite macro files and its file macro.dat: the raw image of the first
// 5120 bytes of the 20-entry table (entry = a little-endian in-use word and a 256-byte path),
// so entry 20 keeps its in-use word and only the first 176 bytes of its path.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kestrane {

inline constexpr const char* kMacroListFile = "macro.dat";
inline constexpr const char* kMacroFolder = "macro";

struct MacroListEntry {
    static constexpr std::size_t kPathSize = 256;
    std::int32_t inUse = 0;
    std::array<char, kPathSize> path{};

    // The path up to its first NUL, never beyond the 256 bytes.
    [[nodiscard]] std::string pathText() const;
};

enum class MacroListAdd {
    Added,
    AlreadyListed,  // the same path is in one of the entries: nothing changes
    Full,           // all 20 entries in use: "Macroファイル２０個までです。"
    TooLong,        // the path does not fit the 255 bytes of an entry
};

class MacroFileList {
public:
    static constexpr std::size_t kEntries = 20;
    static constexpr std::size_t kEntrySize = 4 + MacroListEntry::kPathSize;  // 260
    static constexpr std::size_t kTableSize = kEntries * kEntrySize;          // 5200
    static constexpr std::size_t kFileSize = 5120;

    // The table from the first 5120 bytes of `image`; a shorter image fills it from the start and
    // the rest stays zero.
    void parse(std::span<const std::uint8_t> image);
    // The 5120 bytes of macro.dat.
    [[nodiscard]] std::array<std::uint8_t, kFileSize> image() const;

    // Reads <folder>/macro.dat; false (empty list) when it cannot be read.
    bool load(const std::filesystem::path& startDirectory);
    // Writes <folder>/macro.dat whole or not at all; false when it cannot be written.
    bool save(const std::filesystem::path& startDirectory) const;

    // Stores `path` in the first entry not in use.
    MacroListAdd add(std::string_view path);
    // Removes the `index`-th shown entry (see shownPaths): the later entries move up by one and
    // entry 20 is cleared. Out of range: nothing happens.
    void removeShown(std::size_t index);
    // The paths of the entries in use, in table order: what the dialog's list shows.
    [[nodiscard]] std::vector<std::string> shownPaths() const;
    // The table index of the `index`-th shown entry, or kEntries when there is none.
    [[nodiscard]] std::size_t entryOfShown(std::size_t index) const;

    [[nodiscard]] const std::array<MacroListEntry, kEntries>& entries() const { return entries_; }
    void clear() { entries_ = {}; }

private:
    std::array<MacroListEntry, kEntries> entries_{};
};

} // namespace kestrane
