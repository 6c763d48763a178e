// Carries the fast display's repaint requests from the feeding threads to the GUI thread, at
// most one per frame. A feeding thread only posts a queued call of `request` by name: nothing
// of ours is allocated or written on its side, the changed lines travel in the fast display's
// atomic mask. On the GUI thread a request runs `flush` at once when the last flush is at least
// one frame old, otherwise once the frame is over; requests that arrive meanwhile ride along
// with that one, so a flood of chunks costs one repaint a frame and the last chunk is always
// painted. The frame is a display frame (16 ms) unless the owner lengthens it.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <algorithm>
#include <functional>

namespace kestrane {

class RepaintRelay final : public QObject {
    Q_OBJECT
public:
    // A screen shows about 60 frames a second; repainting more often shows nothing more.
    static constexpr int kDefaultFrameMs = 16;

    // `flush` runs on the thread this object lives in (the GUI thread).
    RepaintRelay(std::function<void()> flush, QObject* parent, int frameMs = kDefaultFrameMs)
        : QObject(parent), flush_(std::move(flush)), frameMs_(frameMs), frameEnd_(this)
    {
        frameEnd_.setSingleShot(true);
        frameEnd_.setTimerType(Qt::PreciseTimer);
        connect(&frameEnd_, &QTimer::timeout, this, &RepaintRelay::flushNow);
    }

    // Any thread.
    void post() { QMetaObject::invokeMethod(this, "request", Qt::QueuedConnection); }

    // The shortest time between two flushes from now on (GUI thread).
    void setFrameMs(int frameMs) { frameMs_ = std::max(1, frameMs); }
    [[nodiscard]] int frameMs() const { return frameMs_; }

    // Flushes done so far (GUI thread; for tests and benchmarks).
    [[nodiscard]] long long flushes() const { return flushes_; }
    // A flush is due at the end of the current frame (GUI thread).
    [[nodiscard]] bool pending() const { return frameEnd_.isActive(); }

public slots:
    void request()
    {
        if (frameEnd_.isActive())
            return;  // the flush at the end of this frame takes this request along
        const qint64 since = lastFlush_.isValid() ? lastFlush_.elapsed() : frameMs_;
        if (since >= frameMs_)
            flushNow();
        else
            frameEnd_.start(static_cast<int>(frameMs_ - since));
    }

private:
    void flushNow()
    {
        lastFlush_.start();
        ++flushes_;
        if (flush_)
            flush_();
    }

    std::function<void()> flush_;
    int frameMs_;
    QTimer frameEnd_;
    QElapsedTimer lastFlush_;
    long long flushes_ = 0;
};

} // namespace kestrane
