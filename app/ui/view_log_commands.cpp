#include "app/ui/view_log_commands.h"

#include "app/command_ids.h"
#include "app/app_core.h"
#include "app/capture_save.h"
#include "app/command_table.h"
#include "app/status_text.h"
#include "traffic/ui/enumeration_dialog.h"
#include "traffic/ui/log_file_commands.h"
#include "traffic/ui/search_dialog.h"
#include "widgets/message_box.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QPainter>
#include <QWidget>

#include <utility>

namespace kestrane {

namespace {

BytesView bytesOf(const QByteArray& text)
{
    return {reinterpret_cast<const std::uint8_t*>(text.constData()), static_cast<std::size_t>(text.size())};
}

QString captureFilter(const pcapng::PayloadProtocol& p)
{
    return &p == &pcapng::kPayloadProtocols[0]
               ? QCoreApplication::translate("CaptureSave", "pcapng形式 - ペイロードの指定なし (*.pcapng)")
               : QCoreApplication::translate("CaptureSave", "pcapng形式 - ") + QString::fromUtf8(p.display) + QStringLiteral(" (*.pcapng)");
}

} // namespace

void setUpCaptureFileDialog(QFileDialog& dialog, const std::filesystem::path& proposed, const pcapng::PayloadProtocol& protocol)
{
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setWindowTitle(QCoreApplication::translate("CaptureSave", "pcapng形式で保存"));
    QStringList filters;
    for (const pcapng::PayloadProtocol& p : pcapng::kPayloadProtocols)
        filters << captureFilter(p);
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(captureFilter(protocol));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("pcapng"));
    dialog.setDirectory(pathToQString(proposed.parent_path()));
    dialog.selectFile(pathToQString(proposed.filename()));
}

ViewAndLogCommands::ViewAndLogCommands(AppCore& core, QWidget* window, ViewWindowOps ops)
    : message(kestraneMessageBox(window)),
      core_(core),
      window_(window),
      ops_(std::move(ops)),
      log_(core.traffic(), core.startDirectory()),
      printing_(window)
{
    chooseCaptureFile = [this](const std::filesystem::path& proposed,
                               const pcapng::PayloadProtocol& protocol) -> std::optional<CaptureFileChoice> {
        QFileDialog dialog(window_);
        setUpCaptureFileDialog(dialog, proposed, protocol);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        CaptureFileChoice choice{qStringToPath(dialog.selectedFiles().first()), &protocol};
        for (const pcapng::PayloadProtocol& p : pcapng::kPayloadProtocols)
            if (dialog.selectedNameFilter() == captureFilter(p))
                choice.protocol = &p;
        return choice;
    };
    showEnumeration = [this](const std::vector<std::uint8_t>& bytes) {
        TEnumerationDialog dialog(bytes, window_);
        dialog.exec();
    };
    // The log hooks look `message` up when they run, so a replaced message reaches them too.
    installLogFileDialogs(log_, window_, [this](const QString& text, QMessageBox::StandardButtons buttons,
                                                QMessageBox::Icon icon) { return message(text, buttons, icon); });
}

ViewAndLogCommands::~ViewAndLogCommands()
{
    // An open search dialog would otherwise call into this object.
    if (searchDialog_)
        delete searchDialog_.data();
}

bool ViewAndLogCommands::fastDisplay() const { return core_.fastDisplay() == 1; }

std::int32_t ViewAndLogCommands::charsPerLine() const
{
    return ops_.charsPerLine ? ops_.charsPerLine() : core_.traffic().charsPerLine();
}

std::int32_t ViewAndLogCommands::lineCount() const
{
    return ops_.lineCount ? ops_.lineCount() : displayLineCount(core_.settings().record.bufferSize, charsPerLine());
}

// The top line that shows the newest line (the low-speed drawing's line) eight lines down.
std::int32_t ViewAndLogCommands::newestTopLine() const
{
    return kestrane::newestTopLine(core_.traffic().drawY(), lineCount());
}

void ViewAndLogCommands::scrollTo(std::int32_t line)
{
    if (ops_.scrollToLine)
        ops_.scrollToLine(line);
}

void ViewAndLogCommands::apply(const ViewFollowUp& next)
{
    if (next.invalidate) {
        const auto& repaint = next.repaintNow ? ops_.repaintNow : ops_.invalidate;
        if (repaint)
            repaint();
    }
    if (next.scrollToTop)
        scrollTo(0);
    if (next.scrollToNewest)
        scrollTo(newestTopLine());
    if (next.refreshStatus && ops_.refreshStatus)
        ops_.refreshStatus();
}

// ---------------------------------------------------------------- View menu

void ViewAndLogCommands::firstLine() { scrollTo(0); }

void ViewAndLogCommands::lastLine()
{
    if (fastDisplay()) {
        message(QCoreApplication::translate("ViewLogCommands", "高速表示は最後の行へ移行しません。"), QMessageBox::Ok, QMessageBox::NoIcon);
        return;
    }
    scrollTo(newestTopLine());
}

void ViewAndLogCommands::search()
{
    if (fastDisplay()) {
        message(QCoreApplication::translate("ViewLogCommands", "高速表示は検索機能は使えません。"), QMessageBox::Ok, QMessageBox::NoIcon);
        return;
    }
    if (ops_.repaintNow)
        ops_.repaintNow();
    const std::string kept = searchText(search_);
    auto* dialog = new TSearchDialog(
        fromCp932(QByteArray(kept.data(), static_cast<qsizetype>(kept.size()))),
        [this](const QByteArray& text, SearchKind kind) { runSearch(text, kind); }, window_);
    searchDialog_ = dialog;
    dialog->show();
}

void ViewAndLogCommands::runSearch(const QByteArray& text, SearchKind kind)
{
    TrafficBuffer& traffic = core_.traffic();
    if (!startSearch(search_, bytesOf(text), kind, traffic.currentDataPlane(), traffic.drawPosition()))
        notFound();
}

void ViewAndLogCommands::continueSearch(bool ascii)
{
    TrafficBuffer& traffic = core_.traffic();
    const ContinueResult result = kestrane::continueSearch(search_, ascii ? SearchKind::Ascii : SearchKind::Hex,
                                                           traffic.currentDataPlane(), traffic.drawPosition());
    if (result == ContinueResult::Miss)
        notFound();
}

void ViewAndLogCommands::notFound()
{
    message(QCoreApplication::translate("ViewLogCommands", "検出文字列が見つかりません"), QMessageBox::Ok, QMessageBox::NoIcon);
}

std::optional<SearchHighlight> ViewAndLogCommands::takePendingHighlight()
{
    return kestrane::takePendingHighlight(search_, charsPerLine(), lineCount(),
                                          ops_.maxTopLine ? ops_.maxTopLine() : lineCount());
}

void ViewAndLogCommands::redisplay()
{
    scrollTo(fastDisplay() ? 0 : newestTopLine());
    if (ops_.repaintNow)
        ops_.repaintNow();
}

void ViewAndLogCommands::clearDisplay()
{
    if (message(QCoreApplication::translate("ViewLogCommands", "表示をクリアしますか?"), QMessageBox::Yes | QMessageBox::No, QMessageBox::NoIcon) !=
        QMessageBox::Yes)
        return;
    TrafficBuffer& traffic = core_.traffic();
    traffic.clearTraffic();
    if (ops_.clearCellMap)
        ops_.clearCellMap();
    if (ops_.invalidate)
        ops_.invalidate();
    scrollTo(0);
    traffic.setUnsavedData(false);
}

void ViewAndLogCommands::rightButtonDown(int x, int y)
{
    selection_.press(x, y, ops_.topLine ? ops_.topLine() : 0, charsPerLine(), core_.traffic().drawPosition());
}

void ViewAndLogCommands::rightButtonUp(int x, int y)
{
    TrafficBuffer& traffic = core_.traffic();
    const auto bytes = selection_.release(x, y, ops_.topLine ? ops_.topLine() : 0, charsPerLine(),
                                          traffic.drawPosition(), traffic.currentDataPlane());
    if (bytes && showEnumeration)
        showEnumeration(*bytes);
}

// ---------------------------------------------------------------- File menu

void ViewAndLogCommands::newLog() { apply(log_.newLog()); }

void ViewAndLogCommands::openLog() { apply(log_.open(core_.settings().record.autoScroll != 0)); }

bool ViewAndLogCommands::saveLog() { return log_.save(); }

void ViewAndLogCommands::saveLogAs() { log_.saveAs(); }

void ViewAndLogCommands::pageSetup() { printing_.pageSetup(); }

bool ViewAndLogCommands::pageCapturesOn() const { return core_.captureSettings().pageCaptures; }

void ViewAndLogCommands::togglePageCaptures()
{
    CaptureSettings settings = core_.captureSettings();
    settings.pageCaptures = !settings.pageCaptures;
    if (const FileWriteResult written = core_.setCaptureSettings(settings); !written)
        message(withSystemReason(QCoreApplication::translate("CaptureSave", "capture.confを書き込めません。設定は変わりません。"), written.systemError),
                QMessageBox::Ok, QMessageBox::Warning);
}

bool ViewAndLogCommands::saveCapture()
{
    CaptureSettings settings = core_.captureSettings();
    const std::optional<CaptureFileChoice> chosen =
        chooseCaptureFile ? chooseCaptureFile(core_.startDirectory() / "log" / "newfile.pcapng", *settings.protocol)
                          : std::nullopt;
    if (!chosen)
        return false;
    // The protocol is kept for the next save and for the page captures (not worth a message when it cannot be).
    settings.protocol = chosen->protocol;
    (void)core_.setCaptureSettings(settings);
    if (const FileWriteResult written = saveTimelineCapture(core_, chosen->path, *chosen->protocol); !written) {
        message(withSystemReason(QCoreApplication::translate("CaptureSave", "pcapngファイルを書き込めません"), written.systemError), QMessageBox::Ok,
                QMessageBox::Warning);
        return false;
    }
    return true;
}

void ViewAndLogCommands::print()
{
    const QSize size = ops_.printSize ? ops_.printSize() : window_->size();
    PrintRender render = ops_.renderForPrint;
    if (!render) {
        render = [this](QPainter& painter, const QRect&) { window_->render(&painter); };
    }
    (void)printing_.print(size, render);
}

// ---------------------------------------------------------------- command table

void registerViewAndLogCommands(CommandTable& table, ViewAndLogCommands& commands)
{
    ViewAndLogCommands* c = &commands;
    table.add(cmd::NewLog, [c] { c->newLog(); });
    table.add(cmd::OpenLog, [c] { c->openLog(); });
    table.add(cmd::SaveLog, [c] { c->saveLog(); });
    table.add(cmd::SaveLogAs, [c] { c->saveLogAs(); });
    table.add(cmd::SaveCapture, [c] { c->saveCapture(); });
    table.add(cmd::AutoLogCaptures, [c] { c->togglePageCaptures(); });
    table.setCheck(cmd::AutoLogCaptures, [c] { return c->pageCapturesOn(); });
    table.add(cmd::PageSetup, [c] { c->pageSetup(); });
    table.add(cmd::Print, [c] { c->print(); });
    table.add(cmd::FirstLine, [c] { c->firstLine(); });
    table.add(cmd::LastLine, [c] { c->lastLine(); });
    table.add(cmd::Search, [c] { c->search(); });
    table.add(cmd::Redisplay, [c] { c->redisplay(); });
    table.add(cmd::ClearDisplay, [c] { c->clearDisplay(); });
}

} // namespace kestrane
