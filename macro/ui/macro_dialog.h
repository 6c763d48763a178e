// Dialog 704 "Macro実行Diagram" (TMacrosend): picks a macro file or one of the listed ones,
// runs and stops it, shows the step counter and status (with the line of the command and any
// notice about an out-of-range operand beside them), and answers the macro's waits with six
// buttons and two text lines. One timer drives the interpreter when the MacroPacer says: one
// command per tick of the macro clock, and during a reception, time or input-bit wait also
// between the ticks, so the wait ends on time.
#pragma once

#include "macro/macro_host.h"
#include "macro/macro_interpreter.h"
#include "macro/macro_list.h"
#include "macro/macro_pacer.h"
#include "macro/ui/macro_file_dialog.h"
#include "widgets/message_box.h"

#include <QDialog>
#include <QTimer>

#include <filesystem>
#include <functional>
#include <memory>

class QLabel;
class QLineEdit;
class QListWidget;

namespace kestrane {

// What the dialog works on; all of it outlives the dialog.
struct MacroDialogContext {
    MacroMemory& memory;
    SendState& send;
    SettingsRecord& settings;  // macroClockMs (dialog 722), displayMode, checksum options
    MacroTraffic& traffic;
    MacroDio& dio;
    const Clock& clock;
    std::filesystem::path startDirectory;
    // transmitFrame on channel 1 or 2.
    TransmitFn transmit;
    // Switches the main display between fast and low-speed display and refreshes the status bar.
    std::function<void()> toggleDisplay;
    MessageBoxFn message;
    ManualAtPage manual;
    ChooseMacroFile chooseFile;
};

class TMacrosend : public QDialog, private MacroHost {
    Q_OBJECT
public:
    explicit TMacrosend(MacroDialogContext context, QWidget* parent = nullptr);
    ~TMacrosend() override;

    [[nodiscard]] MacroInterpreter& interpreter() { return *interpreter_; }
    [[nodiscard]] const MacroFileList& fileList() const { return list_; }
    [[nodiscard]] const std::filesystem::path& selectedMacroFile() const { return selected_; }
    [[nodiscard]] bool timerRunning() const { return timer_.isActive(); }
    // The macro clock's period of the run.
    [[nodiscard]] int timerInterval() const { return static_cast<int>(pacer_.periodMs()); }

    // Closing in any way stops the macro and writes macro.dat.
    void done(int result) override;

private:
    TransmitResult transmit(int channel, std::span<const std::uint8_t> frame) override;
    void sendFailed() override;
    void refresh() override;
    void finished() override;

    void openFile();           // 211
    void runSelected();        // 201
    void runFromList();        // 212
    void addToList();          // 213
    void removeFromList();     // 214
    void textInputDone();      // 210
    void switchDisplay();      // 216
    void openClock();          // 220
    void run(const std::filesystem::path& path);
    void fillList();
    void tick();
    // Starts the timer for the step the pacer wants next; stops it when the run is over.
    void schedule();

    MacroDialogContext context_;
    std::unique_ptr<MacroInterpreter> interpreter_;
    MacroFileList list_;
    std::filesystem::path selected_;
    MacroPacer pacer_;
    QTimer timer_;

    QLabel* fileLabel_ = nullptr;
    QListWidget* listBox_ = nullptr;
    QLabel* counter_ = nullptr;
    QLabel* status_ = nullptr;
    QLabel* line_ = nullptr;
    QLabel* notice_ = nullptr;
    QLineEdit* input1_ = nullptr;
    QLineEdit* input2_ = nullptr;
};

} // namespace kestrane
