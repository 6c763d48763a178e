// A macro run without a window: the interpreter of the macro dialog on the application core,
// stepped as the dialog steps it (by the MacroPacer: each tick of the macro clock, and while a
// reception, time or input-bit wait runs also between the ticks), with the program's options
// answering the waits that need a person. Each change of what the dialog would show is printed as a line.
#pragma once

#include "headless/port_setup.h"
#include "headless/stop_signals.h"
#include "macro/macro_host.h"
#include "macro/macro_notice.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kestrane {
class AppCore;
class MacroInterpreter;
class TrafficBufferAccess;
}

namespace kestrane::headless {

struct MacroOptions {
    std::filesystem::path file;
    PortOptions ports;
    std::optional<int> clockMs;          // instead of the settings' macro clock
    std::optional<double> timeoutSeconds;
    std::vector<int> buttons;            // answers to the button waits, in order; the last repeats
    std::optional<std::string> input1, input2;  // UTF-8, answers to the typed-input waits
    std::optional<std::filesystem::path> log;   // the run's traffic saved here as a .LOG
    bool quiet = false;                  // only the outcome
};

class MacroRunner final : private MacroHost {
public:
    // Exit codes of the program.
    static constexpr int kFinished = 0;    // the macro reached its end command (or the end of its text)
    static constexpr int kTimedOut = 1;    // --timeout ran out (or a stop signal came)
    static constexpr int kFailed = 2;      // a send failed, the file, a port or the log file
    static constexpr int kNeedsPerson = 3; // a wait for a button, typed text or an input bit nobody answers

    MacroRunner(AppCore& core, MacroOptions options, std::FILE* out);
    ~MacroRunner() override;
    MacroRunner(const MacroRunner&) = delete;
    MacroRunner& operator=(const MacroRunner&) = delete;

    // Reads the file and the settings, opens the ports, runs the macro to its end; the exit code.
    int run(StopSignals& stops);

private:
    TransmitResult transmit(int channel, std::span<const std::uint8_t> frame) override;
    void sendFailed() override { sendFailed_ = true; }
    void refresh() override;
    void finished() override {}

    // After a step: answers a wait that needs a person, or says why nobody can. -1 while the run goes on.
    int answerWaits();
    int end(int code, const std::string& message);
    void say(const std::string& line);

    AppCore& core_;
    MacroOptions options_;
    std::FILE* out_;
    std::unique_ptr<TrafficBufferAccess> traffic_;
    std::unique_ptr<MacroDio> dio_;
    std::unique_ptr<MacroInterpreter> interpreter_;
    std::size_t buttonsUsed_ = 0;
    bool sendFailed_ = false;
    bool portsOpen_ = false;
    bool lost_[2] = {false, false};
    std::string shown_;   // the status line last printed
    MacroNotice notice_;  // the notice last printed
};

} // namespace kestrane::headless
