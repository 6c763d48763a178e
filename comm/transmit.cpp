#include "comm/transmit.h"

#include "comm/channel.h"

#include <algorithm>

namespace kestrane {

TransmitResult transmitFrame(Channels& channels, SentSink& record, int channel, std::span<const std::uint8_t> frame)
{
    if (channel != 1 && channel != 2)
        return TransmitResult::BadChannel;

    SerialPort* port = channels.port(channel);
    std::size_t offset = 0;
    while (offset < frame.size()) {
        const std::size_t piece = std::min(frame.size() - offset, Channels::kPieceSize);
        if (!port)
            return TransmitResult::WriteFailed;
        std::size_t written = 0;
        // A piece counts as written once it has left the line, so a line held by CTS or XOFF
        // runs into the write time-out instead of vanishing into the driver's buffer.
        const IoStatus status = port->writeAndDrain(frame.data() + offset, piece, written);
        if (status == IoStatus::Failed) {
            std::uint32_t errors = 0;
            ComStat stat;
            port->clearCommError(errors, &stat);  // the bits it took count even if it fails
            channels.orAccumulatedErrors(channel, errors);
            return TransmitResult::WriteFailed;
        }
        if (written != piece)
            return TransmitResult::WriteTimedOut;  // the rest of the frame is not sent and nothing is recorded
        offset += piece;
    }
    record.appendSent(channel, frame);
    return TransmitResult::Transmitted;
}

} // namespace kestrane
