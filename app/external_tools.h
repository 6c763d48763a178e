// The companion programs, the manual and its pages.
#pragma once

#include "i18n/language.h"
#include "records/settings_records.h"
#include "platform/processes.h"

#include <QString>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kestrane {

inline constexpr const char* kChecksumTool = "tolvek.exe";
inline constexpr const char* kCharacterTableTool = "glimra.exe";
inline constexpr const char* kNumberConverterTool = "dornex.exe";
inline constexpr const char* kMainManual = "Kestrane_Manual.pdf";
inline constexpr const char* kDialogManual = "Quellorn_Manual.pdf";
inline constexpr const char* kMainManualEnglish = "Kestrane_Manual_en.pdf";
inline constexpr const char* kDialogManualEnglish = "Quellorn_Manual_en.pdf";

// The manuals in the language of this run (the English ones have the same pages at the same
// numbers, so a help button's page is the same in both).
[[nodiscard]] const char* mainManual();
[[nodiscard]] const char* dialogManual();

// The message shown when a companion program cannot be started.
QString companionMissingText(const char* program);

// The message shown when nothing opened a manual: its path, and the viewers that would open it.
QString manualNotOpenedText(const std::filesystem::path& manual);

// How the manual is opened at a page.
struct ManualLaunch {
    bool withHandler = false;  // open the manual with the desktop's handler, no page
    std::string program;       // otherwise: run this program ...
    std::string parameters;    // ... with these parameters
};
ManualLaunch manualLaunchFor(const std::string& pdfReaderPath, const std::string& pdfPageCommand, int page);

// A PDF viewer of this system and the arguments that open `file` at a page.
struct PageViewer {
    std::string program;
    std::vector<std::string> args;
};
// The stand-in for a reader setting this system cannot run as it stands: the Windows reader
// (AcroRd32.exe, the default) when it is not installed becomes the first installed of the known
// Linux viewers (evince, okular, atril, qpdfview, zathura, mupdf, xpdf) with that viewer's own
// page option; a known viewer set with the Windows page option ("/A page=") gets its own option
// too. None when the setting is used as it stands, or when no known viewer is installed.
std::optional<PageViewer> pageViewerFor(const std::string& pdfReaderPath, const std::string& pdfPageCommand, int page,
                                        const std::string& file, const std::function<bool(const std::string&)>& installed);

// Where the program's own files are looked for: the start folder, the program's folder, and
// the installed data folder beside it (<prefix>/share/kestrane for <prefix>/bin).
std::vector<std::filesystem::path> dataFolders(const std::filesystem::path& startDirectory,
                                               const std::filesystem::path& programDir);

class ExternalTools {
public:
    ExternalTools(Processes processes, const Settings& settings, std::filesystem::path startDirectory);

    // Starts a companion program; false when it cannot be found or started.
    bool startCompanion(const char* program) const;
    // The manual at a page of a dialog's help button. A reader that cannot be started falls back
    // to the desktop's handler for the manual.
    void openManualAtPage(int page) const;
    // The sampling dialogs' help: the fixed reader and page, whatever the settings say.
    void openSamplingManual() const;
    // The Help menu's manual, with the desktop's handler.
    bool openMainManual() const;

    // A manual as it is handed to a reader: its bare name when it lies in the start folder (the
    // reader runs there), else its path in the first data folder that has it; the bare name when
    // none has it.
    [[nodiscard]] std::filesystem::path manualFile(const char* name) const;

    [[nodiscard]] const Processes& processes() const { return processes_; }

    // Opens a manual with the desktop's handler: by default started and left alone; the main
    // window puts in one that tells the user when nothing opened it.
    std::function<bool(const std::filesystem::path& document)> documentOpener;

private:
    void launch(const ManualLaunch& how, const std::string& pageCommand, int page) const;

    Processes processes_;
    const Settings& settings_;
    std::filesystem::path startDirectory_;
};

} // namespace kestrane
