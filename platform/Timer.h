#pragma once

#include <chrono>
#include <functional>

namespace tarvo {

// A timer on the user-interface thread, for core objects that wait or repeat (polling,
// blinking, the storing sequence). The program uses a Qt timer; tests fire it by hand.
class Timer {
public:
    virtual ~Timer() = default;
    // (Re)starts the timer; `callback` runs once after `interval`, or every `interval`
    // when `repeat` is set, until Stop().
    virtual void Start(std::chrono::milliseconds interval, bool repeat,
                       std::function<void()> callback) = 0;
    virtual void Stop() = 0;
    virtual bool IsActive() const = 0;
};

// A timer that only fires when told to: for tests and tools.
class ManualTimer : public Timer {
public:
    void Start(std::chrono::milliseconds interval, bool repeat,
               std::function<void()> callback) override {
        interval_ = interval;
        repeat_ = repeat;
        callback_ = std::move(callback);
        active_ = true;
        ++starts_;
    }
    void Stop() override { active_ = false; }
    bool IsActive() const override { return active_; }

    // Fires once if active; a one-shot timer stops first, as a real one does.
    bool Fire() {
        if (!active_) {
            return false;
        }
        if (!repeat_) {
            active_ = false;
        }
        auto callback = callback_;
        callback();
        return true;
    }
    std::chrono::milliseconds Interval() const { return interval_; }
    int Starts() const { return starts_; }

private:
    std::function<void()> callback_;
    std::chrono::milliseconds interval_{0};
    bool repeat_ = false;
    bool active_ = false;
    int starts_ = 0;
};

}  // namespace tarvo
