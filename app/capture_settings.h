// Our own capture settings, kept in a small file of the start folder beside the settings files
// (whose layouts are fixed): "capture.conf" with the lines "pageCaptures=on|off" (automatic
// logging also writes each page's timeline as <page>.pcapng beside it) and "protocol=NAME"
// (the payload protocol the captures name, as tshark calls it).
#pragma once

#include "capture/payload_protocol.h"
#include "platform/atomic_file.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace kestrane {

inline constexpr const char* kCaptureConfFile = "capture.conf";

struct CaptureSettings {
    bool pageCaptures = false;
    const pcapng::PayloadProtocol* protocol = &pcapng::kPayloadProtocols[0];
};

// Lines it does not know and values it does not take are left out (their defaults hold).
[[nodiscard]] CaptureSettings parseCaptureSettings(std::string_view text);
[[nodiscard]] std::string captureSettingsText(const CaptureSettings& settings);
[[nodiscard]] CaptureSettings loadCaptureSettings(const std::filesystem::path& folder);
FileWriteResult saveCaptureSettings(const std::filesystem::path& folder, const CaptureSettings& settings);

} // namespace kestrane
