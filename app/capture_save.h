// The record's timeline saved as a pcapng capture (the window's "pcapng形式で保存"; automatic
// logging's capture beside each page): every frame, line error, modem change and loss the
// journal holds, with the payload protocol named in the interfaces.
#pragma once

#include "capture/payload_protocol.h"
#include "platform/atomic_file.h"

#include <cstdint>
#include <filesystem>
#include <vector>

namespace kestrane {

class AppCore;

// The journal's entries after `after` (0: all it keeps) as a whole capture file; the open frames
// are closed. `lastSequence` (when given) gets the last entry taken.
[[nodiscard]] std::vector<std::uint8_t> timelineCapture(AppCore& core, const pcapng::PayloadProtocol& protocol,
                                                        std::uint64_t after = 0, std::uint64_t* lastSequence = nullptr);
// Written through a temporary file renamed into place.
[[nodiscard]] FileWriteResult saveTimelineCapture(AppCore& core, const std::filesystem::path& path,
                                                  const pcapng::PayloadProtocol& protocol);

} // namespace kestrane
