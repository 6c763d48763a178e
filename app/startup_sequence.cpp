#include "app/startup_sequence.h"

#include "app/app_core.h"

#include <QCoreApplication>

#include <poll.h>

#include <optional>

namespace kestrane {

namespace {

constexpr int kStepPauseMs = 50;
constexpr int kFailurePauseMs = 3000;

// Opens `channel` with its waits off this thread (a remote line may take seconds), the view
// kept alive meanwhile.
OpenResult openOnTheSide(AppCore& core, StartupView& view, int channel, int com)
{
    std::optional<OpenResult> result;
    core.channels().beginOpen(channel, com, [&result](OpenResult r) { result = r; });
    // A stop signal ends the wait too; the program's end closes the channel still opening.
    view.waitForChannels(core.channels(),
                         [&] { return result || !core.channels().opening(channel) || view.interrupted(); });
    return result.value_or(OpenResult::PortWillNotOpen);
}

} // namespace

void StartupView::waitForChannels(Channels& channels, const std::function<bool()>& done)
{
    while (!done()) {
        pollfd p[2] = {{channels.deviceEventFd(), POLLIN, 0}, {channels.watchFd(), POLLIN, 0}};
        if (::poll(p, 2, 1000) > 0)
            channels.handleDeviceEvents();
    }
}

QString portResultText(int channel, OpenResult result)
{
    const bool one = channel == 1;
    switch (result) {
    case OpenResult::Opened: return {};
    case OpenResult::PortWillNotOpen:
        return one ? QCoreApplication::translate("StartupSequence", "CH1のポートがopenしません。") : QCoreApplication::translate("StartupSequence", "CH2のポートがopenしません。");
    case OpenResult::PortCannotBeConfigured:
        return one ? QCoreApplication::translate("StartupSequence", "CH1のポート設定が出来ません。") : QCoreApplication::translate("StartupSequence", "CH2のポート設定が出来ません。");
    case OpenResult::ThreadCannotBeCreated:
        return one ? QCoreApplication::translate("StartupSequence", "CH1のスレッドが出来ません。") : QCoreApplication::translate("StartupSequence", "CH2のスレッドが出来ません。");
    case OpenResult::PortNumberOutOfRange:
        return one ? QCoreApplication::translate("StartupSequence", "CH1のポート番号が違います。") : QCoreApplication::translate("StartupSequence", "CH2のポート番号が違います。");
    }
    return one ? QCoreApplication::translate("StartupSequence", "CH1ノーコメント") : QCoreApplication::translate("StartupSequence", "CH2ノーコメント");  // a code without a message
}

StartupOutcome runStartupSteps(AppCore& core, StartupView& view, const std::function<void()>& createDisplayResources)
{
    StartupOutcome outcome;
    view.setGauge(10);
    for (int step = 1; step <= 10; ++step) {
        if (view.interrupted()) {
            outcome.interrupted = true;
            return outcome;
        }
        view.setGauge(10 * step);
        switch (step) {
        case 1:
            view.setText(QCoreApplication::translate("StartupSequence", "設定ファイル（１）読出中"));
            if (!core.loadGeneralSettings()) {
                outcome.generalSettingsMissing = true;
                view.setText(QCoreApplication::translate("StartupSequence", "Quellorn.datがありません。"));
                view.pause(kFailurePauseMs);
            }
            core.applyStartupDisplayRule();
            break;
        case 2:
            view.setText(QCoreApplication::translate("StartupSequence", "設定ファイル（２）読出中"));
            if (!core.loadLineSettings()) {
                view.setText(QCoreApplication::translate("StartupSequence", "Quellorn1.datがありません。"));
                view.pause(kFailurePauseMs);
            }
            break;
        case 3:
            view.setText(QCoreApplication::translate("StartupSequence", "設定ファイル（３）読出中"));
            if (!core.loadSamplingSettings()) {
                view.setText(QCoreApplication::translate("StartupSequence", "Quellorn2.datがありません。"));
                view.pause(kFailurePauseMs);
            }
            break;
        case 4: {
            view.channelsOpening();
            const int com = core.settings().record.ch1ComNumber;
            view.setText(QCoreApplication::translate("StartupSequence", "CH1:COM%1:設定中").arg(com));
            const OpenResult result = openOnTheSide(core, view, 1, com);
            outcome.ch1Result = result;
            if (result == OpenResult::Opened) {
                view.setText(QCoreApplication::translate("StartupSequence", "CH1:COM%1:設定完了").arg(com));
            } else {
                view.setText(portResultText(1, result));
                view.pause(kFailurePauseMs);
            }
            break;
        }
        case 5: {
            if (core.settings().record.ch2Mode == Ch2Mode::NotUsed) {
                view.setText(QCoreApplication::translate("StartupSequence", "CH2:未設定"));
                break;
            }
            const int com = core.settings().record.ch2ComNumber;
            view.setText(QCoreApplication::translate("StartupSequence", "CH2:COM%1:設定中").arg(com));
            const OpenResult result = openOnTheSide(core, view, 2, com);
            if (result == OpenResult::Opened) {
                view.setText(QCoreApplication::translate("StartupSequence", "CH2:COM%1:設定完了").arg(com));
            } else {
                view.setText(portResultText(2, result));
                view.pause(kFailurePauseMs);
            }
            break;
        }
        case 8:
            view.setText(QCoreApplication::translate("StartupSequence", "ＳＰＡＲＥ"));
            break;
        case 9:
            view.setText(QCoreApplication::translate("StartupSequence", "さースタートだ！         "));
            if (createDisplayResources)
                createDisplayResources();
            break;
        default:
            break;
        }
        view.pause(kStepPauseMs);
    }
    outcome.interrupted = view.interrupted();
    return outcome;
}

} // namespace kestrane
