// How the senders hand a frame to the transmit operation and what they make of its result.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string_view>

namespace kestrane {

// Writes `frame` on channel 1 (CH1) or 2 (CH2) and records it; returns the transmit result:
// 0 sent, 1 a write failed, 2 the write time-out ran out, anything else another error.
using TransmitFn = std::function<int(int channel, std::span<const std::uint8_t> frame)>;

inline constexpr int kSendDone = 0;
inline constexpr int kSendWriteFailed = 1;
inline constexpr int kSendTimedOut = 2;

enum class SendOutcome {
    Sent,
    CouldNotSend,  // result 1
    TimedOut,      // result 2
    OtherError,    // any other non-zero result
};

[[nodiscard]] constexpr SendOutcome sendOutcome(int result) noexcept
{
    switch (result) {
    case kSendDone: return SendOutcome::Sent;
    case kSendWriteFailed: return SendOutcome::CouldNotSend;
    case kSendTimedOut: return SendOutcome::TimedOut;
    default: return SendOutcome::OtherError;
    }
}

// The messages (UTF-8).
inline constexpr std::string_view kCouldNotSendText = "送信出来ませんでした。";
inline constexpr std::string_view kTimedOutRetryText = "送信時間切れです。もう一度送信しますか？";
inline constexpr std::string_view kTimedOutText = "送信時間切れです。";
inline constexpr std::string_view kOtherErrorText = "その他のエラー。";

} // namespace kestrane
