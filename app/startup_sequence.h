// The ten start-up steps shown on the splash: settings files, the two channels, display resources.
#pragma once

#include <QString>

#include <functional>

namespace kestrane {

class AppCore;

// What the start-up steps need of the splash window.
class StartupView {
public:
    virtual ~StartupView() = default;
    virtual void setGauge(int percent) = 0;
    virtual void setText(const QString& text) = 0;  // written before any pause begins
    virtual void pause(int milliseconds) = 0;
};

// The splash text for a port-open result of `channel` (1 or 2); empty for success.
QString portResultText(int channel, int result);

// Runs steps 1..10 against `core` (settings read from its start directory, channels opened).
// `createDisplayResources` is step 9's work (bitmaps and font).
void runStartupSteps(AppCore& core, StartupView& view, const std::function<void()>& createDisplayResources);

} // namespace kestrane
