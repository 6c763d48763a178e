#include "comm/device_texts.h"

#include <utility>

namespace kestrane {

std::string lossReasonText(LossReason why, bool whole)
{
    switch (why) {
    case LossReason::IoError: return "I/Oエラー";
    case LossReason::ClosedByServer: return whole ? "サーバーが接続を閉じました" : "サーバー切断";
    case LossReason::ConnectionReset: return whole ? "接続が切れました" : "接続断";
    case LossReason::None:
    case LossReason::HungUp: break;
    }
    return whole ? "取り外されました" : "取り外し";
}

std::string unconfirmedSettingNames(std::uint32_t bits)
{
    static const std::pair<std::uint32_t, const char*> kNames[] = {
        {kSettingBaudRate, "通信速度"}, {kSettingByteSize, "データ長"}, {kSettingParity, "パリティ"},
        {kSettingStopBits, "ストップビット"}, {kSettingFlowControl, "フロー制御"}, {kSettingDtr, "DTR"},
        {kSettingRts, "RTS"}, {kSettingBreak, "ブレーク"},
    };
    std::string out;
    for (const auto& [bit, name] : kNames)
        if (bits & bit)
            out += (out.empty() ? "" : ", ") + std::string(name);
    return out;
}

} // namespace kestrane
