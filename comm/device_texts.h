// Words for what happened to a channel's device, shared by the status bar's device field and the
// line-status window (UTF-8).
#pragma once

#include "comm/channel.h"
#include "platform/serial_port.h"

#include <cstdint>
#include <string>

namespace kestrane {

// Why a device was lost: a short word, or (`whole`) a phrase.
std::string lossReasonText(LossReason why, bool whole);
// Why `path` did not open, as sentences naming it (what to do where the system can tell).
std::string openFailureText(const std::string& path, const OpenError& error);
// The kSetting* bits by name, comma-separated ("DTR, RTS").
std::string unconfirmedSettingNames(std::uint32_t bits);
// The settings a port refused, with the values asked for ("通信速度 115200, データ長 7"), and
// "（応答なし）" when a server never answered them.
std::string refusedSettingsText(const LineRefusal& refusal);

} // namespace kestrane
