#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "protocol/DriveProtocol.h"
#include "protocol/SegmentedUploadClient.h"

namespace tarvo {

class MessageBox;
class MessageTarget;
class ScopeLink;
class Timer;
struct LinkSwitches;

// One capture in the drive and the upload of its record: start, poll the capture state once
// a second, upload the record segment by segment while the link serves the oscilloscope
// alone, hand the bytes over for decoding, and in continuous mode start again once the
// link has served the requests that waited.
class CaptureRun {
public:
    enum class State { kIdle, kStarting, kWaiting, kReading, kPause };

    struct Services {
        ScopeLink& link;
        LinkSwitches& switches;
        MessageBox& messageBox;
        Timer& pollTimer;
        Timer& restartTimer;
        // Ticks every second while a capture runs, to notice a link that is gone.
        Timer& watchTimer;
        MessageTarget* owner;
    };
    struct Hooks {
        // Before a capture (fresh: also the plot's view is reset) or a reread.
        std::function<void(bool fresh, bool reread)> prepare;
        // The complete record.
        std::function<void(const std::vector<uint8_t>& bytes)> decode;
        // Every change of the texts and buttons.
        std::function<void()> changed;
        // The status text moved on while reading: the offset fields are checked.
        std::function<void()> tidyOffsets;
        // Whether "continuous" is checked.
        std::function<bool()> continuous;
        // The size the record should have, for the progress bar (0 unknown).
        std::function<size_t()> expectedBytes;
    };

    static constexpr size_t kBufferBytes = 8192;
    // Seconds without any answer to the capture's request before the drive counts as gone.
    static constexpr int kSilentSeconds = 5;

    CaptureRun(const Services& services, Hooks hooks);

    void Start();
    void Cancel();
    void Reread();
    // The view was put away: back to idle at once.
    void ForceIdle();
    // The connection closed, failed or was opened anew under a running capture: what was
    // asked of the drive will never be answered, so the capture ends at once and says so.
    void LinkLost();

    // Replies of the run: 2300h:07h (capture state) and 2300h:10h (upload begun).
    void OnValue(uint32_t address, uint32_t value);
    void OnSegment();
    // A refused start, poll or upload.
    void OnAbort(uint32_t address);

    State state() const { return state_; }
    bool Busy() const { return busy_; }
    // The start button reads "Cancel" while a started capture runs.
    bool ShowsCancel() const { return showsCancel_; }
    bool StartEnabled() const { return startEnabled_; }
    bool RereadEnabled() const { return rereadEnabled_; }
    const std::string& Status() const { return status_; }
    size_t UploadedBytes() const { return upload_.bytes().size(); }
    size_t ExpectedBytes() const { return expected_; }

private:
    void Request(SdoCommand command, uint32_t address, uint32_t data);
    void SendStart();
    void Poll();
    void Restart();
    void FinishUpload();
    void GoIdle();
    void Refuse();
    void Watch();
    void EndWith(const char* status);

    Services services_;
    Hooks hooks_;
    State state_ = State::kIdle;
    bool busy_ = false;
    bool cancelled_ = false;
    bool showsCancel_ = false;
    bool startEnabled_ = true;
    bool rereadEnabled_ = true;
    bool stillWaiting_ = false;
    uint32_t captureState_ = 0;
    int waitCounter_ = 0;
    int readCounter_ = 0;
    int silentTicks_ = 0;
    std::string status_ = "finish";
    SegmentedUploadClient upload_;
    size_t expected_ = 0;
};

}  // namespace tarvo
