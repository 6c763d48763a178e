#include "comm/transmit.h"

#include "comm/channel.h"
#include "traffic/traffic_buffer.h"

#include <algorithm>

namespace kestrane {

int transmitFrame(Channels& channels, TrafficBuffer& traffic, int channel, std::span<const std::uint8_t> frame)
{
    if (channel != 1 && channel != 2)
        return kBadChannel;

    SerialPort* port = channels.port(channel);
    std::size_t offset = 0;
    while (offset < frame.size()) {
        const std::size_t piece = std::min(frame.size() - offset, Channels::kPieceSize);
        if (!port)
            return kWriteFailed;
        std::size_t written = 0;
        const IoStatus status = port->write(frame.data() + offset, piece, written);
        if (status == IoStatus::Failed) {
            std::uint32_t errors = 0;
            ComStat stat;
            if (port->clearCommError(errors, &stat))
                channels.orAccumulatedErrors(channel, errors);
            return kWriteFailed;
        }
        if (written != piece)
            return kWriteTimedOut;  // the rest of the frame is not sent and nothing is recorded
        offset += piece;
    }
    // The buffer leaves sent frames out in the line-monitor modes and with showSentText 0.
    traffic.appendSent(channel, frame.data(), static_cast<std::int32_t>(frame.size()));
    return kTransmitted;
}

} // namespace kestrane
