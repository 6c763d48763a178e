// The send dialogs' answer to a transmit result: a message for a failure, and for a time-out the
// question whether to send again, Yes sending the identical frame once more.
#pragma once

#include "widgets/message_box.h"
#include "sending/send_result.h"

#include <cstdint>
#include <span>

namespace kestrane {

// Transmits `frame` on `channel` and reports the result through `message` (caption "Kestrane"):
// WriteFailed "送信出来ませんでした。"; WriteTimedOut "送信時間切れです。もう一度送信しますか？"
// with Yes and No, Yes transmitting the same bytes again and judging the new result the same way;
// any other failure "その他のエラー。". The frame is copied first, so whatever runs while a question is open
// (a text-transfer tick, another dialog) cannot change what Yes sends. Returns the last result.
TransmitResult transmitWithRetry(const TransmitFn& transmit, int channel, std::span<const std::uint8_t> frame,
                                 const MessageBoxFn& message);

} // namespace kestrane
