#include "comm/transmit.h"

#include "comm/channel.h"

#include <algorithm>
#include <array>
#include <vector>

namespace kestrane {

TransmitResult transmitFrame(Channels& channels, SentSink& record, int channel, std::span<const std::uint8_t> frame)
{
    if (channel != 1 && channel != 2)
        return TransmitResult::BadChannel;

    SerialPort* port = channels.port(channel);
    // When each piece was handed to the device: a send buffer's frame fits the array; a longer
    // one (a caller of its own) takes the vector.
    constexpr std::size_t kStampedPieces = 8;
    std::array<ReadMarks::Arrival, kStampedPieces> stamps;
    std::vector<ReadMarks::Arrival> moreStamps;
    const std::size_t pieces = (frame.size() + Channels::kPieceSize - 1) / Channels::kPieceSize;
    if (pieces > kStampedPieces)
        moreStamps.resize(pieces);
    ReadMarks::Arrival* stamp = pieces > kStampedPieces ? moreStamps.data() : stamps.data();
    std::size_t offset = 0;
    while (offset < frame.size()) {
        const std::size_t piece = std::min(frame.size() - offset, Channels::kPieceSize);
        if (!port)
            return TransmitResult::WriteFailed;
        stamp[offset / Channels::kPieceSize] = {static_cast<std::uint32_t>(offset), timeline::now()};
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
    record.appendSent(channel, frame, std::span<const ReadMarks::Arrival>(stamp, pieces));
    return TransmitResult::Transmitted;
}

} // namespace kestrane
