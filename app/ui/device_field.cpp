#include "app/ui/device_field.h"

#include "app/app_core.h"
#include "app/device_status_text.h"
#include "platform/port_resolver.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QMenu>
#include <QSocketNotifier>

#include <fstream>
#include <sstream>

namespace kestrane {

DeviceField::DeviceField(AppCore& core, QWidget* parent) : QLabel(parent), core_(core)
{
    setObjectName(QStringLiteral("deviceStatus"));
    Channels& channels = core_.channels();
    if (channels.deviceEventFd() >= 0) {
        lossNotifier_ = new QSocketNotifier(channels.deviceEventFd(), QSocketNotifier::Read, this);
        connect(lossNotifier_, &QSocketNotifier::activated, this, &DeviceField::handleEvents);
    }
    if (channels.watchFd() >= 0) {
        watchNotifier_ = new QSocketNotifier(channels.watchFd(), QSocketNotifier::Read, this);
        connect(watchNotifier_, &QSocketNotifier::activated, this, &DeviceField::handleEvents);
    }
    show(true);
}

void DeviceField::handleEvents()
{
    core_.channels().handleDeviceEvents();
    show(false);
}

void DeviceField::refresh() { show(false); }

void DeviceField::show(bool force)
{
    const Channels& channels = core_.channels();
    const TrafficBuffer::AutoLogStatus autoLog = core_.traffic().autoLogStatus();
    if (!force && channels.deviceVersion() == shownVersion_ && autoLog.version == shownLogVersion_)
        return;
    shownVersion_ = channels.deviceVersion();
    shownLogVersion_ = autoLog.version;
    const DeviceFieldText t = deviceFieldText(channels.device(1), channels.device(2),
                                              core_.settings().record.ch2Mode != Ch2Mode::NotUsed, autoLog);
    setText(t.text);
    setToolTip(t.detail);
    warning_ = t.warning;
    setStyleSheet(warning_ ? QStringLiteral("QLabel { background-color: #ffc857; color: #000000; padding: 0 4px; }")
                           : QString());
    setVisible(!t.text.isEmpty());
}

void DeviceField::contextMenuEvent(QContextMenuEvent* event)
{
    const auto conf = core_.startDirectory() / "ports.conf";
    std::ifstream in(conf, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    QMenu menu(this);
    QAction* reconnect = menu.addAction(QCoreApplication::translate("DeviceField", "自動再接続"));
    reconnect->setCheckable(true);
    reconnect->setChecked(reconnectEnabled(text.str()));
    if (menu.exec(event->globalPos()) == reconnect)
        setReconnectEnabled(conf, reconnect->isChecked());
}

} // namespace kestrane
