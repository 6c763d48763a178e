#include "sending/fixed_strings.h"

#include <algorithm>
#include <array>
#include <fstream>

namespace kestrane {

std::vector<std::string> parseFixedStrings(std::span<const std::uint8_t> file)
{
    const std::size_t size = std::min(file.size(), kFixedStringFileBytes);
    std::vector<std::string> out;
    std::size_t offset = 0;
    while (out.size() < kFixedStringEntries && offset < size) {
        // The line end must lie within the 512 bytes from the line's start. It is a CR (the byte
        // after it, normally LF, is skipped unseen) or, for files written on Linux, a lone LF.
        const std::size_t window = std::min(size - offset, kFixedStringLineMax + 1);
        const auto begin = file.begin() + static_cast<std::ptrdiff_t>(offset);
        const auto end = std::find_if(begin, begin + static_cast<std::ptrdiff_t>(window),
                                      [](std::uint8_t b) { return b == '\r' || b == '\n'; });
        if (end == begin + static_cast<std::ptrdiff_t>(window))
            break;
        const auto nul = std::find(begin, end, std::uint8_t{0});
        out.emplace_back(begin, nul);
        offset += static_cast<std::size_t>(end - begin) + (*end == '\r' ? 2 : 1);
    }
    return out;
}

std::vector<std::string> loadFixedStrings(const std::filesystem::path& startDirectory)
{
    std::ifstream in(startDirectory / kFixedStringFile, std::ios::binary);
    if (!in)
        return {};
    std::array<std::uint8_t, kFixedStringFileBytes> buffer{};
    in.read(reinterpret_cast<char*>(buffer.data()), static_cast<std::streamsize>(buffer.size()));
    const auto got = static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0));
    return parseFixedStrings(std::span<const std::uint8_t>(buffer.data(), got));
}

} // namespace kestrane
