// When each menu command is enabled, as a function of the program's state. Commands without a
// rule are always enabled (when they have a handler at all).
#pragma once

#include <optional>

namespace kestrane {

struct CommandState {
    int ch2Mode = 0;
    bool ch1Running = false;
    bool ch2Running = false;
    int fastDisplay = 1;
    int displayMode = 0;
    int dioFitted = 0;
};

// The enabling rule of `id` in `state`; nothing for commands that are always enabled.
std::optional<bool> commandRule(int id, const CommandState& state);

} // namespace kestrane
