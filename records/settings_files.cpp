#include "records/settings_files.h"

#include "platform/atomic_file.h"
#include "platform/le_bytes.h"

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

void clampRange(std::int32_t& v, std::int32_t lo, std::int32_t hi, std::int32_t fallback)
{
    if (v < lo || v > hi)
        v = fallback;
}

// Four pieces of the line-parameter image make up Quellorn1.dat: {file offset, image offset, length}.
struct Piece {
    std::size_t fileAt, imageAt, length;
};
constexpr std::array<Piece, 4> kPieces{{{0, 0, 80}, {80, 56, 28}, {108, 28, 80}, {188, 76, 28}}};

} // namespace

void writeSettingsRecord(const SettingsRecord& r, std::span<std::uint8_t, SettingsRecord::kSize> out)
{
    using namespace le;
    putI32(out, 0, r.ch1ComNumber);
    put32(out, 4, r.ch1BaudRate);
    put8(out, 8, r.ch1ByteSize);
    put8(out, 9, r.ch1StopBits);
    put8(out, 10, r.ch1Parity);
    putI32(out, 11, r.ch1FlowControl);
    putI32(out, 15, r.sendStartCharOn);
    putI32(out, 19, r.sendStopCharOn);
    putI32(out, 23, r.sendChecksumOn);
    putI32(out, 27, r.checksumOutputForm);
    putI32(out, 31, r.sendEndCharOn);
    putBytes(out, 35, r.sendStartCharHex);
    putBytes(out, 39, r.sendStopCharHex);
    putBytes(out, 43, r.sendEndCharHex);
    putI32(out, 47, r.dioFitted);
    put16(out, 51, r.dioControlWord);
    put16(out, 53, r.dioDriverNo);
    put16(out, 55, r.dioGroupNo);
    putI32(out, 57, r.fullRedisplay);
    putI32(out, 61, r.idleClockFactor);
    putI32(out, 65, r.baseClockMs);
    putI32(out, 69, r.idleRedisplayCount);
    putI32(out, 73, r.trafficDisplayCount);
    putI32(out, 77, r.displayMode);
    putI32(out, 81, r.ch2Mode);
    putI32(out, 85, r.ch2ComNumber);
    put32(out, 89, r.ch2BaudRate);
    put8(out, 93, r.ch2ByteSize);
    put8(out, 94, r.ch2StopBits);
    put8(out, 95, r.ch2Parity);
    putI32(out, 96, r.ch2FlowControl);
    putI32(out, 100, r.ch1ForceConfigSize52);
    putI32(out, 104, r.ch2ForceConfigSize52);
    putI32(out, 108, r.ch1RxGapMs);
    putI32(out, 112, r.ch2RxGapMs);
    putI32(out, 116, r.bufferSize);
    putI32(out, 120, r.autoScroll);
    putI32(out, 124, r.macroClockMs);
    putI32(out, 128, r.ch1MaskRxChar);
    putI32(out, 132, r.ch1MaskRxFlag);
    putI32(out, 136, r.ch2MaskRxChar);
    putI32(out, 140, r.ch2MaskRxFlag);
    putI32(out, 144, r.checksumMethod);
    putI32(out, 148, r.noExitSaveQuery);
    putI32(out, 152, r.fastDisplayAtStart);
    putI32(out, 156, r.comNumbersFromRegistry);
    putI32(out, 160, r.showSentText);
    putI32(out, 164, r.checksumLowerCase);
    putBytes(out, 168, r.reserved);
}

SettingsRecord readSettingsRecord(std::span<const std::uint8_t, SettingsRecord::kSize> in)
{
    using namespace le;
    SettingsRecord r;
    r.ch1ComNumber = getI32(in, 0);
    r.ch1BaudRate = get32(in, 4);
    r.ch1ByteSize = get8(in, 8);
    r.ch1StopBits = get8(in, 9);
    r.ch1Parity = get8(in, 10);
    r.ch1FlowControl = getI32(in, 11);
    r.sendStartCharOn = getI32(in, 15);
    r.sendStopCharOn = getI32(in, 19);
    r.sendChecksumOn = getI32(in, 23);
    r.checksumOutputForm = getI32(in, 27);
    r.sendEndCharOn = getI32(in, 31);
    getBytes(in, 35, r.sendStartCharHex);
    getBytes(in, 39, r.sendStopCharHex);
    getBytes(in, 43, r.sendEndCharHex);
    r.dioFitted = getI32(in, 47);
    r.dioControlWord = get16(in, 51);
    r.dioDriverNo = get16(in, 53);
    r.dioGroupNo = get16(in, 55);
    r.fullRedisplay = getI32(in, 57);
    r.idleClockFactor = getI32(in, 61);
    r.baseClockMs = getI32(in, 65);
    r.idleRedisplayCount = getI32(in, 69);
    r.trafficDisplayCount = getI32(in, 73);
    r.displayMode = getI32(in, 77);
    r.ch2Mode = getI32(in, 81);
    r.ch2ComNumber = getI32(in, 85);
    r.ch2BaudRate = get32(in, 89);
    r.ch2ByteSize = get8(in, 93);
    r.ch2StopBits = get8(in, 94);
    r.ch2Parity = get8(in, 95);
    r.ch2FlowControl = getI32(in, 96);
    r.ch1ForceConfigSize52 = getI32(in, 100);
    r.ch2ForceConfigSize52 = getI32(in, 104);
    r.ch1RxGapMs = getI32(in, 108);
    r.ch2RxGapMs = getI32(in, 112);
    r.bufferSize = getI32(in, 116);
    r.autoScroll = getI32(in, 120);
    r.macroClockMs = getI32(in, 124);
    r.ch1MaskRxChar = getI32(in, 128);
    r.ch1MaskRxFlag = getI32(in, 132);
    r.ch2MaskRxChar = getI32(in, 136);
    r.ch2MaskRxFlag = getI32(in, 140);
    r.checksumMethod = getI32(in, 144);
    r.noExitSaveQuery = getI32(in, 148);
    r.fastDisplayAtStart = getI32(in, 152);
    r.comNumbersFromRegistry = getI32(in, 156);
    r.showSentText = getI32(in, 160);
    r.checksumLowerCase = getI32(in, 164);
    getBytes(in, 168, r.reserved);
    return r;
}

void writeLineParams(const LineParams& p, std::span<std::uint8_t, LineParams::kSize> out)
{
    p.ch1Dcb.toBytes(out.subspan<0, Dcb::kSize>());
    p.ch2Dcb.toBytes(out.subspan<28, Dcb::kSize>());
    p.ch1Timeouts.toBytes(out.subspan<56, CommTimeouts::kSize>());
    p.ch2Timeouts.toBytes(out.subspan<76, CommTimeouts::kSize>());
    std::copy(p.spare.begin(), p.spare.end(), out.begin() + 96);
}

LineParams readLineParams(std::span<const std::uint8_t, LineParams::kSize> in)
{
    LineParams p;
    p.ch1Dcb = Dcb::fromBytes(in.subspan<0, Dcb::kSize>());
    p.ch2Dcb = Dcb::fromBytes(in.subspan<28, Dcb::kSize>());
    p.ch1Timeouts = CommTimeouts::fromBytes(in.subspan<56, CommTimeouts::kSize>());
    p.ch2Timeouts = CommTimeouts::fromBytes(in.subspan<76, CommTimeouts::kSize>());
    std::copy(in.begin() + 96, in.end(), p.spare.begin());
    return p;
}

void writeSamplingSettings(const SamplingSettings& s, std::span<std::uint8_t, SamplingSettings::kSize> out)
{
    le::putI32(out, 0, s.samplingCount);
    for (std::size_t i = 0; i < s.samplingFields.size(); ++i) {
        le::putI32(out, 4 + 8 * i, s.samplingFields[i].position);
        le::putI32(out, 8 + 8 * i, s.samplingFields[i].length);
    }
    le::putI32(out, 44, s.autoLogging);
    le::putBytes(out, 48, s.autoLogPrefix);
}

SamplingSettings readSamplingSettings(std::span<const std::uint8_t, SamplingSettings::kSize> in)
{
    SamplingSettings s;
    s.samplingCount = le::getI32(in, 0);
    for (std::size_t i = 0; i < s.samplingFields.size(); ++i) {
        s.samplingFields[i].position = le::getI32(in, 4 + 8 * i);
        s.samplingFields[i].length = le::getI32(in, 8 + 8 * i);
    }
    s.autoLogging = le::getI32(in, 44);
    le::getBytes(in, 48, s.autoLogPrefix);
    return s;
}

std::array<std::uint8_t, kQuellornSize> quellornImage(const Settings& s)
{
    std::array<std::uint8_t, kQuellornSize> img{};
    std::span<std::uint8_t> all(img);
    writeSettingsRecord(s.record, all.subspan<0, SettingsRecord::kSize>());
    le::putBytes(all, 178, s.pdfReaderPath);
    le::putBytes(all, 438, s.pdfPageCommand);
    return img;
}

std::array<std::uint8_t, kQuellorn1Size> quellorn1Image(const LineParams& p)
{
    std::array<std::uint8_t, LineParams::kSize> mem{};
    writeLineParams(p, mem);
    std::array<std::uint8_t, kQuellorn1Size> file{};
    for (const Piece& piece : kPieces)
        std::copy_n(mem.begin() + static_cast<std::ptrdiff_t>(piece.imageAt), piece.length,
                    file.begin() + static_cast<std::ptrdiff_t>(piece.fileAt));
    return file;
}

void applyQuellorn1Bytes(LineParams& p, std::span<const std::uint8_t> fileBytes)
{
    std::array<std::uint8_t, LineParams::kSize> mem{};
    writeLineParams(p, mem);
    // Pieces in file order; later pieces overwrite earlier ones, which restores every byte.
    for (const Piece& piece : kPieces) {
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
    clampRange(r.fullRedisplay, 0, 1, 0);
    clampRange(r.idleClockFactor, 0, 200, 10);
    clampRange(r.baseClockMs, 10, 20000, 200);
    clampRange(r.idleRedisplayCount, 0, 20, 1);
    clampRange(r.trafficDisplayCount, 0, 20, 1);
    clampRange(r.ch1ForceConfigSize52, 0, 1, 0);
    clampRange(r.ch2ForceConfigSize52, 0, 1, 0);
    clampRange(r.ch1RxGapMs, 100, 20000, 1000);
    clampRange(r.ch2RxGapMs, 100, 20000, 1000);
    clampRange(r.bufferSize, 200, 600, 600);
    clampRange(r.autoScroll, 0, 1, 1);
    clampRange(r.macroClockMs, 1, 1000, 200);
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
    std::span<const std::uint8_t> all(img);
    s.record = readSettingsRecord(all.subspan<0, SettingsRecord::kSize>());
    le::getBytes(all, 178, s.pdfReaderPath);
    le::getBytes(all, 438, s.pdfPageCommand);
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
    le::putI32(img, 0, s.startupSizeCode);
    std::copy_n(bytes.begin(), std::min(bytes.size(), img.size()), img.begin());
    s.startupSizeCode = le::getI32(img, 0);
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
    std::array<std::uint8_t, 4> img{};
    le::putI32(img, 0, s.startupSizeCode);
    return writeWhole(dir / kDrawSizeFile, img);
}

} // namespace kestrane
