#include "comm/device_texts.h"

#include "i18n/language.h"
#include "platform/posix_serial_port.h"
#include "platform/system_reason.h"

#include <cerrno>
#include <cstring>
#include <utility>

namespace kestrane {

std::string lossReasonText(LossReason why, bool whole)
{
    switch (why) {
    case LossReason::IoError: return i18n::translate("DeviceTexts", "I/Oエラー");
    case LossReason::ClosedByServer: return whole ? i18n::translate("DeviceTexts", "サーバーが接続を閉じました") : i18n::translate("DeviceTexts", "サーバー切断");
    case LossReason::ConnectionReset: return whole ? i18n::translate("DeviceTexts", "接続が切れました") : i18n::translate("DeviceTexts", "接続断");
    case LossReason::NoAnswer: return whole ? i18n::translate("DeviceTexts", "サーバーが応答しなくなりました") : i18n::translate("DeviceTexts", "応答なし");
    case LossReason::None:
    case LossReason::HungUp: break;
    }
    return whole ? i18n::translate("DeviceTexts", "取り外されました") : i18n::translate("DeviceTexts", "取り外し");
}

std::string openFailureText(const std::string& path, const OpenError& error)
{
    const OpenRefusalFacts facts = openRefusalFacts(path, error.kind);
    switch (error.kind) {
    case OpenError::None: return {};
    case OpenError::NotFound: return path + i18n::translate("DeviceTexts", " がありません（取り外されたか、そのデバイスはありません）。");
    case OpenError::Busy:
        if (facts.lockHolder)
            return path + i18n::translate("DeviceTexts", " は他のプログラム（プロセス ") + std::to_string(facts.lockHolder) + i18n::translate("DeviceTexts", "）が使用中です。");
        return path + i18n::translate("DeviceTexts", " は他のプログラムが使用中です。");
    case OpenError::PermissionDenied:
        if (facts.group.empty())
            return path + i18n::translate("DeviceTexts", ": アクセス権がありません。");
        if (facts.groupNotInSession)
            return path + i18n::translate("DeviceTexts", ": アクセス権がありません。グループ ") + facts.group
                   + i18n::translate("DeviceTexts", " に入っていますが、このセッションにはまだ反映されていません。ログインし直してください。");
        return path + i18n::translate("DeviceTexts", ": アクセス権がありません。デバイスはグループ ") + facts.group + i18n::translate("DeviceTexts", " のものです。sudo usermod -aG ")
               + facts.group + " " + facts.user + i18n::translate("DeviceTexts", " でユーザーを加え、ログインし直してください。");
    case OpenError::NotATty: return path + i18n::translate("DeviceTexts", " はシリアル機器ではありません（端末ではありません）。");
    case OpenError::IsConsole: return path + i18n::translate("DeviceTexts", " はシステムコンソールなので、ポートとしては開きません。");
    case OpenError::BadAddress:
        return path + i18n::translate("DeviceTexts", " はリモート回線の書き方ではありません。rfc2217://ホスト:ポート か tcp://ホスト:ポート と書いてください"
                      "（IPv6 アドレスは [ ] で囲みます）。");
    case OpenError::NameNotFound: {
        const std::string reason = resolverReason(error.resolverError, error.systemError);
        return path + ": " + (reason.empty() ? std::string(i18n::translate("DeviceTexts", "ホスト名がわかりません")) : reason)
               + i18n::translate("DeviceTexts", "。名前を確かめるか、アドレスで書いてください。");
    }
    case OpenError::Refused: return path + i18n::translate("DeviceTexts", ": 接続が拒否されました。サーバーが動いていて、そのポートで待っているか確かめてください。");
    case OpenError::Unreachable: return path + i18n::translate("DeviceTexts", ": ホストに届きません（ネットワークが止まっているか、経路がありません）。");
    case OpenError::NoAnswer: return path + i18n::translate("DeviceTexts", ": サーバーが時間内に応答しませんでした。");
    case OpenError::NoLineControl:
        return path + i18n::translate("DeviceTexts", ": サーバーが RFC 2217 の回線制御（COM ポートオプション）を受け付けません。"
                      "telnet(rfc2217) で回線を提供するか、生のストリームには tcp:// を使ってください。");
    case OpenError::SettingsRefused: return path + i18n::translate("DeviceTexts", " は回線の設定も既定値も受け付けません。");
    case OpenError::Other:
        if (error.resolverError != 0)  // the name server failed (EAI_SYSTEM, EAI_MEMORY)
            return path + i18n::translate("DeviceTexts", " を開けません: ") + resolverReason(error.resolverError, error.systemError) + i18n::translate("DeviceTexts", "。");
        if (error.systemError != 0)
            return path + i18n::translate("DeviceTexts", " を開けません: ") + systemReason(error.systemError) + i18n::translate("DeviceTexts", "。");
        return path + i18n::translate("DeviceTexts", " を開けません（機器がつながっていない可能性があります）。");
    }
    return {};
}

std::string unconfirmedSettingNames(std::uint32_t bits)
{
    static const std::pair<std::uint32_t, const char*> kNames[] = {
        {kSettingBaudRate, I18N_NOOP("DeviceTexts", "通信速度")}, {kSettingByteSize, I18N_NOOP("DeviceTexts", "データ長")}, {kSettingParity, I18N_NOOP("DeviceTexts", "パリティ")},
        {kSettingStopBits, I18N_NOOP("DeviceTexts", "ストップビット")}, {kSettingFlowControl, I18N_NOOP("DeviceTexts", "フロー制御")}, {kSettingDtr, "DTR"},
        {kSettingRts, "RTS"}, {kSettingBreak, I18N_NOOP("DeviceTexts", "ブレーク")},
    };
    std::string out;
    for (const auto& [bit, name] : kNames)
        if (bits & bit)
            out += (out.empty() ? "" : ", ") + i18n::translate("DeviceTexts", name);
    return out;
}

std::string refusedSettingsText(const LineRefusal& refusal)
{
    static constexpr const char* kParity[] = {I18N_NOOP("DeviceTexts", "なし"), I18N_NOOP("DeviceTexts", "奇数"), I18N_NOOP("DeviceTexts", "偶数"), I18N_NOOP("DeviceTexts", "マーク"), I18N_NOOP("DeviceTexts", "スペース")};
    static constexpr const char* kStop[] = {"1", "1.5", "2"};
    const Dcb& d = refusal.asked;
    const std::uint32_t refused = refusal.failure.refused;
    std::string out;
    auto add = [&](const std::string& text) { out += (out.empty() ? "" : ", ") + text; };
    if (refused & SetStateFailure::Rate)
        add(i18n::translate("DeviceTexts", "通信速度 ") + std::to_string(d.BaudRate));
    if (refused & SetStateFailure::ByteSize)
        add(i18n::translate("DeviceTexts", "データ長 ") + std::to_string(d.ByteSize));
    if (refused & SetStateFailure::Parity)
        add(std::string(i18n::translate("DeviceTexts", "パリティ ")) + (d.Parity < 5 ? i18n::translate("DeviceTexts", kParity[d.Parity]) : std::string("?")));
    if (refused & SetStateFailure::StopBits)
        add(std::string(i18n::translate("DeviceTexts", "ストップビット ")) + (d.StopBits < 3 ? kStop[d.StopBits] : "?"));
    if (refused & SetStateFailure::FlowControl)
        add(std::string(i18n::translate("DeviceTexts", "フロー制御 ")) + (d.fOutxCtsFlow() ? i18n::translate("DeviceTexts", "ハードウェア") : d.fOutX() || d.fInX() ? std::string("Xon/Xoff") : i18n::translate("DeviceTexts", "なし")));
    if (const int err = refusal.failure.systemError; refused == 0 && err != 0)
        add(err == EINVAL ? std::string(i18n::translate("DeviceTexts", "この組み合わせ")) : i18n::translate("DeviceTexts", "設定: ") + systemReason(err));
    if (refusal.timeouts)
        add(i18n::translate("DeviceTexts", "タイムアウト"));
    if (refused != 0 && (refusal.failure.unanswered & refused) == refused)
        out += i18n::translate("DeviceTexts", "（応答なし）");
    return out;
}

} // namespace kestrane
