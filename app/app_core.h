// The application core: the one owner of every process-wide record (settings, channels, the
// traffic buffer, the send state, the digital I/O image). Built once by the program entry and
// handed by reference to the windows; tests build their own.
#pragma once

#include "records/settings_records.h"
#include "comm/channel.h"
#include "comm/transmit.h"
#include "macro/macro_memory.h"
#include "platform/atomic_file.h"
#include "platform/clock.h"
#include "platform/dio_board.h"
#include "sampling/dio_image.h"
#include "sampling/sample_table.h"
#include "sending/character_send.h"
#include "sending/send_buffer.h"
#include "sending/text_transfer.h"
#include "app/capture_settings.h"
#include "app/timeline_settings.h"
#include "timeline/capture_stream.h"
#include "settings/line_status.h"
#include "timeline/frames.h"
#include "timeline/journal.h"
#include "traffic/traffic_buffer.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>

namespace kestrane {

struct FrameRect {
    int x = 0, y = 0, width = 0, height = 0;
};

// The frame at start-up, decorations included: size from the size code (0..4 from the table,
// any other code keeps `previous`), centred on `screen` with the division truncating toward
// zero; code 5 takes the screen's `available` area (less panels and docks), so the whole frame
// fits on the screen.
FrameRect startupFrame(int sizeCode, const FrameRect& screen, const FrameRect& available, int previousWidth = 670,
                       int previousHeight = 510);

// One settings file written at shutdown: where, and how the write went (the system's reason
// when it failed).
struct SettingsFileResult {
    std::filesystem::path file;
    FileWriteResult result;
};
// The four files in the order they are written: Quellorn.dat, Quellorn1.dat, Quellorn2.dat, draw_size.dat.
using SettingsSaveResults = std::array<SettingsFileResult, 4>;

class AppCore : private ReceiveSink, private SentSink, private LineEventSink {
public:
    // `opener` maps COM numbers to ports; by default through ports.conf in `startDirectory`.
    explicit AppCore(std::filesystem::path startDirectory, PortOpener opener = {},
                     std::shared_ptr<const Clock> clock = {});
    ~AppCore();
    AppCore(const AppCore&) = delete;
    AppCore& operator=(const AppCore&) = delete;

    [[nodiscard]] Settings& settings() { return settings_; }
    [[nodiscard]] const Settings& settings() const { return settings_; }
    [[nodiscard]] Channels& channels() { return channels_; }
    [[nodiscard]] const Clock& clock() const { return *clock_; }
    [[nodiscard]] TrafficBuffer& traffic() { return traffic_; }
    // The line's timeline beside the record: chunks with their times, line errors, modem
    // changes, actions (cleared with the traffic). The traffic buffer writes it, so its order
    // is the record's; `TrafficBuffer::recordIndex` finds an entry's byte.
    [[nodiscard]] timeline::Journal& journal() { return journal_; }
    // Where a channel's frames end (GUI thread): 3.5 characters at its line settings, never
    // below what its port lets the program tell apart (kBatchingFloorUs when the driver refused
    // low latency, else kLowLatencyFloorUs), or the quiet time the user chose.
    [[nodiscard]] timeline::FrameRule frameRule(int channel);
    // The quiet time the user chose for a channel (nothing: the line's rule), kept in the start
    // folder's timeline.conf; a change is written there at once (values outside kMinQuietUs ..
    // kMaxQuietUs are refused, changing nothing).
    [[nodiscard]] std::optional<std::int64_t> frameQuietSetting(int channel) const;
    FileWriteResult setFrameQuietSetting(int channel, std::optional<std::int64_t> quietUs);
    // The send buffer, the text being converted and the checksum state (GUI thread only).
    [[nodiscard]] SendState& sendState() { return sendState_; }
    // The character send dialogs' records and histories, kept for the whole run.
    [[nodiscard]] SendDialogMemory& sendDialogMemory() { return sendDialogMemory_; }
    // The text-file transfers on CH1 and CH2.
    [[nodiscard]] TextTransfer& textTransfer() { return textTransfer_; }
    [[nodiscard]] const std::filesystem::path& startDirectory() const { return startDirectory_; }

    // Devices named for COM numbers for this run only (a program's command line), over
    // ports.conf's entries; nothing is written. Only with the program's own openers.
    void namePortsForThisRun(NamedPorts named);
    [[nodiscard]] const NamedPorts& namedPorts() const { return namedPorts_; }

    // The display's magnification in percent (100, 150, 200), read from the start folder's
    // display.conf at construction; a change is written there at once.
    [[nodiscard]] int zoomPercent() const { return zoomPercent_; }
    void setZoomPercent(int percent);

    // Display speed: 1 fast display, 0 low-speed display (any other value given counts as 0).
    [[nodiscard]] int fastDisplay() const { return fastDisplay_; }
    void setFastDisplay(int fast);

    // The folder of the automatic logs: "log" below the start directory unless set here (a
    // program without a window may keep its logs elsewhere). Takes effect at once.
    void setLogDirectory(std::filesystem::path folder);
    [[nodiscard]] std::filesystem::path logDirectory() const;

    // Our own capture settings (capture.conf of the start folder, read at construction); a
    // change is written there at once.
    [[nodiscard]] const CaptureSettings& captureSettings() const { return captureSettings_; }
    FileWriteResult setCaptureSettings(const CaptureSettings& settings);
    // With automatic logging and page captures on: writes <page>.pcapng beside each page the
    // buffer completed since the last call, with the journal's entries of that page (a frame
    // open at a page's end goes into the next page's capture). GUI thread: the window's timer,
    // the recorder's look. The number of page captures that could not be written.
    void writePageCaptures();
    [[nodiscard]] std::uint32_t pageCaptureFailures() const { return pageCaptureFailures_; }

    // Hands the settings that the receive threads and appenders use to the traffic buffer and
    // to sampling. Called after the settings files are read and after every change of those settings.
    void applySettings();
    // Hands the sampling fields to the sample table and switches CH1's sampling on or off.
    void applySamplingSettings();

    // Writes the frame to CH1 or CH2 and records it (transmitFrame).
    TransmitResult transmit(int channel, std::span<const std::uint8_t> frame);

    // Closes a channel once what runs on it has ended: a text transfer on the channel stops
    // first, with its file closed. Every close of an open channel (COM-port command, exit)
    // goes through here.
    void closeChannel(int channel);

    // Start-up file steps; each returns false when its file was missing (defaults in place).
    bool loadStartupSize();
    bool loadGeneralSettings();
    bool loadLineSettings();
    bool loadSamplingSettings();
    void applyStartupDisplayRule();

    // The settings files of shutdown, in their order, after the line parameters of the open
    // ports were read back. A file that cannot be written is skipped; its result says why.
    SettingsSaveResults saveSettings();
    // Shutdown after the close question: settings, channels, digital I/O. What saveSettings found.
    SettingsSaveResults shutdown();

    // The fields sampled out of CH1's chunks (written by the CH1 receive thread).
    [[nodiscard]] SampleTable& samples() { return samples_; }
    // The digital I/O image: macros, the I/O monitor and a board driver read and change it.
    [[nodiscard]] DioImage& dio() { return dio_; }
    // The board behind the image; replaced in tests.
    [[nodiscard]] DioBoard& dioBoard() { return *dioBoard_; }
    void setDioBoard(std::unique_ptr<DioBoard> board) { dioBoard_ = std::move(board); }
    // The line-status windows' latched error words and hold switches, kept for the run.
    LineStatusMemory lineStatus;

    // The macro machine: registers and bits live for the whole run (GUI thread only).
    [[nodiscard]] MacroMemory& macroMemory() { return *macroMemory_; }

private:
    void takeSample(const std::uint8_t* bytes, std::size_t count) override;
    void appendReceived(int channel, const std::uint8_t* bytes, std::size_t count) override;
    void appendReceivedChunks(int channel, const std::uint8_t* bytes, std::size_t count, std::size_t chunkSize,
                              const ReadMarks& marks) override;
    void appendSent(int channel, std::span<const std::uint8_t> frame,
                    std::span<const ReadMarks::Arrival> pieces) override;
    void lineAction(int channel, timeline::Action action, std::uint32_t value) override;
    void portEvent(int channel, const PortEvent& event) override;

    std::filesystem::path startDirectory_;
    bool systemPorts_ = true;  // the program's own openers (none handed in)
    NamedPorts namedPorts_;
    std::filesystem::path logDirectory_;  // empty: "log" below the start directory
    std::shared_ptr<const Clock> clock_;
    Settings settings_;
    int fastDisplay_ = 1;
    int zoomPercent_ = 100;
    TimelineSettings timelineSettings_;
    CaptureSettings captureSettings_;
    std::unique_ptr<timeline::CaptureStream> pageStream_;  // while page captures run
    std::int32_t pageCaptured_ = 0;                         // the next page whose capture is due
    std::uint32_t pageCaptureFailures_ = 0;
    SendState sendState_;
    SendDialogMemory sendDialogMemory_;
    timeline::Journal journal_;  // before the buffer, which writes into it
    TrafficBuffer traffic_;
    SampleTable samples_;
    Channels channels_;  // after the buffer and the samples: its threads write both until they are joined
    TextTransfer textTransfer_;  // after the channels it writes to
    DioImage dio_;
    std::unique_ptr<DioBoard> dioBoard_;
    std::unique_ptr<MacroMemory> macroMemory_ = std::make_unique<MacroMemory>();
};

} // namespace kestrane
