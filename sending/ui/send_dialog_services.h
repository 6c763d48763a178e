// What the send dialogs get from the application: the records they read and write, the way out
// to the lines, the message boxes and the programs their buttons start.
#pragma once

#include "widgets/message_box.h"
#include "sending/send_result.h"

#include <filesystem>
#include <functional>

class QListWidget;
class QListWidgetItem;
class QObject;

namespace kestrane {

class SendState;
struct SettingsRecord;

struct SendDialogServices {
    SettingsRecord* settings = nullptr;  // the decoration and checksum settings, ch2Mode
    SendState* sendState = nullptr;      // the shared send buffer and send text
    TransmitFn transmit;                 // writes and records a frame (transmit result codes)
    MessageBoxFn message;                // every message box of the dialogs
    ManualAtPage manualAtPage;           // the help buttons
    std::function<bool()> startCharacterTable;  // "ＡＳＣＩＩ": false when it cannot be started
    std::function<bool()> editFixedStrings;     // "編集": false when no editor can be started
    std::filesystem::path startDirectory;       // where mdata.txt lies
};

// Calls `picked` when the user chooses an entry of `list`: a click, or a selection moved with the
// keyboard. A list that merely receives focus makes its first row current without selecting it;
// that is no choice and picks nothing.
void onExplicitPick(QListWidget* list, QObject* context, std::function<void(QListWidgetItem*)> picked);

} // namespace kestrane
