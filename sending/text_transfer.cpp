#include "sending/text_transfer.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrane {

namespace {

// Reads until `n` bytes arrived or the file ends; -1 on a read error.
ssize_t readBlock(int fd, std::uint8_t* buf, std::size_t n)
{
    std::size_t got = 0;
    while (got < n) {
        const ssize_t r = ::read(fd, buf + got, n - got);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (r == 0)
            break;
        got += static_cast<std::size_t>(r);
    }
    return static_cast<ssize_t>(got);
}

TransferEnd endFor(TransmitResult result)
{
    switch (result) {
    case TransmitResult::WriteFailed: return TransferEnd::CouldNotSend;
    case TransmitResult::WriteTimedOut: return TransferEnd::TimedOut;
    default: return TransferEnd::OtherError;
    }
}

} // namespace

TextTransfer::TextTransfer(SendState& sendState, const SettingsRecord& settings, TransmitFn transmit,
                           std::function<bool(int)> channelOpen)
    : sendState_(sendState), settings_(settings), transmit_(std::move(transmit)), channelOpen_(std::move(channelOpen))
{
}

TextTransfer::~TextTransfer()
{
    for (Channel& c : channels_)
        closeFile(c);
}

TextTransfer::Channel* TextTransfer::slot(int channel)
{
    return channel == 1 || channel == 2 ? &channels_[static_cast<std::size_t>(channel - 1)] : nullptr;
}

const TextTransfer::Channel* TextTransfer::slot(int channel) const
{
    return channel == 1 || channel == 2 ? &channels_[static_cast<std::size_t>(channel - 1)] : nullptr;
}

void TextTransfer::closeFile(Channel& c)
{
    if (c.fd >= 0)
        ::close(c.fd);
    c.fd = -1;
}

TextTransfer::StartResult TextTransfer::start(int channel, const std::filesystem::path& file)
{
    Channel* c = slot(channel);
    if (!c)
        return StartResult::BadChannel;
    if (c->fd >= 0)
        return StartResult::AlreadyRunning;
    // Only regular files: a FIFO or a device could block the window's thread on every read.
    // O_NONBLOCK keeps the open itself from waiting for a FIFO's writer.
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return StartResult::CannotOpen;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return StartResult::CannotOpen;
    }
    c->fd = fd;
    c->file = file;
    c->size = static_cast<std::uint64_t>(st.st_size);
    c->sent = 0;
    return StartResult::Started;
}

TransferTick TextTransfer::tick(int channel)
{
    TransferTick result;
    Channel* c = slot(channel);
    if (!c || c->fd < 0)
        return result;

    const auto end = [&](TransferEnd why) {
        closeFile(*c);
        result.ended = why;
        return result;
    };
    // A port closed behind the transfer's back ends it as cleanly as the close hook does.
    if (channelOpen_ && !channelOpen_(channel))
        return end(TransferEnd::ChannelClosed);

    std::array<std::uint8_t, kBlockBytes> block{};
    const ssize_t got = readBlock(c->fd, block.data(), block.size());
    if (got < 0)
        return end(TransferEnd::ReadFailed);
    result.blockBytes = static_cast<std::size_t>(got);
    const std::span<const std::uint8_t> bytes(block.data(), result.blockBytes);

    TransmitResult sent = TransmitResult::Transmitted;
    if (!bytes.empty()) {
        if (settings_.showSentText != 0) {
            // Shown as sent data: the block goes out through the shared send buffer.
            sendState_.sendBuffer.clear();
            sendState_.sendBuffer.assign(bytes);
            sent = transmit_(channel, sendState_.sendBuffer.frame());
        } else {
            sent = transmit_(channel, bytes);
        }
    }
    if (sent != TransmitResult::Transmitted)
        return end(endFor(sent));
    c->sent += result.blockBytes;
    if (result.blockBytes == kBlockBytes) {
        result.continues = true;
        return result;
    }
    return end(TransferEnd::Completed);
}

void TextTransfer::stop(int channel, TransferEnd why)
{
    Channel* c = slot(channel);
    if (!c || c->fd < 0)
        return;
    closeFile(*c);
    if (onStopped)
        onStopped(channel, why);
}

bool TextTransfer::running(int channel) const
{
    const Channel* c = slot(channel);
    return c && c->fd >= 0;
}

std::uint64_t TextTransfer::bytesSent(int channel) const
{
    const Channel* c = slot(channel);
    return c ? c->sent : 0;
}

std::uint64_t TextTransfer::fileSize(int channel) const
{
    const Channel* c = slot(channel);
    return c ? c->size : 0;
}

std::filesystem::path TextTransfer::file(int channel) const
{
    const Channel* c = slot(channel);
    return c ? c->file : std::filesystem::path{};
}

} // namespace kestrane
