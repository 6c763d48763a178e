#include "app/device_status_text.h"

#include "comm/device_texts.h"
#include "platform/remote_address.h"
#include "platform/system_reason.h"
#include "traffic/log_file.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QStringList>

#include <filesystem>

namespace kestrane {

namespace {

QString lossText(LossReason why, bool whole) { return QString::fromStdString(lossReasonText(why, whole)); }

QString unconfirmedNames(std::uint32_t bits) { return QString::fromStdString(unconfirmedSettingNames(bits)); }

QString refusalText(OpenError::Kind kind)
{
    switch (kind) {
    case OpenError::NotFound: return QCoreApplication::translate("DeviceStatusText", "ありません");
    case OpenError::Busy: return QCoreApplication::translate("DeviceStatusText", "他のプログラムが使用中");
    case OpenError::PermissionDenied: return QCoreApplication::translate("DeviceStatusText", "権限がありません");
    case OpenError::NotATty: return QCoreApplication::translate("DeviceStatusText", "シリアル機器ではありません");
    case OpenError::IsConsole: return QCoreApplication::translate("DeviceStatusText", "システムコンソールです");
    case OpenError::BadAddress: return QCoreApplication::translate("DeviceStatusText", "アドレスが不正");
    case OpenError::NameNotFound: return QCoreApplication::translate("DeviceStatusText", "ホスト名が不明");
    case OpenError::Refused: return QCoreApplication::translate("DeviceStatusText", "接続拒否");
    case OpenError::Unreachable: return QCoreApplication::translate("DeviceStatusText", "ホストに届きません");
    case OpenError::NoAnswer: return QCoreApplication::translate("DeviceStatusText", "応答なし");
    case OpenError::NoLineControl: return QCoreApplication::translate("DeviceStatusText", "RFC 2217非対応");
    case OpenError::SettingsRefused: return QCoreApplication::translate("DeviceStatusText", "設定できません");
    case OpenError::None:
    case OpenError::Other: break;
    }
    return QCoreApplication::translate("DeviceStatusText", "開けません");
}

// One channel's piece, or empty when there is nothing to say: short (the device by its file
// name) or whole (whole paths and sentences, for the tooltip).
DeviceFieldText piece(int channel, const DeviceStatus& d, bool whole)
{
    const QString ch = QStringLiteral("CH%1: ").arg(channel);
    auto name = [&](const std::string& path) {
        if (path.empty())
            return QStringLiteral("COM%1").arg(d.comNumber);
        if (!whole)
            if (const auto remote = parseRemoteAddress(path))
                return QString::fromStdString(remote->hostAndPort());
        return QString::fromStdString(whole ? path : std::filesystem::path(path).filename().string());
    };
    const bool remote = looksRemote(d.path);
    if (d.state == DeviceStatus::State::Lost) {
        if (whole) {
            QString waiting = d.awaiting ? QCoreApplication::translate("DeviceStatusText", "戻るのを待っています。") : QCoreApplication::translate("DeviceStatusText", "自動再接続はしません。");
            if (remote && d.awaiting)
                waiting = d.retries == 0 ? QCoreApplication::translate("DeviceStatusText", "再接続を試みます。")
                                         : QCoreApplication::translate("DeviceStatusText", "再接続を試みています（%1 回目: %2）。")
                                               .arg(d.retries + 1)
                                               .arg(refusalText(d.openFailure.kind));
            return {ch + QCoreApplication::translate("DeviceStatusText", "%1 との接続が切れました（%2）。").arg(name(d.path), lossText(d.lossReason, true))
                        + waiting,
                    {}, true};
        }
        return {ch + QCoreApplication::translate("DeviceStatusText", "%1 切断（%2）%3")
                         .arg(name(d.path), lossText(d.lossReason, false),
                              d.awaiting ? QCoreApplication::translate("DeviceStatusText", "再接続待ち") : QCoreApplication::translate("DeviceStatusText", "再接続なし")),
                {}, true};
    }
    if (d.state == DeviceStatus::State::Opening)
        return {ch + (whole ? QCoreApplication::translate("DeviceStatusText", "COM%1 を開いています。") : QCoreApplication::translate("DeviceStatusText", "COM%1 接続中")).arg(d.comNumber), {}, false};
    const QString refused = QString::fromStdString(refusedSettingsText(d.refusal));
    if (d.state == DeviceStatus::State::Closed && d.openFailure.kind == OpenError::SettingsRefused) {
        // Connected, but the line takes neither its settings nor the defaults: the step and
        // the settings are named.
        const std::string path = d.openFailure.path.empty() ? d.path : d.openFailure.path;
        if (whole)
            return {ch + QCoreApplication::translate("DeviceStatusText", "%1 は回線設定を受け付けません（%2）。既定値も設定できませんでした。")
                             .arg(QString::fromStdString(path.empty() ? name(path).toStdString() : path), refused),
                    {}, true};
        return {ch + QCoreApplication::translate("DeviceStatusText", "%1 設定できません: %2").arg(name(path), refused), {}, true};
    }
    if (d.state == DeviceStatus::State::Closed && d.openFailure.kind != OpenError::None) {
        const std::string path = d.openFailure.path.empty() ? d.path : d.openFailure.path;
        if (whole)
            return {ch + QString::fromStdString(openFailureText(path.empty() ? name(path).toStdString() : path,
                                                                d.openFailure)),
                    {}, true};
        return {ch + QStringLiteral("%1 %2").arg(name(path), refusalText(d.openFailure.kind)), {}, true};
    }
    if (d.state != DeviceStatus::State::Open)
        return {};
    QString text;
    bool warning = false;
    if (d.refusal.any()) {
        // The stored settings were refused: the line runs at the defaults (the status text shows them).
        text = whole ? QCoreApplication::translate("DeviceStatusText", "%1 は設定 %2 を受け付けませんでした。既定値で動いています。").arg(name(d.path), refused)
                     : QCoreApplication::translate("DeviceStatusText", "%1 受け付けない設定: %2（既定値で動作）").arg(name(d.path), refused);
        warning = true;
    }
    if (d.held) {
        text += (text.isEmpty() || whole ? QString() : QStringLiteral(" "))
                + (whole ? QCoreApplication::translate("DeviceStatusText", "%1 のサーバーが回線を止めています（フロー制御）。送信は再開を待っています。").arg(name(d.path))
                         : QCoreApplication::translate("DeviceStatusText", "%1 サーバーが回線を停止中").arg(name(d.path)));
        warning = true;
    }
    if (remote && text.isEmpty()) {
        // A line served on another machine is always named, with what its server left unconfirmed.
        text = name(d.path);
        if (d.unconfirmed & kSettingNoLineControl)
            text += whole ? QCoreApplication::translate("DeviceStatusText", " は生の TCP 接続です（回線設定は送られません）。") : QCoreApplication::translate("DeviceStatusText", "（回線設定なし）");
        else if (d.unconfirmed)
            text += whole ? QCoreApplication::translate("DeviceStatusText", " のサーバーが確認していない設定: %1。").arg(unconfirmedNames(d.unconfirmed))
                          : QCoreApplication::translate("DeviceStatusText", "（未確認: %1）").arg(unconfirmedNames(d.unconfirmed));
        else if (whole)
            text += QCoreApplication::translate("DeviceStatusText", " に接続しています。");
    }
    if (d.reconnectedAt) {
        const QString at = QDateTime::fromSecsSinceEpoch(
                               std::chrono::duration_cast<std::chrono::seconds>(d.reconnectedAt->time_since_epoch()).count())
                               .toString(QStringLiteral("HH:mm:ss"));
        text += whole ? QCoreApplication::translate("DeviceStatusText", "%1 に %2 に再接続しました。").arg(name(d.path), at)
                      : (text.isEmpty() ? QString() : QStringLiteral(" ")) + QCoreApplication::translate("DeviceStatusText", "%1 再接続").arg(at);
    }
    if (text.isEmpty())
        return {};
    return {ch + text, {}, warning};
}

} // namespace

DeviceFieldText deviceFieldText(const DeviceStatus& ch1, const DeviceStatus& ch2, bool ch2Used,
                                const TrafficBuffer::AutoLogStatus& autoLog)
{
    DeviceFieldText out;
    QStringList parts, details;
    for (int channel : {1, 2}) {
        if (channel == 2 && !ch2Used)
            continue;
        const DeviceStatus& d = channel == 1 ? ch1 : ch2;
        const DeviceFieldText p = piece(channel, d, false);
        if (p.text.isEmpty())
            continue;
        parts << p.text;
        details << piece(channel, d, true).text;
        out.warning = out.warning || p.warning;
    }
    if (autoLog.lowSpace) {
        const auto mib = [](std::uint64_t bytes) { return QString::number(bytes >> 20); };
        parts << QCoreApplication::translate("DeviceStatusText", "自動ログ: 空き容量不足で停止中（残り %1 MB）").arg(mib(autoLog.freeBytes));
        details << QCoreApplication::translate("DeviceStatusText", "ログのフォルダ %1 の空きが %2 MB を切ったため、%3 から自動ログのページを書いていません"
                                  "（残り %4 MB）。空きができれば続きのページから書き込みます。受信データの記録は続いています。")
                       .arg(QString::fromStdString(autoLog.file.parent_path().string()), mib(kAutoLogFreeSpaceFloor),
                            QString::fromStdString(autoLog.file.filename().string()), mib(autoLog.freeBytes));
        out.warning = true;
    } else if (autoLog.failing) {
        // A failure the buffer could not name (no errno) is said without a reason.
        const QString reason = QString::fromStdString(systemReason(autoLog.systemError));
        parts << (reason.isEmpty() ? QCoreApplication::translate("DeviceStatusText", "自動ログ: 書けません") : QCoreApplication::translate("DeviceStatusText", "自動ログ: 書けません: %1").arg(reason));
        details << (reason.isEmpty() ? QCoreApplication::translate("DeviceStatusText", "自動ログを書けません: %1。次のページで書き直します。")
                                           .arg(QString::fromStdString(autoLog.file.string()))
                                     : QCoreApplication::translate("DeviceStatusText", "自動ログを書けません: %1: %2。次のページで書き直します。")
                                           .arg(QString::fromStdString(autoLog.file.string()), reason));
        out.warning = true;
    }
    out.text = parts.join(QStringLiteral("  "));
    out.detail = details.join(QStringLiteral("\n"));
    return out;
}

} // namespace kestrane
