// A program started by a test: its standard output (and error) collected as it comes, signals
// sent to it, its exit awaited; killed if it still runs when the test ends.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace kestrane::test {

class ChildProcess {
public:
    // `args[0]` is the program's path; it runs in `folder` (empty: the test's own folder).
    // `inChild` runs in the new process before the program starts (limits, filters).
    explicit ChildProcess(std::vector<std::string> args, const std::filesystem::path& folder = {},
                          const std::function<void()>& inChild = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Reads the output until `text` appeared at or after `from` (false when the time is up).
    bool waitForOutput(const std::string& text, std::size_t from = 0,
                       std::chrono::milliseconds timeout = std::chrono::seconds(30));
    [[nodiscard]] const std::string& output() const { return text_; }

    void signal(int sig);
    // The exit code once the program ended (128 + the signal that ended it), or -1 when it still
    // runs after `timeout`. The output it wrote until then is read.
    int waitForExit(std::chrono::milliseconds timeout = std::chrono::seconds(30));

private:
    // Reads what comes within `waitMs`: 1 read something, 0 nothing came, -1 the output ended.
    int readSome(int waitMs);

    pid_t pid_ = -1;
    int output_ = -1;
    std::string text_;
};

} // namespace kestrane::test
