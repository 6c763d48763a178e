#include "headless/macro_runner.h"

#include "app/app_core.h"
#include "app/image_dio.h"
#include "headless/device_words.h"
#include "macro/macro_dialog_rules.h"
#include "macro/macro_interpreter.h"
#include "macro/macro_pacer.h"
#include "macro/traffic_access.h"
#include "platform/system_reason.h"
#include "platform/atomic_file.h"
#include "text/cp932.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>

namespace kestrane::headless {

namespace {

// What the macro dialog's status shows, in English with the dialog's word after it:
// "waiting for reception (受信待)".
std::string statusWords(std::int32_t status)
{
    const char* english = "";
    switch (status) {
    case MacroStatus::Finished: english = "finished"; break;
    case MacroStatus::Processing: english = "running"; break;
    case MacroStatus::WaitReception: english = "waiting for reception"; break;
    case MacroStatus::WaitTime: english = "waiting for time"; break;
    case MacroStatus::WaitButton: english = "waiting for a button"; break;
    case MacroStatus::WaitExternal: english = "waiting for an input bit"; break;
    case MacroStatus::WaitText: english = "waiting for typed input"; break;
    default: return std::to_string(status);
    }
    return std::string(english) + " (" + macroStatusText(status) + ")";
}

// A notice about an out-of-range operand, without its line.
std::string noticeWords(const MacroNotice& n)
{
    switch (n.kind) {
    case MacroNotice::Kind::None: break;
    case MacroNotice::Kind::RegisterOutOfRange:
        return n.word + ": register number " + std::to_string(n.value) + " lies outside 00..99; the command did nothing";
    case MacroNotice::Kind::LiteralCut:
        return n.word + ": the literal is longer than " + std::to_string(n.value) + " characters; its first "
               + std::to_string(n.value) + " were used";
    case MacroNotice::Kind::RegisterCut:
        return n.word + ": " + std::to_string(n.value) + (n.value == 1 ? " byte" : " bytes")
               + " beyond the register's 520 were cut off";
    case MacroNotice::Kind::NegativeRange: return n.word + ": a negative position or length; the command did nothing";
    }
    return {};
}

// Why a macro file cannot be read (the reader says only that it cannot).
std::string unreadableReason(const std::filesystem::path& file)
{
    std::error_code ec;
    if (std::filesystem::is_directory(file, ec))
        return systemReason(EISDIR, ReasonLanguage::English);
    return ::access(file.c_str(), R_OK) != 0 ? systemReason(errno, ReasonLanguage::English) : std::string();
}

} // namespace

MacroRunner::MacroRunner(AppCore& core, MacroOptions options, std::FILE* out)
    : core_(core), options_(std::move(options)), out_(out),
      traffic_(std::make_unique<TrafficBufferAccess>(core.traffic())),
      dio_(std::make_unique<ImageDio>(core.dio())),
      interpreter_(std::make_unique<MacroInterpreter>(core.macroMemory(), core.sendState(), core.settings().record,
                                                      static_cast<MacroHost&>(*this), *traffic_, *dio_, core.clock()))
{
}

MacroRunner::~MacroRunner() = default;

void MacroRunner::say(const std::string& line)
{
    std::fprintf(out_, "%s\n", line.c_str());
    std::fflush(out_);
}

TransmitResult MacroRunner::transmit(int channel, std::span<const std::uint8_t> frame)
{
    return core_.transmit(channel, frame);
}

void MacroRunner::refresh()
{
    const MacroMemory& m = core_.macroMemory();
    char counter[16];
    std::snprintf(counter, sizeof counter, "%08d ", m.pc);
    std::string line = counter + statusWords(m.status);
    if (const std::int32_t at = interpreter_->currentLine(); at > 0)
        line += " line " + std::to_string(at);
    if (line != shown_) {
        shown_ = line;
        if (!options_.quiet)
            say(line);
    }
    const MacroNotice& notice = interpreter_->notice();
    if (notice.kind != MacroNotice::Kind::None && notice != notice_)
        say("line " + std::to_string(notice.line) + ": " + noticeWords(notice));
    notice_ = notice;
}

int MacroRunner::answerWaits()
{
    MacroMemory& m = core_.macroMemory();
    const std::string where = "line " + std::to_string(interpreter_->currentLine());
    if (m.status == MacroStatus::WaitButton && m.pressedButton == 0) {
        if (options_.buttons.empty()) {
            say(where + " waits for a button (" + macroStatusText(m.status) + "): nobody can press one here; answer "
                "it with --button N");
            return kNeedsPerson;
        }
        const int button = buttonsUsed_ < options_.buttons.size() ? options_.buttons[buttonsUsed_++] : options_.buttons.back();
        interpreter_->pressButton(button);
        if (!options_.quiet)
            say("Button" + std::to_string(button) + " pressed (--button)");
    } else if (m.status == MacroStatus::WaitText && m.inputDone == 0) {
        if (!options_.input1 && !options_.input2) {
            say(where + " waits for typed input (" + macroStatusText(m.status) + "): nobody can type here; answer it "
                "with --input1 TEXT and --input2 TEXT");
            return kNeedsPerson;
        }
        // As the dialog sends its input lines: code page 932, at most 59 bytes, whole characters.
        const QByteArray a = toCp932Within(QString::fromUtf8(options_.input1.value_or("")), kMacroInputMaxChars);
        const QByteArray b = toCp932Within(QString::fromUtf8(options_.input2.value_or("")), kMacroInputMaxChars);
        interpreter_->textInputDone(std::string_view(a.constData(), static_cast<std::size_t>(a.size())),
                                    std::string_view(b.constData(), static_cast<std::size_t>(b.size())));
        if (!options_.quiet)
            say("typed input given (文字入力完了, --input1, --input2)");
    } else if (m.status == MacroStatus::WaitExternal) {
        say(where + " waits for an external input bit (" + macroStatusText(m.status) + "), which nothing sets "
            "without a window");
        return kNeedsPerson;
    }
    return -1;
}

int MacroRunner::end(int code, const std::string& message)
{
    if (interpreter_->running())
        interpreter_->stop();
    say(message);
    if (portsOpen_) {
        // The receive threads store what they read before they end; then the log is whole.
        core_.closeChannel(1);
        core_.closeChannel(2);
        if (options_.log) {
            if (core_.traffic().saveToLog(*options_.log)) {
                if (!options_.quiet)
                    say("traffic saved in " + options_.log->string());
            } else {
                say("cannot write the log " + options_.log->string());
                if (code == kFinished)
                    code = kFailed;
            }
        }
    }
    return code;
}

int MacroRunner::run(StopSignals& stops)
{
    const auto text = readMacroFile(options_.file);
    if (!text) {
        const std::string why = unreadableReason(options_.file);
        return end(kFailed, "cannot read the macro file " + options_.file.string() + (why.empty() ? "" : ": " + why));
    }
    // A log that cannot be written is found now, before the ports open and anything is sent.
    if (options_.log) {
        if (const int error = fileWriteError(*options_.log))
            return end(kFailed, "cannot write the log " + options_.log->string() + ": " + systemReason(error, ReasonLanguage::English));
    }
    loadSettings(core_, options_.ports);
    SettingsRecord& r = core_.settings().record;
    if (isLineMonitor(r.ch2Mode))
        return end(kFailed, "CH2 is set as a line monitor (T connection or relay), where macros do not run: give "
                            "--ch2 COMn for a port of its own, or --ch2 none");
    // No display: received chunks carry no time stamps, which reception would take for data.
    r.displayMode = DisplayMode::Asc;
    core_.applySettings();
    core_.traffic().clearTraffic();
    if (const std::string why = openChannels(core_, options_.ports); !why.empty())
        return end(kFailed, why);
    portsOpen_ = true;

    interpreter_->markReceptionStart();
    interpreter_->load(*text);
    interpreter_->start();

    const Clock& clock = core_.clock();
    const std::int64_t period = options_.clockMs.value_or(macroTimerPeriod(r.macroClockMs));
    std::int64_t now = clock.tickMs();
    MacroPacer pacer;
    pacer.start(now, period);
    const std::int64_t deadline =
        options_.timeoutSeconds ? now + static_cast<std::int64_t>(std::llround(*options_.timeoutSeconds * 1000)) : -1;
    Channels& channels = core_.channels();
    pollfd fds[3] = {{stops.fd(), POLLIN, 0}, {channels.deviceEventFd(), POLLIN, 0}, {channels.watchFd(), POLLIN, 0}};
    const auto where = [this] {
        const std::int32_t status = core_.macroMemory().status;
        return "at line " + std::to_string(interpreter_->currentLine())
               + (status == MacroStatus::Finished ? std::string() : ", " + statusWords(status));
    };
    while (true) {
        std::int64_t due = pacer.nextDue();
        if (deadline >= 0)
            due = std::min(due, deadline);
        const int waitMs = static_cast<int>(std::clamp<std::int64_t>(due - clock.tickMs(), 0, INT_MAX));
        if (::poll(fds, 3, waitMs) < 0 && errno != EINTR)
            return end(kFailed, "cannot wait for events: " + systemReason(errno, ReasonLanguage::English));
        if (fds[0].revents & POLLIN) {
            if (const int signal = stops.take())
                return end(kTimedOut, std::string("stopped by ") + stopSignalName(signal) + " " + where());
        }
        if (((fds[1].revents | fds[2].revents) & POLLIN) && channels.handleDeviceEvents()) {
            for (int channel : {1, 2}) {
                const bool lost = channels.device(channel).state == DeviceStatus::State::Lost;
                if (lost && !lost_[channel - 1])
                    say("CH" + std::to_string(channel) + " lost: " + lossText(channels.device(channel)));
                lost_[channel - 1] = lost;
            }
        }
        now = clock.tickMs();
        if (deadline >= 0 && now >= deadline)
        {
            char limit[32];
            std::snprintf(limit, sizeof limit, "%g", *options_.timeoutSeconds);
            return end(kTimedOut, "time-out after " + std::string(limit) + " s " + where());
        }
        if (now < pacer.nextDue())
            continue;
        interpreter_->step();
        pacer.stepped(now, interpreter_->running() && interpreter_->inTimedWait());
        if (sendFailed_)
            return end(kFailed, "a send failed " + where());
        if (!interpreter_->running())
            return end(kFinished, "finished " + where());
        if (const int code = answerWaits(); code >= 0)
            return end(code, "stopped " + where());
    }
}

} // namespace kestrane::headless
