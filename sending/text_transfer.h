// Text-file transfer: a file goes out on CH1 or CH2 as raw bytes, one block of at most 100 bytes
// per tick of the channel's transfer timer (the first tick at once, then every 500 ms). Both
// channels can transfer at the same time. This is the logic without windows: the main window
// owns the timers and calls tick(); the sending commands show the messages and the progress.
#pragma once

#include "sending/send_buffer.h"
#include "sending/send_result.h"
#include "records/settings_records.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>

namespace kestrane {

// Why a transfer ended.
enum class TransferEnd {
    Completed,      // the file's last (short or empty) block went out
    CouldNotSend,   // transmit result 1
    TimedOut,       // transmit result 2
    OtherError,     // any other transmit result
    ReadFailed,     // the file could not be read any further
    Cancelled,      // the user cancelled
    ChannelClosed,  // the channel was closed (COM-port command, exit)
};

// What one tick did.
struct TransferTick {
    bool continues = false;            // a full block went out: tick again in kTickMs
    std::optional<TransferEnd> ended;  // the transfer ended at this tick (file closed)
    std::size_t blockBytes = 0;        // bytes read from the file at this tick
};

class TextTransfer {
public:
    static constexpr std::size_t kBlockBytes = 100;
    static constexpr int kFirstTickMs = 1;
    static constexpr int kTickMs = 500;

    enum class StartResult {
        Started,
        CannotOpen,      // missing, unreadable or not a regular file
        AlreadyRunning,  // this channel transfers already
        BadChannel,      // neither 1 nor 2
    };

    // `transmit` writes a block and records it (the traffic buffer leaves it out when sent text
    // is not shown or CH2 is a line monitor); `channelOpen` tells whether a channel's port is open.
    TextTransfer(SendState& sendState, const SettingsRecord& settings, TransmitFn transmit,
                 std::function<bool(int channel)> channelOpen);
    ~TextTransfer();
    TextTransfer(const TextTransfer&) = delete;
    TextTransfer& operator=(const TextTransfer&) = delete;

    // Opens `file` for channel 1 or 2. The caller then starts the channel's timer with
    // kFirstTickMs.
    StartResult start(int channel, const std::filesystem::path& file);

    // One block: reads up to 100 bytes and transmits them (through the send buffer while sent
    // text is shown). A full block continues the transfer; a short one, an error, a closed channel
    // or a read failure ends it and closes the file. A channel without a transfer does nothing.
    TransferTick tick(int channel);

    // Ends a running transfer from outside (cancel, channel close): closes its file and tells
    // onStopped. Nothing happens when the channel does not transfer.
    void stop(int channel, TransferEnd why);

    [[nodiscard]] bool running(int channel) const;
    // Bytes written so far and the file's size when the transfer started.
    [[nodiscard]] std::uint64_t bytesSent(int channel) const;
    [[nodiscard]] std::uint64_t fileSize(int channel) const;
    [[nodiscard]] std::filesystem::path file(int channel) const;

    // Told when stop() ended a running transfer (not when tick() did: its caller has the result).
    std::function<void(int channel, TransferEnd why)> onStopped;

private:
    struct Channel {
        int fd = -1;
        std::filesystem::path file;
        std::uint64_t size = 0;
        std::uint64_t sent = 0;
    };

    [[nodiscard]] Channel* slot(int channel);
    [[nodiscard]] const Channel* slot(int channel) const;
    static void closeFile(Channel& c);

    SendState& sendState_;
    const SettingsRecord& settings_;
    TransmitFn transmit_;
    std::function<bool(int)> channelOpen_;
    std::array<Channel, 2> channels_{};
};

} // namespace kestrane
