// A fixed-size ring of bytes: a port's own input or output queue. Not thread-safe; the port
// guards it with its own lock.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace kestrane {

class ByteRing {
public:
    explicit ByteRing(std::size_t capacity) : buf_(capacity) {}

    [[nodiscard]] std::size_t size() const { return size_; }
    [[nodiscard]] std::size_t room() const { return buf_.size() - size_; }
    [[nodiscard]] bool empty() const { return size_ == 0; }

    // Appends n bytes; the caller makes sure they fit (n <= room()).
    void push(const std::uint8_t* p, std::size_t n)
    {
        std::size_t tail = (head_ + size_) % buf_.size();
        for (std::size_t done = 0; done < n;) {
            const std::size_t k = std::min(n - done, buf_.size() - tail);
            std::memcpy(buf_.data() + tail, p + done, k);
            done += k;
            tail = (tail + k) % buf_.size();
        }
        size_ += n;
    }

    // Copies up to n of the oldest bytes out without taking them.
    std::size_t peek(std::uint8_t* p, std::size_t n) const
    {
        n = std::min(n, size_);
        std::size_t at = head_;
        for (std::size_t done = 0; done < n;) {
            const std::size_t k = std::min(n - done, buf_.size() - at);
            std::memcpy(p + done, buf_.data() + at, k);
            done += k;
            at = (at + k) % buf_.size();
        }
        return n;
    }

    // Drops up to n of the oldest bytes.
    void drop(std::size_t n)
    {
        n = std::min(n, size_);
        head_ = (head_ + n) % buf_.size();
        size_ -= n;
    }

    std::size_t pop(std::uint8_t* p, std::size_t n)
    {
        n = peek(p, n);
        drop(n);
        return n;
    }

    [[nodiscard]] std::size_t count(std::uint8_t c) const
    {
        std::size_t k = 0;
        for (std::size_t i = 0; i < size_; ++i)
            k += buf_[(head_ + i) % buf_.size()] == c;
        return k;
    }

    void clear() { head_ = size_ = 0; }

private:
    std::vector<std::uint8_t> buf_;
    std::size_t head_ = 0;
    std::size_t size_ = 0;
};

} // namespace kestrane
