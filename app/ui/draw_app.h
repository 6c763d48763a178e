// The application object: builds the splash, the main client window (which runs the start-up
// steps), the frame and its status bar, sizes and centres the frame, and runs the message loop.
#pragma once

#include <QString>

#include <memory>

namespace kestrane {

class AppCore;
class MainFrame;
class TSplashWindow;
class TDrawWindow;

class TDrawApp {
public:
    explicit TDrawApp(AppCore& core);
    ~TDrawApp();

    // Creates everything up to the frame (not yet shown). `pauses` false skips the splash pauses.
    void initMainWindow(bool pauses = true);
    // Shows the frame and sets the client up; on a first run whose CH1 did not open, the
    // COM-port command follows once the message loop runs.
    void start();
    // start(), then the message loop; returns its result.
    int run();

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
    int screenWidth_ = 0;
    int screenHeight_ = 0;
};

} // namespace kestrane
