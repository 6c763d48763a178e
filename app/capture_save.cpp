#include "app/capture_save.h"

#include "app/app_core.h"
#include "app/capture_lines.h"
#include "timeline/capture_stream.h"

namespace kestrane {

std::vector<std::uint8_t> timelineCapture(AppCore& core, const pcapng::PayloadProtocol& protocol, std::uint64_t after,
                                          std::uint64_t* lastSequence)
{
    timeline::CaptureStream stream(captureLines(core, protocol), "Kestrane");
    for (int channel : {1, 2})
        stream.setRule(channel, core.frameRule(channel));
    stream.startAfter(after);
    std::vector<std::uint8_t> bytes;
    stream.header(bytes);
    stream.take(core.journal(), bytes, timeline::now().monoUs, true);
    stream.finish(bytes);
    if (lastSequence)
        *lastSequence = stream.lastSequence();
    return bytes;
}

FileWriteResult saveTimelineCapture(AppCore& core, const std::filesystem::path& path, const pcapng::PayloadProtocol& protocol)
{
    const std::vector<std::uint8_t> bytes = timelineCapture(core, protocol);
    return writeFileAtomically(path, {std::span<const std::uint8_t>(bytes)});
}

} // namespace kestrane
