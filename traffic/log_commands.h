// The File menu's log commands: New, Open, Save, Save As and the ask-to-save question, on the
// current pair of the traffic buffer. The question, the file dialogs and the error message are
// hooks that the window fills with real dialogs and the tests with scripted answers; the
// commands return what the window has to do next.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>

namespace kestrane {

class TrafficBuffer;

enum class SaveAnswer { Yes, No, Cancel };

// What the window does after a command, in this order.
struct ViewFollowUp {
    bool invalidate = false;        // invalidate the whole window
    bool repaintNow = false;        // ... and repaint it at once (before the scrolling below)
    bool scrollToTop = false;       // scroll to line 0
    bool scrollToNewest = false;    // after the repaint: the newest line (drawY / 34) eight lines below the top
    bool refreshStatus = false;     // rebuild the status-bar text

    bool operator==(const ViewFollowUp&) const = default;
};

class LogCommands {
public:
    using Path = std::filesystem::path;

    LogCommands(TrafficBuffer& traffic, Path startDirectory);

    // "保存しますか?" with Yes, No and Cancel.
    std::function<SaveAnswer()> askSave;
    // The open-file dialog, starting in `folder`; nothing when cancelled.
    std::function<std::optional<Path>(const Path& folder)> chooseOpenFile;
    // The save-file dialog proposing `proposed`; nothing when cancelled.
    std::function<std::optional<Path>(const Path& proposed)> chooseSaveFile;
    // "ﾌｧｲﾙが開けません": a file could not be opened or created, with the system's reason
    // (an errno; 0 when there is none).
    std::function<void(int systemError)> reportCannotOpen;

    // Asks to save when there is unsaved traffic. Yes saves first (as Save); false when the
    // command must stop: Cancel, or Yes and the save was cancelled or failed, so answering Yes
    // never loses the traffic.
    [[nodiscard]] bool askToSave();

    // New: asks to save, then empties all planes and the buffer state; the buffer is untitled
    // again and holds nothing unsaved. Nothing when abandoned.
    ViewFollowUp newLog();
    // Open: asks to save, lets the user pick a file and loads it into the current pair. With
    // `autoScroll` the window then shows the newest line.
    ViewFollowUp open(bool autoScroll);
    // Save: Save As for an untitled buffer (or one without a file name), else writes the
    // current file. True when written.
    bool save();
    // Save As: proposes <start>/log/newfile.log for an untitled buffer, else the current name.
    bool saveAs();

    // The file that the buffer was last saved to or loaded from; empty when none.
    [[nodiscard]] const Path& currentFile() const { return currentFile_; }
    [[nodiscard]] const Path& startDirectory() const { return startDirectory_; }

private:
    bool write(const Path& path);
    void enterStartDirectory() const;

    TrafficBuffer& traffic_;
    Path startDirectory_;
    Path currentFile_;
};

} // namespace kestrane
