// A notice the interpreter leaves when an operand is out of range and it did less than the
// text asked (see macro_interpreter.h): what happened, in which command, on which line.
#pragma once

#include <cstdint>
#include <string>

namespace kestrane {

struct MacroNotice {
    enum class Kind {
        None,
        RegisterOutOfRange,  // a register number outside 00..99 (`value`); the command did nothing
        LiteralCut,          // a literal longer than `value` characters was cut there
        RegisterCut,         // MADD: `value` bytes beyond the register's 520 were cut off
        NegativeRange,       // MMID: a negative position or length; the command did nothing
    };
    Kind kind = Kind::None;
    std::string word;        // the command's word
    std::int64_t value = 0;
    std::int32_t line = 0;   // 1-based line of the command

    bool operator==(const MacroNotice&) const = default;
};

// The notice as the macro dialog shows it (UTF-8); empty for none.
[[nodiscard]] std::string macroNoticeText(const MacroNotice& notice);

} // namespace kestrane
