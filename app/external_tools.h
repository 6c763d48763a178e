// The companion programs, the manual and its pages.
#pragma once

#include "settings/settings_records.h"
#include "platform/processes.h"

#include <QString>

#include <filesystem>
#include <string>

namespace kestrane {

inline constexpr const char* kChecksumTool = "tolvek.exe";
inline constexpr const char* kCharacterTableTool = "glimra.exe";
inline constexpr const char* kNumberConverterTool = "dornex.exe";
inline constexpr const char* kMainManual = "Kestrane_Manual.pdf";
inline constexpr const char* kDialogManual = "Quellorn_Manual.pdf";

// The message shown when a companion program cannot be started.
QString companionMissingText(const char* program);

// How the manual is opened at a page.
struct ManualLaunch {
    bool withHandler = false;  // open the manual with the desktop's handler, no page
    std::string program;       // otherwise: run this program ...
    std::string parameters;    // ... with these parameters
};
ManualLaunch manualLaunchFor(const std::string& pdfReaderPath, const std::string& pdfPageCommand, int page);

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

    [[nodiscard]] const Processes& processes() const { return processes_; }

private:
    void launch(const ManualLaunch& how) const;

    Processes processes_;
    const Settings& settings_;
    std::filesystem::path startDirectory_;
};

} // namespace kestrane
