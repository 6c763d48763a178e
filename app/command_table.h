// The table of menu commands: one row per command id with its handler and enabling test.
// Ids without a handler do nothing and are shown disabled; later features add rows.
#pragma once

#include <functional>
#include <map>
#include <optional>

namespace kestrane {

class CommandTable {
public:
    using Handler = std::function<void()>;
    using EnableTest = std::function<bool()>;

    using Rule = std::function<std::optional<bool>(int id)>;

    // Adds or replaces the row for `id`; without a test the row follows the shared rule.
    void add(int id, Handler handler, EnableTest enabled = {});
    // The enabling rule for rows without a test of their own; no answer means always enabled.
    void setRule(Rule rule) { rule_ = std::move(rule); }

    [[nodiscard]] bool hasHandler(int id) const;
    // The enabling test of the row; false for ids without a handler.
    [[nodiscard]] bool isEnabled(int id) const;
    // Runs the handler; an id without one is ignored (returns false).
    bool dispatch(int id) const;

    // A command that is one of several choices shows a check mark while `checked` holds.
    void setCheck(int id, EnableTest checked) { checks_[id] = std::move(checked); }
    // Whether the check mark shows; nothing for a command that is no choice.
    [[nodiscard]] std::optional<bool> checked(int id) const;

private:
    struct Row {
        Handler handler;
        EnableTest enabled;
    };
    std::map<int, Row> rows_;
    std::map<int, EnableTest> checks_;
    Rule rule_;
};

} // namespace kestrane
