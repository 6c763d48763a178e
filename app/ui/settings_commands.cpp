#include "app/ui/settings_commands.h"

#include "app/app_core.h"
#include "app/command_ids.h"
#include "app/command_table.h"
#include "records/channel_settings.h"
#include "settings/dcb_settings.h"
#include "settings/ui/com_port_dialog.h"
#include "settings/ui/dcb_dialog.h"
#include "settings/ui/dialog_parts.h"
#include "settings/ui/display_settings_dialogs.h"
#include "settings/ui/line_status_dialog.h"
#include "settings/ui/other_settings_dialogs.h"
#include "settings/ui/port_config_dialog.h"

#include <QMessageBox>
#include <QTimer>
#include <QWidget>

namespace kestrane {

SettingsCommands::SettingsCommands(AppCore& core, QWidget* window, ManualAtPage manual, SettingsWindowOps ops)
    : message(kestraneMessageBox(window)),
      core_(core),
      window_(window),
      manual_(std::move(manual)),
      ops_(std::move(ops))
{
    askGoOnEnumerating = [this] {
        QString text = qs(kEnumerationQuestionText);
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        QMessageBox box(QMessageBox::Question, qs(kEnumerationCaption), text, QMessageBox::Yes | QMessageBox::No,
                        window_);
        return box.exec() == QMessageBox::Yes;
    };
    nowMs = [this] { return core_.clock().tickMs(); };
}

PortEnumeration SettingsCommands::enumeratePorts()
{
    const PortSources sources{deviceTree, core_.startDirectory() / "ports.conf"};
    return enumeratePortChoices(sources, nowMs, askGoOnEnumerating);
}

void SettingsCommands::comPortSettings()
{
    Channels& channels = core_.channels();
    // Through the core: a text transfer running on a channel ends first (and an open still
    // under way is given up).
    core_.closeChannel(1);
    if (channels.running(2) || channels.opening(2))
        core_.closeChannel(2);
    reopening_ = false;
    ++reopenRound_;  // what an earlier round still had to tell is dropped

    {
        TDialog3 dialog(core_.settings().record, [this] { return enumeratePorts(); }, message, manual_, window_);
        dialog.exec();  // whatever was pressed, the ports open again
    }
    core_.applySettings();  // the line-monitor mode decides what the traffic buffer records
    reopen(1);
    if (ops_.refreshStatus)
        ops_.refreshStatus();
}

void SettingsCommands::reopen(int channel)
{
    reopening_ = true;
    std::weak_ptr<int> alive = alive_;
    const unsigned round = reopenRound_;
    // Told from the main loop, not from inside the channels' event handling.
    core_.channels().beginOpen(channel, channelFields(core_.settings().record, channel).comNumber,
                               [this, alive, round, channel](OpenResult result) {
                                   QTimer::singleShot(0, window_, [this, alive, round, channel, result] {
                                       if (!alive.expired() && round == reopenRound_)
                                           reopened(channel, result);
                                   });
                               });
}

void SettingsCommands::reopened(int channel, OpenResult result)
{
    SettingsRecord& r = core_.settings().record;
    if (const char* text = reopenFailureText(channel, result)) {
        message(qs(text), QMessageBox::Ok, QMessageBox::NoIcon);
        if (channel == 2) {
            r.ch2Mode = Ch2Mode::NotUsed;
            r.ch2ComNumber = 0;
        }
    }
    if (channel == 1 && r.ch2Mode != Ch2Mode::NotUsed) {
        reopen(2);
        return;
    }
    reopenDone();
}

void SettingsCommands::reopenDone()
{
    reopening_ = false;
    core_.applySettings();
    if (ops_.refreshStatus)
        ops_.refreshStatus();
    if (ops_.repaintNow)
        ops_.repaintNow();
}

void SettingsCommands::serialSettings(int channel)
{
    Channels& channels = core_.channels();
    if (!channels.port(channel))
        return;
    const Settings& s = core_.settings();
    Dcb work = channelLine(s.lineParams, channel).dcb;
    {
        TPortConfigDialog dialog(channelFields(s.record, channel).comNumber, portConfigOf(work), message, manual_,
                                 window_);
        if (dialog.exec() == QDialog::Accepted)
            applyPortConfig(dialog.config(), work);
        // A cancelled dialog goes on with the record unchanged: it is applied again.
    }
    if (!channels.port(channel))
        return;
    // The store takes the record only when the port took it.
    if (const LineResult set = channels.apply(channel, work); !set.ok()) {
        const int error = set.lost ? kErrorDeviceNotConnected : kErrorInvalidParameter;
        std::string text = setCommStateErrorText(error, kCommConfigSize);
        if (const std::string reason = setStateFailureReason(set.state); !reason.empty())
            text += "\n" + reason;
        message(qs(text), QMessageBox::Ok, QMessageBox::NoIcon);
        return;
    }
    if (!channels.summarise(channel).ok())
        message(qs(kSettingsNotConfirmedText), QMessageBox::Ok, QMessageBox::NoIcon);
    if (ops_.refreshStatus)
        ops_.refreshStatus();
}

void SettingsCommands::dcbSettings(int channel)
{
    Channels& channels = core_.channels();
    if (!channels.port(channel))
        return;
    if (channel == 1) {
        TDialog11 dialog(channels, core_.settings(), manual_, window_);
        dialog.exec();
    } else {
        TDialog11a dialog(channels, core_.settings(), manual_, window_);
        dialog.exec();
    }
    // What the port refused does not stay in the store: it is read back from the port.
    if (!channels.summarise(channel).ok())
        message(qs(kSettingsNotConfirmedText), QMessageBox::Ok, QMessageBox::NoIcon);
    if (ops_.refreshStatus)
        ops_.refreshStatus();
}

LineStatusDialog* SettingsCommands::lineStatus(int channel)
{
    LineStatusDialog* dialog = nullptr;
    if (channel == 1)
        dialog = new TDialog17(core_.channels(), core_.lineStatus, window_);
    else
        dialog = new TDialog17a(core_.channels(), core_.lineStatus, window_);
    dialog->show();
    return dialog;
}

TDialog25* SettingsCommands::inputSignals()
{
    auto* dialog = new TDialog25(core_.channels(), window_);
    dialog->show();
    return dialog;
}

void SettingsCommands::displaySettings()
{
    {
        TDialog5 dialog(core_.settings().record, message, manual_, window_);
        dialog.exec();
    }
    core_.applySettings();
    if (ops_.displayChanged)
        ops_.displayChanged();
    if (ops_.refreshStatus)
        ops_.refreshStatus();
}

void SettingsCommands::plSettings()
{
    {
        TDialog7 dialog(core_.settings().record, message, manual_, window_);
        dialog.exec();
    }
    core_.applySettings();  // the buffer size and the redisplay counts
    if (ops_.restartTimer1)
        ops_.restartTimer1();
    if (ops_.displayChanged)
        ops_.displayChanged();
}

void SettingsCommands::startupSize()
{
    TDialog14 dialog(core_.settings(), manual_, window_);
    dialog.exec();
}

void SettingsCommands::otherSettings()
{
    {
        TDialog13 dialog(core_.settings(), window_);
        dialog.exec();
    }
    core_.applySettings();  // whether sent text is recorded
}

void SettingsCommands::autoLogSettings()
{
    {
        TDialog19 dialog(core_.settings().sampling, manual_, window_);
        dialog.exec();
    }
    core_.applySettings();  // automatic logging and its prefix, from the next page on
}

void registerSettingsCommands(CommandTable& table, SettingsCommands& c)
{
    table.add(cmd::ComPortSettings, [&c] { c.comPortSettings(); });
    table.add(cmd::SerialSettingsCh1, [&c] { c.serialSettings(1); });
    table.add(cmd::SerialSettingsCh2, [&c] { c.serialSettings(2); });
    table.add(cmd::DcbSettingsCh1, [&c] { c.dcbSettings(1); });
    table.add(cmd::DcbSettingsCh2, [&c] { c.dcbSettings(2); });
    table.add(cmd::LineStatusCh1, [&c] { c.lineStatus(1); });
    table.add(cmd::LineStatusCh2, [&c] { c.lineStatus(2); });
    table.add(cmd::LineStatusBoth, [&c] { c.inputSignals(); });
    table.add(cmd::DisplaySettings, [&c] { c.displaySettings(); });
    table.add(cmd::PlSettings, [&c] { c.plSettings(); });
    table.add(cmd::StartupSizeSettings, [&c] { c.startupSize(); });
    table.add(cmd::OtherSettings, [&c] { c.otherSettings(); });
    table.add(cmd::AutoLogSettings, [&c] { c.autoLogSettings(); });
}

} // namespace kestrane
