#include "records/settings_files.h"

#include "platform/atomic_file.h"
#include "records/settings_layout.h"

#include <algorithm>
#include <fstream>
#include <vector>

namespace kestrane {

namespace {

// The bytes of a file, at most `limit` of them; false when it does not open.
bool readPrefix(const std::filesystem::path& file, std::size_t limit, std::vector<std::uint8_t>& out)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return false;
    out.assign(limit, 0);
    in.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(limit));
    out.resize(static_cast<std::size_t>(in.gcount()));
    return true;
}

FileWriteResult writeWhole(const std::filesystem::path& file, std::span<const std::uint8_t> bytes)
{
    return writeFileAtomically(file, {bytes});
}

// The load-time ranges: a stored value outside lo..hi is replaced by the fallback.
struct RangeRule {
    std::int32_t SettingsRecord::*field;
    std::int32_t lo, hi, fallback;
};
using R = SettingsRecord;
constexpr RangeRule kRangeRules[] = {
    {&R::fullRedisplay, 0, 1, 0}, {&R::idleClockFactor, 0, 200, 10}, {&R::baseClockMs, 10, 20000, 200},
    {&R::idleRedisplayCount, 0, 20, 1}, {&R::trafficDisplayCount, 0, 20, 1}, {&R::ch1ForceConfigSize52, 0, 1, 0},
    {&R::ch2ForceConfigSize52, 0, 1, 0}, {&R::ch1RxGapMs, 100, 20000, 1000}, {&R::ch2RxGapMs, 100, 20000, 1000},
    {&R::bufferSize, 200, 600, 600}, {&R::autoScroll, 0, 1, 1}, {&R::macroClockMs, 1, 1000, 200}};

} // namespace

void writeSettingsRecord(const SettingsRecord& r, std::span<std::uint8_t, SettingsRecord::kSize> out)
{
    le::writeRecord(r, out);
}

SettingsRecord readSettingsRecord(std::span<const std::uint8_t, SettingsRecord::kSize> in)
{
    return le::readRecord<SettingsRecord>(in);
}

void writeLineParams(const LineParams& p, std::span<std::uint8_t, LineParams::kSize> out) { le::writeRecord(p, out); }

LineParams readLineParams(std::span<const std::uint8_t, LineParams::kSize> in)
{
    return le::readRecord<LineParams>(in);
}

void writeSamplingSettings(const SamplingSettings& s, std::span<std::uint8_t, SamplingSettings::kSize> out)
{
    le::writeRecord(s, out);
}

SamplingSettings readSamplingSettings(std::span<const std::uint8_t, SamplingSettings::kSize> in)
{
    return le::readRecord<SamplingSettings>(in);
}

std::array<std::uint8_t, kQuellornSize> quellornImage(const Settings& s)
{
    std::array<std::uint8_t, kQuellornSize> img{};
    le::write(quellornTable(), s, img);
    return img;
}

std::array<std::uint8_t, kQuellorn1Size> quellorn1Image(const LineParams& p)
{
    std::array<std::uint8_t, LineParams::kSize> mem{};
    writeLineParams(p, mem);
    std::array<std::uint8_t, kQuellorn1Size> file{};
    for (const Quellorn1Piece& piece : kQuellorn1Pieces)
        std::copy_n(mem.begin() + static_cast<std::ptrdiff_t>(piece.imageAt), piece.length,
                    file.begin() + static_cast<std::ptrdiff_t>(piece.fileAt));
    return file;
}

void applyQuellorn1Bytes(LineParams& p, std::span<const std::uint8_t> fileBytes)
{
    std::array<std::uint8_t, LineParams::kSize> mem{};
    writeLineParams(p, mem);
    // Pieces in file order; later pieces overwrite earlier ones, which restores every byte.
    for (const Quellorn1Piece& piece : kQuellorn1Pieces) {
        for (std::size_t i = 0; i < piece.length; ++i) {
            const std::size_t at = piece.fileAt + i;
            if (at >= fileBytes.size())
                break;
            mem[piece.imageAt + i] = fileBytes[at];
        }
    }
    p = readLineParams(mem);
}

void applyLoadTimeChecks(SettingsRecord& r)
{
    for (const RangeRule& rule : kRangeRules) {
        std::int32_t& v = r.*rule.field;
        if (v < rule.lo || v > rule.hi)
            v = rule.fallback;
    }
    // A channel must wait for at least one receive event. An event is in the mask only when its
    // flag is exactly 1, so a damaged file with other values would leave a channel that never
    // reads: both flags off counts as both 0.
    if (r.ch1MaskRxChar != 1 && r.ch1MaskRxFlag != 1)
        r.ch1MaskRxChar = 1;
    if (r.ch2MaskRxChar != 1 && r.ch2MaskRxFlag != 1)
        r.ch2MaskRxChar = 1;
}

int applyStartupDisplayRule(SettingsRecord& r)
{
    // Only 1 starts fast; any other value (a damaged file) is the low-speed display, and is
    // stored back as 0, so every reader of the speed agrees.
    const int fast = r.fastDisplayAtStart == 1 ? 1 : 0;
    r.fastDisplayAtStart = fast;
    if (fast == 0 && r.displayMode != DisplayMode::Asc)
        r.displayMode = 1;
    if (fast != 0)
        r.displayMode = 0;
    return fast;
}

void loadQuellornBytes(Settings& s, std::span<const std::uint8_t> bytes)
{
    // Bytes a short file lacks read as zero; bytes past the record are not read.
    std::array<std::uint8_t, kQuellornSize> img{};
    std::copy_n(bytes.begin(), std::min(bytes.size(), img.size()), img.begin());
    le::read(quellornTable(), s, img);
    // The texts are kept byte for byte (a text without its NUL reads as the field less its
    // last byte, and that byte is written back as it came).
    if (fixedText(s.pdfReaderPath).size() < 4)
        setFixedText(s.pdfReaderPath, kDefaultPdfReader);
    if (fixedText(s.pdfPageCommand).size() < 2)
        setFixedText(s.pdfPageCommand, kDefaultPdfPageCommand);
    applyLoadTimeChecks(s.record);
}

bool loadQuellorn(Settings& s, const std::filesystem::path& dir)
{
    std::vector<std::uint8_t> bytes;
    if (readPrefix(dir / kQuellornFile, kQuellornSize, bytes)) {
        loadQuellornBytes(s, bytes);
        return true;
    }
    s.record = SettingsRecord{};
    setFixedText(s.pdfReaderPath, kDefaultPdfReader);
    setFixedText(s.pdfPageCommand, kDefaultPdfPageCommand);
    applyLoadTimeChecks(s.record);
    return false;
}

bool loadQuellorn1(Settings& s, const std::filesystem::path& dir)
{
    std::vector<std::uint8_t> bytes;
    if (!readPrefix(dir / kQuellorn1File, kQuellorn1Size, bytes)) {
        applyChannelLineDefaults(s, 1);
        applyChannelLineDefaults(s, 2);
        return false;
    }
    applyQuellorn1Bytes(s.lineParams, bytes);
    return true;
}

void loadQuellorn2Bytes(Settings& s, std::span<const std::uint8_t> bytes)
{
    std::array<std::uint8_t, SamplingSettings::kSize> img{};
    writeSamplingSettings(s.sampling, img);
    std::copy_n(bytes.begin(), std::min(bytes.size(), img.size()), img.begin());
    s.sampling = readSamplingSettings(img);
}

bool loadQuellorn2(Settings& s, const std::filesystem::path& dir)
{
    std::vector<std::uint8_t> bytes;
    if (!readPrefix(dir / kQuellorn2File, kQuellorn2Size, bytes)) {
        s.sampling = SamplingSettings{};
        return false;
    }
    loadQuellorn2Bytes(s, bytes);
    return true;
}

void loadDrawSizeBytes(Settings& s, std::span<const std::uint8_t> bytes)
{
    std::array<std::uint8_t, kDrawSizeSize> img{};
    le::write(drawSizeTable(), s, img);
    std::copy_n(bytes.begin(), std::min(bytes.size(), img.size()), img.begin());
    le::read(drawSizeTable(), s, img);
}

bool loadDrawSize(Settings& s, const std::filesystem::path& dir)
{
    std::vector<std::uint8_t> bytes;
    if (!readPrefix(dir / kDrawSizeFile, kDrawSizeSize, bytes))
        return false;
    loadDrawSizeBytes(s, bytes);
    return true;
}

FileWriteResult saveQuellorn(const Settings& s, const std::filesystem::path& dir)
{
    return writeWhole(dir / kQuellornFile, quellornImage(s));
}

FileWriteResult saveQuellorn1(const Settings& s, const std::filesystem::path& dir)
{
    return writeWhole(dir / kQuellorn1File, quellorn1Image(s.lineParams));
}

FileWriteResult saveQuellorn2(const Settings& s, const std::filesystem::path& dir)
{
    std::array<std::uint8_t, SamplingSettings::kSize> img{};
    writeSamplingSettings(s.sampling, img);
    return writeWhole(dir / kQuellorn2File, img);
}

FileWriteResult saveDrawSize(const Settings& s, const std::filesystem::path& dir)
{
    std::array<std::uint8_t, kDrawSizeSize> img{};
    le::write(drawSizeTable(), s, img);
    return writeWhole(dir / kDrawSizeFile, img);
}

} // namespace kestrane
