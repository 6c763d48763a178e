// The macro machine's memory: the loaded text, the step counter and status, the registers, the
// M bit area, the pending button press and the typed texts. One instance lives for the whole
// run (owned by the application core): registers and bits are kept between macro runs and
// between openings of the macro dialog. Plain data; the interpreter works on it.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace kestrane {

inline constexpr std::int32_t kMacroTextSize = 25600;
inline constexpr int kMacroRegisterCount = 100;
inline constexpr std::int32_t kMacroRegisterSize = 520;
inline constexpr int kMacroBitBytes = 100;
inline constexpr int kMacroInputTextSize = 64;
inline constexpr int kMacroInputMaxChars = 59;
// Largest reception result and largest literal.
inline constexpr std::int32_t kMacroReceiveMax = 255;
inline constexpr std::int32_t kMacroLiteralMax = 255;

// Values of macroStatus.
struct MacroStatus {
    static constexpr std::int32_t Finished = -1;
    static constexpr std::int32_t Processing = 0;
    static constexpr std::int32_t WaitReception = 1;
    static constexpr std::int32_t WaitTime = 2;
    static constexpr std::int32_t WaitButton = 3;
    static constexpr std::int32_t WaitExternal = 4;
    static constexpr std::int32_t WaitText = 5;
};

// The status display's text for a status value (UTF-8); unknown values give "".
[[nodiscard]] const char* macroStatusText(std::int32_t status) noexcept;

struct MacroRegister {
    std::int32_t length = 0;  // always 0..520
    std::array<std::uint8_t, kMacroRegisterSize> data{};

    [[nodiscard]] std::span<const std::uint8_t> bytes() const noexcept
    {
        return {data.data(), static_cast<std::size_t>(length)};
    }
    // Replaces the first bytes and the length (cut at 520); bytes beyond keep their content.
    void assign(std::span<const std::uint8_t> from) noexcept;
};

struct MacroMemory {
    // The loaded file, zero-filled beyond its length.
    std::array<std::uint8_t, kMacroTextSize> text{};
    std::int32_t textLength = 0;

    std::int32_t pc = 0;  // macroPc: offset of the next character to examine
    std::int32_t status = MacroStatus::Finished;
    std::int32_t busy = 0;
    std::int32_t stopRequested = 0;

    std::array<MacroRegister, kMacroRegisterCount> registers{};
    std::array<std::uint8_t, kMacroBitBytes> bits{};  // the M area

    std::int32_t pressedButton = 0;  // 0 none, 1..6
    std::array<char, kMacroInputTextSize> inputText1{};
    std::array<char, kMacroInputTextSize> inputText2{};
    std::int32_t inputDone = 0;
};

} // namespace kestrane
