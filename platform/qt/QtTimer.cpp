#include "platform/qt/QtTimer.h"

namespace tarvo {

QtTimer::QtTimer() {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
        // A copy: the callback may start the timer again with another one.
        auto callback = callback_;
        if (callback) {
            callback();
        }
    });
}

void QtTimer::Start(std::chrono::milliseconds interval, bool repeat,
                    std::function<void()> callback) {
    callback_ = std::move(callback);
    timer_.setSingleShot(!repeat);
    timer_.start(interval);
}

}  // namespace tarvo
