#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "comm/DriveMessage.h"
#include "comm/LinkRequest.h"
#include "comm/LinkRequester.h"
#include "comm/LinkSwitches.h"
#include "comm/UnstoredChanges.h"

namespace tarvo {

class MessageBox;
class MessageSender;
class MessageTarget;
class Sleeper;

// The one road to the drive. Windows queue requests and return; a worker thread sends them
// through the drive message layer and hands each outcome to the requesting window as a
// synchronous message. While nothing is asked for, the worker reads the monitor entries
// that windows registered for live display. An idle worker waits on the doorbell of the
// switches, which every request, monitor change, open, switch write and stop rings.
class ControlLink : public LinkRequester {
public:
    struct Setup {
        LinkSwitches& switches;
        MessageSender& sender;  // runs deliveries on the user-interface thread
        MessageBox& messageBox;
        std::string programFolder;  // holds data/libCOM.so and data/libCAN.so
        // The pauses that pace the monitor walk; null: real pauses, which a stop ends.
        Sleeper* sleeper = nullptr;
    };

    // Starts the worker, which idles until the connection is open.
    explicit ControlLink(const Setup& setup);
    // Ends the worker as Shutdown does, without delivering anything further; the owner of
    // the sender must have stopped waiting deliveries (or call Shutdown first).
    ~ControlLink() override;
    ControlLink(const ControlLink&) = delete;
    ControlLink& operator=(const ControlLink&) = delete;

    // Queues a request and returns at once: 1 when it went to the deferred queue, else 0
    // (also when it was dropped). The outcome arrives as a message to the window.
    int Request(MessageTarget* window, SdoCommand command, uint32_t address,
                uint32_t data) override;

    // 1 added; 0 when the same window and address are registered or memory is short.
    int RegisterMonitor(MessageTarget* window, uint32_t address, MonitorClass monitorClass);
    // Switch every entry of the window on or off; 0 when the list is empty, else 1.
    int EnableMonitor(MessageTarget* window);
    int DisableMonitor(MessageTarget* window);
    int IsDeferredQueueEmpty();

    // Forwarded to the drive message layer. None of them waits for the worker's exchange,
    // so the user-interface thread never waits on the drive: Load and Open act on the
    // object of the interface that the next exchange takes, SetNodeId and the observer hold
    // from the next exchange on, and Close ends an exchange that waits on a silent drive.
    int Load(int32_t mode);
    int32_t Open(const CommSettings* settings);
    void Close();
    int32_t ReadVersion(char* text256);
    // A bus scan past the worker, for a tool whose worker is idle (see CommLibrary::ProbeCan).
    int32_t ProbeCan(const CanMessage* requests, uint32_t count, CanMessage* replies);
    // Why the CAN library failed last, naming its backend and interface; may be empty.
    std::string CanFailureReason();
    // The interface of the open connection (2 RS232, 5 CAN), 6 while none is open. Another
    // interface may be loaded and tried meanwhile; the open one serves until a new one opens.
    int32_t OpenInterface();
    void SetNodeId(uint32_t nodeId);
    // The segment of the last reply; meant for the handler of WM_LINK_SEGMENT.
    DriveSegment GetSegment();
    void SetExchangeObserver(DriveMessage::ExchangeObserver observer);
    // What went wrong in the last failed exchange beyond a missing reply; may be empty.
    std::string FailureReason() const { return message_.FailureReason(); }

    // The stored entries written since the last store; fed by every write the drive confirms.
    UnstoredChanges& Unstored() { return unstored_; }
    const UnstoredChanges& Unstored() const { return unstored_; }
    // Names the drive a connection reaches: interface, port and node.
    static std::string DriveOf(int32_t mode, const CommSettings& settings);

    // True while a request is pending, queued or being served.
    bool IsBusy();

    // Sets linkStop and waits for the worker to end, calling `keepDelivering` (for example
    // draining the sender's queue) while it waits, so that a worker inside a delivery can
    // finish it. Safe to call more than once.
    void Shutdown(const std::function<void()>& keepDelivering);

private:
    struct MonitorEntry {
        MessageTarget* window;
        uint32_t address;
        std::atomic<uint8_t> enabled{1};
        MonitorClass monitorClass;
        std::atomic<MonitorEntry*> next{nullptr};
    };

    void Run();
    bool Stopping() const;
    // Request and RegisterMonitor under the lock; the callers ring the doorbell after.
    int Queue(MessageTarget* window, const LinkRequest& request);
    int AppendMonitor(MessageTarget* window, uint32_t address, MonitorClass monitorClass);
    // Moves the head of `queue` into the empty current slot; pauses first when it is the
    // last one waiting.
    void TakeFromQueue(std::deque<LinkRequest>& queue);
    // False when the worker must end.
    bool Serve(const LinkRequest& request);
    // Send and Decode on the worker; keeps the reply's segment for GetSegment.
    ExchangeResult Exchange(uint32_t address, SdoCommand command, uint32_t data, ReplyKind& kind,
                            uint32_t& value);
    bool MonitorWalk();
    MonitorEntry* NextMonitorEntry(MonitorEntry*& cursor, MonitorClass monitorClass);
    bool Deliver(MessageTarget* window, uint32_t message, uint32_t wParam, uint32_t address);
    bool ReportFailure(uint64_t closesBefore);
    int SetMonitorEnabled(MessageTarget* window, uint8_t enabled);
    void Pause(int milliseconds);

    std::atomic<MonitorEntry*> monitorHead_{nullptr};
    MonitorEntry* monitorTail_ = nullptr;  // user-interface thread only
    DriveMessage message_;
    UnstoredChanges unstored_;
    std::deque<LinkRequest> deferredQueue_;
    std::deque<LinkRequest> displacedQueue_;
    bool pending_ = false;
    LinkRequest current_;
    bool serving_ = false;

    LinkSwitches& switches_;
    MessageSender& sender_;
    MessageBox& messageBox_;
    LinkDoorbell& doorbell_;
    Sleeper* sleeper_;
    std::mutex queueMutex_;  // the slot, the pending flag and both queues
    // The segment of the last reply, copied by the worker before it delivers.
    std::mutex segmentMutex_;
    DriveSegment lastSegment_;
    // Counts the closes of the port: an exchange that a close ran into failed because the
    // user closed the connection, not because the drive stopped answering.
    std::atomic<uint64_t> closeCount_{0};
    MonitorEntry* classOneCursor_ = nullptr;  // worker only
    MonitorEntry* classTwoCursor_ = nullptr;  // worker only
    bool classTwoStepNext_ = false;           // worker only: the next step takes class 2
    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> workerEnded_{false};
    std::thread worker_;
};

}  // namespace tarvo
