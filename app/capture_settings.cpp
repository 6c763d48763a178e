#include "app/capture_settings.h"

#include <fstream>
#include <sstream>

namespace kestrane {

CaptureSettings parseCaptureSettings(std::string_view text)
{
    CaptureSettings s;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        const auto eq = line.find('=');
        if (eq == std::string_view::npos)
            continue;
        const std::string_view key = line.substr(0, eq), value = line.substr(eq + 1);
        if (key == "pageCaptures" && (value == "on" || value == "off"))
            s.pageCaptures = value == "on";
        else if (key == "protocol")
            if (const pcapng::PayloadProtocol* p = pcapng::findPayloadProtocol(value))
                s.protocol = p;
    }
    return s;
}

std::string captureSettingsText(const CaptureSettings& settings)
{
    return std::string("pageCaptures=") + (settings.pageCaptures ? "on" : "off") + "\nprotocol=" + settings.protocol->name + "\n";
}

CaptureSettings loadCaptureSettings(const std::filesystem::path& folder)
{
    std::ifstream in(folder / kCaptureConfFile, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return parseCaptureSettings(text.str());
}

FileWriteResult saveCaptureSettings(const std::filesystem::path& folder, const CaptureSettings& settings)
{
    const std::string text = captureSettingsText(settings);
    return writeFileAtomically(folder / kCaptureConfFile,
                               {std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size())});
}

} // namespace kestrane
