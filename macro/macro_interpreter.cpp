#include "macro/macro_interpreter.h"

#include "i18n/language.h"

#include "notation/number_reader.h"

#include <algorithm>
#include <cstring>

namespace kestrane {

namespace {

constexpr std::uint8_t kCr = 0x0D;
constexpr std::uint8_t kLf = 0x0A;
constexpr std::int64_t kPeriodMs = 100;

bool isDigit(std::uint8_t c) { return c >= '0' && c <= '9'; }
bool isHexDigitUpper(std::uint8_t c) { return isDigit(c) || (c >= 'A' && c <= 'F'); }

// Keeps the busy flag set for the length of one step.
class BusyGuard {
public:
    explicit BusyGuard(std::int32_t& busy) : busy_(busy) { busy_ = 1; }
    ~BusyGuard() { busy_ = 0; }
    BusyGuard(const BusyGuard&) = delete;
    BusyGuard& operator=(const BusyGuard&) = delete;

private:
    std::int32_t& busy_;
};

} // namespace

const char* macroStatusText(std::int32_t status) noexcept
{
    switch (status) {
    case MacroStatus::Finished: return I18N_NOOP("MacroText", "処理完");
    case MacroStatus::Processing: return I18N_NOOP("MacroText", "処理中");
    case MacroStatus::WaitReception: return I18N_NOOP("MacroText", "受信待");
    case MacroStatus::WaitTime: return I18N_NOOP("MacroText", "時間待");
    case MacroStatus::WaitButton: return I18N_NOOP("MacroText", "釦押待");
    case MacroStatus::WaitExternal: return I18N_NOOP("MacroText", "外入待");
    case MacroStatus::WaitText: return I18N_NOOP("MacroText", "文入待");
    default: return "";
    }
}

void MacroRegister::assign(std::span<const std::uint8_t> from) noexcept
{
    const std::size_t n = std::min(from.size(), data.size());
    std::memmove(data.data(), from.data(), n);
    length = static_cast<std::int32_t>(n);
}

MacroInterpreter::MacroInterpreter(MacroMemory& memory, SendState& send, const SettingsRecord& settings,
                                   MacroHost& host, MacroTraffic& traffic, MacroDio& dio, const Clock& clock)
    : memory_(memory), send_(send), settings_(settings), host_(host), traffic_(traffic), dio_(dio), clock_(clock)
{
}

// ---- text access ------------------------------------------------------------------------------

std::uint8_t MacroInterpreter::at(std::int64_t index) const
{
    return index >= 0 && index < kMacroTextSize ? memory_.text[static_cast<std::size_t>(index)] : 0;
}

bool MacroInterpreter::matches(std::int32_t pos, std::string_view word) const
{
    for (std::size_t i = 0; i < word.size(); ++i)
        if (at(pos + static_cast<std::int64_t>(i)) != static_cast<std::uint8_t>(word[i]))
            return false;
    return true;
}

std::int32_t MacroInterpreter::lineEnd(std::int64_t pos)
{
    // A line ends at CR (normally followed by LF, which the scan then skips) or at a lone LF,
    // as a text written on this system ends its lines.
    std::int64_t p = std::max<std::int64_t>(pos, 0);
    while (p < kMacroTextSize && memory_.text[static_cast<std::size_t>(p)] != kCr &&
           memory_.text[static_cast<std::size_t>(p)] != kLf) {
        ++p;
        ++work_;
    }
    if (p < kMacroTextSize)
        ++p;
    return static_cast<std::int32_t>(p);
}

void MacroInterpreter::convertLiteral(const std::string& literal)
{
    send_.sendText.assign(literal);
    send_.sendBuffer.count = 0;
    host_.refresh();
    if (!literal.empty())
        send_.convertHexNotation(send_.sendText.view(), true, settings_.checksumMethod);
}

std::int32_t MacroInterpreter::currentLine() const
{
    if (commandPc_ < 0)
        return 0;
    const auto it = std::upper_bound(lineStarts_.begin(), lineStarts_.end(), commandPc_);
    return static_cast<std::int32_t>(it - lineStarts_.begin()) + 1;
}

void MacroInterpreter::note(MacroNotice::Kind kind, std::int64_t value)
{
    notice_ = MacroNotice{kind, std::string(command_ ? command_->word : std::string_view()), value, currentLine()};
}

// ---- operands, through the command table -----------------------------------------------------

std::int64_t MacroInterpreter::operandAt(std::size_t i) const
{
    return static_cast<std::int64_t>(commandPc_) + command_->operands[i].offset;
}

int MacroInterpreter::number(std::size_t i) const
{
    // Within the field only: white space, a sign, decimal digits; the text's end reads as a NUL.
    NumberRules rules;
    rules.width = command_->operands[i].width;
    const auto from = static_cast<std::size_t>(std::clamp<std::int64_t>(operandAt(i), 0, kMacroTextSize));
    const std::string_view text(reinterpret_cast<const char*>(memory_.text.data()) + from, kMacroTextSize - from);
    return static_cast<int>(readNumber(text, rules).value);
}

int MacroInterpreter::registerNumber(std::size_t i)
{
    const int reg = number(i);
    if (reg >= 0 && reg < kMacroRegisterCount)
        return reg;
    note(MacroNotice::Kind::RegisterOutOfRange, reg);
    return -1;
}

std::string MacroInterpreter::literal(std::size_t i)
{
    std::string text;
    std::int64_t p = operandAt(i);
    bool cut = false;
    while (p < kMacroTextSize) {
        const std::uint8_t c = at(p);
        if (c == kCr || c == kLf || c == 0)
            break;
        if (static_cast<std::int32_t>(text.size()) == kMacroLiteralMax) {
            cut = true;
            break;
        }
        text.push_back(static_cast<char>(c));
        ++p;
        ++work_;
    }
    if (cut)
        note(MacroNotice::Kind::LiteralCut, kMacroLiteralMax);
    return text;
}

std::uint8_t MacroInterpreter::area(std::size_t i) const { return at(operandAt(i)); }

std::uint8_t MacroInterpreter::bitMask(std::size_t i) const
{
    return static_cast<std::uint8_t>(1U << (at(operandAt(i)) & 7U));
}

// ---- lifecycle --------------------------------------------------------------------------------

void MacroInterpreter::load(std::span<const std::uint8_t> text)
{
    memory_.text.fill(0);
    const std::size_t n = std::min(text.size(), memory_.text.size());
    std::copy_n(text.begin(), n, memory_.text.begin());
    memory_.textLength = static_cast<std::int32_t>(n);
    lineStarts_.clear();
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t c = memory_.text[i];
        if (c == kCr || (c == kLf && (i == 0 || memory_.text[i - 1] != kCr)))
            lineStarts_.push_back(static_cast<std::int32_t>(i + 1));
        else if (c == kLf)
            lineStarts_.back() = static_cast<std::int32_t>(i + 1);  // CR LF: the line starts after the LF
    }
}

void MacroInterpreter::start()
{
    wait_ = MacroWait::None;
    commandPc_ = -1;
    notice_ = {};
    memory_.status = MacroStatus::Processing;
    memory_.pc = 0;
    memory_.stopRequested = 0;
    running_ = true;
    host_.refresh();
}

void MacroInterpreter::stop()
{
    memory_.stopRequested = 1;
    if (wait_ == MacroWait::Reception)
        storeReception();  // the wait ends on the stop request with what it collected
    wait_ = MacroWait::None;
    running_ = false;
    memory_.status = MacroStatus::Finished;
    host_.refresh();
    host_.finished();
}

void MacroInterpreter::finish()
{
    memory_.stopRequested = 0;
    wait_ = MacroWait::None;
    running_ = false;
    memory_.status = MacroStatus::Finished;
    host_.refresh();
    host_.finished();
}

void MacroInterpreter::pressButton(int number) { memory_.pressedButton = number; }

void MacroInterpreter::textInputDone(std::string_view input1, std::string_view input2)
{
    const auto take = [](std::array<char, kMacroInputTextSize>& field, std::string_view text) {
        field.fill(0);
        std::copy_n(text.begin(), std::min<std::size_t>(text.size(), kMacroInputMaxChars), field.begin());
    };
    take(memory_.inputText1, input1);
    take(memory_.inputText2, input2);
    memory_.inputDone = 1;
}

void MacroInterpreter::markReceptionStart() { traffic_.setReceptionMarker(traffic_.storedLength()); }

void MacroInterpreter::setStatus(std::int32_t status)
{
    memory_.status = status;
    host_.refresh();
}

// ---- the step ---------------------------------------------------------------------------------

void MacroInterpreter::step()
{
    if (memory_.busy != 0)
        return;  // a tick while a step still runs (a failure message is open) is dropped
    BusyGuard busy(memory_.busy);
    work_ = 0;
    if (!running_)
        return;
    if (wait_ != MacroWait::None) {
        continueWait();
        return;
    }
    for (;;) {
        if (memory_.pc >= kMacroTextSize || memory_.pc < 0) {
            finish();
            return;
        }
        ++work_;
        // A command word never starts with a byte outside A..Z: skip the rest of the table.
        const std::uint8_t first = memory_.text[static_cast<std::size_t>(memory_.pc)];
        if (first >= 'A' && first <= 'Z') {
            for (std::size_t i = 0; i < kMacroCommandCount; ++i) {
                const auto command = static_cast<MacroCommand>(i);
                if (!matches(memory_.pc, macroCommandWord(command)))
                    continue;
                commandPc_ = memory_.pc;
                command_ = &macroCommandInfo(command);
                execute(command);
                return;  // executed, finished, waiting, or pending until a press
            }
        }
        ++memory_.pc;
    }
}

void MacroInterpreter::done() { memory_.pc = lineEnd(commandPc_); }

void MacroInterpreter::jump()
{
    const std::int64_t pos = operandAt(static_cast<std::size_t>(command_->label));
    const std::array<std::uint8_t, 3> label{at(pos), at(pos + 1), at(pos + 2)};
    for (std::int32_t i = 0; i + 3 < kMacroTextSize; ++i, ++work_) {
        const auto* t = memory_.text.data() + i;
        if (t[0] == ':' && t[1] == label[0] && t[2] == label[1] && t[3] == label[2]) {
            memory_.pc = lineEnd(i);
            return;
        }
    }
    done();  // no such label: on after the jumping command's line
}

void MacroInterpreter::refuse(MacroNotice::Kind what)
{
    note(what);
    refused();
}

void MacroInterpreter::refused()
{
    host_.refresh();
    done();
}

void MacroInterpreter::execute(MacroCommand command)
{
    switch (command) {
    case MacroCommand::Send: return sendLiteral(1);
    case MacroCommand::Sed2: return sendLiteral(2);
    case MacroCommand::Msed: return sendRegister(1);
    case MacroCommand::Msd2: return sendRegister(2);
    case MacroCommand::Read:
    case MacroCommand::Red2:
    case MacroCommand::Zred:
    case MacroCommand::Zrd2: return beginReception(command);
    case MacroCommand::Time: return beginTime();
    case MacroCommand::Goto: return jump();
    case MacroCommand::Cmpm: return compareRegisters();
    case MacroCommand::Cmpl: return compareLiteral();
    case MacroCommand::Move: return move();
    case MacroCommand::Madd: return append();
    case MacroCommand::Mmid: return middle();
    case MacroCommand::Minc: return increment(false);
    case MacroCommand::Hinc: return increment(true);
    case MacroCommand::Chka: return checksum(false, true);
    case MacroCommand::Chkh: return checksum(false, false);
    case MacroCommand::Ck1a: return checksum(true, true);
    case MacroCommand::Ck1h: return checksum(true, false);
    case MacroCommand::Puse: return buttonJump();
    case MacroCommand::Pusm: return buttonStore();
    case MacroCommand::Bset: return setBit(true);
    case MacroCommand::Brst: return setBit(false);
    case MacroCommand::Bton: return beginBitWait(true);
    case MacroCommand::Boff: return beginBitWait(false);
    case MacroCommand::Bonj: return bitJump(true);
    case MacroCommand::Bofj: return bitJump(false);
    case MacroCommand::Ichr: return textInput();
    case MacroCommand::Mclr: {
        const int reg = registerNumber(0);
        if (reg < 0)
            return refused();
        MacroRegister& r = memory_.registers[static_cast<std::size_t>(reg)];
        r.length = 0;
        std::fill_n(r.data.begin(), 256, std::uint8_t{0});
        return done();
    }
    case MacroCommand::Pend: return finish();
    }
}

// ---- sending ----------------------------------------------------------------------------------

void MacroInterpreter::sendLiteral(int channel)
{
    convertLiteral(literal(0));
    if (host_.transmit(channel, send_.sendBuffer.frame()) != TransmitResult::Transmitted)
        host_.sendFailed();  // no retry: the macro goes on with the next line
    done();
}

void MacroInterpreter::sendRegister(int channel)
{
    const int reg = registerNumber(0);
    if (reg < 0)
        return refused();
    send_.sendBuffer.assign(memory_.registers[static_cast<std::size_t>(reg)].bytes());
    if (host_.transmit(channel, send_.sendBuffer.frame()) != TransmitResult::Transmitted)
        host_.sendFailed();
    host_.refresh();
    done();
}

// ---- reception --------------------------------------------------------------------------------

void MacroInterpreter::beginReception(MacroCommand command)
{
    const int reg = registerNumber(0);
    if (reg < 0)
        return refused();
    setStatus(MacroStatus::WaitReception);
    reception_ = Reception{};
    reception_.reg = reg;
    // Negative counts and times have no meaning of their own: they count as 0.
    reception_.count = std::max(0, number(1));
    reception_.time = std::max(0, number(2));
    const bool fromNow = command == MacroCommand::Read || command == MacroCommand::Red2;
    reception_.tag = command == MacroCommand::Read || command == MacroCommand::Zred ? '1' : '3';
    if (fromNow)
        traffic_.setReceptionMarker(traffic_.storedLength());
    reception_.position = traffic_.receptionMarker();
    periodStart_ = clock_.tickMs();
    periods_ = 0;
    timeLimit_ = reception_.time;
    wait_ = command_->wait;
    if (receptionPass())
        finishWait();
}

bool MacroInterpreter::receptionPass()
{
    advancePeriods(timeLimit_);
    Reception& r = reception_;
    r.position = traffic_.scan(r.position, r.tag, [&r](std::uint8_t byte) {
        ++r.seen;
        if (r.length < kMacroReceiveMax)
            r.bytes[static_cast<std::size_t>(r.length++)] = byte;
    });
    return receptionEnded();
}

bool MacroInterpreter::receptionEnded() const
{
    const Reception& r = reception_;
    if (r.count > 0 && r.time > 0)  // the collection is cut to 255 bytes: a larger count ends on time
        return periods_ >= r.time || r.length >= r.count;
    if (r.count > 0)
        return r.seen >= r.count;  // or a stop request
    if (r.time > 0)
        return r.seen >= 1 || periods_ >= r.time;
    return r.seen >= 1;  // or a stop request
}

void MacroInterpreter::storeReception()
{
    const Reception& r = reception_;
    if (r.length > 0)
        memory_.registers[static_cast<std::size_t>(r.reg)].assign(
            std::span<const std::uint8_t>(r.bytes.data(), static_cast<std::size_t>(r.length)));
    traffic_.setReceptionMarker(traffic_.storedLength());
}

void MacroInterpreter::advancePeriods(std::int32_t limit)
{
    // Each 100 ms period counts once the tick counter has advanced by 100 since it began.
    const std::int64_t now = clock_.tickMs();
    while (periods_ < limit && now - periodStart_ >= kPeriodMs) {
        ++periods_;
        periodStart_ += kPeriodMs;
    }
}

// ---- time and input-bit waits -----------------------------------------------------------------

void MacroInterpreter::beginTime()
{
    setStatus(MacroStatus::WaitTime);
    timeLimit_ = std::max(0, number(0));
    periodStart_ = clock_.tickMs();
    periods_ = 0;
    wait_ = command_->wait;
    if (timeLimit_ == 0)
        finishWait();
}

void MacroInterpreter::beginBitWait(bool wantOn)
{
    bitArea_ = area(0);
    if (bitArea_ != 'X')
        return done();  // only the X area is waited on
    bitByte_ = number(1);
    bitMask_ = bitMask(2);
    bitWantOn_ = wantOn;
    setStatus(MacroStatus::WaitExternal);
    wait_ = command_->wait;
    if (bitWaitEnded())
        finishWait();
}

bool MacroInterpreter::bitWaitEnded() const
{
    std::uint8_t value = 0;
    readArea(bitArea_, bitByte_, value);
    return ((value & bitMask_) != 0) == bitWantOn_;
}

void MacroInterpreter::continueWait()
{
    bool ended = false;
    switch (wait_) {
    case MacroWait::Reception: ended = receptionPass(); break;
    case MacroWait::Time:
        advancePeriods(timeLimit_);
        ended = periods_ >= timeLimit_;
        break;
    case MacroWait::InputBit: ended = bitWaitEnded(); break;
    default: return;
    }
    if (ended)
        finishWait();
}

void MacroInterpreter::finishWait()
{
    if (wait_ == MacroWait::Reception)
        storeReception();
    wait_ = MacroWait::None;
    setStatus(MacroStatus::Processing);
    done();
}

// ---- registers --------------------------------------------------------------------------------

void MacroInterpreter::compareRegisters()
{
    const int nn = registerNumber(0);
    const int mm = nn < 0 ? -1 : registerNumber(1);
    if (nn < 0 || mm < 0)
        return refused();
    const MacroRegister& a = memory_.registers[static_cast<std::size_t>(nn)];
    const MacroRegister& b = memory_.registers[static_cast<std::size_t>(mm)];
    // The stored bytes of MM, also beyond its length (a register is not cleared beyond it).
    if (std::memcmp(a.data.data(), b.data.data(), static_cast<std::size_t>(a.length)) == 0)
        return jump();
    done();
}

void MacroInterpreter::compareLiteral()
{
    const int nn = registerNumber(0);
    if (nn < 0)
        return refused();
    convertLiteral(literal(2));
    const MacroRegister& r = memory_.registers[static_cast<std::size_t>(nn)];
    const auto frame = send_.sendBuffer.frame();
    if (std::memcmp(r.data.data(), frame.data(), frame.size()) == 0)
        return jump();
    done();
}

void MacroInterpreter::move()
{
    const int nn = registerNumber(0);
    if (nn < 0)
        return refused();
    convertLiteral(literal(1));
    memory_.registers[static_cast<std::size_t>(nn)].assign(send_.sendBuffer.frame());
    done();
}

void MacroInterpreter::append()
{
    const int nn = registerNumber(0);
    const int mm = nn < 0 ? -1 : registerNumber(1);
    if (nn < 0 || mm < 0)
        return refused();
    MacroRegister& to = memory_.registers[static_cast<std::size_t>(nn)];
    const MacroRegister from = memory_.registers[static_cast<std::size_t>(mm)];  // NN and MM may be one
    const std::int32_t room = kMacroRegisterSize - to.length;
    const std::int32_t n = std::min(room, from.length);
    std::copy_n(from.data.begin(), n, to.data.begin() + to.length);
    to.length += n;
    if (n < from.length)
        note(MacroNotice::Kind::RegisterCut, from.length - n);
    done();
}

void MacroInterpreter::middle()
{
    const int nn = registerNumber(0);
    const int dd = nn < 0 ? -1 : registerNumber(3);
    if (nn < 0 || dd < 0)
        return refused();
    const int from = number(1);
    const int length = number(2);
    if (from < 0 || length < 0)
        return refuse(MacroNotice::Kind::NegativeRange);
    // Two-character fields hold at most 99 each, so the bytes lie inside the 520.
    const MacroRegister source = memory_.registers[static_cast<std::size_t>(nn)];
    MacroRegister& to = memory_.registers[static_cast<std::size_t>(dd)];
    std::copy_n(source.data.begin() + from, length, to.data.begin());
    to.length = length;
    done();
}

void MacroInterpreter::increment(bool hex)
{
    const int nn = registerNumber(0);
    if (nn < 0)
        return refused();
    MacroRegister& r = memory_.registers[static_cast<std::size_t>(nn)];
    if (r.length <= 0 || r.length >= 256)
        return done();
    auto& d = r.data;
    const auto bump = [&d, hex](int i) {
        auto& c = d[static_cast<std::size_t>(i)];
        c = static_cast<std::uint8_t>(c + 1);
        if (hex && c == ':')
            c = 'A';
    };
    int i = r.length - 1;
    bump(i);
    while (i >= 0) {
        const std::uint8_t c = d[static_cast<std::size_t>(i)];
        if (hex ? isHexDigitUpper(c) : isDigit(c))
            break;
        d[static_cast<std::size_t>(i)] = '0';
        if (i > 0)
            bump(i - 1);
        --i;
    }
    done();
}

void MacroInterpreter::checksum(bool sum, bool digits)
{
    const int nn = registerNumber(0);
    const int mm = nn < 0 ? -1 : registerNumber(1);
    if (nn < 0 || mm < 0)
        return refused();
    std::uint8_t& acc = send_.checksumAccumulator;
    acc = 0;
    for (const std::uint8_t b : memory_.registers[static_cast<std::size_t>(nn)].bytes())
        acc = sum ? static_cast<std::uint8_t>(acc + b) : static_cast<std::uint8_t>(acc ^ b);
    MacroRegister& out = memory_.registers[static_cast<std::size_t>(mm)];
    if (digits) {
        const auto text = checksumDigits(acc, settings_.checksumLowerCase == 1);
        out.data[0] = static_cast<std::uint8_t>(text[0]);
        out.data[1] = static_cast<std::uint8_t>(text[1]);
        out.length = 2;
    } else {
        out.data[0] = acc;
        out.length = 1;
    }
    done();
}

// ---- buttons and text input -------------------------------------------------------------------
// Until the press arrives the step returns without executing: the next tick finds the command again.

void MacroInterpreter::buttonJump()
{
    setStatus(MacroStatus::WaitButton);
    if (memory_.pressedButton == 0)
        return;
    const bool match = memory_.pressedButton == number(0);
    memory_.pressedButton = 0;
    setStatus(MacroStatus::Processing);
    if (match)
        return jump();
    done();
}

void MacroInterpreter::buttonStore()
{
    const int nn = registerNumber(0);
    if (nn < 0)
        return refused();  // refused before waiting: no press is consumed
    setStatus(MacroStatus::WaitButton);
    if (memory_.pressedButton == 0)
        return;
    MacroRegister& r = memory_.registers[static_cast<std::size_t>(nn)];
    r.data[0] = static_cast<std::uint8_t>(memory_.pressedButton);
    r.length = 1;
    memory_.pressedButton = 0;
    setStatus(MacroStatus::Processing);
    done();
}

void MacroInterpreter::textInput()
{
    const int nn = registerNumber(1);
    if (nn < 0)
        return refused();
    setStatus(MacroStatus::WaitText);
    if (memory_.inputDone == 0)
        return;
    const int which = number(0);
    if (which == 1 || which == 2) {
        const auto& text = which == 1 ? memory_.inputText1 : memory_.inputText2;
        const std::size_t n = std::find(text.begin(), text.end(), '\0') - text.begin();
        memory_.registers[static_cast<std::size_t>(nn)].assign(
            std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(text.data()), n));
    }
    memory_.inputDone = 0;
    setStatus(MacroStatus::Processing);
    done();
}

// ---- bits -------------------------------------------------------------------------------------

bool MacroInterpreter::readArea(std::uint8_t area, int byte, std::uint8_t& value) const
{
    switch (area) {
    case 'M':
        value = memory_.bits[static_cast<std::size_t>(byte >= 0 && byte < kMacroBitBytes ? byte : 0)];
        return true;
    case 'X': value = dio_.input(byte >= 0 && byte < 3 ? byte : 0); return true;
    case 'Y': value = dio_.output(byte >= 0 && byte < 3 ? byte : 0); return true;
    default: value = 0; return false;
    }
}

void MacroInterpreter::writeArea(std::uint8_t area, int byte, std::uint8_t value)
{
    switch (area) {
    case 'M': memory_.bits[static_cast<std::size_t>(byte >= 0 && byte < kMacroBitBytes ? byte : 0)] = value; break;
    case 'X': dio_.setInput(byte >= 0 && byte < 3 ? byte : 0, value); break;
    case 'Y': dio_.setOutput(byte >= 0 && byte < 3 ? byte : 0, value); break;
    default: break;
    }
}

void MacroInterpreter::setBit(bool on)
{
    const std::uint8_t letter = area(0);
    const int byte = number(1);
    const std::uint8_t mask = bitMask(2);
    std::uint8_t value = 0;
    if (readArea(letter, byte, value))
        writeArea(letter, byte, static_cast<std::uint8_t>(on ? value | mask : value & ~mask));
    done();
}

void MacroInterpreter::bitJump(bool whenOn)
{
    std::uint8_t value = 0;
    readArea(area(0), number(1), value);  // another letter: the bit counts as 0
    if (((value & bitMask(2)) != 0) == whenOn)
        return jump();
    done();
}

} // namespace kestrane
