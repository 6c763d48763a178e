#include "traffic/log_file.h"

#include "platform/atomic_file.h"
#include "platform/le_bytes.h"

#include <array>
#include <cstdio>
#include <memory>
#include <string>

namespace kestrane {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// Reads as many of `size` bytes as the file still holds.
std::size_t readUpTo(std::FILE* f, std::uint8_t* out, std::size_t size)
{
    std::size_t done = 0;
    while (done < size) {
        const std::size_t n = std::fread(out + done, 1, size - done, f);
        if (n == 0)
            break;
        done += n;
    }
    return done;
}

} // namespace

bool writeLogFile(const std::filesystem::path& path, std::int32_t length, PlaneView tagPlane, PlaneView dataPlane)
{
    std::array<std::uint8_t, kLogHeaderSize> header{};
    le::putI32(header, 0, length);
    return writeFileAtomically(path, {header, tagPlane, dataPlane});
}

std::int32_t clampStoredLength(std::int32_t length)
{
    if (length < 0)
        return 0;
    if (length > kTrafficPlaneSize)
        return kTrafficPlaneSize;
    return length;
}

std::optional<std::int32_t> readLogFile(const std::filesystem::path& path, MutablePlaneView tagPlane,
                                        MutablePlaneView dataPlane)
{
    std::FILE* raw = std::fopen(path.c_str(), "rb");
    if (raw == nullptr)
        return std::nullopt;
    const std::unique_ptr<std::FILE, FileCloser> f(raw);

    std::array<std::uint8_t, kLogHeaderSize> header{};
    if (readUpTo(f.get(), header.data(), header.size()) != header.size())
        return std::nullopt;
    // The two planes follow each other in the file as in the buffer: a file that ends inside
    // the tag plane leaves the whole data plane as it was.
    if (readUpTo(f.get(), tagPlane.data(), tagPlane.size()) == tagPlane.size())
        readUpTo(f.get(), dataPlane.data(), dataPlane.size());
    return clampStoredLength(le::getI32(header, 0));
}

std::filesystem::path autoLogPath(const std::filesystem::path& logDirectory, std::string_view prefix,
                                  std::int32_t pageCounter)
{
    std::string name(prefix);
    name += std::to_string(pageCounter);
    name += ".log";
    return logDirectory / name;
}

} // namespace kestrane
