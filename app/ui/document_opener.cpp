#include "app/ui/document_opener.h"

#include "app/external_tools.h"

#include <QProcess>

namespace kestrane {

bool openDocumentWatched(const Processes& processes, const std::filesystem::path& document,
                         const std::filesystem::path& workingDir, MessageBoxFn message, QObject* parent)
{
    const QString text = manualNotOpenedText(document);
    const std::filesystem::path opener = processes.find(processes.desktopOpener);
    std::error_code ec;
    if (opener.empty() || !std::filesystem::exists(document, ec)) {
        message(text, QMessageBox::Ok, QMessageBox::Warning);
        return false;
    }
    auto* process = new QProcess(parent);
    process->setProgram(QString::fromStdString(opener.string()));
    process->setArguments({QString::fromStdString(document.string())});
    process->setWorkingDirectory(QString::fromStdString(workingDir.string()));
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->setInputChannelMode(QProcess::ForwardedInputChannel);
    // The handler ends at once, or (without a desktop) when the viewer it started is closed; an
    // exit status other than 0 means that nothing could open the document.
    QObject::connect(process, &QProcess::finished, process, [process, message, text](int code, QProcess::ExitStatus status) {
        process->deleteLater();
        if (status != QProcess::NormalExit || code != 0)
            message(text, QMessageBox::Ok, QMessageBox::Warning);
    });
    QObject::connect(process, &QProcess::errorOccurred, process, [process, message, text](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        process->deleteLater();
        message(text, QMessageBox::Ok, QMessageBox::Warning);
    });
    // A handler still waiting for its viewer when the program ends is stopped quietly (the viewer
    // stays open).
    QObject::connect(parent, &QObject::destroyed, process, [process] {
        process->disconnect();
        process->kill();
        process->waitForFinished(1000);
    });
    process->start();
    return true;
}

} // namespace kestrane
