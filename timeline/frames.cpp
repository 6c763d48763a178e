#include "timeline/frames.h"

#include <algorithm>

namespace kestrane::timeline {

FrameRule frameRuleFor(std::uint32_t baudRate, int bitsPerCharacter, std::int64_t floorUs)
{
    FrameRule r;
    if (baudRate == 0)
        baudRate = 9600;
    r.characterUs = (static_cast<std::int64_t>(bitsPerCharacter) * 1'000'000 + baudRate - 1) / baudRate;
    r.quietUs = std::max<std::int64_t>((static_cast<std::int64_t>(bitsPerCharacter) * 3'500'000 + baudRate - 1) / baudRate, floorUs);
    return r;
}

void FrameBuilder::setRule(int channel, FrameRule rule) { rules_[channel == 2 ? 1 : 0] = rule; }

void FrameBuilder::add(const Entry& e, std::vector<Frame>& closed, std::vector<Entry>& events)
{
    if (e.kind != Kind::Data) {
        events.push_back(e);
        switch (e.kind) {
        case Kind::LineError:
            if (e.detail < summary_.errors.size())
                ++summary_.errors[e.detail];
            if (open_ && current_.channel == e.channel && current_.direction == Direction::Received &&
                e.record >= current_.record && e.record < current_.record + current_.bytes)
                ++current_.errors;
            break;
        case Kind::ModemChange: ++summary_.modemChanges; break;
        case Kind::Lost: summary_.lost += e.value; break;
        default: break;
        }
        return;
    }
    if (e.count == 0)
        return;
    if (open_) {
        const FrameRule& r = rule(e.channel);
        const bool sameStream = current_.channel == e.channel && current_.direction == e.direction;
        // The chunk's own bytes were on the line for `count` characters before it was taken.
        const std::int64_t quiet = e.time.monoUs - current_.end.monoUs - static_cast<std::int64_t>(e.count) * r.characterUs;
        if (sameStream && quiet <= r.quietUs) {
            current_.end = e.time;
            current_.bytes += e.count;
            current_.lastSequence = e.sequence;
            return;
        }
        close(closed);
    }
    open_ = true;
    current_ = Frame{};
    current_.channel = e.channel;
    current_.direction = e.direction;
    current_.start = current_.end = e.time;
    current_.record = e.record;
    current_.firstSequence = current_.lastSequence = e.sequence;
    current_.bytes = e.count;
    if (havePrevious_) {
        current_.quietBeforeUs = std::max<std::int64_t>(0, e.time.monoUs - previous_.end.monoUs);
        if (previous_.channel != e.channel || previous_.direction != e.direction)
            current_.answerUs = current_.quietBeforeUs;
    }
}

void FrameBuilder::flush(std::int64_t nowMonoUs, std::vector<Frame>& closed, bool force)
{
    if (open_ && (force || nowMonoUs - current_.end.monoUs > rule(current_.channel).quietUs))
        close(closed);
}

void FrameBuilder::close(std::vector<Frame>& closed)
{
    open_ = false;
    ++summary_.frames;
    if (current_.answerUs >= 0) {
        const std::int64_t a = current_.answerUs;
        summary_.answerMinUs = summary_.answers ? std::min(summary_.answerMinUs, a) : a;
        summary_.answerMaxUs = summary_.answers ? std::max(summary_.answerMaxUs, a) : a;
        ++summary_.answers;
        if (answers_.size() < kMedianWindow) {
            answers_.push_back(a);
        } else {
            answers_[answersNext_] = a;
            answersNext_ = (answersNext_ + 1) % kMedianWindow;
        }
    }
    previous_ = current_;
    havePrevious_ = true;
    closed.push_back(current_);
}

Summary FrameBuilder::summary() const
{
    Summary s = summary_;
    if (!answers_.empty()) {
        std::vector<std::int64_t> sorted = answers_;
        const auto mid = sorted.begin() + static_cast<std::ptrdiff_t>(sorted.size() / 2);
        std::nth_element(sorted.begin(), mid, sorted.end());
        s.answerMedianUs = *mid;
    }
    return s;
}

void FrameBuilder::reset()
{
    const auto rules = rules_;
    *this = FrameBuilder{};
    rules_ = rules;
}

} // namespace kestrane::timeline
