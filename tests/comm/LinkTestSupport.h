#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "comm/Sleeper.h"
#include "platform/MessageTarget.h"

namespace tarvo::test {

// What the worker did, in order: the peer notes each request it receives, the sleeper each
// pause the worker takes.
class EventLog {
public:
    void Add(const std::string& event) {
        std::lock_guard lock(mutex_);
        events_.push_back(event);
    }
    std::vector<std::string> Events() {
        std::lock_guard lock(mutex_);
        return events_;
    }
    size_t Count(const std::string& event) {
        std::lock_guard lock(mutex_);
        size_t count = 0;
        for (const auto& e : events_) {
            count += e == event ? 1 : 0;
        }
        return count;
    }

private:
    std::mutex mutex_;
    std::vector<std::string> events_;
};

// Notes every pause and takes a short one, so that the tests run quickly without the
// worker spinning.
class RecordingSleeper : public Sleeper {
public:
    explicit RecordingSleeper(EventLog& log) : log_(log) {}
    void Sleep(std::chrono::milliseconds duration) override {
        log_.Add("pause " + std::to_string(duration.count()));
        std::this_thread::sleep_for(std::chrono::microseconds(300));
    }

private:
    EventLog& log_;
};

// A window that keeps every message; runs on the draining (test) thread.
class RecordingWindow : public MessageTarget {
public:
    struct Message {
        uint32_t message;
        uintptr_t wParam;
        intptr_t lParam;
        bool operator==(const Message&) const = default;
    };

    intptr_t onMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override {
        messages.push_back({message, wParam, lParam});
        if (onEach) {
            onEach(messages.back());
        }
        return 0;
    }

    size_t Count(uint32_t message) const {
        size_t count = 0;
        for (const auto& m : messages) {
            count += m.message == message ? 1 : 0;
        }
        return count;
    }

    std::vector<Message> messages;
    std::function<void(const Message&)> onEach;
};

// Holds the peer's answer to one request until the test lets it go.
class Gate {
public:
    void Wait() {
        std::unique_lock lock(mutex_);
        opened_.wait(lock, [&] { return open_; });
    }
    void Open() {
        std::lock_guard lock(mutex_);
        open_ = true;
        opened_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable opened_;
    bool open_ = false;
};

}  // namespace tarvo::test
