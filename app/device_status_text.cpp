#include "app/device_status_text.h"

#include "platform/posix_serial_port.h"

#include <QDateTime>

#include <filesystem>
#include <QStringList>

namespace kestrane {

namespace {

QString lossText(LossReason why)
{
    switch (why) {
    case LossReason::IoError: return QStringLiteral("I/Oエラー");
    case LossReason::HungUp:
    case LossReason::None: break;
    }
    return QStringLiteral("取り外されました");
}

// One channel's piece, or empty when there is nothing to say. `whole`: whole paths.
DeviceFieldText piece(int channel, const DeviceStatus& d, bool whole)
{
    const QString ch = QStringLiteral("CH%1: ").arg(channel);
    const std::string shown = whole ? d.path : std::filesystem::path(d.path).filename().string();
    const QString device = d.path.empty() ? QStringLiteral("COM%1").arg(d.comNumber) : QString::fromStdString(shown);
    if (d.state == DeviceStatus::State::Lost) {
        QString text = ch + QStringLiteral("%1 との接続が切れました（%2）。").arg(device, lossText(d.lossReason));
        text += d.awaiting ? QStringLiteral("戻るのを待っています。") : QStringLiteral("自動再接続はしません。");
        return {text, {}, true};
    }
    if (d.state == DeviceStatus::State::Closed && d.openFailure.kind != OpenError::None) {
        std::string path = d.openFailure.path.empty() ? device.toStdString() : d.openFailure.path;
        if (!whole)
            path = std::filesystem::path(path).filename().string();
        return {ch + QString::fromStdString(describeOpenError(path, d.openFailure)), {}, true};
    }
    if (d.state == DeviceStatus::State::Open && d.reconnectedAt) {
        const QDateTime at = QDateTime::fromSecsSinceEpoch(
            std::chrono::duration_cast<std::chrono::seconds>(d.reconnectedAt->time_since_epoch()).count());
        return {ch + QStringLiteral("%1 に再接続しました。").arg(at.toString(QStringLiteral("HH:mm:ss"))), {}, false};
    }
    return {};
}

} // namespace

DeviceFieldText deviceFieldText(const DeviceStatus& ch1, const DeviceStatus& ch2, bool ch2Used)
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
    out.text = parts.join(QStringLiteral("  "));
    out.detail = details.join(QStringLiteral("\n"));
    return out;
}

} // namespace kestrane
