#include "macro/ui/macro_file_dialog.h"

#include "macro/macro_list.h"

#include <QFile>
#include <QFileDialog>

namespace kestrane {

void setUpMacroFileDialog(QFileDialog& dialog, const QString& title, const std::filesystem::path& startDirectory)
{
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setWindowTitle(title);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    // "All files" is "*" here: "*.*" would hide every name without a dot, as Linux files often are.
    dialog.setNameFilters({QStringLiteral("TxtFile(*.txt)"), QStringLiteral("ALLFile(*)")});
    // The macro folder is made when it is missing, so the dialog opens where macros belong.
    std::error_code ec;
    const std::filesystem::path folder = startDirectory / kMacroFolder;
    std::filesystem::create_directories(folder, ec);
    dialog.setDirectory(QFile::decodeName(folder.c_str()));
}

std::optional<std::filesystem::path> runMacroFileDialog(QWidget* parent, const QString& title,
                                                        const std::filesystem::path& startDirectory)
{
    QFileDialog dialog(parent);
    setUpMacroFileDialog(dialog, title, startDirectory);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return std::filesystem::path(QFile::encodeName(dialog.selectedFiles().first()).toStdString());
}

ChooseMacroFile macroFileChooser(const std::filesystem::path& startDirectory)
{
    return [startDirectory](QWidget* parent, const QString& title) {
        return runMacroFileDialog(parent, title, startDirectory);
    };
}

} // namespace kestrane
