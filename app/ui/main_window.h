// The main client window: runs the start-up steps at construction, owns the command table,
// timer 1 and the close query; the frame around it carries the menu and the status bar.
#pragma once

#include "app/command_rules.h"
#include "app/command_table.h"
#include "app/app_core.h"
#include "app/external_tools.h"
#include "app/startup_sequence.h"
#include "widgets/message_box.h"
#include "traffic/display_geometry.h"

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QMainWindow>
#include <QMessageBox>

#include <array>
#include <functional>
#include <memory>
#include <optional>

class QLabel;
class QMenu;
class QAction;

namespace kestrane {

class AppCore;
class DeviceField;
class EventCommands;
class SendingCommands;
class TrafficView;
class ViewAndLogCommands;
class SettingsCommands;

class TDrawWindow : public QAbstractScrollArea {
    Q_OBJECT
public:
    // Runs the start-up steps on `view` (the splash) while it is shown.
    TDrawWindow(AppCore& core, StartupView& view, QWidget* parent = nullptr);
    ~TDrawWindow() override;

    [[nodiscard]] AppCore& core() { return core_; }
    [[nodiscard]] CommandTable& commands() { return commands_; }
    [[nodiscard]] const ExternalTools& tools() const { return tools_; }
    // The enabling state of the commands, read anew for every menu that opens.
    [[nodiscard]] CommandState commandState() const;

    // Set-up once the frame exists: status text, timer 1.
    void setUp();
    // What the start-up steps found (a first run, CH1's open).
    [[nodiscard]] const StartupOutcome& startupOutcome() const { return startup_; }
    // Rebuilds the status-bar text from the settings.
    void updateStatusText();
    // The close query: asks about unsaved traffic, saves the settings, closes the ports.
    bool canClose();

    // The question asked at exit; replaced in tests.
    std::function<QMessageBox::StandardButton()> askSaveAtExit;
    // The window's own message boxes (settings that could not be kept at exit); replaced in tests.
    MessageBoxFn message;

    [[nodiscard]] bool timerRunning() const;
    // The period timer 1 runs with (0 while it is stopped).
    [[nodiscard]] int timer1IntervalMs() const { return timer1_ != 0 ? timer1IntervalMs_ : 0; }
    // Stops timer 1 and starts it again with baseClockMs (the PL settings command).
    void restartTimer1() { startTimer1(); }

    // The traffic display in this window (painting, timer work, scrolling, inspection).
    [[nodiscard]] TrafficView& display() { return *display_; }
    [[nodiscard]] ViewAndLogCommands& viewCommands() { return *viewCommands_; }
    [[nodiscard]] SettingsCommands& settingsCommands() { return *settingsCommands_; }
    // Switches between fast and low-speed display (command 37832 and F5).
    void toggleSpeed();
    // Scrolls the low-speed display so that the byte at `index` of the record is on the ninth
    // line (as a search hit is) and frames `length` bytes of its line in red (none for 0).
    void showRecordBytes(std::int32_t index, std::int32_t length);
    // The line-events window's command (38300) and its window.
    [[nodiscard]] EventCommands& eventCommands() { return *eventCommands_; }
    // The display's magnification, 100, 150 or 200 % (the View menu, Ctrl with +, - and 0);
    // kept for the next start.
    void setZoom(int percent);

    // Timers 2 and 3: the text-file transfer on CH1 and CH2; each tick is one step of it.
    // Starting a running timer restarts it with the new interval.
    void startTransferTimer(int channel, int ms);
    void stopTransferTimer(int channel);
    [[nodiscard]] bool transferTimerActive(int channel) const;
    [[nodiscard]] SendingCommands& sendingCommands() { return *sendingCommands_; }

signals:
    void statusTextChanged(const QString& text);

protected:
    void timerEvent(QTimerEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void registerCommands();
    void startTimer1();
    void stopTimer1();
    // The window pixels the search frame covers.
    [[nodiscard]] QRect searchFrameArea() const;

    AppCore& core_;
    CommandTable commands_;
    ExternalTools tools_;
    int timer1_ = 0;
    int timer1IntervalMs_ = 0;
    std::unique_ptr<TrafficView> display_;
    std::unique_ptr<ViewAndLogCommands> viewCommands_;
    std::unique_ptr<SendingCommands> sendingCommands_;
    std::array<QBasicTimer, 2> transferTimers_;
    std::unique_ptr<SettingsCommands> settingsCommands_;
    std::unique_ptr<EventCommands> eventCommands_;
    StartupOutcome startup_;
    std::optional<PixelRect> searchHighlight_;  // the search hit the last tick framed, in display units
};

// What the user is told when settings files could not be written at exit: each such file with
// the system's reason; empty when all four were written.
[[nodiscard]] QString settingsNotSavedText(const SettingsSaveResults& results);

// The frame: caption, menu "IDM_MENU1", status bar, the main client window.
class MainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit MainFrame(TDrawWindow* client, QWidget* parent = nullptr);

    [[nodiscard]] TDrawWindow* client() const { return client_; }
    [[nodiscard]] QString statusText() const;
    // The second status field: lost devices, reconnections, why a port did not open.
    [[nodiscard]] DeviceField* deviceField() const { return deviceField_; }
    // The QAction of a command id (the first one, for ids that appear twice), or null.
    [[nodiscard]] QAction* action(int id) const;
    // Re-evaluates the enabling tests of the commands on the menu bar itself.
    void refreshMenuBarCommands();
    // Re-evaluates every command's enabling test (what opening each menu does).
    void refreshAllCommands();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenu();
    void refreshMenu(QMenu* menu);

    TDrawWindow* client_;
    QLabel* status_ = nullptr;
    DeviceField* deviceField_ = nullptr;
    QList<QAction*> barCommands_;
};

} // namespace kestrane
