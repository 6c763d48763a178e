// A port's input queue: the bytes taken from the device that no reader has taken yet, how many
// of them are the event character (EV_RXFLAG can only be seen here, before the bytes are read),
// whether it overflowed (CE_RXOVER) and what the device said about the bytes, kept beside them
// by their place in the stream: when they were taken from the device (arrival marks) and the
// line errors among them (error marks). Not thread-safe: the port core guards it.
//
// Every byte ever pushed has a stream position; the queued bytes are [begin(), end()). Marks
// live in fixed rings made once, so neither a push nor a pop allocates. A pop hands the marks
// of exactly the bytes it took; bytes dropped (overflow, clear) take their marks with them.
#pragma once

#include "platform/byte_ring.h"
#include "platform/comm_types.h"
#include "platform/serial_port.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

namespace kestrane {

// A ring of fixed capacity for the marks (no allocation after construction).
template <class T>
class MarkRing {
public:
    explicit MarkRing(std::size_t capacity) : items_(capacity) {}
    [[nodiscard]] std::size_t size() const { return size_; }
    [[nodiscard]] bool empty() const { return size_ == 0; }
    [[nodiscard]] bool full() const { return size_ == items_.size(); }
    T& operator[](std::size_t i) { return items_[(head_ + i) % items_.size()]; }
    const T& operator[](std::size_t i) const { return items_[(head_ + i) % items_.size()]; }
    T& front() { return (*this)[0]; }
    T& back() { return (*this)[size_ - 1]; }
    // The caller makes room first (!full()).
    void pushBack(const T& t)
    {
        items_[(head_ + size_) % items_.size()] = t;
        ++size_;
    }
    void pushFront(const T& t)
    {
        head_ = (head_ + items_.size() - 1) % items_.size();
        items_[head_] = t;
        ++size_;
    }
    void popFront()
    {
        head_ = (head_ + 1) % items_.size();
        --size_;
    }
    void clear() { head_ = size_ = 0; }

private:
    std::vector<T> items_;
    std::size_t head_ = 0;
    std::size_t size_ = 0;
};

class InputQueue {
public:
    static constexpr std::size_t kCapacity = 64 * 1024;
    // Arrivals (one per fill whose time differs from the last) and line errors the queue keeps.
    // A full arrival ring gives its oldest fill the time of the next one (a later time, never an
    // earlier one); a full error ring drops its oldest error (the error word still has its bit).
    static constexpr std::size_t kArrivalMarks = 4096;
    static constexpr std::size_t kErrorMarks = 4096;

    InputQueue() : arrivals_(kArrivalMarks), errorMarks_(kErrorMarks) {}

    [[nodiscard]] std::size_t size() const { return ring_.size(); }
    [[nodiscard]] std::size_t room() const { return ring_.room(); }
    [[nodiscard]] bool empty() const { return ring_.empty(); }
    // Event characters among the queued bytes.
    [[nodiscard]] std::size_t eventChars() const { return eventChars_; }
    // Stream positions of the oldest queued byte and of the next byte to come.
    [[nodiscard]] std::uint64_t begin() const { return end_ - ring_.size(); }
    [[nodiscard]] std::uint64_t end() const { return end_; }

    // Appends n bytes taken from the device at `at`, with the line errors among them (`errors`:
    // ascending offsets within the n bytes; n means after the last). When they do not fit, the
    // oldest bytes make room, CE_RXOVER is set and a buffer overrun marks the first byte kept
    // with the count lost; of more than the queue holds only the newest are kept.
    void push(const std::uint8_t* p, std::size_t n, const timeline::Stamp& at,
              std::span<const ReadMarks::Error> errors = {})
    {
        const std::uint64_t start = end_;  // the stream position of p[0]
        if (n > room()) {
            std::size_t lost = 0;
            if (n > kCapacity) {
                // The whole queue goes, and the oldest bytes of this push never get in.
                const std::size_t skip = n - kCapacity;
                lost = size() + skip;
                dropOldest(size());
                p += skip;
                n = kCapacity;
                end_ += skip;
                while (!errorMarks_.empty() && errorMarks_.front().position < end_) {
                    if (errorMarks_.front().kind == timeline::LineError::BufferOverrun)
                        droppedLoss_ += errorMarks_.front().lost;
                    errorMarks_.popFront();
                }
            } else {
                lost = n - room();
                dropOldest(lost);
            }
            overflow_ = true;
            markOverrun(lost + std::exchange(droppedLoss_, 0));
        }
        const std::uint64_t first = end_;
        ring_.push(p, n);
        end_ += n;
        eventChars_ += static_cast<std::size_t>(std::count(p, p + n, eventChar_));
        if (n > 0)
            addArrival(first, at);
        for (const ReadMarks::Error& e : errors) {
            const std::uint64_t position = std::min(start + e.offset, end_);
            if (position >= first)
                addErrorMark(position, e.kind, e.lost);
        }
    }

    // A line error at the end of the stream (between the last byte queued and the next).
    void markAtEnd(timeline::LineError kind, std::uint32_t lost = 0) { addErrorMark(end_, kind, lost); }

    // Takes up to n of the oldest bytes. With `marks`, appends the marks of the bytes taken to it,
    // their offsets counted from `offset` (where p[0] sits in the caller's read): every arrival
    // among them (the first at `offset`), and every error placed before the last byte taken.
    std::size_t pop(std::uint8_t* p, std::size_t n, ReadMarks* marks = nullptr, std::uint32_t offset = 0)
    {
        const std::uint64_t from = begin();
        const std::size_t k = ring_.pop(p, n);
        if (k == 0)
            return 0;
        if (eventChars_ > 0)
            eventChars_ -= static_cast<std::size_t>(std::count(p, p + k, eventChar_));
        const std::uint64_t to = from + k;
        if (marks) {
            for (std::size_t i = 0; i < arrivals_.size(); ++i) {
                const Arrival& a = arrivals_[i];
                if (a.position >= to)
                    break;
                if (!marks->arrivals.empty() && sameTime(marks->arrivals.back().time, a.time))
                    continue;
                const std::uint64_t at = std::max(a.position, from);
                marks->arrivals.push_back({offset + static_cast<std::uint32_t>(at - from), a.time});
            }
        }
        while (!errorMarks_.empty() && errorMarks_.front().position < to) {
            const ErrorMark& e = errorMarks_.front();
            if (marks)
                marks->errors.push_back({offset + static_cast<std::uint32_t>(e.position - from), e.kind, e.lost});
            else if (e.kind == timeline::LineError::BufferOverrun)
                droppedLoss_ += e.lost;  // an earlier loss among the bytes dropped now: one loss
            errorMarks_.popFront();
        }
        if (ring_.empty()) {
            arrivals_.clear();
        } else {
            while (arrivals_.size() >= 2 && arrivals_[1].position <= to)
                arrivals_.popFront();
        }
        return k;
    }

    // With the queue empty, an error left at the end has no byte to go with: takes the oldest.
    bool takeLoneError(timeline::LineError& kind, std::uint32_t& lost)
    {
        if (!ring_.empty() || errorMarks_.empty())
            return false;
        kind = errorMarks_.front().kind;
        lost = errorMarks_.front().lost;
        errorMarks_.popFront();
        return true;
    }

    void clear()
    {
        ring_.clear();
        eventChars_ = 0;
        arrivals_.clear();
        errorMarks_.clear();
    }

    void setEventChar(std::uint8_t c)
    {
        if (c == eventChar_)
            return;
        eventChar_ = c;
        eventChars_ = ring_.count(c);
    }

    // Line errors (CE_* bits) the device reported.
    void addErrors(std::uint32_t errors) { errors_ |= errors; }
    // The error word since the last call: the line errors and CE_RXOVER.
    std::uint32_t takeErrors()
    {
        const std::uint32_t e = errors_ | (overflow_ ? CE_RXOVER : 0);
        errors_ = 0;
        overflow_ = false;
        return e;
    }

private:
    struct Arrival {
        std::uint64_t position = 0;  // the bytes from here to the next arrival were taken at `time`
        timeline::Stamp time;
    };
    struct ErrorMark {
        std::uint64_t position = 0;
        std::uint32_t lost = 0;
        timeline::LineError kind = timeline::LineError::ParityOrFraming;
    };

    static bool sameTime(const timeline::Stamp& a, const timeline::Stamp& b)
    {
        return a.monoUs == b.monoUs && a.wallUs == b.wallUs;
    }

    void addArrival(std::uint64_t position, const timeline::Stamp& at)
    {
        if (!arrivals_.empty() && sameTime(arrivals_.back().time, at))
            return;
        if (arrivals_.full()) {
            // The oldest fill's bytes take the next fill's time.
            arrivals_[1].position = arrivals_[0].position;
            arrivals_.popFront();
        }
        arrivals_.pushBack({position, at});
    }

    void addErrorMark(std::uint64_t position, timeline::LineError kind, std::uint32_t lost)
    {
        if (errorMarks_.full())
            errorMarks_.popFront();
        errorMarks_.pushBack({position, lost, kind});
    }

    // Bytes were lost before the oldest byte kept: said there, merged with a loss said there before.
    void markOverrun(std::size_t lost)
    {
        const std::uint64_t at = begin();
        if (!errorMarks_.empty() && errorMarks_.front().position == at
            && errorMarks_.front().kind == timeline::LineError::BufferOverrun) {
            errorMarks_.front().lost += static_cast<std::uint32_t>(lost);
            return;
        }
        if (errorMarks_.full())
            errorMarks_.popFront();
        errorMarks_.pushFront({at, static_cast<std::uint32_t>(lost), timeline::LineError::BufferOverrun});
    }

    void dropOldest(std::size_t n)
    {
        std::uint8_t scratch[4096];
        while (n > 0)
            n -= pop(scratch, std::min(n, sizeof scratch));
    }

    ByteRing ring_{kCapacity};
    std::uint64_t end_ = 0;
    MarkRing<Arrival> arrivals_;
    MarkRing<ErrorMark> errorMarks_;
    std::uint8_t eventChar_ = 0x0D;
    std::size_t eventChars_ = 0;
    bool overflow_ = false;
    std::size_t droppedLoss_ = 0;  // losses said before bytes the overflow under way dropped
    std::uint32_t errors_ = 0;
};

} // namespace kestrane
