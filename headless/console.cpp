#include "headless/console.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <ctime>

namespace kestrane::headless {

std::string localTimeText()
{
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm);
    return text;
}

Console::Console(std::FILE* out, bool statusLine) : out_(out), statusLine_(statusLine) {}

void Console::event(const std::string& text) { line(localTimeText() + " " + text); }

void Console::line(const std::string& text)
{
    if (shown_)
        std::fputs("\r\x1b[K", out_);
    std::fprintf(out_, "%s\n", text.c_str());
    if (shown_)
        drawStatus();
    std::fflush(out_);
}

void Console::status(const std::string& text)
{
    if (!statusLine_ || (shown_ && text == status_))
        return;
    status_ = text;
    std::fputs("\r\x1b[K", out_);
    drawStatus();
    std::fflush(out_);
}

void Console::drawStatus()
{
    // A line longer than the terminal would wrap, and the next rewrite would leave its first part.
    winsize ws{};
    std::size_t width = 0;
    if (::ioctl(::fileno(out_), TIOCGWINSZ, &ws) == 0 && ws.ws_col > 1)
        width = ws.ws_col - 1U;
    std::fputs(width > 0 && status_.size() > width ? status_.substr(0, width).c_str() : status_.c_str(), out_);
    shown_ = true;
}

void Console::finish()
{
    if (shown_)
        std::fputc('\n', out_);
    shown_ = false;
    std::fflush(out_);
}

} // namespace kestrane::headless
