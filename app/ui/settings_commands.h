// The commands of the settings menu: COM ports (55519), serial settings (55520/55521), DCB
// (55522/55523), line status (37829/37831/37841), display (55509), PL settings (55528), start-up
// size (55531), other settings (37838) and automatic logging (37830), with their follow-ups in the
// main window. The window hands over what only it can do as SettingsWindowOps.
#pragma once

#include "platform/serial_device_list.h"
#include "widgets/message_box.h"
#include "settings/com_port_settings.h"


#include <cstdint>
#include <functional>
#include <memory>

class QWidget;

namespace kestrane {

class AppCore;
class CommandTable;
class LineStatusDialog;
class TDialog25;

struct SettingsWindowOps {
    std::function<void()> refreshStatus;   // rebuild the status-bar text
    std::function<void()> repaintNow;      // invalidate the whole window and repaint it at once
    std::function<void()> displayChanged;  // a new display mode or buffer size: geometry, scroll range, repaint
    std::function<void()> restartTimer1;   // stop timer 1 and start it again with baseClockMs
};

class SettingsCommands {
public:
    // `window` owns the dialogs and message boxes; `manual` opens the manual at a page.
    SettingsCommands(AppCore& core, QWidget* window, ManualAtPage manual, SettingsWindowOps ops);

    // Every message box with the caption "Kestrane"; tests replace it.
    MessageBoxFn message;
    // The question after ten seconds of port enumeration (caption "ComProt列挙"); tests replace it.
    std::function<bool()> askGoOnEnumerating;
    // Where the system's serial ports are looked for; tests point it at a prepared tree.
    SerialDeviceTree deviceTree;
    // The millisecond tick of the enumeration's question.
    std::function<std::int64_t()> nowMs;

    // 55519: close the ports, dialog 703, reopen. The ports open on threads of their own (a
    // remote line may take seconds): the window stays usable meanwhile, and each result is told
    // as it comes, CH1's before CH2 is tried.
    void comPortSettings();
    // While the COM-port command's ports are still opening.
    [[nodiscard]] bool reopening() const { return reopening_; }
    void serialSettings(int channel);   // 55520 / 55521
    void dcbSettings(int channel);      // 55522 / 55523: dialog 711
    LineStatusDialog* lineStatus(int channel);  // 37829 / 37831: a new modeless dialog 717
    TDialog25* inputSignals();          // 37841: a new modeless dialog 25
    void displaySettings();             // 55509: dialog 705
    void plSettings();                  // 55528: dialog 707
    void startupSize();                 // 55531: dialog 714
    void otherSettings();               // 37838: dialog 713
    void autoLogSettings();             // 37830: dialog 719

    // The system's ports with their stable numbers (dialog 703's lists).
    [[nodiscard]] PortEnumeration enumeratePorts();

private:
    void reopen(int channel);
    void reopened(int channel, OpenResult result);
    void reopenDone();

    AppCore& core_;
    QWidget* window_;
    ManualAtPage manual_;
    SettingsWindowOps ops_;
    bool reopening_ = false;
    unsigned reopenRound_ = 0;
    // Ends with this object: an open that finishes later no longer calls back into it.
    std::shared_ptr<int> alive_ = std::make_shared<int>();
};

// Adds the rows of the settings commands; their enabling follows the shared rules.
void registerSettingsCommands(CommandTable& table, SettingsCommands& commands);

} // namespace kestrane
