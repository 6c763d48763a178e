#include "comm/device_texts.h"

#include <cerrno>
#include <cstring>
#include <utility>

namespace kestrane {

std::string lossReasonText(LossReason why, bool whole)
{
    switch (why) {
    case LossReason::IoError: return "I/Oエラー";
    case LossReason::ClosedByServer: return whole ? "サーバーが接続を閉じました" : "サーバー切断";
    case LossReason::ConnectionReset: return whole ? "接続が切れました" : "接続断";
    case LossReason::NoAnswer: return whole ? "サーバーが応答しなくなりました" : "応答なし";
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

std::string refusedSettingsText(const LineRefusal& refusal)
{
    static constexpr const char* kParity[] = {"なし", "奇数", "偶数", "マーク", "スペース"};
    static constexpr const char* kStop[] = {"1", "1.5", "2"};
    const Dcb& d = refusal.asked;
    const std::uint32_t refused = refusal.failure.refused;
    std::string out;
    auto add = [&](const std::string& text) { out += (out.empty() ? "" : ", ") + text; };
    if (refused & SetStateFailure::Rate)
        add("通信速度 " + std::to_string(d.BaudRate));
    if (refused & SetStateFailure::ByteSize)
        add("データ長 " + std::to_string(d.ByteSize));
    if (refused & SetStateFailure::Parity)
        add(std::string("パリティ ") + (d.Parity < 5 ? kParity[d.Parity] : "?"));
    if (refused & SetStateFailure::StopBits)
        add(std::string("ストップビット ") + (d.StopBits < 3 ? kStop[d.StopBits] : "?"));
    if (refused & SetStateFailure::FlowControl)
        add(std::string("フロー制御 ") + (d.fOutxCtsFlow() ? "ハードウェア" : d.fOutX() || d.fInX() ? "Xon/Xoff" : "なし"));
    if (const int err = refusal.failure.systemError; refused == 0 && err != 0) {
        const char* name = ::strerrorname_np(err);
        add(err == EINVAL ? std::string("この組み合わせ") : "設定（" + std::string(name ? name : "?") + "）");
    }
    if (refusal.timeouts)
        add("タイムアウト");
    if (refused != 0 && (refusal.failure.unanswered & refused) == refused)
        out += "（応答なし）";
    return out;
}

} // namespace kestrane
