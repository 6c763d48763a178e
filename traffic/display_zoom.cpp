#include "traffic/display_zoom.h"

#include "platform/atomic_file.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <string>

namespace kestrane {

int validZoom(int percent)
{
    return std::find(kZoomSteps.begin(), kZoomSteps.end(), percent) != kZoomSteps.end() ? percent : 100;
}

int zoomStep(int percent, int direction)
{
    const auto at = std::find(kZoomSteps.begin(), kZoomSteps.end(), validZoom(percent)) - kZoomSteps.begin();
    const auto next = std::clamp<std::ptrdiff_t>(at + (direction > 0 ? 1 : direction < 0 ? -1 : 0), 0,
                                                 static_cast<std::ptrdiff_t>(kZoomSteps.size()) - 1);
    return kZoomSteps[static_cast<std::size_t>(next)];
}

int parseZoom(std::string_view text)
{
    int zoom = 100;
    // Lines "zoom=<digits>"; anything else in the text is passed over.
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        std::string line(text.substr(0, end));
        text.remove_prefix(std::min(end + 1, text.size()));
        if (line.rfind("zoom=", 0) != 0 || line.size() > 16)
            continue;
        const std::string value = line.substr(5);
        char* stop = nullptr;
        const long v = std::strtol(value.c_str(), &stop, 10);
        if (stop != value.c_str() && (*stop == '\0' || (*stop == '\r' && stop[1] == '\0')))
            zoom = validZoom(v > 0 && v < 1000 ? static_cast<int>(v) : 0);
    }
    return zoom;
}

int loadZoom(const std::filesystem::path& folder)
{
    // A small file of ours: a few lines at most are read.
    std::ifstream in(folder / kDisplayConfFile, std::ios::binary);
    std::string text(4096, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    return parseZoom(text);
}

bool saveZoom(const std::filesystem::path& folder, int percent)
{
    const std::string text = "zoom=" + std::to_string(validZoom(percent)) + "\n";
    return writeFileAtomically(folder / kDisplayConfFile,
                               {std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size())});
}

} // namespace kestrane
