// Unattended recording: the application core without a window. CH1 and CH2 are opened from the
// settings files of a folder (or options), every byte goes into the traffic buffer as in the
// window, and automatic logging writes each full page to the next numbered .LOG file. The
// recorder watches the channels (losses, reconnections, line errors), the pages and the log
// folder, tells its user, and on a stop signal writes the page in progress as a loadable log.
#pragma once

#include "capture/payload_protocol.h"
#include "headless/capture_files.h"
#include "headless/console.h"
#include "headless/port_setup.h"
#include "headless/stop_signals.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "timeline/journal.h"

namespace kestrane {
class AppCore;
}

namespace kestrane::headless {

struct RecordOptions {
    PortOptions ports;                              // instead of the settings'
    std::optional<std::filesystem::path> logDir;    // instead of <folder>/log
    std::optional<std::string> prefix;              // instead of the settings' prefix
    bool timeStamps = false;                        // store a time stamp before every received chunk
    int checkpointSeconds = 60;                     // write the page in progress this often (0: never)
    bool events = false;                            // print the line's events (errors, modem changes, actions) as they happen
    bool pcapng = false;                            // also write the timeline as rotating .pcapng captures
    RotationRule rotation;                          // ... ending each file by size or time, keeping so many
    const pcapng::PayloadProtocol* protocol = &pcapng::kPayloadProtocols[0];  // named in the captures
};

class Recorder {
public:
    // Exit codes of the program.
    static constexpr int kStopped = 0;     // a stop signal ended the recording
    static constexpr int kFailed = 1;      // no channel left, or the last page not written
    static constexpr int kCannotStart = 2; // a port, the log folder or the settings

    Recorder(AppCore& core, RecordOptions options, Console& console);
    ~Recorder();
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    // Reads the settings files of the core's folder, applies the options, prepares the log
    // folder and opens the channels. kStopped (0) when recording runs, else kCannotStart with
    // the reason told.
    int start();
    // Records until a stop signal or until no channel is left (each lost for good); the exit code.
    int run(StopSignals& stops);

    // One look at everything: device events, finished pages, failed writes, line errors, the
    // checkpoint and the status line. `nowMs` on the core's clock.
    void watch(std::int64_t nowMs);
    // Ends the recording: channels closed (what they read is stored), the page in progress
    // written. False when that page could not be written.
    bool stop(const std::string& why);

    [[nodiscard]] std::string statusText() const;
    // The number of the first page this run writes.
    [[nodiscard]] std::int32_t firstPage() const { return firstPage_; }
    [[nodiscard]] const std::filesystem::path& logDirectory() const { return logDir_; }

private:
    struct Watched {
        int state = 0;        // DeviceStatus::State
        bool awaiting = false;
        bool held = false;    // the far end holds the line (told once each way)
        std::uint32_t errorWord = 0;       // line errors not yet told
        std::uint32_t errorsSeen = 0;      // every kind seen since the start
        std::int64_t lastErrorTold = -1;   // when they were last told (ms)
    };

    [[nodiscard]] bool used(int channel) const;
    [[nodiscard]] std::string channelName(int channel) const;
    [[nodiscard]] std::filesystem::path pagePath(std::int32_t page) const;
    void watchDevices();
    void watchPages();
    void watchLineErrors(std::int64_t nowMs);
    void checkpoint(std::int64_t nowMs);
    // Prints what the journal holds since the last look, apart from data (with --events).
    void watchJournal();
    // Writes what the timeline closed into the capture files (with --pcapng); `final` ends the last one.
    void watchCapture(bool final = false);
    [[nodiscard]] bool anyChannelLeft() const;

    AppCore& core_;
    RecordOptions options_;
    Console& console_;
    std::filesystem::path logDir_;
    std::string prefix_;
    std::int32_t firstPage_ = 0;
    std::int32_t pagesSeen_ = 0;       // the page counter last looked at
    std::uint32_t failuresSeen_ = 0;   // failed page writes already told
    std::int32_t heldFrom_ = -1;       // the first page held back for want of room, while it lasts
    std::array<Watched, 2> watched_{};
    unsigned losses_ = 0;
    unsigned reconnections_ = 0;
    std::int64_t lastCheckpoint_ = 0;
    std::int64_t writtenState_ = -1;   // page and length of the last checkpoint
    bool running_ = false;
    int journalFd_ = -1;               // made readable when an event goes into the journal (--events)
    std::uint64_t journalSeen_ = 0;    // the last journal entry looked at
    std::vector<timeline::Entry> entries_;  // kept between looks, so a look allocates nothing
    std::unique_ptr<CaptureFiles> capture_;  // with --pcapng
    std::vector<std::string> captureTold_;
};

// The number after the highest "<prefix><n>.log" in `folder`, 0 when there is none: a new run
// never overwrites the pages of an earlier one.
[[nodiscard]] std::int32_t nextLogNumber(const std::filesystem::path& folder, const std::string& prefix);

} // namespace kestrane::headless
