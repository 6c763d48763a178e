// The four settings files.
#include "fuzz/check_support.h"
#include "platform/le_bytes.h"
#include "records/settings_files.h"

#include <algorithm>
#include <array>
#include <span>
#include <vector>

namespace kestrane::fuzz {

namespace {

struct Range {
    std::size_t offset;
    std::int32_t lo, hi;
};
// The fields the load-time checks correct, with the range they end up in.
constexpr std::array<Range, 12> kRanged{{{57, 0, 1},      {61, 0, 200},   {65, 10, 20000}, {69, 0, 20},
                                          {73, 0, 20},     {100, 0, 1},    {104, 0, 1},     {108, 100, 20000},
                                          {112, 100, 20000}, {116, 200, 600}, {120, 0, 1},  {124, 1, 1000}}};
// The receive-character flags of CH1 and CH2: set to 1 when neither event flag of the channel is 1.
constexpr std::array<std::size_t, 2> kMaskRxChar{128, 136};

bool corrected(std::size_t at)
{
    for (const Range& r : kRanged)
        if (at >= r.offset && at < r.offset + 4)
            return true;
    for (const std::size_t m : kMaskRxChar)
        if (at >= m && at < m + 4)
            return true;
    return at >= SettingsRecord::kSize;  // the two texts have rules of their own
}

// A text field is the file's bytes exactly (those after its NUL too), unless it is shorter than
// its default rule allows: then it is the default, zero-filled.
template <std::size_t N>
std::string checkText(const std::array<char, N>& field, std::span<const std::uint8_t> fileBytes, std::size_t minLength,
                      const char* fallback, const char* name)
{
    std::array<char, N> expected{};
    std::copy(fileBytes.begin(), fileBytes.end(), expected.begin());
    if (fixedText(expected).size() < minLength)
        setFixedText(expected, fallback);
    if (field != expected)
        return std::string(name) + " is not the file's bytes";
    if (fixedText(field).size() >= N)
        return std::string(name) + " reads past its terminator's place";
    return {};
}

} // namespace

std::string checkQuellorn(Bytes data)
{
    Settings s;
    loadQuellornBytes(s, data);
    const auto image = quellornImage(s);

    for (const Range& r : kRanged) {
        const std::int32_t v = le::getI32(image, r.offset);
        KCHECK(v >= r.lo && v <= r.hi, "field at " + std::to_string(r.offset) + " out of range: " + std::to_string(v));
    }
    KCHECK(s.record.ch1MaskRxChar == 1 || s.record.ch1MaskRxFlag == 1, "CH1 waits for no receive event");
    KCHECK(s.record.ch2MaskRxChar == 1 || s.record.ch2MaskRxFlag == 1, "CH2 waits for no receive event");

    // Everything the checks do not correct is taken as stored (a short file reads as zeros).
    std::array<std::uint8_t, kQuellornSize> padded{};
    std::copy_n(data.begin(), std::min(data.size(), padded.size()), padded.begin());
    const std::span<const std::uint8_t> file(padded);
    if (auto e = checkText(s.pdfReaderPath, file.subspan(178, 260), 4, kDefaultPdfReader, "pdfReaderPath"); !e.empty())
        return e;
    if (auto e = checkText(s.pdfPageCommand, file.subspan(438, 128), 2, kDefaultPdfPageCommand, "pdfPageCommand");
        !e.empty())
        return e;
    for (std::size_t i = 0; i < SettingsRecord::kSize; ++i)
        KCHECK(corrected(i) || image[i] == padded[i], "byte " + std::to_string(i) + " changed on load");
    for (const std::size_t m : kMaskRxChar) {
        const bool eventless = le::getI32(padded, m) != 1 && le::getI32(padded, m + 4) != 1;
        KCHECK(le::getI32(image, m) == (eventless ? 1 : le::getI32(padded, m)), "receive-character flag changed on load");
    }

    // The start-up display rule leaves ASC or HEX.
    SettingsRecord r = s.record;
    applyStartupDisplayRule(r);
    KCHECK(r.displayMode == DisplayMode::Asc || r.displayMode == DisplayMode::Hex, "start-up display mode not ASC/HEX");

    // Saving what was loaded and loading it again changes nothing, the texts included.
    Settings again;
    loadQuellornBytes(again, image);
    KCHECK(again.record == s.record, "saved image does not load back the same");
    KCHECK(again.pdfReaderPath == s.pdfReaderPath, "saved reader path does not load back the same");
    KCHECK(again.pdfPageCommand == s.pdfPageCommand, "saved page command does not load back the same");
    KCHECK(quellornImage(again) == image, "saved image is not written back the same");
    return {};
}

std::string checkQuellorn1(Bytes data)
{
    Settings s;
    const LineParams before = s.lineParams;
    applyQuellorn1Bytes(s.lineParams, data);

    // What the four pieces restore, byte by byte, later pieces overwriting earlier ones.
    struct Piece {
        std::size_t fileAt, imageAt, length;
    };
    constexpr std::array<Piece, 4> pieces{{{0, 0, 80}, {80, 56, 28}, {108, 28, 80}, {188, 76, 28}}};
    std::array<std::uint8_t, LineParams::kSize> expected{};
    writeLineParams(before, expected);
    for (const Piece& p : pieces)
        for (std::size_t i = 0; i < p.length && p.fileAt + i < data.size(); ++i)
            expected[p.imageAt + i] = data[p.fileAt + i];
    std::array<std::uint8_t, LineParams::kSize> got{};
    writeLineParams(s.lineParams, got);
    KCHECK(got == expected, "line parameters differ from the file's pieces");

    // The saved file loads back to the same parameters.
    const auto image = quellorn1Image(s.lineParams);
    Settings again;
    applyQuellorn1Bytes(again.lineParams, image);
    KCHECK(again.lineParams == s.lineParams, "saved Quellorn1 image does not load back the same");
    return {};
}

std::string checkQuellorn2(Bytes data)
{
    Settings s;
    loadQuellorn2Bytes(s, data);
    std::array<std::uint8_t, SamplingSettings::kSize> expected{};
    writeSamplingSettings(SamplingSettings{}, expected);
    std::copy_n(data.begin(), std::min(data.size(), expected.size()), expected.begin());
    std::array<std::uint8_t, SamplingSettings::kSize> got{};
    writeSamplingSettings(s.sampling, got);
    // The prefix too is the file's bytes, those after its NUL included.
    KCHECK(got == expected, "sampling settings are not the file's bytes");
    KCHECK(fixedText(s.sampling.autoLogPrefix).size() < s.sampling.autoLogPrefix.size(),
           "prefix reads past its terminator's place");
    return {};
}

std::string checkDrawSize(Bytes data)
{
    Settings s;
    loadDrawSizeBytes(s, data);
    std::array<std::uint8_t, 4> expected{};
    le::putI32(expected, 0, 1);
    std::copy_n(data.begin(), std::min<std::size_t>(data.size(), 4), expected.begin());
    KCHECK(s.startupSizeCode == le::getI32(expected, 0), "size code is not the file's value");
    return {};
}

} // namespace kestrane::fuzz
