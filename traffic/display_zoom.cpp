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

int loadZoom(const std::filesystem::path& folder)
{
    std::ifstream in(folder / kDisplayConfFile);
    int zoom = 100;
    std::string line;
    // A line "zoom=<digits>"; anything else in the file is passed over.
    for (int lines = 0; lines < 100 && std::getline(in, line); ++lines) {
        if (line.rfind("zoom=", 0) != 0)
            continue;
        const std::string value = line.substr(5);
        char* end = nullptr;
        const long v = std::strtol(value.c_str(), &end, 10);
        if (end != value.c_str() && (*end == '\0' || *end == '\r') && v > 0 && v < 1000)
            zoom = validZoom(static_cast<int>(v));
    }
    return zoom;
}

bool saveZoom(const std::filesystem::path& folder, int percent)
{
    const std::string text = "zoom=" + std::to_string(validZoom(percent)) + "\n";
    return writeFileAtomically(folder / kDisplayConfFile,
                               {std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size())});
}

} // namespace kestrane
