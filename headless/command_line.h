// Command lines of the programs without a window: options as "--name VALUE" or "--name=VALUE",
// switches, and plain arguments (also everything after "--"). Every mistake becomes one
// sentence for the user; the first one counts.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrane::headless {

class ArgReader {
public:
    ArgReader(int argc, const char* const* argv);

    // Moves to the next argument; false after the last one.
    bool next();
    // The current argument is the option `name` ("--name" or "--name=VALUE").
    [[nodiscard]] bool is(std::string_view name) const;
    // The current argument is no option: a file name, "-", or anything after "--".
    [[nodiscard]] bool plain() const { return plain_; }
    [[nodiscard]] const std::string& current() const { return current_; }

    // The option's value: after '=' or the next argument. Nothing (and an error) when missing.
    std::optional<std::string> value();
    // The value as a whole decimal number in min..max.
    std::optional<long> number(long min, long max);
    // A switch given a value ("--quiet=1") is a mistake too.
    void checkSwitch();

    // Records a mistake (only the first is kept) and returns false.
    bool fail(std::string message);
    // "unknown option --x" for the current argument.
    bool unknown();
    [[nodiscard]] bool failed() const { return !error_.empty(); }
    [[nodiscard]] const std::string& error() const { return error_; }

private:
    std::vector<std::string> args_;
    std::size_t next_ = 0;
    std::string current_;
    std::string name_;                  // the option without its "=VALUE"
    std::optional<std::string> inline_;  // the "=VALUE" part
    bool plain_ = false;
    bool afterDashes_ = false;
    std::string error_;
};

// Tells a mistake in the command line on stderr ("PROGRAM: MESSAGE", then where help is) and
// returns `exitCode`.
int usageError(const char* program, const std::string& message, int exitCode);

} // namespace kestrane::headless
