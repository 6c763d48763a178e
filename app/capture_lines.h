// The interfaces of a capture made from the core's channels (the window's save, automatic
// logging, the recorder, the extcap program): each channel named after its COM number (or the
// device named for this run), described by its device or URL, its line settings and the payload
// protocol the user named, so the reader of the file knows what to decode it as.
#pragma once

#include "capture/payload_protocol.h"
#include "platform/comm_types.h"
#include "timeline/capture_stream.h"

#include <array>
#include <string>

namespace kestrane {

class AppCore;

// "9600 8N1, flow none"
[[nodiscard]] std::string captureLineText(const Dcb& dcb);
// A channel the settings do not use is "CH2", "not used in this capture".
[[nodiscard]] std::array<timeline::CaptureLine, 2> captureLines(AppCore& core, const pcapng::PayloadProtocol& protocol);

} // namespace kestrane
