#include "app/ui/sending_commands.h"

#include "app/app_core.h"
#include "app/command_ids.h"
#include "app/command_table.h"
#include "app/external_tools.h"
#include "app/ui/main_window.h"
#include "sending/fixed_strings.h"
#include "sending/ui/character_send_dialog.h"
#include "sending/ui/control_character_dialog.h"
#include "sending/ui/fixed_string_dialog.h"
#include "sending/ui/text_transfer_progress.h"
#include "widgets/language.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFileDialog>

#include <fstream>

namespace kestrane {

namespace {

QString text(std::string_view utf8) { return tableText(utf8); }

QString portNotOpenText(int channel)
{
    return channel == 1 ? QCoreApplication::translate("SendingCommands", "シリアルポートＣＨ１がＯＰＥＮしていません")
                        : QCoreApplication::translate("SendingCommands", "シリアルポートＣＨ２がＯＰＥＮしていません");
}

// The message of a transfer that ended at a tick, or nothing.
std::optional<QString> transferEndText(TransferEnd why)
{
    switch (why) {
    case TransferEnd::Completed: return QCoreApplication::translate("SendingCommands", "Text送信完了。");
    case TransferEnd::CouldNotSend: return text(kCouldNotSendText);
    case TransferEnd::TimedOut: return text(kTimedOutText);
    case TransferEnd::OtherError: return text(kOtherErrorText);
    case TransferEnd::ReadFailed: return QCoreApplication::translate("SendingCommands", "ﾌｧｲﾙが読み出せません。");
    case TransferEnd::Cancelled:
    case TransferEnd::ChannelClosed: return std::nullopt;
    }
    return std::nullopt;
}

std::optional<std::filesystem::path> askTransferFile(QWidget* parent, const std::filesystem::path& startDirectory)
{
    QFileDialog dialog(parent, QCoreApplication::translate("SendingCommands", "転送ファイルの読出"), QString::fromStdString(startDirectory.string()));
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    // "All files" is "*" here: "*.*" would hide every name without a dot, as Linux files often are.
    const QStringList filters = {QCoreApplication::translate("SendingCommands", "ﾃｷｽﾄﾌｧｲﾙ(*.txt)"), QStringLiteral("ALLFile(*)")};
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filters.front());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return std::filesystem::path(dialog.selectedFiles().front().toStdString());
}

} // namespace

SendingCommands::SendingCommands(AppCore& core, TDrawWindow& window, const ExternalTools& tools)
    : core_(core), window_(window), tools_(tools)
{
    message = [this](const QString& t, QMessageBox::StandardButtons buttons, QMessageBox::Icon icon) {
        QWidget* parent = QApplication::activeWindow();
        return showMessage(parent ? parent : &window_, t, buttons, icon);
    };
    pickTransferFile = [this](int) { return askTransferFile(&window_, core_.startDirectory()); };
    // A channel closed while its transfer runs (COM-port command, exit) ends the transfer here.
    core_.textTransfer().onStopped = [this](int channel, TransferEnd why) { transferEnded(channel, why); };
}

SendingCommands::~SendingCommands()
{
    core_.textTransfer().onStopped = nullptr;
}

SendDialogServices SendingCommands::services()
{
    SendDialogServices s;
    s.settings = &core_.settings().record;
    s.sendState = &core_.sendState();
    AppCore* core = &core_;
    s.transmit = [core](int channel, std::span<const std::uint8_t> frame) { return core->transmit(channel, frame); };
    s.message = [this](const QString& t, QMessageBox::StandardButtons buttons, QMessageBox::Icon icon) {
        return message(t, buttons, icon);
    };
    const ExternalTools* tools = &tools_;
    s.manualAtPage = [tools](int page) { tools->openManualAtPage(page); };
    s.startCharacterTable = [tools] { return tools->startCompanion(kCharacterTableTool); };
    s.editFixedStrings = [this] { return openFixedStringEditor(); };
    s.startDirectory = core_.startDirectory();
    return s;
}

void SendingCommands::openTypedSend()
{
    auto* dialog = new TRsinputsend1(core_.sendDialogMemory().typed, services(), &window_);
    dialog->show();
}

void SendingCommands::openLongSend()
{
    auto* dialog = new TRsinputsend(core_.sendDialogMemory().longString, services(), &window_);
    dialog->show();
}

void SendingCommands::openFixedSend()
{
    auto* dialog = new TRsinputsend2(services(), &window_);
    dialog->show();
}

void SendingCommands::openControlSend()
{
    auto* dialog = new TDialog20(services(), &window_);
    dialog->show();
}

bool SendingCommands::openFixedStringEditor()
{
    // A first edit creates the file, so the editor opens it whatever handles text files.
    const std::filesystem::path file = core_.startDirectory() / kFixedStringFile;
    std::error_code ec;
    if (!std::filesystem::exists(file, ec))
        std::ofstream(file, std::ios::binary | std::ios::app);
    return tools_.processes().startEditor(file, core_.startDirectory());
}

void SendingCommands::editFixedStrings()
{
    if (!openFixedStringEditor())
        message(tableText(kEditorMissingText), QMessageBox::Ok, QMessageBox::NoIcon);
}

TextTransferProgress* SendingCommands::progress(int channel) const
{
    return channel == 1 || channel == 2 ? progress_[static_cast<std::size_t>(channel - 1)].data() : nullptr;
}

void SendingCommands::startTextTransfer(int channel)
{
    if (channel != 1 && channel != 2)
        return;
    TextTransfer& transfer = core_.textTransfer();
    if (transfer.running(channel)) {
        // One file per channel at a time; the running one is in its progress window.
        if (TextTransferProgress* p = progress(channel)) {
            p->raise();
            p->activateWindow();
        }
        message(channel == 1 ? QCoreApplication::translate("SendingCommands", "ＣＨ１はテキスト転送中です。") : QCoreApplication::translate("SendingCommands", "ＣＨ２はテキスト転送中です。"),
                QMessageBox::Ok, QMessageBox::Information);
        return;
    }
    if (!core_.channels().running(channel)) {
        message(portNotOpenText(channel), QMessageBox::Ok, QMessageBox::Warning);
        return;
    }
    const std::optional<std::filesystem::path> file = pickTransferFile(channel);
    if (!file) {
        message(QCoreApplication::translate("SendingCommands", "ファイル名選択できません"), QMessageBox::Ok, QMessageBox::NoIcon);
        return;
    }
    if (transfer.start(channel, *file) != TextTransfer::StartResult::Started) {
        message(QCoreApplication::translate("SendingCommands", "ﾌｧｲﾙが開けません"), QMessageBox::Ok, QMessageBox::NoIcon);
        return;
    }
    auto* p = new TextTransferProgress(
        channel, QString::fromStdString(file->filename().string()),
        [this, channel] { core_.textTransfer().stop(channel, TransferEnd::Cancelled); }, &window_);
    p->setProgress(0, transfer.fileSize(channel));
    progress_[static_cast<std::size_t>(channel - 1)] = p;
    p->show();
    window_.startTransferTimer(channel, TextTransfer::kFirstTickMs);  // the first block at once
}

void SendingCommands::transferTick(int channel)
{
    TextTransfer& transfer = core_.textTransfer();
    const TransferTick tick = transfer.tick(channel);
    if (tick.continues) {
        window_.startTransferTimer(channel, TextTransfer::kTickMs);
        if (TextTransferProgress* p = progress(channel))
            p->setProgress(transfer.bytesSent(channel), transfer.fileSize(channel));
        return;
    }
    window_.stopTransferTimer(channel);
    if (tick.ended)
        transferEnded(channel, *tick.ended);
}

void SendingCommands::transferEnded(int channel, TransferEnd why)
{
    window_.stopTransferTimer(channel);
    TextTransferProgress* p = progress(channel);
    if (why == TransferEnd::ChannelClosed) {
        // The port went away under the transfer: the window stays and says so.
        if (p) {
            p->setProgress(core_.textTransfer().bytesSent(channel), core_.textTransfer().fileSize(channel));
            p->showEnded(QCoreApplication::translate("SendingCommands", "ポートが閉じられたため、転送を中止しました（%1）。")
                             .arg(transferProgressText(core_.textTransfer().bytesSent(channel),
                                                       core_.textTransfer().fileSize(channel))));
        }
        return;
    }
    // A cancel comes from the progress window, which is closing already.
    if (p && why != TransferEnd::Cancelled)
        p->finish();
    progress_[static_cast<std::size_t>(channel - 1)] = nullptr;
    if (const std::optional<QString> t = transferEndText(why))
        message(*t, QMessageBox::Ok, QMessageBox::NoIcon);
}

std::unique_ptr<SendingCommands> registerSendingCommands(CommandTable& table, TDrawWindow& window, AppCore& core,
                                                         const ExternalTools& tools)
{
    auto commands = std::make_unique<SendingCommands>(core, window, tools);
    SendingCommands* c = commands.get();
    table.add(cmd::SendTyped, [c] { c->openTypedSend(); });
    table.add(cmd::SendFixed, [c] { c->openFixedSend(); });
    table.add(cmd::SendControl, [c] { c->openControlSend(); });
    table.add(cmd::SendLong, [c] { c->openLongSend(); });
    table.add(cmd::EditFixedStrings, [c] { c->editFixedStrings(); });
    table.add(cmd::TextTransferCh1, [c] { c->startTextTransfer(1); });
    table.add(cmd::TextTransferCh2, [c] { c->startTextTransfer(2); });
    return commands;
}

} // namespace kestrane
