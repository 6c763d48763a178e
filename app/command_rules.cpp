#include "app/command_rules.h"

#include "app/command_ids.h"
#include "records/settings_records.h"

namespace kestrane {

std::optional<bool> commandRule(int id, const CommandState& s)
{
    const bool ch2Open = s.ch2Mode != Ch2Mode::NotUsed && s.ch2Running;
    switch (id) {
    case cmd::DisplaySettings: return s.fastDisplay == 0;                      // display settings
    case cmd::TimeChart: return s.displayMode == DisplayMode::AscWithIo && s.dioFitted == 1;  // time chart
    case cmd::RunMacro: return !isLineMonitor(s.ch2Mode);        // run a macro
    case cmd::TextTransferCh1: return s.ch1Running;                            // text transfer CH1
    case cmd::TextTransferCh2: return ch2Open;                                 // text transfer CH2
    case cmd::IoMonitor: return s.dioFitted == 1;                        // I/O monitor
    case cmd::SerialSettingsCh1: return s.ch1Running;                            // serial settings CH1
    case cmd::SerialSettingsCh2: return ch2Open;
    case cmd::DcbSettingsCh1: return s.ch1Running;                            // DCB CH1
    case cmd::DcbSettingsCh2: return ch2Open;
    case cmd::LineStatusCh1: return s.ch1Running;                            // line status CH1
    case cmd::LineStatusCh2: return ch2Open;
    case cmd::LineStatusBoth: return s.ch2Mode == Ch2Mode::MonitorT;                          // input signals of both channels
    case cmd::DioPortSettings: return false;                                   // no action behind it
    case cmd::ToggleSpeed: return s.displayMode == DisplayMode::Asc;                      // speed switch on the menu bar
    default: return std::nullopt;
    }
}

} // namespace kestrane
