#include "app/command_rules.h"

namespace kestrane {

std::optional<bool> commandRule(int id, const CommandState& s)
{
    const bool ch2Open = s.ch2Mode != 0 && s.ch2Running;
    switch (id) {
    case 55509: return s.fastDisplay == 0;                      // display settings
    case 55510: return s.displayMode == 3 && s.dioFitted == 1;  // time chart
    case 55518: return s.ch2Mode != 3 && s.ch2Mode != 7;        // run a macro
    case 37839: return s.ch1Running;                            // text transfer CH1
    case 37834: return ch2Open;                                 // text transfer CH2
    case 55514: return s.dioFitted == 1;                        // I/O monitor
    case 55520: return s.ch1Running;                            // serial settings CH1
    case 55521: return ch2Open;
    case 55522: return s.ch1Running;                            // DCB CH1
    case 55523: return ch2Open;
    case 37829: return s.ch1Running;                            // line status CH1
    case 37831: return ch2Open;
    case 37841: return s.ch2Mode == 3;                          // input signals of both channels
    case 55524: return false;                                   // no action behind it
    case 37832: return s.displayMode == 0;                      // speed switch on the menu bar
    default: return std::nullopt;
    }
}

} // namespace kestrane
