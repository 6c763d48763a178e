// The View and File commands of the main window: first and last line, search with F3/F4,
// redisplay, clear, the string enumeration gesture, the log files and printing. The window
// hands over the few things only it can do as ViewWindowOps; registerViewAndLogCommands puts
// the commands into the window's command table.
#pragma once

#include "capture/payload_protocol.h"
#include "traffic/log_commands.h"
#include "traffic/ui/log_file_commands.h"
#include "traffic/ui/print_display.h"
#include "traffic/ui/search_dialog.h"
#include "traffic/view_commands.h"

#include <QPointer>
#include <QSize>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

class QFileDialog;
class QWidget;

namespace kestrane {

class AppCore;
class CommandTable;

// What the commands need from the main window.
struct ViewWindowOps {
    std::function<void()> invalidate;                // schedule a repaint of the whole window
    std::function<void()> repaintNow;                // invalidate and repaint the whole window at once
    std::function<void(std::int32_t)> scrollToLine;  // make `line` the top line
    std::function<std::int32_t()> topLine;           // the line at the top of the window
    std::function<std::int32_t()> charsPerLine;      // unset: the traffic buffer's value
    std::function<std::int32_t()> lineCount;         // unset: bufferSize x 60 / charsPerLine
    std::function<std::int32_t()> maxTopLine;        // the last line the window scrolls to; unset: lineCount
    std::function<void()> refreshStatus;             // rebuild the status-bar text
    std::function<void()> clearCellMap;              // empty the fast display's screen cell map
    std::function<QSize()> printSize;                // size of the drawing that is printed
    PrintRender renderForPrint;                      // the window's drawing for the printer
};

// What the capture save dialog asks: where, and what the payload is.
struct CaptureFileChoice {
    std::filesystem::path path;
    const pcapng::PayloadProtocol* protocol = &pcapng::kPayloadProtocols[0];
};
// The save dialog of captures: Qt's file dialog, one file type per payload protocol.
void setUpCaptureFileDialog(QFileDialog& dialog, const std::filesystem::path& proposed,
                            const pcapng::PayloadProtocol& protocol);

class ViewAndLogCommands {
public:
    // `window` (the main client window) owns the dialogs and message boxes.
    ViewAndLogCommands(AppCore& core, QWidget* window, ViewWindowOps ops);
    ~ViewAndLogCommands();
    ViewAndLogCommands(const ViewAndLogCommands&) = delete;
    ViewAndLogCommands& operator=(const ViewAndLogCommands&) = delete;

    // Every message box of these commands (also those of the log files); tests replace it.
    MessageBoxFn message;
    // Asks where a capture goes and its payload protocol (`protocol`: the one chosen last);
    // tests replace it.
    std::function<std::optional<CaptureFileChoice>(const std::filesystem::path& proposed,
                                                   const pcapng::PayloadProtocol& protocol)> chooseCaptureFile;
    // Opens the string enumeration dialog 723 modally with the picked bytes; tests replace it.
    std::function<void(const std::vector<std::uint8_t>& bytes)> showEnumeration;

    // --- View menu ---
    void firstLine();       // 37833
    void lastLine();        // 37835
    void search();          // 37836: opens a new modeless dialog 721
    void redisplay();       // 55507
    void clearDisplay();    // 55508

    // --- File menu ---
    void newLog();          // 55500
    void openLog();         // 55501
    bool saveLog();         // 55502: true when the log was written
    void saveLogAs();       // 55503
    void pageSetup();       // 55504
    void print();           // 55505
    // Our own: the record's timeline as a pcapng capture Wireshark opens. True when written.
    bool saveCapture();     // 55600
    // Our own: turns automatic logging's page captures on or off (kept in capture.conf).
    void togglePageCaptures();  // 55601
    [[nodiscard]] bool pageCapturesOn() const;

    // --- key and mouse hooks of the main window ---
    // F3 (ascii) and F4 (HEX): the next hit while one is highlighted.
    void continueSearch(bool ascii);
    // Right button down / up at client (x, y): the string enumeration.
    void rightButtonDown(int x, int y);
    void rightButtonUp(int x, int y);
    // For the display's timer tick, after its own work: a waiting hit becomes highlighted and
    // its geometry is returned; the window scrolls to its topLine and draws the rectangle with
    // a one-pixel solid red pen.
    [[nodiscard]] std::optional<SearchHighlight> takePendingHighlight();

    [[nodiscard]] SearchState& searchState() { return search_; }
    [[nodiscard]] LogCommands& logCommands() { return log_; }
    [[nodiscard]] PrintDisplay& printing() { return printing_; }
    // The search dialog opened last, while it is open.
    [[nodiscard]] TSearchDialog* searchDialog() const { return searchDialog_; }

private:
    [[nodiscard]] bool fastDisplay() const;
    [[nodiscard]] std::int32_t charsPerLine() const;
    [[nodiscard]] std::int32_t lineCount() const;
    [[nodiscard]] std::int32_t newestTopLine() const;
    void runSearch(const QByteArray& text, SearchKind kind);
    void notFound();
    void apply(const ViewFollowUp& next);
    void scrollTo(std::int32_t line);

    AppCore& core_;
    QWidget* window_;
    ViewWindowOps ops_;
    SearchState search_;
    EnumerationSelection selection_;
    LogCommands log_;
    PrintDisplay printing_;
    QPointer<TSearchDialog> searchDialog_;
};

// Adds the rows 55500-55505, 37833, 37835, 37836, 55507 and 55508, all always enabled.
void registerViewAndLogCommands(CommandTable& table, ViewAndLogCommands& commands);

} // namespace kestrane
