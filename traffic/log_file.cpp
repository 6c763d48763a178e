#include "traffic/log_file.h"

#include "platform/atomic_file.h"
#include "platform/le_bytes.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

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

FileWriteResult writeLogFile(const std::filesystem::path& path, std::int32_t length, PlaneView tagPlane,
                             PlaneView dataPlane)
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

LogSoundness checkLog(std::span<const std::uint8_t> bytes)
{
    using Fault = LogSoundness::Fault;
    LogSoundness s;
    s.fileSize = bytes.size();
    if (bytes.size() < kLogHeaderSize) {
        s.fault = Fault::NoLength;
        return s;
    }
    if (bytes.size() != kLogFileSize) {
        s.fault = Fault::WrongSize;
        return s;
    }
    s.storedLength = le::getI32(bytes, 0);
    if (s.storedLength < 0 || s.storedLength > kTrafficPlaneSize) {
        s.fault = Fault::LengthOutsidePlane;
        return s;
    }
    const auto tags = bytes.subspan(kLogHeaderSize, static_cast<std::size_t>(s.storedLength));
    for (std::size_t i = 0; i < tags.size(); ++i) {
        if (tags[i] < kTagCh1Sent || tags[i] > kTagCh2Received) {
            s.fault = Fault::UnknownTag;
            s.index = static_cast<std::int32_t>(i);
            s.tag = tags[i];
            return s;
        }
    }
    return s;
}

std::optional<std::int32_t> readLogBytes(std::span<const std::uint8_t> bytes, MutablePlaneView tagPlane,
                                         MutablePlaneView dataPlane)
{
    // Whatever else is wrong, a file with its length is loaded as far as it goes (clamped below).
    if (checkLog(bytes).fault == LogSoundness::Fault::NoLength)
        return std::nullopt;
    const auto tags = bytes.subspan(kLogHeaderSize, std::min(bytes.size() - kLogHeaderSize, tagPlane.size()));
    std::copy(tags.begin(), tags.end(), tagPlane.begin());
    // The two planes follow each other in the file as in the buffer: a file that ends inside
    // the tag plane leaves the whole data plane as it was.
    if (tags.size() == tagPlane.size()) {
        const auto rest = bytes.subspan(kLogHeaderSize + tagPlane.size());
        std::copy_n(rest.begin(), std::min(rest.size(), dataPlane.size()), dataPlane.begin());
    }
    return clampStoredLength(le::getI32(bytes, 0));
}

std::optional<std::int32_t> readLogFile(const std::filesystem::path& path, MutablePlaneView tagPlane,
                                        MutablePlaneView dataPlane)
{
    std::FILE* raw = std::fopen(path.c_str(), "rb");
    if (raw == nullptr)
        return std::nullopt;
    const std::unique_ptr<std::FILE, FileCloser> f(raw);
    std::vector<std::uint8_t> bytes(kLogFileSize);
    bytes.resize(readUpTo(f.get(), bytes.data(), bytes.size()));
    return readLogBytes(bytes, tagPlane, dataPlane);
}

std::filesystem::path autoLogPath(const std::filesystem::path& logDirectory, std::string_view prefix,
                                  std::int32_t pageCounter)
{
    // The prefix names a file inside the log folder, never a path: a '/' in it (an absolute
    // "/x", a climbing "../x", a sub-folder) would lead elsewhere, so it becomes '_'.
    std::string name(prefix);
    for (char& c : name) {
        if (c == '/' || c == '\0')
            c = '_';
    }
    name += std::to_string(pageCounter);
    name += ".log";
    return logDirectory / name;
}

} // namespace kestrane
