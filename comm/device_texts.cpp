#include "comm/device_texts.h"

#include "platform/posix_serial_port.h"
#include "platform/system_reason.h"

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

} // namespace kestrane
