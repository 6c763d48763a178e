// The table of menu commands: one row per command id with its handler and enabling test.
// Ids without a handler do nothing and are shown disabled; later features add rows.
#pragma once

#include <functional>
#include <map>

namespace kestrane {

class CommandTable {
public:
    using Handler = std::function<void()>;
    using EnableTest = std::function<bool()>;

    // Adds or replaces the row for `id`; without a test the command is always enabled.
    void add(int id, Handler handler, EnableTest enabled = {});

    [[nodiscard]] bool hasHandler(int id) const;
    // The enabling test of the row; false for ids without a handler.
    [[nodiscard]] bool isEnabled(int id) const;
    // Runs the handler; an id without one is ignored (returns false).
    bool dispatch(int id) const;

private:
    struct Row {
        Handler handler;
        EnableTest enabled;
    };
    std::map<int, Row> rows_;
};

} // namespace kestrane
