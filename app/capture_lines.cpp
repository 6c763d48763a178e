#include "app/capture_lines.h"

#include "app/app_core.h"
#include "records/channel_settings.h"

#include <algorithm>

namespace kestrane {

std::string captureLineText(const Dcb& d)
{
    static constexpr char kParityLetters[] = "NOEMS";
    static constexpr const char* kStopBitNames[] = {"1", "1.5", "2"};
    static constexpr const char* kFlowNames[] = {"none", "xonxoff", "rtscts"};
    std::string text = std::to_string(d.BaudRate) + " " + std::to_string(d.ByteSize);
    text += d.Parity < 5 ? kParityLetters[d.Parity] : '?';
    text += d.StopBits < 3 ? kStopBitNames[d.StopBits] : "?";
    return text + ", flow " + kFlowNames[std::clamp(flowControlCode(d), 0, 2)];
}

std::array<timeline::CaptureLine, 2> captureLines(AppCore& core, const pcapng::PayloadProtocol& protocol)
{
    const Settings& s = core.settings();
    std::array<timeline::CaptureLine, 2> lines;
    for (int channel : {1, 2}) {
        auto& l = lines[static_cast<std::size_t>(channel - 1)];
        if (channel == 2 && s.record.ch2Mode == Ch2Mode::NotUsed) {
            l = {"CH2", "not used in this capture"};
            continue;
        }
        const int com = channelFields(s.record, channel).comNumber;
        const auto named = core.namedPorts().find(com);
        l.name = named != core.namedPorts().end() ? named->second : "COM" + std::to_string(com);
        const std::string& path = core.channels().device(channel).path;
        l.description = (path.empty() ? l.name : path) + ", " + captureLineText(channelLine(s.lineParams, channel).dcb)
                        + pcapng::payloadNote(protocol);
    }
    return lines;
}

} // namespace kestrane
