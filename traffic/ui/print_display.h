// Printing the display: the page set-up command, the print dialog and one printed page holding
// the main window's drawing scaled to the page, with the document title "Kestrane". The drawing
// comes from the display as a render callback, so the printout is what the window paints.
#pragma once

#include <QRect>
#include <QSize>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QPainter;
class QPrinter;
class QWidget;

namespace kestrane {

// Paints the window's drawing into `area` (the window's own coordinates, origin 0,0).
using PrintRender = std::function<void(QPainter& painter, const QRect& area)>;

enum class PrintResult {
    Printed,
    NoPrinter,   // no usable printer behind the QPrinter
    Cancelled,   // stopped by the user while printing
    Failed,      // the print job could not be started or finished
};

// Prints one page: the drawing of `sourceSize` scaled to the printable area, keeping its
// proportions. `cancelRequested` is asked before the page is finished.
[[nodiscard]] PrintResult printDrawing(QPrinter& printer, QSize sourceSize, const PrintRender& render,
                                       const std::function<bool()>& cancelRequested = {});

// The message of a failed print (empty for Printed).
[[nodiscard]] QString printErrorText(PrintResult result);

class PrintDisplay {
public:
    // `parent` owns the dialogs and message boxes.
    explicit PrintDisplay(QWidget* parent);
    ~PrintDisplay();
    PrintDisplay(const PrintDisplay&) = delete;
    PrintDisplay& operator=(const PrintDisplay&) = delete;

    // The printer kept for the whole run, so the page set-up applies to later prints.
    [[nodiscard]] QPrinter& printer() { return *printer_; }

    // Command 55504: the page set-up dialog.
    void pageSetup();
    // Command 55505: the print dialog, then the page; failures are reported. Nothing (and no
    // message) when the print dialog is cancelled.
    std::optional<PrintResult> print(QSize sourceSize, const PrintRender& render);

    // Hooks for the dialogs and the error box; tests replace them.
    std::function<bool(QPrinter&)> runPrintDialog;        // true: print
    std::function<void(QPrinter&)> runPageSetupDialog;
    std::function<void(const QString& text)> reportError;  // box "Kestrane", heading "印刷ｴﾗｰ"

private:
    QWidget* parent_;
    std::unique_ptr<QPrinter> printer_;
};

} // namespace kestrane
