#pragma once

#include <QTimer>

#include "Timer.h"

namespace tarvo {

// The oscilloscope's timers on the user-interface thread.
class ScopeTimer : public Timer {
public:
    ScopeTimer() {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto callback = callback_;
            if (callback) {
                callback();
            }
        });
    }
    void Start(std::chrono::milliseconds interval, bool repeat,
               std::function<void()> callback) override {
        callback_ = std::move(callback);
        timer_.setSingleShot(!repeat);
        timer_.start(interval);
    }
    void Stop() override { timer_.stop(); }
    bool IsActive() const override { return timer_.isActive(); }

private:
    QTimer timer_;
    std::function<void()> callback_;
};

}  // namespace tarvo
