#include "app/timeline_settings.h"

#include <charconv>
#include <fstream>

namespace kestrane {

namespace {

constexpr std::array<std::string_view, 2> kKeys = {"ch1QuietUs=", "ch2QuietUs="};

} // namespace

TimelineSettings parseTimelineSettings(std::string_view text)
{
    TimelineSettings s;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        for (std::size_t ch = 0; ch < kKeys.size(); ++ch) {
            if (!line.starts_with(kKeys[ch]))
                continue;
            const std::string_view value = line.substr(kKeys[ch].size());
            std::int64_t us = 0;
            const auto [at, err] = std::from_chars(value.data(), value.data() + value.size(), us);
            if (err == std::errc{} && at == value.data() + value.size() && us >= kMinQuietUs && us <= kMaxQuietUs)
                s.quietUs[ch] = us;
            else
                s.quietUs[ch].reset();  // a value that cannot be read leaves the line's rule
        }
    }
    return s;
}

std::string timelineSettingsText(const TimelineSettings& settings)
{
    std::string text;
    for (std::size_t ch = 0; ch < kKeys.size(); ++ch)
        if (settings.quietUs[ch])
            text += std::string(kKeys[ch]) + std::to_string(*settings.quietUs[ch]) + "\n";
    return text;
}

TimelineSettings loadTimelineSettings(const std::filesystem::path& folder)
{
    // A small file of ours: a few lines at most are read.
    std::ifstream in(folder / kTimelineConfFile, std::ios::binary);
    std::string text(4096, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    return parseTimelineSettings(text);
}

FileWriteResult saveTimelineSettings(const std::filesystem::path& folder, const TimelineSettings& settings)
{
    const std::string text = timelineSettingsText(settings);
    return writeFileAtomically(folder / kTimelineConfFile,
                               {std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size())});
}

int bitsPerCharacter(const Dcb& dcb)
{
    const int data = dcb.ByteSize >= 5 && dcb.ByteSize <= 8 ? dcb.ByteSize : 8;
    const int parity = dcb.Parity == NOPARITY ? 0 : 1;
    const int stop = dcb.StopBits == ONESTOPBIT ? 1 : 2;
    return 1 + data + parity + stop;
}

} // namespace kestrane
