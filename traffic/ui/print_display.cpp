#include "traffic/ui/print_display.h"

#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressDialog>

#include <algorithm>

namespace kestrane {

namespace {

const QString kDocumentTitle = QStringLiteral("Kestrane");

// Where the job goes, for the progress dialog: "printer (port)" or whichever of the two exists.
QString destination(const QPrinter& printer)
{
    const QString name = printer.printerName();
    const QString file = printer.outputFileName();
    if (name.isEmpty())
        return file;
    if (file.isEmpty())
        return name;
    return QStringLiteral("%1 (%2)").arg(name, file);
}

} // namespace

PrintResult printDrawing(QPrinter& printer, QSize sourceSize, const PrintRender& render,
                         const std::function<bool()>& cancelRequested)
{
    if (!printer.isValid())
        return PrintResult::NoPrinter;
    printer.setDocName(kDocumentTitle);
    printer.setCreator(kDocumentTitle);

    QPainter painter;
    if (!painter.begin(&printer))
        return PrintResult::Failed;

    const QRect page(0, 0, printer.width(), printer.height());
    if (sourceSize.width() > 0 && sourceSize.height() > 0 && render) {
        const qreal scale = std::min(static_cast<qreal>(page.width()) / sourceSize.width(),
                                     static_cast<qreal>(page.height()) / sourceSize.height());
        const QRect area(QPoint(0, 0), sourceSize);
        painter.save();
        painter.scale(scale, scale);
        painter.setClipRect(area);
        render(painter, area);
        painter.restore();
    }

    if (cancelRequested && cancelRequested()) {
        printer.abort();
        painter.end();
        return PrintResult::Cancelled;
    }
    const bool ended = painter.end();
    if (!ended || printer.printerState() == QPrinter::Error)
        return PrintResult::Failed;
    if (printer.printerState() == QPrinter::Aborted)
        return PrintResult::Cancelled;
    return PrintResult::Printed;
}

QString printErrorText(PrintResult result)
{
    switch (result) {
    case PrintResult::Printed:
        return {};
    case PrintResult::NoPrinter:
        return QCoreApplication::translate("PrintDisplay", "通常使うﾌﾟﾘﾝﾀがないので、印刷できません。");
    case PrintResult::Cancelled:
        return QCoreApplication::translate("PrintDisplay", "印刷はｷｬﾝｾﾙされました。");
    case PrintResult::Failed:
        break;
    }
    return QCoreApplication::translate("PrintDisplay", "印刷中にｴﾗｰが発生しました。");
}

PrintDisplay::PrintDisplay(QWidget* parent)
    : parent_(parent), printer_(std::make_unique<QPrinter>(QPrinter::HighResolution))
{
    printer_->setDocName(kDocumentTitle);
    runPrintDialog = [this](QPrinter& printer) {
        QPrintDialog dialog(&printer, parent_);
        return dialog.exec() == QDialog::Accepted;
    };
    runPageSetupDialog = [this](QPrinter& printer) {
        QPageSetupDialog dialog(&printer, parent_);
        dialog.exec();
    };
    // Every box of the program carries the caption "Kestrane"; the print errors are headed
    // by their own title.
    reportError = [this](const QString& text) {
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Kestrane"), QCoreApplication::translate("PrintDisplay", "印刷ｴﾗｰ"), QMessageBox::Ok,
                        parent_);
        box.setInformativeText(text);
        box.exec();
    };
}

PrintDisplay::~PrintDisplay() = default;

void PrintDisplay::pageSetup()
{
    if (runPageSetupDialog)
        runPageSetupDialog(*printer_);
}

std::optional<PrintResult> PrintDisplay::print(QSize sourceSize, const PrintRender& render)
{
    if (!printer_->isValid()) {
        if (reportError)
            reportError(printErrorText(PrintResult::NoPrinter));
        return PrintResult::NoPrinter;
    }
    if (!runPrintDialog || !runPrintDialog(*printer_))
        return std::nullopt;

    QProgressDialog progress(parent_);
    progress.setObjectName(QStringLiteral("32599"));
    progress.setWindowTitle(QCoreApplication::translate("PrintDisplay", "印刷中"));
    progress.setLabelText(kDocumentTitle + QCoreApplication::translate("PrintDisplay", "\nの %1 ﾍﾟｰｼﾞ目を\n").arg(1) + destination(*printer_));
    progress.setRange(0, 1);
    progress.setMinimumDuration(0);
    progress.setWindowModality(Qt::WindowModal);
    progress.setValue(0);
    QApplication::processEvents();

    const PrintResult result = printDrawing(*printer_, sourceSize, render, [&progress] {
        QApplication::processEvents();
        return progress.wasCanceled();
    });
    progress.setValue(1);
    if (result != PrintResult::Printed && reportError)
        reportError(printErrorText(result));
    return result;
}

} // namespace kestrane
