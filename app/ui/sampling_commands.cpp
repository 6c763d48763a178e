#include "app/ui/sampling_commands.h"

#include "app/app_core.h"
#include "app/command_ids.h"
#include "app/command_table.h"
#include "app/external_tools.h"
#include "sampling/ui/dio_monitor_dialog.h"
#include "sampling/ui/sampling_settings_dialog.h"
#include "sampling/ui/sampling_view_dialog.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QWidget>

namespace kestrane {

namespace {

std::optional<std::filesystem::path> askSampleFile(QWidget* owner)
{
    const QString chosen = QFileDialog::getSaveFileName(
        owner, QCoreApplication::translate("SamplingCommands", "サンプリング保存"), QString(),
        QCoreApplication::translate("SamplingCommands", "テキストファイル (*.txt);;すべてのファイル (*.*)"));
    if (chosen.isEmpty())
        return std::nullopt;
    return std::filesystem::path(chosen.toStdString());
}

} // namespace

void saveSamplingFile(AppCore& core, const SamplingCommandHooks& hooks)
{
    const auto path = hooks.askSavePath();
    if (!path)
        return;
    if (const FileWriteResult written = writeSampleFile(*path, core.samples().saveLines()); !written)
        hooks.message(withSystemReason(QCoreApplication::translate("SamplingCommands", "ﾌｧｲﾙが開けません"), written.systemError), QMessageBox::Ok,
                      QMessageBox::Warning);
}

void registerSamplingCommands(CommandTable& commands, QWidget* owner, const ExternalTools& tools, AppCore& core,
                              SamplingCommandHooks hooks)
{
    if (!hooks.askSavePath)
        hooks.askSavePath = [owner] { return askSampleFile(owner); };
    if (!hooks.message)
        hooks.message = kestraneMessageBox(owner);
    if (!hooks.samplingHelp)
        hooks.samplingHelp = [&tools] { tools.openSamplingManual(); };
    if (!hooks.manualAtPage)
        hooks.manualAtPage = [&tools](int page) { tools.openManualAtPage(page); };

    commands.add(cmd::SamplingSettings, [owner, &core, hooks] {
        TDialog15 dialog(core.settings().sampling, hooks.samplingHelp, owner);
        dialog.message = hooks.message;
        if (dialog.exec() == QDialog::Accepted)
            core.applySamplingSettings();
    });
    commands.add(cmd::SamplingView, [owner, &core, hooks] {
        auto* view = new TDialog16(core.samples(), hooks.samplingHelp, owner);
        view->setAttribute(Qt::WA_DeleteOnClose);
        view->show();
    });
    commands.add(cmd::SaveSampling, [&core, hooks] { saveSamplingFile(core, hooks); });
    // Enabled only with a fitted unit (the shared rule).
    commands.add(cmd::IoMonitor, [owner, &core, hooks] {
        auto* monitor = new TDialog9(core.dio(), core.settings().record, hooks.manualAtPage, owner);
        monitor->setAttribute(Qt::WA_DeleteOnClose);
        monitor->show();
    });
}

} // namespace kestrane
