// The macro language in one table: each command's word, its operands (offset from the first
// letter of the word, width in characters, kind), which operand is its jump label and what it
// waits for. The interpreter reads every operand through this table, never at an offset of its own.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kestrane {

// Every command, in the order the step tests their words.
enum class MacroCommand : std::uint8_t {
    Send, Sed2, Msed, Msd2, Read, Red2, Zred, Zrd2, Time, Goto, Cmpm, Cmpl, Move, Madd, Mmid, Minc,
    Hinc, Chka, Chkh, Ck1a, Ck1h, Puse, Pusm, Bset, Brst, Bton, Boff, Bonj, Bofj, Ichr, Mclr, Pend,
};
inline constexpr std::size_t kMacroCommandCount = 32;

enum class MacroOperandKind : std::uint8_t {
    None,      // no operand in this place
    Literal,   // the hex send notation from its offset to the end of the line (width 0)
    Register,  // a register number, 00..99
    Number,    // decimal: leading white space, a sign, digits, all within its width
    Label,     // three characters, found in the text after a colon
    Area,      // an area letter: M, X or Y
    Bit,       // a bit digit: the low three bits of the character
};

struct MacroOperand {
    std::uint8_t offset = 0;
    std::uint8_t width = 0;
    MacroOperandKind kind = MacroOperandKind::None;
};

enum class MacroWait : std::uint8_t {
    None,
    Reception,  // bytes or time; polled between ticks
    Time,       // 100 ms periods; polled between ticks
    InputBit,   // a bit of the X area; polled between ticks
    Button,     // a press of Button1..6; looked for at each tick
    Text,       // "文字入力完了"; looked for at each tick
};

struct MacroCommandInfo {
    std::string_view word;
    std::array<MacroOperand, 4> operands{};
    int label = -1;  // the operand that is the jump label; -1: the command does not jump
    MacroWait wait = MacroWait::None;
};

namespace macro_table {

constexpr MacroOperand literal(std::uint8_t at) { return {at, 0, MacroOperandKind::Literal}; }
constexpr MacroOperand reg(std::uint8_t at) { return {at, 2, MacroOperandKind::Register}; }
constexpr MacroOperand number(std::uint8_t at, std::uint8_t width) { return {at, width, MacroOperandKind::Number}; }
constexpr MacroOperand label(std::uint8_t at) { return {at, 3, MacroOperandKind::Label}; }
constexpr MacroOperand area(std::uint8_t at) { return {at, 1, MacroOperandKind::Area}; }
constexpr MacroOperand bit(std::uint8_t at) { return {at, 1, MacroOperandKind::Bit}; }
constexpr auto kReception = MacroWait::Reception;

// NN, MM, DD: registers; CCC count, TTT time, PP position, LL length, n a digit; T nn b: area,
// byte number, bit; LLL a label.
inline constexpr std::array<MacroCommandInfo, kMacroCommandCount> kCommands{{
    {"SEND", {literal(5)}},
    {"SED2", {literal(5)}},
    {"MSED", {reg(5)}},                                                  // NN
    {"MSD2", {reg(5)}},                                                  // NN
    {"READ", {reg(5), number(8, 3), number(12, 3)}, -1, kReception},    // NN CCC TTT
    {"RED2", {reg(5), number(8, 3), number(12, 3)}, -1, kReception},
    {"ZRED", {reg(5), number(8, 3), number(12, 3)}, -1, kReception},
    {"ZRD2", {reg(5), number(8, 3), number(12, 3)}, -1, kReception},
    {"TIME", {number(5, 3)}, -1, MacroWait::Time},                       // TTT
    {"GOTO", {label(5)}, 0},                                             // LLL
    {"CMPM", {reg(5), reg(8), label(11)}, 2},                            // NN MM LLL
    {"CMPL", {reg(5), label(8), literal(12)}, 1},                        // NN LLL literal
    {"MOVE", {reg(5), literal(8)}},                                      // NN literal
    {"MADD", {reg(5), reg(8)}},                                          // NN MM
    {"MMID", {reg(5), number(8, 2), number(11, 2), reg(14)}},            // NN PP LL DD
    {"MINC", {reg(5)}},
    {"HINC", {reg(5)}},
    {"CHKA", {reg(5), reg(8)}},                                          // NN MM
    {"CHKH", {reg(5), reg(8)}},
    {"CK1A", {reg(5), reg(8)}},
    {"CK1H", {reg(5), reg(8)}},
    {"PUSE", {number(5, 1), label(7)}, 1, MacroWait::Button},           // n LLL
    {"PUSM", {reg(5)}, -1, MacroWait::Button},                           // NN
    {"BSET", {area(5), number(6, 2), bit(8)}},                           // T nn b
    {"BRST", {area(5), number(6, 2), bit(8)}},
    {"BTON", {area(5), number(6, 2), bit(8)}, -1, MacroWait::InputBit},
    {"BOFF", {area(5), number(6, 2), bit(8)}, -1, MacroWait::InputBit},
    {"BONJ", {area(5), number(6, 2), bit(8), label(10)}, 3},             // T nn b LLL
    {"BOFJ", {area(5), number(6, 2), bit(8), label(10)}, 3},
    {"ICHR", {number(5, 1), reg(7)}, -1, MacroWait::Text},               // n NN
    {"MCLR", {reg(5)}},
    {"PEND", {}},
}};

// Operands follow the word and its separator in order without overlapping, a literal comes
// last, and a label field names a label operand.
constexpr bool wellFormed(const MacroCommandInfo& c)
{
    int next = 5;
    bool ended = false;  // after a literal or an empty place
    for (const MacroOperand& o : c.operands) {
        if (o.kind != MacroOperandKind::None && (ended || o.offset < next))
            return false;
        ended = ended || o.kind == MacroOperandKind::None || o.kind == MacroOperandKind::Literal;
        next = o.offset + o.width;
    }
    return c.word.size() == 4
           && (c.label < 0 || (c.label < 4 && c.operands[static_cast<std::size_t>(c.label)].kind == MacroOperandKind::Label));
}
static_assert(std::all_of(kCommands.begin(), kCommands.end(), wellFormed));

} // namespace macro_table

[[nodiscard]] constexpr const MacroCommandInfo& macroCommandInfo(MacroCommand command) noexcept
{
    return macro_table::kCommands[static_cast<std::size_t>(command)];
}
// The four letters of a command word.
[[nodiscard]] constexpr std::string_view macroCommandWord(MacroCommand command) noexcept
{
    return macroCommandInfo(command).word;
}

} // namespace kestrane
