#include "macro/macro_list.h"

#include "platform/atomic_file.h"
#include "platform/le_bytes.h"

#include <algorithm>
#include <fstream>

namespace kestrane {

std::string MacroListEntry::pathText() const
{
    const auto end = std::find(path.begin(), path.end(), '\0');
    return std::string(path.begin(), end);
}

void MacroFileList::parse(std::span<const std::uint8_t> image)
{
    // The image of the table as far as the file reaches; the rest of the table stays zero.
    std::array<std::uint8_t, kTableSize> table{};
    std::copy_n(image.begin(), std::min(image.size(), kFileSize), table.begin());
    for (std::size_t e = 0; e < kEntries; ++e) {
        const std::size_t at = e * kEntrySize;
        entries_[e].inUse = le::getI32(table, at);
        for (std::size_t i = 0; i < MacroListEntry::kPathSize; ++i)
            entries_[e].path[i] = static_cast<char>(table[at + 4 + i]);
    }
}

std::array<std::uint8_t, MacroFileList::kFileSize> MacroFileList::image() const
{
    std::array<std::uint8_t, kTableSize> table{};
    for (std::size_t e = 0; e < kEntries; ++e) {
        const std::size_t at = e * kEntrySize;
        le::putI32(table, at, entries_[e].inUse);
        for (std::size_t i = 0; i < MacroListEntry::kPathSize; ++i)
            table[at + 4 + i] = static_cast<std::uint8_t>(entries_[e].path[i]);
    }
    std::array<std::uint8_t, kFileSize> out{};
    std::copy_n(table.begin(), kFileSize, out.begin());
    return out;
}

bool MacroFileList::load(const std::filesystem::path& startDirectory)
{
    clear();
    std::ifstream in(startDirectory / kMacroListFile, std::ios::binary);
    if (!in)
        return false;
    std::array<std::uint8_t, kFileSize> buffer{};
    in.read(reinterpret_cast<char*>(buffer.data()), static_cast<std::streamsize>(buffer.size()));
    const auto got = static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0));
    parse(std::span<const std::uint8_t>(buffer.data(), got));
    return true;
}

bool MacroFileList::save(const std::filesystem::path& startDirectory) const
{
    const auto bytes = image();
    return writeFileAtomically(startDirectory / kMacroListFile, {std::span<const std::uint8_t>(bytes)});
}

MacroListAdd MacroFileList::add(std::string_view path)
{
    if (path.size() >= MacroListEntry::kPathSize || path.find('\0') != std::string_view::npos)
        return MacroListAdd::TooLong;
    std::array<char, MacroListEntry::kPathSize> field{};
    std::copy(path.begin(), path.end(), field.begin());
    // Compared exactly, as the list shows them: up to the NUL (a foreign file may hold bytes
    // after it). Only entries in use count: a path left in an unused entry is not shown, so it
    // must not block adding it.
    for (const MacroListEntry& e : entries_)
        if (e.inUse != 0 && e.pathText() == path)
            return MacroListAdd::AlreadyListed;
    for (MacroListEntry& e : entries_) {
        if (e.inUse == 0) {
            e.path = field;
            e.inUse = 1;
            return MacroListAdd::Added;
        }
    }
    return MacroListAdd::Full;
}

std::size_t MacroFileList::entryOfShown(std::size_t index) const
{
    std::size_t shown = 0;
    for (std::size_t e = 0; e < kEntries; ++e) {
        if (entries_[e].inUse == 0)
            continue;
        if (shown == index)
            return e;
        ++shown;
    }
    return kEntries;
}

void MacroFileList::removeShown(std::size_t index)
{
    const std::size_t i = entryOfShown(index);
    if (i >= kEntries)
        return;
    for (std::size_t e = i; e + 1 < kEntries; ++e)
        entries_[e] = entries_[e + 1];
    entries_[kEntries - 1] = MacroListEntry{};
}

std::vector<std::string> MacroFileList::shownPaths() const
{
    std::vector<std::string> out;
    for (const MacroListEntry& e : entries_)
        if (e.inUse != 0)
            out.push_back(e.pathText());
    return out;
}

} // namespace kestrane
