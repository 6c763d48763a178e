// The Send menu's commands in the main window: the character send dialogs (55515, 55517), the
// fixed strings (55516) and their editor (55525), the control characters (37840), and the
// text-file transfer on CH1 (37839) and CH2 (37834) with its progress window. The transfer's
// steps run on the main window's timers 2 and 3.
#pragma once

#include "widgets/message_box.h"
#include "sending/text_transfer.h"
#include "sending/ui/send_dialog_services.h"

#include <QPointer>

#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

namespace kestrane {

class AppCore;
class CommandTable;
class ExternalTools;
class TDrawWindow;
class TextTransferProgress;

class SendingCommands {
public:
    SendingCommands(AppCore& core, TDrawWindow& window, const ExternalTools& tools);
    ~SendingCommands();
    SendingCommands(const SendingCommands&) = delete;
    SendingCommands& operator=(const SendingCommands&) = delete;

    // Every message box of these commands and of the send dialogs; tests replace it.
    MessageBoxFn message;
    // The file dialog "転送ファイルの読出"; nothing when it was cancelled. Tests replace it.
    std::function<std::optional<std::filesystem::path>(int channel)> pickTransferFile;

    void openTypedSend();     // 55515: dialog 708
    void openFixedSend();     // 55516: dialog 712
    void openControlSend();   // 37840: dialog 20
    void openLongSend();      // 55517: dialog 701
    void editFixedStrings();  // 55525
    void startTextTransfer(int channel);  // 37839 (CH1), 37834 (CH2)
    // One step of the channel's transfer: timer 2 (CH1) or 3 (CH2) of the main window.
    void transferTick(int channel);

    // The progress window of the channel's transfer while it is open.
    [[nodiscard]] TextTransferProgress* progress(int channel) const;
    // What the send dialogs get.
    [[nodiscard]] SendDialogServices services();

private:
    bool openFixedStringEditor();
    void transferEnded(int channel, TransferEnd why);

    AppCore& core_;
    TDrawWindow& window_;
    const ExternalTools& tools_;
    std::array<QPointer<TextTransferProgress>, 2> progress_;
};

// Adds the Send menu's rows (and 55525) to `table`; the returned object serves them and must live
// as long as the window.
[[nodiscard]] std::unique_ptr<SendingCommands> registerSendingCommands(CommandTable& table, TDrawWindow& window,
                                                                       AppCore& core, const ExternalTools& tools);

} // namespace kestrane
