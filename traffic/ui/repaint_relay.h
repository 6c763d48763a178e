// Carries the fast display's repaint requests from the feeding threads to the GUI thread. A
// feeding thread only posts a queued call of `flush` by name: nothing of ours is allocated or
// written on its side, the changed lines travel in the fast display's atomic mask.
#pragma once

#include <QObject>

#include <functional>

namespace kestrane {

class RepaintRelay final : public QObject {
    Q_OBJECT
public:
    // `flush` runs on the thread this object lives in (the GUI thread).
    RepaintRelay(std::function<void()> flush, QObject* parent) : QObject(parent), flush_(std::move(flush)) {}

    // Any thread.
    void post() { QMetaObject::invokeMethod(this, "flush", Qt::QueuedConnection); }

public slots:
    void flush()
    {
        if (flush_)
            flush_();
    }

private:
    std::function<void()> flush_;
};

} // namespace kestrane
