#include "app/external_tools.h"

namespace kestrane {

QString companionMissingText(const char* program)
{
    return QString::fromUtf8(program) + QStringLiteral("が見つかりませんでした。");
}

ManualLaunch manualLaunchFor(const std::string& pdfReaderPath, const std::string& pdfPageCommand, int page)
{
    if (pdfReaderPath.size() < 2 || pdfPageCommand.empty())
        return ManualLaunch{true, {}, {}};
    return ManualLaunch{false, pdfReaderPath, pdfPageCommand + std::to_string(page) + " " + kDialogManual};
}

ExternalTools::ExternalTools(Processes processes, const Settings& settings, std::filesystem::path startDirectory)
    : processes_(std::move(processes)), settings_(settings), startDirectory_(std::move(startDirectory))
{
}

bool ExternalTools::startCompanion(const char* program) const
{
    return processes_.start(program, {}, startDirectory_);
}

void ExternalTools::launch(const ManualLaunch& how) const
{
    if (!how.withHandler && processes_.start(how.program, splitParameters(how.parameters), startDirectory_))
        return;
    // Whatever the desktop reports is its own affair: nothing is shown here.
    processes_.openDocument(startDirectory_ / kDialogManual);
}

void ExternalTools::openManualAtPage(int page) const
{
    launch(manualLaunchFor(fixedText(settings_.pdfReaderPath), fixedText(settings_.pdfPageCommand), page));
}

void ExternalTools::openSamplingManual() const
{
    launch(ManualLaunch{false, "AcroRd32.exe", std::string("/A page=58 ") + kDialogManual});
}

bool ExternalTools::openMainManual() const
{
    return processes_.openDocument(startDirectory_ / kMainManual);
}

} // namespace kestrane
