#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "cli/DriveConnection.h"
#include "dictionary/ObjectDictionary.h"
#include "platform/Timer.h"

namespace tarvo {

class LinkRequester;
struct LinkSwitches;

// What the transfer commands (export, import, diff) share: the drive connection, the
// dictionary, the timers of the models and the loop that runs a model until it is done or
// the drive stops answering, with a progress line on a terminal.
class TransferLink {
public:
    // Progress of a run: what is done and how much there is.
    struct Progress {
        int done = 0;
        int total = 0;
    };

    // Splits the command's words from its switches; false on a switch not in `known`.
    static bool SplitArgs(const std::vector<std::string>& args,
                          const std::vector<std::string>& known, std::vector<std::string>& words,
                          std::vector<std::string>& flags);
    static bool HasFlag(const std::vector<std::string>& flags, const std::string& flag);

    TransferLink(const ConnectionOptions& options, const std::string& programFolder);

    // Loads data/tarvo.dat (English names); prints why not.
    bool LoadDictionary();
    // Opens the port or bus: 0, or the exit code of the failure (already reported).
    int Open() { return drive_.Open(); }
    int Close(int exitCode) { return drive_.Close(exitCode); }

    LinkRequester& Link() { return drive_.Requester(); }
    LinkSwitches& Switches() { return drive_.Switches(); }
    const ObjectDictionary& Dictionary() const { return dictionary_; }
    Timer& WaitTimer() { return waitTimer_; }
    // A timer that never fires: the commands see a silent drive themselves.
    Timer& IdleTimer() { return idleTimer_; }

    // Delivers the link's messages until `done` holds. When the drive stops answering, calls
    // `stop` and returns false. Shows `label` with the progress on a terminal.
    bool RunUntil(const std::function<bool()>& done, const std::function<void()>& stop,
                  const std::function<Progress()>& progress, const std::string& label);

    // One exchange of the command's own: 0, or the exit code of the failure (reported).
    int Exchange(SdoCommand command, uint32_t address, uint32_t data, uint32_t& value);

private:
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

    std::string programFolder_;
    ObjectDictionary dictionary_;
    PolledTimer waitTimer_;
    ManualTimer idleTimer_;
    DriveConnection drive_;  // last: its link ends before the timers and the dictionary go
    bool terminal_ = false;
    std::chrono::steady_clock::time_point lastShown_{};
};

}  // namespace tarvo
