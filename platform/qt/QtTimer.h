#pragma once

#include <QTimer>

#include "platform/Timer.h"

namespace tarvo {

// The program's Timer: a QTimer on the user-interface thread, for the views of every part.
class QtTimer : public Timer {
public:
    QtTimer();
    void Start(std::chrono::milliseconds interval, bool repeat,
               std::function<void()> callback) override;
    void Stop() override { timer_.stop(); }
    bool IsActive() const override { return timer_.isActive(); }

private:
    QTimer timer_;
    std::function<void()> callback_;
};

}  // namespace tarvo
