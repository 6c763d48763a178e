// The log files (.LOG) and the HEX search notation.
#include "fuzz/check_support.h"
#include "platform/clock.h"
#include "platform/le_bytes.h"
#include "traffic/log_file.h"
#include "traffic/traffic_buffer.h"
#include "traffic/view_commands.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace kestrane::fuzz {

namespace {

class FixedClock final : public Clock {
public:
    [[nodiscard]] std::int64_t tickMs() const override { return 0; }
    [[nodiscard]] CalendarTime localTime() const override { return {7, 12, 30, 45}; }
};

constexpr std::size_t kPlane = kTrafficPlaneSize;

std::uint8_t sentinel(std::size_t i) { return static_cast<std::uint8_t>(i * 7 + 3); }

// The bytes as a file the program can open by name, without touching the disk.
class MemoryFile {
public:
    explicit MemoryFile(Bytes data) : fd_(::memfd_create("kestrane-fuzz", 0))
    {
        if (fd_ >= 0 && !data.empty())
            ok_ = ::write(fd_, data.data(), data.size()) == static_cast<ssize_t>(data.size());
        else
            ok_ = fd_ >= 0;
    }
    ~MemoryFile()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;
    [[nodiscard]] bool ok() const { return ok_; }
    [[nodiscard]] std::string path() const { return "/proc/self/fd/" + std::to_string(fd_); }

private:
    int fd_;
    bool ok_ = false;
};

} // namespace

std::string checkLogFile(Bytes data)
{
    // The reader alone, against planes full of a known pattern.
    // Kept between runs: a fuzzer calls this hundreds of thousands of times. Whole-plane work
    // goes through memcpy/memcmp, which the coverage instrumentation leaves alone.
    static const auto pattern = [] {
        auto p = std::make_unique<std::array<std::uint8_t, kTrafficPlaneSize>>();
        for (std::size_t i = 0; i < kPlane; ++i)
            (*p)[i] = sentinel(i);
        return p;
    }();
    static const auto tags = std::make_unique<std::array<std::uint8_t, kTrafficPlaneSize>>();
    static const auto plane = std::make_unique<std::array<std::uint8_t, kTrafficPlaneSize>>();
    std::memcpy(tags->data(), pattern->data(), kPlane);
    std::memcpy(plane->data(), pattern->data(), kPlane);
    const auto length = readLogBytes(data, *tags, *plane);
    if (data.size() < kLogHeaderSize) {
        KCHECK(!length, "a file without a whole length loaded");
        KCHECK(std::memcmp(tags->data(), pattern->data(), kPlane) == 0 &&
                   std::memcmp(plane->data(), pattern->data(), kPlane) == 0,
               "a refused file changed the planes");
        return {};
    }
    KCHECK(length.has_value(), "a file with a length did not load");
    const std::int32_t stored = le::getI32(data, 0);
    KCHECK(*length == std::clamp<std::int32_t>(stored, 0, kTrafficPlaneSize), "stored length not held to the plane");
    // The tag plane takes the bytes after the length; the data plane only the bytes after a whole
    // tag plane; everything else keeps its pattern.
    const std::size_t tagBytes = std::min(data.size() - kLogHeaderSize, kPlane);
    const std::size_t dataBytes = tagBytes == kPlane ? std::min(data.size() - kLogHeaderSize - kPlane, kPlane) : 0;
    KCHECK(std::memcmp(tags->data(), data.data() + kLogHeaderSize, tagBytes) == 0 &&
               std::memcmp(tags->data() + tagBytes, pattern->data() + tagBytes, kPlane - tagBytes) == 0,
           "tag plane differs from the file");
    KCHECK((dataBytes == 0 || std::memcmp(plane->data(), data.data() + kLogHeaderSize + kPlane, dataBytes) == 0) &&
               std::memcmp(plane->data() + dataBytes, pattern->data() + dataBytes, kPlane - dataBytes) == 0,
           "data plane differs from the file");

    // Through the buffer at a capacity taken from the input: the stored length stays inside the
    // planes, and appends after the load keep every index inside them.
    MemoryFile file(data);
    if (!file.ok())
        return {};
    static const FixedClock clock;
    static const auto buffer = std::make_unique<TrafficBuffer>(clock);
    TrafficConfig config;
    config.bufferSize = 200 + 2 * (data.size() > 4 ? data[4] % 201 : 0);
    config.displayMode = data.size() > 5 ? data[5] % 3 : 0;
    config.autoLogging = data.size() > 6 ? data[6] & 1 : 0;
    buffer->configure(config);
    buffer->markDrawn(0, DrawCursor{});
    KCHECK(buffer->loadFromLog(file.path()), "the buffer refused a file the reader takes");
    KCHECK(buffer->storedLength() >= 0 && buffer->storedLength() <= kTrafficPlaneSize,
           "loaded stored length outside the planes");
    const std::array<std::uint8_t, 100> chunk{};
    for (int i = 0; i < 3; ++i) {
        buffer->appendReceived(1 + (i & 1), chunk.data(), static_cast<std::int32_t>(chunk.size()));
        buffer->appendSent(1, chunk.data(), static_cast<std::int32_t>(chunk.size()));
        const std::int32_t n = buffer->storedLength();
        KCHECK(n >= 0 && n <= kTrafficPlaneSize, "stored length left the planes after an append");
        KCHECK(buffer->drawPosition() >= 0 && buffer->drawPosition() <= kTrafficPlaneSize,
               "draw position left the planes");
    }
    return {};
}

std::string checkSearchHex(Bytes data)
{
    const auto got = hexPatternBytes(data);

    // The notation read plainly: quotes toggle their state (one kind inside the other is a
    // character), quoted characters are bytes, two characters outside quotes are one number as
    // strtol reads "0x" followed by them, and a lone last character gives nothing.
    std::vector<std::uint8_t> want;
    char quote = 0;
    std::size_t i = 0;
    while (i < data.size()) {
        const char c = static_cast<char>(data[i]);
        if ((c == '"' || c == '\'') && (quote == 0 || quote == c)) {
            quote = quote == 0 ? c : 0;
            ++i;
        } else if (quote != 0) {
            want.push_back(data[i]);
            ++i;
        } else if (i + 1 < data.size()) {
            const std::string number{'0', 'x', c, static_cast<char>(data[i + 1])};
            want.push_back(static_cast<std::uint8_t>(std::strtol(number.c_str(), nullptr, 16)));
            i += 2;
        } else {
            break;
        }
    }
    KCHECK(got == want, "HEX pattern differs from the notation's reading");
    KCHECK(got.size() <= data.size(), "more pattern bytes than characters");
    return {};
}

} // namespace kestrane::fuzz
