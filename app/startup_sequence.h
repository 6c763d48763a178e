// The ten start-up steps shown on the splash: settings files, the two channels, display resources.
#pragma once

#include "comm/channel.h"

#include <QString>

#include <functional>

namespace kestrane {

class AppCore;
class Channels;

// What the start-up steps need of the splash window.
class StartupView {
public:
    virtual ~StartupView() = default;
    virtual void setGauge(int percent) = 0;
    virtual void setText(const QString& text) = 0;  // written before any pause begins
    virtual void pause(int milliseconds) = 0;
    // The program is to end (a stop signal): no further step runs; a pause under way ends.
    [[nodiscard]] virtual bool interrupted() const { return false; }
    // Called once before the first channel opens: from here on the program has ports to close.
    virtual void channelsOpening() {}
    // Waits until `done` holds while a channel opens on a thread of its own, handling the
    // channels' device events (which end the open). The splash keeps painting meanwhile; by
    // default the caller's thread just waits for the events.
    virtual void waitForChannels(Channels& channels, const std::function<bool()>& done);
};

// The splash text for a port-open result of `channel` (1 or 2); empty for success.
QString portResultText(int channel, OpenResult result);

// What the start-up found: on a first run in a folder (no Quellorn.dat) whose CH1 did not open
// the main window offers the COM-port dialog once, so the user reaches a working port at once.
struct StartupOutcome {
    bool generalSettingsMissing = false;
    OpenResult ch1Result = OpenResult::Opened;  // result of CH1's open
    bool interrupted = false;  // the steps stopped early; the program ends without a window

    [[nodiscard]] bool offersPortDialog() const { return generalSettingsMissing && ch1Result != OpenResult::Opened; }
};

// Runs steps 1..10 against `core` (settings read from its start directory, channels opened).
// `createDisplayResources` is step 9's work (bitmaps and font). Once the view is interrupted
// no further step begins (the step under way ends first).
StartupOutcome runStartupSteps(AppCore& core, StartupView& view, const std::function<void()>& createDisplayResources);

} // namespace kestrane
