#include "headless/command_line.h"

#include <charconv>
#include <cstdio>

namespace kestrane::headless {

ArgReader::ArgReader(int argc, const char* const* argv)
{
    for (int i = 1; i < argc; ++i)
        args_.emplace_back(argv[i]);
}

bool ArgReader::next()
{
    if (next_ >= args_.size())
        return false;
    current_ = args_[next_++];
    inline_.reset();
    plain_ = afterDashes_ || current_.size() < 2 || current_[0] != '-';
    if (!plain_ && current_ == "--") {
        afterDashes_ = true;
        return next();
    }
    name_ = current_;
    if (!plain_) {
        if (const auto eq = current_.find('='); eq != std::string::npos) {
            name_ = current_.substr(0, eq);
            inline_ = current_.substr(eq + 1);
        }
    }
    return true;
}

bool ArgReader::is(std::string_view name) const { return !plain_ && name_ == name; }

std::optional<std::string> ArgReader::value()
{
    if (inline_)
        return inline_;
    if (next_ >= args_.size()) {
        fail(name_ + " needs a value");
        return std::nullopt;
    }
    return args_[next_++];
}

std::optional<long> ArgReader::number(long min, long max)
{
    const auto text = value();
    if (!text)
        return std::nullopt;
    long n = 0;
    const char* end = text->data() + text->size();
    const auto [at, ec] = std::from_chars(text->data(), end, n);
    if (text->empty() || ec != std::errc{} || at != end || n < min || n > max) {
        fail(name_ + " takes a whole number from " + std::to_string(min) + " to " + std::to_string(max) + ", not \""
             + *text + "\"");
        return std::nullopt;
    }
    return n;
}

void ArgReader::checkSwitch()
{
    if (inline_)
        fail(name_ + " takes no value");
}

bool ArgReader::fail(std::string message)
{
    if (error_.empty())
        error_ = std::move(message);
    return false;
}

bool ArgReader::unknown() { return fail(plain_ ? "unexpected argument \"" + current_ + "\"" : "unknown option " + name_); }

int usageError(const char* program, const std::string& message, int exitCode)
{
    std::fprintf(stderr, "%s: %s\nTry %s --help.\n", program, message.c_str(), program);
    return exitCode;
}

} // namespace kestrane::headless
