#include "traffic/log_commands.h"

#include "traffic/traffic_buffer.h"

#include <system_error>
#include <utility>

namespace kestrane {

LogCommands::LogCommands(TrafficBuffer& traffic, Path startDirectory)
    : traffic_(traffic), startDirectory_(std::move(startDirectory))
{
}

// Relative names typed into the file dialogs resolve against the start folder, as the settings
// files do. A folder that has gone away leaves the current one as it is.
void LogCommands::enterStartDirectory() const
{
    std::error_code ec;
    std::filesystem::current_path(startDirectory_, ec);
}

bool LogCommands::askToSave()
{
    if (!traffic_.unsavedData())
        return true;
    // A missing hook counts as a cancelled question.
    const SaveAnswer answer = askSave ? askSave() : SaveAnswer::Cancel;
    if (answer == SaveAnswer::Cancel)
        return false;
    // Yes goes on when the save itself was written: traffic that arrives while the save
    // dialog is open marks the buffer unsaved again, and must not abandon the command.
    if (answer == SaveAnswer::Yes)
        return save();
    return true;
}

ViewFollowUp LogCommands::newLog()
{
    if (!askToSave())
        return {};
    traffic_.clearTraffic();
    traffic_.setUntitledLog(true);
    traffic_.setUnsavedData(false);
    currentFile_.clear();
    ViewFollowUp next;
    next.invalidate = true;
    next.scrollToTop = true;
    return next;
}

ViewFollowUp LogCommands::open(bool autoScroll)
{
    enterStartDirectory();
    if (!askToSave())
        return {};
    const std::optional<Path> chosen = chooseOpenFile ? chooseOpenFile(startDirectory_) : std::nullopt;
    if (!chosen)
        return {};
    if (!traffic_.loadFromLog(*chosen)) {
        if (reportCannotOpen)
            reportCannotOpen(0);
        return {};
    }
    currentFile_ = *chosen;
    ViewFollowUp next;
    next.invalidate = true;
    next.repaintNow = true;
    next.scrollToNewest = autoScroll;
    next.refreshStatus = true;
    return next;
}

bool LogCommands::save()
{
    // An automatic log also clears untitledLog, yet gives the buffer no name of its own.
    if (traffic_.untitledLog() || currentFile_.empty())
        return saveAs();
    enterStartDirectory();
    return write(currentFile_);
}

bool LogCommands::saveAs()
{
    enterStartDirectory();
    const Path proposed = traffic_.untitledLog() || currentFile_.empty()
        ? startDirectory_ / "log" / "newfile.log"
        : currentFile_;
    const std::optional<Path> chosen = chooseSaveFile ? chooseSaveFile(proposed) : std::nullopt;
    if (!chosen)
        return false;
    return write(*chosen);
}

bool LogCommands::write(const Path& path)
{
    if (const FileWriteResult written = traffic_.saveToLog(path); !written) {
        if (reportCannotOpen)
            reportCannotOpen(written.systemError);
        return false;
    }
    currentFile_ = path;
    return true;
}

} // namespace kestrane
