// The macro interpreter: one command per tick of the macro dialog's timer, commands found by
// their four-letter words anywhere in the text, operands read through the command table
// (macro/macro_commands.h), labels searched from the start of the text. Waits (reception, time, an input bit) are spread over ticks: a step
// that finds its wait unfinished returns, and the next step goes on with it, so the dialog stays
// responsive and a stop ends the wait at once. The button and text-input waits return from the
// step without executing until the press arrives.
//
// Whatever the text says, the interpreter stays inside its buffers: operands past the end of
// the text read as zero bytes, register numbers outside 00..99 and negative MMID ranges make
// the command do nothing, MADD results are cut at 520 bytes and literals at 255 characters;
// each of these leaves a notice (with its line) for the dialog to show beside the status.
#pragma once

#include "macro/macro_commands.h"
#include "macro/macro_host.h"
#include "macro/macro_memory.h"
#include "macro/macro_notice.h"
#include "platform/clock.h"
#include "sending/send_buffer.h"
#include "records/settings_records.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kestrane {

class MacroInterpreter {
public:
    // Everything is borrowed and must outlive the interpreter. `settings` gives the checksum
    // method that literal conversion folds by and the letter case of CHKA/CK1A.
    MacroInterpreter(MacroMemory& memory, SendState& send, const SettingsRecord& settings, MacroHost& host,
                     MacroTraffic& traffic, MacroDio& dio, const Clock& clock);
    MacroInterpreter(const MacroInterpreter&) = delete;
    MacroInterpreter& operator=(const MacroInterpreter&) = delete;

    // MacroText: zero-filled, then the first 25600 bytes of `text`.
    void load(std::span<const std::uint8_t> text);
    // startMacro: status 0, counter 0, no stop request; the caller then starts its timer.
    void start();
    // macroStep: one tick of the timer.
    void step();
    // stopMacro: ends the run at once, also in the middle of a wait; a reception that collected
    // bytes stores them first.
    void stop();
    // "Button1".."Button6": the pending press (an earlier unconsumed one is overwritten).
    void pressButton(int number);
    // "文字入力完了": the two input lines (each cut at 59 bytes) and the done flag.
    void textInputDone(std::string_view input1, std::string_view input2);
    // "Dialog opened": reception starts at the bytes stored from now on.
    void markReceptionStart();

    [[nodiscard]] bool running() const { return running_; }
    // A reception, time or input-bit wait is in progress: the caller may step more often than
    // its timer so the wait ends without delay (a step during such a wait only goes on with it).
    [[nodiscard]] bool inTimedWait() const { return wait_ != MacroWait::None; }
    // 1-based line of the command executed or waited on last; 0 before the first command.
    [[nodiscard]] std::int32_t currentLine() const;
    // The last notice about an out-of-range operand, with its line; Kind::None when none.
    [[nodiscard]] const MacroNotice& notice() const { return notice_; }
    // Bytes of text examined by the last step (scan, line skips, label search): bounded by a
    // small multiple of the text size whatever the text is.
    [[nodiscard]] std::int64_t lastStepWork() const { return work_; }

    [[nodiscard]] const MacroMemory& memory() const { return memory_; }

private:
    struct Reception {
        int reg = 0;
        std::int32_t count = 0;
        std::int32_t time = 0;
        std::uint8_t tag = '1';
        std::int32_t position = 0;
        std::int64_t seen = 0;
        std::int32_t length = 0;
        std::array<std::uint8_t, kMacroReceiveMax> bytes{};
    };

    [[nodiscard]] std::uint8_t at(std::int64_t index) const;
    [[nodiscard]] bool matches(std::int32_t pos, std::string_view word) const;
    [[nodiscard]] std::int32_t lineEnd(std::int64_t pos);
    // Converts `literal` in the hex send notation into the send buffer (nothing is sent).
    void convertLiteral(const std::string& literal);

    // Operand `i` of the command being executed, read as the command table describes it.
    [[nodiscard]] std::int64_t operandAt(std::size_t i) const;
    [[nodiscard]] int number(std::size_t i) const;
    // A register number, or -1 (with a notice) when it is outside 00..99.
    int registerNumber(std::size_t i);
    // The literal to the end of its line, cut at 255 characters.
    [[nodiscard]] std::string literal(std::size_t i);
    [[nodiscard]] std::uint8_t area(std::size_t i) const;
    [[nodiscard]] std::uint8_t bitMask(std::size_t i) const;

    void execute(MacroCommand command);
    void done();  // the rest of the command's line skipped, one command this tick
    // To the line after the command's label, or on after its line when the label is missing.
    void jump();
    // The command does nothing (an out-of-range operand); `what` is the notice.
    void refuse(MacroNotice::Kind what);
    // The same after registerNumber has left its notice.
    void refused();

    void sendLiteral(int channel);
    void sendRegister(int channel);
    void beginReception(MacroCommand command);
    bool receptionPass();
    [[nodiscard]] bool receptionEnded() const;
    void storeReception();
    void beginTime();
    void beginBitWait(bool wantOn);
    [[nodiscard]] bool bitWaitEnded() const;
    void advancePeriods(std::int32_t limit);
    void continueWait();
    void finishWait();

    void compareRegisters();
    void compareLiteral();
    void move();
    void append();
    void middle();
    void increment(bool hex);
    void checksum(bool sum, bool digits);
    void buttonJump();
    void buttonStore();
    void setBit(bool on);
    void bitJump(bool whenOn);
    void textInput();

    // Area byte of T (M, X, Y) nn; false for another letter.
    bool readArea(std::uint8_t area, int byte, std::uint8_t& value) const;
    void writeArea(std::uint8_t area, int byte, std::uint8_t value);

    void setStatus(std::int32_t status);
    void finish();
    void note(MacroNotice::Kind kind, std::int64_t value = 0);

    MacroMemory& memory_;
    SendState& send_;
    const SettingsRecord& settings_;
    MacroHost& host_;
    MacroTraffic& traffic_;
    MacroDio& dio_;
    const Clock& clock_;

    bool running_ = false;
    MacroWait wait_ = MacroWait::None;  // a reception, time or input-bit wait in progress
    std::int32_t commandPc_ = -1;       // where the command executed or waited on starts
    const MacroCommandInfo* command_ = nullptr;
    Reception reception_;
    std::int64_t periodStart_ = 0;
    std::int32_t periods_ = 0;
    std::int32_t timeLimit_ = 0;
    std::uint8_t bitArea_ = 0;
    int bitByte_ = 0;
    std::uint8_t bitMask_ = 0;
    bool bitWantOn_ = false;
    std::vector<std::int32_t> lineStarts_;  // offsets where lines 2, 3, ... begin
    MacroNotice notice_;
    std::int64_t work_ = 0;
};

} // namespace kestrane
