// The application object: builds the splash, the main client window (which runs the start-up
// steps), the frame and its status bar, sizes and centres the frame, and runs the message loop.
#pragma once

#include <QString>

#include <memory>

namespace kestrane {

class AppCore;
class CloseSignals;
class MainFrame;
class TSplashWindow;
class TDrawWindow;

class TDrawApp {
public:
    explicit TDrawApp(AppCore& core);
    ~TDrawApp();

    // Creates everything up to the frame (not yet shown). `pauses` false skips the splash pauses.
    // False when a stop signal ended the start-up: no frame; the channels opened so far stay
    // open until the core closes them, and no settings file is written.
    bool initMainWindow(bool pauses = true);
    // Shows the frame and sets the client up; on a first run whose CH1 did not open, the
    // COM-port command follows once the message loop runs.
    void start();
    // start(), then the message loop; returns its result.
    int run();

    // A stop signal (SIGINT, SIGTERM, SIGHUP): during the start-up steps they stop after the
    // step under way; once the frame exists it closes as the close command does (the save
    // question may keep it open) and the message loop ends, also from inside a dialog.
    void closeForSignal();
    // Makes SIGINT, SIGTERM and SIGHUP call closeForSignal (the program does; tests do not).
    void closeOnSignals();

    [[nodiscard]] MainFrame* frame() const { return frame_.get(); }
    [[nodiscard]] int screenWidth() const { return screenWidth_; }
    [[nodiscard]] int screenHeight() const { return screenHeight_; }

    // Where the splash image is looked for: the start-up directory, beside the program, then in
    // the installed data folder.
    static QString splashImagePath(const QString& startDirectory);

private:
    // Sizes and places the frame for the start-up size code, its decorations included as far
    // as the window system has told them.
    void placeFrame();

    AppCore& core_;
    std::unique_ptr<MainFrame> frame_;
    std::unique_ptr<CloseSignals> signals_;
    TSplashWindow* splash_ = nullptr;  // while the start-up steps run
    bool stopRequested_ = false;       // a signal came before the frame existed
    bool closing_ = false;             // a signal's close is asking its question
    bool quitting_ = false;            // the frame closed for a signal
    int screenWidth_ = 0;
    int screenHeight_ = 0;
};

} // namespace kestrane
