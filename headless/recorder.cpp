#include "headless/recorder.h"

#include "app/app_core.h"
#include "app/capture_lines.h"
#include "headless/device_words.h"
#include "platform/system_reason.h"
#include "traffic/log_file.h"

#include "headless/timeline_text.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <limits>
#include <vector>

namespace kestrane::headless {

namespace {

std::string withThousands(std::uint64_t n)
{
    // Built by appending: GCC 12 at -O3 misreads inserts into the string (-Wrestrict).
    const std::string digits = std::to_string(n);
    std::string out;
    out.reserve(digits.size() + digits.size() / 3);
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out += ',';
        out += digits[i];
    }
    return out;
}

// Why pages cannot be written into `folder`, as well as can be told afterwards.
std::string lineErrorText(std::uint32_t word)
{
    static constexpr std::pair<std::uint32_t, const char*> kNames[] = {
        {CE_FRAME, "framing"}, {CE_RXPARITY, "parity"}, {CE_OVERRUN, "overrun"}, {CE_BREAK, "break"},
        {CE_RXOVER, "input queue full"}, {CE_TXFULL, "output queue full"}, {CE_IOE, "I/O"}, {CE_MODE, "mode"}};
    std::string text;
    for (const auto& [bit, name] : kNames)
        if (word & bit)
            text += (text.empty() ? "" : ", ") + std::string(name);
    return text.empty() ? "unknown" : text;
}

// "64.1 MiB"
std::string mibText(std::uint64_t bytes)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MiB", static_cast<double>(bytes) / (1 << 20));
    return text;
}

const char* modeText(std::int32_t ch2Mode)
{
    switch (ch2Mode) {
    case Ch2Mode::NotUsed: return "CH1 only";
    case Ch2Mode::MonitorT: return "line monitor, T connection";
    case Ch2Mode::MonitorRelay: return "line monitor, relay";
    default: return "two ports";
    }
}

constexpr std::int64_t kErrorReportMs = 60'000;
constexpr int kCaptureLookMs = 200;  // line errors are told at most once a minute per channel

} // namespace

std::int32_t nextLogNumber(const std::filesystem::path& folder, const std::string& prefix)
{
    // The name rule of the pages (a '/' of the prefix becomes '_'), taken from the rule itself.
    const std::string first = autoLogPath(folder, prefix, 0).filename().string();
    const std::string head = first.substr(0, first.size() - std::string("0.log").size());
    std::int64_t next = 0;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.size() <= head.size() + 4 || name.compare(0, head.size(), head) != 0
            || name.compare(name.size() - 4, 4, ".log") != 0)
            continue;
        const char* begin = name.data() + head.size();
        const char* end = name.data() + name.size() - 4;
        std::int64_t n = 0;
        const auto [at, err] = std::from_chars(begin, end, n);
        if (err == std::errc{} && at == end && n >= 0 && (end - begin == 1 || *begin != '0'))
            next = std::max(next, n + 1);
    }
    return static_cast<std::int32_t>(std::min<std::int64_t>(next, std::numeric_limits<std::int32_t>::max()));
}

Recorder::Recorder(AppCore& core, RecordOptions options, Console& console)
    : core_(core), options_(std::move(options)), console_(console)
{
}

Recorder::~Recorder()
{
    if (running_)
        stop("ended");
    if (journalFd_ >= 0) {
        core_.traffic().setJournalNotifier({});
        ::close(journalFd_);
    }
}

bool Recorder::used(int channel) const { return channel == 1 || core_.settings().record.ch2Mode != Ch2Mode::NotUsed; }

std::string Recorder::channelName(int channel) const
{
    const DeviceStatus& d = core_.channels().device(channel);
    const std::string port = portName(core_, d.comNumber);
    std::string text = "CH" + std::to_string(channel) + " " + port;
    if (!d.path.empty() && d.path != port)
        text += " (" + d.path + ")";
    return text;
}

std::filesystem::path Recorder::pagePath(std::int32_t page) const { return autoLogPath(logDir_, prefix_, page); }

int Recorder::start()
{
    loadSettings(core_, options_.ports);
    Settings& s = core_.settings();
    // No display: the display mode only decides whether received chunks carry a time stamp.
    s.record.displayMode = options_.timeStamps ? DisplayMode::TimeStampedAsc : DisplayMode::Asc;
    s.sampling.autoLogging = 1;
    if (options_.prefix)
        setFieldUtf8(s.sampling.autoLogPrefix, *options_.prefix);
    // The page names as the traffic buffer spells them (the field is code page 932).
    prefix_ = fieldUtf8(s.sampling.autoLogPrefix);
    logDir_ = std::filesystem::absolute(options_.logDir.value_or(core_.startDirectory() / "log"));
    core_.setLogDirectory(logDir_);  // also hands the settings above to the traffic buffer

    // The folders this start makes, deepest first: a start that fails takes them away again.
    std::vector<std::filesystem::path> made;
    std::error_code ec;
    for (auto p = logDir_; !std::filesystem::exists(p, ec) && p.has_relative_path(); p = p.parent_path())
        made.push_back(p);
    const auto unmake = [&made] {
        std::error_code ignored;
        for (const auto& p : made)
            std::filesystem::remove(p, ignored);  // only while empty
    };
    std::filesystem::create_directories(logDir_, ec);
    if (ec || ::access(logDir_.c_str(), W_OK) != 0) {
        console_.event("cannot use the log folder " + logDir_.string() + ": "
                       + systemReason(ec ? ec.value() : errno, ReasonLanguage::English));
        unmake();
        return kCannotStart;
    }

    TrafficBuffer& traffic = core_.traffic();
    traffic.clearTraffic();
    // Events are printed as they happen: the journal wakes the loop.
    if (options_.events && journalFd_ < 0) {
        journalFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        if (journalFd_ >= 0)
            traffic.setJournalNotifier([fd = journalFd_] {
                const std::uint64_t one = 1;
                [[maybe_unused]] const auto r = ::write(fd, &one, sizeof one);
            });
    }
    journalSeen_ = core_.journal().lastSequence();
    const std::uint64_t captureFrom = journalSeen_;  // the opens' actions set the control lines
    firstPage_ = nextLogNumber(logDir_, prefix_);
    traffic.startPagesAt(firstPage_);
    pagesSeen_ = firstPage_;
    failuresSeen_ = traffic.autoLogFailures();

    if (const std::string why = openChannels(core_, options_.ports); !why.empty()) {
        console_.event(why);
        unmake();
        return kCannotStart;
    }
    for (int channel : {1, 2})
        watched_[static_cast<std::size_t>(channel - 1)].state = static_cast<int>(core_.channels().device(channel).state);
    if (options_.pcapng) {
        capture_ = std::make_unique<CaptureFiles>(logDir_, prefix_, options_.rotation,
                                                  captureLines(core_, *options_.protocol),
                                                  "kestrane-record " KESTRANE_VERSION);
        for (int channel : {1, 2})
            if (used(channel))
                capture_->setRule(channel, core_.frameRule(channel));
        const bool begun = capture_->start(captureFrom, timeline::now().monoUs, captureTold_);
        for (const std::string& told : captureTold_)
            console_.event(told);
        captureTold_.clear();
        if (!begun) {
            capture_.reset();
            core_.closeChannel(2);
            core_.closeChannel(1);
            unmake();
            return kCannotStart;
        }
    }
    running_ = true;
    // Settings from the settings file that the line refused: it runs at the defaults, as in
    // the window (settings given with --line are never replaced).
    for (int channel : {1, 2})
        if (used(channel) && core_.channels().device(channel).refusal.any())
            console_.event(channelName(channel) + " does not take its stored line settings (it refused "
                           + refusedSettings(core_, channel) + "): recording at the defaults");

    std::string text = "recording " + channelName(1);
    if (used(2))
        text += ", " + channelName(2);
    text += std::string(" (") + modeText(s.record.ch2Mode) + "); pages " + pagePath(firstPage_).string() + " on";
    if (capture_)
        text += "; captures " + capture_->currentFile().string() + " on";
    console_.event(text);
    watchJournal();  // the opens
    return kStopped;
}

int Recorder::run(StopSignals& stops)
{
    Channels& channels = core_.channels();
    pollfd fds[4] = {{stops.fd(), POLLIN, 0}, {channels.deviceEventFd(), POLLIN, 0}, {channels.watchFd(), POLLIN, 0},
                     {journalFd_, POLLIN, 0}};
    lastCheckpoint_ = core_.clock().tickMs();
    while (true) {
        watch(core_.clock().tickMs());
        if (!anyChannelLeft()) {
            stop("no channel is left: every device is lost and none is waited for");
            return kFailed;
        }
        // One look a second keeps the status line and the checkpoint current; nothing else wakes
        // the recorder while the line is quiet.
        // Captures take the closed frames a few times a second, so the journal never laps them.
        if (::poll(fds, journalFd_ >= 0 ? 4 : 3, capture_ ? kCaptureLookMs : 1000) < 0 && errno != EINTR) {
            stop("cannot wait for events: " + systemReason(errno, ReasonLanguage::English));
            return kFailed;
        }
        if (fds[0].revents & POLLIN) {
            if (const int signal = stops.take())
                return stop(std::string("stopped by ") + stopSignalName(signal)) ? kStopped : kFailed;
        }
        if ((fds[1].revents | fds[2].revents) & POLLIN)
            watchDevices();
        if (journalFd_ >= 0 && (fds[3].revents & POLLIN)) {
            std::uint64_t count = 0;
            [[maybe_unused]] const auto r = ::read(journalFd_, &count, sizeof count);
        }
    }
}

void Recorder::watch(std::int64_t nowMs)
{
    watchJournal();
    watchCapture();
    core_.writePageCaptures();  // beside each page, when capture.conf says so
    watchPages();
    watchLineErrors(nowMs);
    checkpoint(nowMs);
    console_.status(statusText());
}

void Recorder::watchDevices()
{
    Channels& channels = core_.channels();
    if (!channels.handleDeviceEvents())
        return;
    for (int channel : {1, 2}) {
        Watched& w = watched_[static_cast<std::size_t>(channel - 1)];
        const DeviceStatus& d = channels.device(channel);
        const int state = static_cast<int>(d.state);
        if (d.held != w.held) {
            // The server suspended the flow (or resumed it): nothing goes to the line meanwhile.
            w.held = d.held;
            console_.event(channelName(channel) + (d.held ? " held by its server (flow control suspended): nothing "
                                                             "is sent to the line until it resumes"
                                                           : " released by its server: sending goes on"));
        }
        if (state == w.state && d.awaiting == w.awaiting)
            continue;
        if (d.state == DeviceStatus::State::Lost && w.state != state) {
            ++losses_;
            console_.event(channelName(channel) + " lost: " + lossText(d));
        } else if (d.state == DeviceStatus::State::Open && w.state == static_cast<int>(DeviceStatus::State::Lost)) {
            ++reconnections_;
            console_.event(channelName(channel) + " reconnected; recording goes on");
        }
        w.state = state;
        w.awaiting = d.awaiting;
    }
}

void Recorder::watchJournal()
{
    if (!options_.events)
        return;
    const timeline::Journal& journal = core_.journal();
    // In batches, so a flood of data entries never makes one large copy.
    constexpr std::size_t kBatch = 4096;
    for (;;) {
        entries_.clear();
        const std::uint64_t gone = journal.copySince(journalSeen_, entries_, kBatch);
        if (gone > 0) {
            console_.event(std::to_string(gone) + " timeline entries were dropped before they were printed");
            journalSeen_ += gone;
        }
        for (const timeline::Entry& e : entries_) {
            journalSeen_ = e.sequence;
            if (e.kind != timeline::Kind::Data)
                console_.line(entryLine(e));
        }
        if (entries_.size() < kBatch)
            return;
    }
}

void Recorder::watchCapture(bool final)
{
    if (!capture_)
        return;
    if (final)
        capture_->finish(core_.journal(), timeline::now().monoUs, captureTold_);
    else
        capture_->take(core_.journal(), timeline::now().monoUs, captureTold_);
    for (const std::string& told : captureTold_)
        console_.event(told);
    captureTold_.clear();
}

void Recorder::watchPages()
{
    TrafficBuffer& traffic = core_.traffic();
    const TrafficBuffer::AutoLogStatus status = traffic.autoLogStatus();
    const std::int32_t pages = traffic.pageCounter();
    // Pages held back for want of room run from the first one held to the first one written
    // (or failing) again; they are not complete pages.
    const bool startsHolding = status.lowSpace && heldFrom_ < 0;
    if (startsHolding)
        heldFrom_ = status.page;
    const bool endsHolding = heldFrom_ >= 0 && !status.lowSpace;
    const std::int32_t heldUntil = endsHolding ? status.page : std::numeric_limits<std::int32_t>::max();
    for (; pagesSeen_ < pages; ++pagesSeen_) {
        if (heldFrom_ < 0 || pagesSeen_ < heldFrom_ || pagesSeen_ >= heldUntil)
            console_.event("page " + pagePath(pagesSeen_).filename().string() + " complete");
    }
    if (startsHolding)
        console_.event(mibText(status.freeBytes) + " free for " + logDir_.string() + ", and pages leave "
                       + mibText(kAutoLogFreeSpaceFloor) + " free: pages from " + pagePath(heldFrom_).filename().string()
                       + " on are not written until there is room; recording goes on");
    if (endsHolding) {
        console_.event("room again: " + std::to_string(std::max(0, heldUntil - heldFrom_)) + " page(s) from "
                       + pagePath(heldFrom_).filename().string() + " were not written; pages go on with "
                       + pagePath(heldUntil).filename().string());
        heldFrom_ = -1;
    }
    const std::uint32_t failures = traffic.autoLogFailures();
    if (failures != failuresSeen_) {
        const std::string why = status.systemError != 0
                                    ? status.file.string() + ": " + systemReason(status.systemError, ReasonLanguage::English)
                                    : "the file could not be written into " + logDir_.string();
        console_.event("could not write " + std::to_string(failures - failuresSeen_) + " page(s): " + why
                       + "; recording goes on and tries again at the next page");
        failuresSeen_ = failures;
    }
}

void Recorder::watchLineErrors(std::int64_t nowMs)
{
    for (int channel : {1, 2}) {
        Watched& w = watched_[static_cast<std::size_t>(channel - 1)];
        const std::uint32_t word = core_.channels().takeAccumulatedErrors(channel);
        w.errorWord |= word;
        w.errorsSeen |= word;
        if (w.errorWord != 0 && (w.lastErrorTold < 0 || nowMs - w.lastErrorTold >= kErrorReportMs)) {
            console_.event(channelName(channel) + " line errors: " + lineErrorText(w.errorWord));
            w.errorWord = 0;
            w.lastErrorTold = nowMs;
        }
    }
}

void Recorder::checkpoint(std::int64_t nowMs)
{
    if (options_.checkpointSeconds <= 0 || nowMs - lastCheckpoint_ < options_.checkpointSeconds * 1000LL)
        return;
    lastCheckpoint_ = nowMs;
    TrafficBuffer& traffic = core_.traffic();
    const std::int64_t state = static_cast<std::int64_t>(traffic.pageCounter()) << 32 | traffic.storedLength();
    if (state == writtenState_ || traffic.storedLength() == 0)
        return;
    // A crash or a power cut then loses at most what came since: the page is rewritten whole.
    if (traffic.writeCurrentPage())
        writtenState_ = state;
}

bool Recorder::anyChannelLeft() const
{
    for (int channel : {1, 2})
        if (used(channel) && (core_.channels().running(channel) || core_.channels().device(channel).awaiting))
            return true;
    return false;
}

bool Recorder::stop(const std::string& why)
{
    if (!running_)
        return true;
    running_ = false;
    // The receive threads store what they read before they end; only then is the page whole.
    core_.closeChannel(2);
    core_.closeChannel(1);
    watchJournal();  // the closes
    watchPages();
    watchCapture(true);
    TrafficBuffer& traffic = core_.traffic();
    const std::int32_t length = traffic.storedLength();
    const std::int32_t page = traffic.pageCounter();
    bool ok = true;
    std::string text = why;
    if (length > 0) {
        ok = traffic.writeCurrentPage();
        const TrafficBuffer::AutoLogStatus status = traffic.autoLogStatus();
        if (ok) {
            text += "; wrote the page in progress " + pagePath(page).filename().string() + " ("
                    + withThousands(static_cast<std::uint64_t>(length)) + " bytes)";
        } else if (status.lowSpace) {
            text += "; could not write the page in progress " + pagePath(page).string() + ": "
                    + mibText(status.freeBytes) + " free, and pages leave " + mibText(kAutoLogFreeSpaceFloor) + " free";
        } else {
            // A failure the buffer could not name is said without a reason (never "Success").
            const std::string reason = systemReason(status.systemError, ReasonLanguage::English);
            text += "; could not write the page in progress " + pagePath(page).string()
                    + (reason.empty() ? std::string() : ": " + reason);
        }
    }
    console_.status(statusText());
    console_.finish();
    console_.event(text);
    // Without a status line the last one is told once, with what each channel received in all.
    if (!console_.hasStatusLine())
        console_.event("at the end: " + statusText());
    return ok;
}

std::string Recorder::statusText() const
{
    const Channels& channels = core_.channels();
    const bool relay = core_.settings().record.ch2Mode == Ch2Mode::MonitorRelay;
    std::string text;
    for (int channel : {1, 2}) {
        if (!used(channel))
            continue;
        const char* name = relay ? (channel == 1 ? "CH1>CH2 " : "CH2>CH1 ") : (channel == 1 ? "CH1 " : "CH2 ");
        text += name + withThousands(channels.receivedBytes(channel)) + " B";
        const DeviceStatus& d = channels.device(channel);
        if (d.state == DeviceStatus::State::Lost)
            text += d.awaiting ? " (lost, waiting)" : " (lost)";
        text += "  ";
    }
    std::string errors;
    for (int channel : {1, 2}) {
        const std::uint32_t seen = watched_[static_cast<std::size_t>(channel - 1)].errorsSeen;
        if (seen != 0)
            errors += (errors.empty() ? "CH" : "; CH") + std::to_string(channel) + " " + lineErrorText(seen);
    }
    const TrafficBuffer& traffic = core_.traffic();
    text += "line errors: " + (errors.empty() ? std::string("none") : errors) + "  losses " + std::to_string(losses_) + "  reconnections "
            + std::to_string(reconnections_) + "  " + pagePath(traffic.pageCounter()).filename().string() + " "
            + withThousands(static_cast<std::uint64_t>(std::max(0, traffic.storedLength()))) + " B";
    if (heldFrom_ >= 0)
        text += " (pages held back: low space)";
    return text;
}

} // namespace kestrane::headless
