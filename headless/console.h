// What a program without a window tells its user: events, one a line with a time stamp, and on
// a terminal one status line kept up to date below them.
#pragma once

#include <cstdio>
#include <string>

namespace kestrane::headless {

class Console {
public:
    // `statusLine`: `out` is a terminal that shows a status line; otherwise only events are written.
    Console(std::FILE* out, bool statusLine);
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    [[nodiscard]] bool hasStatusLine() const { return statusLine_; }
    // "YYYY-MM-DD HH:MM:SS text" on a line of its own (above the status line on a terminal).
    void event(const std::string& text);
    // `text` on a line of its own as it is (it carries its own time), above the status line.
    void line(const std::string& text);
    // The status line's text; rewritten only when it changed, cut to the terminal's width.
    void status(const std::string& text);
    // Ends the status line, so whatever comes next starts on a line of its own.
    void finish();

private:
    void drawStatus();

    std::FILE* out_;
    bool statusLine_;
    std::string status_;
    bool shown_ = false;
};

// The local time as "YYYY-MM-DD HH:MM:SS".
[[nodiscard]] std::string localTimeText();

} // namespace kestrane::headless
