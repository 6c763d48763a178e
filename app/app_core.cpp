#include "app/app_core.h"

#include "app/capture_lines.h"
#include "traffic/log_file.h"

#include "records/settings_files.h"
#include "traffic/display_zoom.h"
#include "comm/transmit.h"
#include "platform/port_resolver.h"

#include "records/channel_settings.h"

#include <cerrno>
#include <fstream>
#include <sstream>

namespace kestrane {

FrameRect startupFrame(int sizeCode, const FrameRect& screen, const FrameRect& available, int previousWidth,
                       int previousHeight)
{
    int w = previousWidth;
    int h = previousHeight;
    switch (sizeCode) {
    case 0: w = 640; h = 480; break;
    case 1: w = 670; h = 510; break;
    case 2: w = 800; h = 600; break;
    case 3: w = 1024; h = 768; break;
    case 4: w = 1280; h = 1024; break;
    case 5: return available;  // the whole frame on the screen, beside its panels
    default: break;
    }
    // Integer division truncates toward zero, as the centring asks, also for a frame larger than the screen.
    return FrameRect{screen.x + (screen.width - w) / 2, screen.y + (screen.height - h) / 2, w, h};
}

AppCore::AppCore(std::filesystem::path startDirectory, PortOpener opener, std::shared_ptr<const Clock> clock)
    : startDirectory_(std::move(startDirectory)),
      systemPorts_(!opener),
      clock_(clock ? std::move(clock) : std::make_shared<SystemClock>()),
      traffic_(*clock_),
      channels_(settings_, opener ? std::move(opener) : systemPortOpener(startDirectory_)),
      textTransfer_(sendState_, settings_.record,
                    [this](int channel, std::span<const std::uint8_t> frame) { return transmit(channel, frame); },
                    [this](int channel) { return channels_.running(channel); }),
      dioBoard_(openDioBoard(settings_.record.dioDriverNo, settings_.record.dioGroupNo))
{
    channels_.setSink(this);
    traffic_.setJournal(&journal_);
    channels_.setEventSink(this);
    timelineSettings_ = loadTimelineSettings(startDirectory_);
    captureSettings_ = loadCaptureSettings(startDirectory_);
    channels_.setAliasOpener(systemPathOpener());
    // Automatic logging that starts or stops failing is news for the device field.
    traffic_.setAutoLogNotifier([this] { channels_.signalDeviceEvent(); });
    // A lost remote line is tried again through ports.conf; a close stops a try under way.
    if (systemPorts_)
        channels_.setRetryOpener(systemRetryOpener(startDirectory_));
    zoomPercent_ = loadZoom(startDirectory_);
    // The switch for reconnecting lost devices lives in ports.conf, read when a device is lost.
    channels_.setReconnectPolicy([dir = startDirectory_] {
        std::ifstream in(dir / "ports.conf", std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return reconnectEnabled(text.str());
    });
    applySettings();
}

void AppCore::namePortsForThisRun(NamedPorts named)
{
    namedPorts_ = std::move(named);
    if (!systemPorts_)
        return;
    channels_.setOpener(systemPortOpener(startDirectory_, "/sys/class/tty/console/active", namedPorts_));
    channels_.setRetryOpener(systemRetryOpener(startDirectory_, "/sys/class/tty/console/active", namedPorts_));
}

AppCore::~AppCore()
{
    channels_.closeChannel(1);
    channels_.closeChannel(2);
}

bool AppCore::loadStartupSize() { return loadDrawSize(settings_, startDirectory_); }

bool AppCore::loadGeneralSettings()
{
    const bool read = loadQuellorn(settings_, startDirectory_);
    applySettings();
    return read;
}

bool AppCore::loadLineSettings() { return loadQuellorn1(settings_, startDirectory_); }

bool AppCore::loadSamplingSettings()
{
    const bool read = loadQuellorn2(settings_, startDirectory_);
    applySettings();
    return read;
}

void AppCore::applyStartupDisplayRule()
{
    fastDisplay_ = kestrane::applyStartupDisplayRule(settings_.record);
    applySettings();
}

void AppCore::setZoomPercent(int percent)
{
    zoomPercent_ = validZoom(percent);
    saveZoom(startDirectory_, zoomPercent_);  // a folder that cannot be written keeps it for this run only
}

void AppCore::setFastDisplay(int fast)
{
    fastDisplay_ = fast == 1 ? 1 : 0;  // one reading of the speed everywhere
    traffic_.setFastDisplay(fastDisplay_ == 1);
}

FileWriteResult AppCore::setCaptureSettings(const CaptureSettings& settings)
{
    const FileWriteResult written = saveCaptureSettings(startDirectory_, settings);
    if (written)
        captureSettings_ = settings;
    return written;
}

void AppCore::writePageCaptures()
{
    if (!captureSettings_.pageCaptures || settings_.sampling.autoLogging == 0) {
        pageStream_.reset();
        return;
    }
    const std::int32_t counter = traffic_.pageCounter();
    // Starting, or the record was cleared or renumbered: from the page in progress on.
    if (!pageStream_ || counter < pageCaptured_) {
        pageStream_ = std::make_unique<timeline::CaptureStream>(captureLines(*this, *captureSettings_.protocol), "Kestrane");
        pageStream_->startAfter(traffic_.journalAtPageStart(counter).value_or(journal_.lastSequence()));
        pageCaptured_ = counter;
    }
    if (pageCaptured_ >= counter)
        return;
    // The lines as they are now: a port opened or set anew since the last page.
    for (int channel : {1, 2})
        pageStream_->setRule(channel, frameRule(channel));
    pageStream_->setLines(captureLines(*this, *captureSettings_.protocol));
    for (; pageCaptured_ < counter; ++pageCaptured_) {
        std::vector<std::uint8_t> bytes;
        pageStream_->header(bytes);
        // A page older than the marks kept (a tick late by hundreds of pages) gets what is left.
        pageStream_->takeUntil(journal_, bytes, traffic_.journalAtPageStart(pageCaptured_ + 1).value_or(UINT64_MAX));
        std::filesystem::path file = autoLogPath(logDirectory(), fieldUtf8(settings_.sampling.autoLogPrefix), pageCaptured_);
        file.replace_extension(".pcapng");
        if (!writeFileAtomically(file, {std::span<const std::uint8_t>(bytes)}))
            ++pageCaptureFailures_;
    }
}

void AppCore::setLogDirectory(std::filesystem::path folder)
{
    logDirectory_ = std::move(folder);
    applySettings();
}

std::filesystem::path AppCore::logDirectory() const
{
    return logDirectory_.empty() ? startDirectory_ / "log" : logDirectory_;
}

void AppCore::applySettings()
{
    TrafficConfig config = trafficConfigFrom(settings_, fastDisplay_ == 1, startDirectory_);
    if (!logDirectory_.empty())
        config.logDirectory = logDirectory_;
    traffic_.configure(config);
    applySamplingSettings();
}

void AppCore::applySamplingSettings()
{
    samples_.configure(settings_.sampling);
    channels_.setSamplingActive(settings_.sampling.samplingCount > 0);
}

TransmitResult AppCore::transmit(int channel, std::span<const std::uint8_t> frame)
{
    return transmitFrame(channels_, *this, channel, frame);
}

void AppCore::closeChannel(int channel)
{
    textTransfer_.stop(channel, TransferEnd::ChannelClosed);
    channels_.closeChannel(channel);
}

void AppCore::takeSample(const std::uint8_t* bytes, std::size_t count)
{
    samples_.takeSample(bytes, count);
}

void AppCore::appendReceived(int channel, const std::uint8_t* bytes, std::size_t count)
{
    traffic_.appendReceived(channel, bytes, static_cast<std::int32_t>(count));
}

void AppCore::appendReceivedChunks(int channel, const std::uint8_t* bytes, std::size_t count, std::size_t chunkSize,
                                   const ReadMarks& marks)
{
    traffic_.appendReceivedChunks(channel, bytes, static_cast<std::int32_t>(count), static_cast<std::int32_t>(chunkSize),
                                  &marks);
}

void AppCore::appendSent(int channel, std::span<const std::uint8_t> frame, std::span<const ReadMarks::Arrival> pieces)
{
    // The buffer leaves sent frames out in the line-monitor modes and with showSentText 0.
    traffic_.appendSent(channel, frame.data(), static_cast<std::int32_t>(frame.size()), pieces);
}

void AppCore::lineAction(int channel, timeline::Action action, std::uint32_t value)
{
    timeline::Entry e;
    e.kind = timeline::Kind::Action;
    e.channel = static_cast<std::uint8_t>(channel);
    e.time = timeline::now();
    e.detail = static_cast<std::uint8_t>(action);
    e.value = value;
    traffic_.noteEvent(e);
}

void AppCore::portEvent(int channel, const PortEvent& event)
{
    timeline::Entry e;
    e.channel = static_cast<std::uint8_t>(channel);
    e.time = event.time;
    if (event.kind == PortEvent::Kind::ModemChange) {
        e.kind = timeline::Kind::ModemChange;
        e.detail = static_cast<std::uint8_t>(event.lines);  // the MS_* bits lie in the low byte
        e.value = event.changed;
        e.count = event.count;
    } else {
        e.kind = timeline::Kind::LineError;
        e.detail = static_cast<std::uint8_t>(event.error);
        e.value = event.lost;
    }
    traffic_.noteEvent(e);
}

timeline::FrameRule AppCore::frameRule(int channel)
{
    const int ch = channel == 2 ? 2 : 1;
    const Dcb dcb = channelLine(settings_.lineParams, ch).dcb;
    // An adapter that batches its bytes hides shorter gaps; a port that holds low latency, or
    // a line without such a setting (a pseudo-terminal, a network line), shows them.
    SerialPort* port = channels_.port(ch);
    const std::optional<bool> low = port ? port->lowLatency() : std::nullopt;
    const std::int64_t floor = low && !*low ? timeline::kBatchingFloorUs : timeline::kLowLatencyFloorUs;
    timeline::FrameRule rule = timeline::frameRuleFor(dcb.BaudRate, bitsPerCharacter(dcb), floor);
    if (const auto chosen = timelineSettings_.quietUs[static_cast<std::size_t>(ch - 1)])
        rule.quietUs = *chosen;
    return rule;
}

std::optional<std::int64_t> AppCore::frameQuietSetting(int channel) const
{
    return timelineSettings_.quietUs[channel == 2 ? 1 : 0];
}

FileWriteResult AppCore::setFrameQuietSetting(int channel, std::optional<std::int64_t> quietUs)
{
    if (quietUs && (*quietUs < kMinQuietUs || *quietUs > kMaxQuietUs))
        return FileWriteResult{EINVAL};
    TimelineSettings next = timelineSettings_;
    next.quietUs[channel == 2 ? 1 : 0] = quietUs;
    const FileWriteResult written = saveTimelineSettings(startDirectory_, next);
    timelineSettings_ = next;  // a folder that cannot be written keeps it for this run only
    return written;
}

SettingsSaveResults AppCore::saveSettings()
{
    SettingsSaveResults results;
    results[0] = {startDirectory_ / kQuellornFile, saveQuellorn(settings_, startDirectory_)};
    channels_.capture(1);
    channels_.capture(2);
    results[1] = {startDirectory_ / kQuellorn1File, saveQuellorn1(settings_, startDirectory_)};
    results[2] = {startDirectory_ / kQuellorn2File, saveQuellorn2(settings_, startDirectory_)};
    results[3] = {startDirectory_ / kDrawSizeFile, saveDrawSize(settings_, startDirectory_)};
    return results;
}

SettingsSaveResults AppCore::shutdown()
{
    const SettingsSaveResults saved = saveSettings();
    textTransfer_.stop(1, TransferEnd::ChannelClosed);
    textTransfer_.stop(2, TransferEnd::ChannelClosed);
    // A channel still opening is given up as well.
    for (int channel : {1, 2})
        if (channels_.running(channel) || channels_.opening(channel))
            closeChannel(channel);
    dio_.clearOutputs();
    dioBoard_->close();
    dioBoard_->close();
    return saved;
}

} // namespace kestrane
