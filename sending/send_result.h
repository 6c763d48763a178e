#include "i18n/language.h"
// How the senders hand a frame to the transmit operation and what they make of its result.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string_view>

namespace kestrane {

// What the transmit operation did with a frame; the values are its result codes.
enum class TransmitResult : int {
    Transmitted = 0,    // every byte written; recorded (or recording is off)
    WriteFailed = 1,    // a write failed; the port's error state was captured
    WriteTimedOut = 2,  // a piece completed short: the port's write time-out ran out
    BadChannel = 3,     // the channel was neither 1 nor 2; nothing written
};

// Writes `frame` on channel 1 (CH1) or 2 (CH2) and records it.
using TransmitFn = std::function<TransmitResult(int channel, std::span<const std::uint8_t> frame)>;

// The messages (UTF-8): WriteFailed, WriteTimedOut (the send dialogs ask whether to send again),
// any other failure.
inline constexpr std::string_view kCouldNotSendText = I18N_NOOP("Kestrane", "送信出来ませんでした。");
inline constexpr std::string_view kTimedOutRetryText = I18N_NOOP("Kestrane", "送信時間切れです。もう一度送信しますか？");
inline constexpr std::string_view kTimedOutText = I18N_NOOP("Kestrane", "送信時間切れです。");
inline constexpr std::string_view kOtherErrorText = I18N_NOOP("Kestrane", "その他のエラー。");

} // namespace kestrane
