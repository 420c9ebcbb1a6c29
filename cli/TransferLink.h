#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ConsoleMessageBox.h"
#include "ControlLink.h"
#include "LinkSwitches.h"
#include "MessageTarget.h"
#include "ObjectDictionary.h"
#include "QueuedMessageSender.h"
#include "Timer.h"

namespace tarvo {

// The connection of the transfer commands (export, import, diff): the options shared with
// the other link commands, the dictionary, the control link on the main thread's queue and
// the loop that runs a transfer model until it is done or the drive stops answering.
class TransferLink {
public:
    struct Options {
        bool can = false;
        uint32_t bitRateCode = 0x001C;
        std::string port;
        uint32_t baud = 115200;
        uint32_t node = 1;
        uint32_t timeoutMs = 500;
        std::vector<std::string> words;  // the command and its operands
        std::vector<std::string> flags;  // the command's own switches that were given
    };

    // Progress of a run: what is done and how much there is.
    struct Progress {
        int done = 0;
        int total = 0;
    };

    // Parses the connection options and the switches in `knownFlags`; prints what is wrong.
    static bool ParseArgs(const std::vector<std::string>& args,
                          const std::vector<std::string>& knownFlags, Options& options);
    static bool HasFlag(const Options& options, const std::string& flag);

    TransferLink(Options options, std::string programFolder);
    ~TransferLink();
    TransferLink(const TransferLink&) = delete;
    TransferLink& operator=(const TransferLink&) = delete;

    // Loads data/tarvo.dat (English names); prints why not.
    bool LoadDictionary();
    // Loads the library and opens the port or bus; prints why not.
    bool Open();

    LinkRequester& Link() { return link_; }
    LinkSwitches& Switches() { return switches_; }
    const ObjectDictionary& Dictionary() const { return dictionary_; }
    Timer& WaitTimer() { return waitTimer_; }
    // A timer that never fires: the commands see a silent drive themselves.
    Timer& IdleTimer() { return idleTimer_; }

    // Delivers the link's messages until `done` holds. When the drive stops answering, calls
    // `stop` and returns false. Shows `label` with the progress on a terminal.
    bool RunUntil(const std::function<bool()>& done, const std::function<void()>& stop,
                  const std::function<Progress()>& progress, const std::string& label);

    // One request of `window`'s own and its outcome; false when the drive did not answer.
    bool Exchange(uint8_t command, uint32_t address, uint32_t data, uint32_t& value, bool& aborted);

private:
    // Receives WM_LINK_FAILURE in place of a main frame.
    struct FailureWindow : MessageTarget {
        intptr_t onMessage(uint32_t message, uintptr_t, intptr_t) override {
            failed = failed || message == WM_LINK_FAILURE;
            return 0;
        }
        bool failed = false;
    };
    // The storing sequence's waits, fired by RunUntil when due.
    class PolledTimer : public Timer {
    public:
        void Start(std::chrono::milliseconds interval, bool repeat,
                   std::function<void()> callback) override;
        void Stop() override { active_ = false; }
        bool IsActive() const override { return active_; }
        void FireIfDue();

    private:
        std::function<void()> callback_;
        std::chrono::steady_clock::time_point due_;
        std::chrono::milliseconds interval_{0};
        bool repeat_ = false;
        bool active_ = false;
    };

    void ShowProgress(const std::string& label, Progress progress, bool final);

    Options options_;
    std::string programFolder_;
    LinkSwitches switches_;
    QueuedMessageSender sender_;
    ConsoleMessageBox messageBox_;
    ObjectDictionary dictionary_;
    FailureWindow failure_;
    PolledTimer waitTimer_;
    ManualTimer idleTimer_;
    ControlLink link_;
    bool terminal_ = false;
    std::chrono::steady_clock::time_point lastShown_{};
};

}  // namespace tarvo
