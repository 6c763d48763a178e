#include "comm/device_texts.h"

#include "platform/posix_serial_port.h"
#include "platform/system_reason.h"

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

std::string openFailureText(const std::string& path, const OpenError& error)
{
    const OpenRefusalFacts facts = openRefusalFacts(path, error.kind);
    switch (error.kind) {
    case OpenError::None: return {};
    case OpenError::NotFound: return path + " がありません（取り外されたか、そのデバイスはありません）。";
    case OpenError::Busy:
        if (facts.lockHolder)
            return path + " は他のプログラム（プロセス " + std::to_string(facts.lockHolder) + "）が使用中です。";
        return path + " は他のプログラムが使用中です。";
    case OpenError::PermissionDenied:
        if (facts.group.empty())
            return path + ": アクセス権がありません。";
        if (facts.groupNotInSession)
            return path + ": アクセス権がありません。グループ " + facts.group
                   + " に入っていますが、このセッションにはまだ反映されていません。ログインし直してください。";
        return path + ": アクセス権がありません。デバイスはグループ " + facts.group + " のものです。sudo usermod -aG "
               + facts.group + " " + facts.user + " でユーザーを加え、ログインし直してください。";
    case OpenError::NotATty: return path + " はシリアル機器ではありません（端末ではありません）。";
    case OpenError::IsConsole: return path + " はシステムコンソールなので、ポートとしては開きません。";
    case OpenError::BadAddress:
        return path + " はリモート回線の書き方ではありません。rfc2217://ホスト:ポート か tcp://ホスト:ポート と書いてください"
                      "（IPv6 アドレスは [ ] で囲みます）。";
    case OpenError::NameNotFound: {
        const std::string reason = resolverReason(error.resolverError, error.systemError);
        return path + ": " + (reason.empty() ? std::string("ホスト名がわかりません") : reason)
               + "。名前を確かめるか、アドレスで書いてください。";
    }
    case OpenError::Refused: return path + ": 接続が拒否されました。サーバーが動いていて、そのポートで待っているか確かめてください。";
    case OpenError::Unreachable: return path + ": ホストに届きません（ネットワークが止まっているか、経路がありません）。";
    case OpenError::NoAnswer: return path + ": サーバーが時間内に応答しませんでした。";
    case OpenError::NoLineControl:
        return path + ": サーバーが RFC 2217 の回線制御（COM ポートオプション）を受け付けません。"
                      "telnet(rfc2217) で回線を提供するか、生のストリームには tcp:// を使ってください。";
    case OpenError::SettingsRefused: return path + " は回線の設定も既定値も受け付けません。";
    case OpenError::Other:
        if (error.resolverError != 0)  // the name server failed (EAI_SYSTEM, EAI_MEMORY)
            return path + " を開けません: " + resolverReason(error.resolverError, error.systemError) + "。";
        if (error.systemError != 0)
            return path + " を開けません: " + systemReason(error.systemError) + "。";
        return path + " を開けません（機器がつながっていない可能性があります）。";
    }
    return {};
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
    if (const int err = refusal.failure.systemError; refused == 0 && err != 0)
        add(err == EINVAL ? std::string("この組み合わせ") : "設定: " + systemReason(err));
    if (refusal.timeouts)
        add("タイムアウト");
    if (refused != 0 && (refusal.failure.unanswered & refused) == refused)
        out += "（応答なし）";
    return out;
}

} // namespace kestrane
