#include "comm/ControlLink.h"

#include <new>
#include <system_error>

#include "comm/LinkTexts.h"
#include "comm/Sleeper.h"
#include "platform/MessageBox.h"
#include "platform/MessageSender.h"
#include "platform/MessageTarget.h"

namespace tarvo {

ControlLink::ControlLink(const Setup& setup)
    : message_(setup.programFolder, setup.messageBox, setup.switches.transmitRetry),
      switches_(setup.switches),
      sender_(setup.sender),
      messageBox_(setup.messageBox),
      doorbell_(setup.switches.doorbell),
      sleeper_(setup.sleeper) {
    try {
        worker_ = std::thread(&ControlLink::Run, this);
    } catch (const std::system_error&) {
        workerEnded_ = true;
        messageBox_.Show(link_text::kCreateThreadFailure);
    }
}

ControlLink::~ControlLink() {
    Shutdown(nullptr);
    MonitorEntry* entry = monitorHead_.load();
    while (entry != nullptr) {
        MonitorEntry* next = entry->next.load();
        delete entry;
        entry = next;
    }
}

int ControlLink::Request(MessageTarget* window, SdoCommand command, uint32_t address,
                         uint32_t data) {
    if (switches_.connectionState.load() != ConnectionState::Open) {
        return 0;
    }
    LinkRequest request{window, address, data, command};
    int deferred = Queue(window, request);
    doorbell_.Ring();
    return deferred;
}

int ControlLink::Queue(MessageTarget* window, const LinkRequest& request) {
    std::lock_guard lock(queueMutex_);
    if (switches_.exclusiveMode.load() != 0) {
        MessageTarget* exclusive = switches_.exclusiveWindow.load();
        if (exclusive != nullptr && exclusive != window) {
            return 0;
        }
        current_ = request;
        pending_ = true;
        return 0;
    }
    MessageTarget* priority = switches_.priorityWindow.load();
    if (priority != nullptr && switches_.deferredRelease.load() == 0 && window != priority) {
        deferredQueue_.push_back(request);
        return 1;
    }
    // The newest request is sent next; an older one waits behind it.
    if (pending_) {
        displacedQueue_.push_back(current_);
    }
    current_ = request;
    pending_ = true;
    return 0;
}

int ControlLink::RegisterMonitor(MessageTarget* window, uint32_t address,
                                 MonitorClass monitorClass) {
    int added = AppendMonitor(window, address, monitorClass);
    doorbell_.Ring();
    return added;
}

int ControlLink::AppendMonitor(MessageTarget* window, uint32_t address, MonitorClass monitorClass) {
    std::lock_guard lock(queueMutex_);
    for (MonitorEntry* entry = monitorHead_.load(); entry != nullptr; entry = entry->next.load()) {
        if (entry->window == window && entry->address == address) {
            return 0;
        }
    }
    auto* entry = new (std::nothrow) MonitorEntry{window, address, {1}, monitorClass, {nullptr}};
    if (entry == nullptr) {
        messageBox_.Show(link_text::kMonitorNoMemory);
        return 0;
    }
    // Entries are only ever appended, so the worker may walk the list without the lock.
    if (monitorTail_ == nullptr) {
        monitorHead_.store(entry, std::memory_order_release);
    } else {
        monitorTail_->next.store(entry, std::memory_order_release);
    }
    monitorTail_ = entry;
    return 1;
}

int ControlLink::SetMonitorEnabled(MessageTarget* window, uint8_t enabled) {
    MonitorEntry* entry = monitorHead_.load(std::memory_order_acquire);
    if (entry == nullptr) {
        return 0;
    }
    for (; entry != nullptr; entry = entry->next.load(std::memory_order_acquire)) {
        if (entry->window == window) {
            entry->enabled.store(enabled);
        }
    }
    doorbell_.Ring();
    return 1;
}

int ControlLink::EnableMonitor(MessageTarget* window) {
    return SetMonitorEnabled(window, 1);
}

int ControlLink::DisableMonitor(MessageTarget* window) {
    return SetMonitorEnabled(window, 0);
}

int ControlLink::IsDeferredQueueEmpty() {
    std::lock_guard lock(queueMutex_);
    return deferredQueue_.empty() ? 1 : 0;
}

bool ControlLink::IsBusy() {
    std::lock_guard lock(queueMutex_);
    return pending_ || serving_ || !deferredQueue_.empty() || !displacedQueue_.empty();
}

int ControlLink::Load(int32_t mode) {
    if (mode == CommLibrary::kCan) {
        switches_.canChosen.store(1);
    }
    return message_.Load(mode);
}

int32_t ControlLink::Open(const CommSettings* settings) {
    // An exchange that fails because this open replaced its connection does not report a
    // failure of the new one.
    closeCount_.fetch_add(1);
    int32_t result = message_.Open(settings);
    if (result == 0 && settings != nullptr) {
        unstored_.OnConnectionOpened(DriveOf(message_.library().openMode(), *settings));
    }
    doorbell_.Ring();
    return result;
}

std::string ControlLink::DriveOf(int32_t mode, const CommSettings& settings) {
    std::string drive = std::to_string(mode) + ':';
    for (uint16_t unit : settings.portName) {
        if (unit == 0) {
            break;
        }
        drive += static_cast<char>(unit < 0x80 ? unit : '?');
    }
    return drive + ':' + std::to_string(settings.nodeId);
}

int32_t ControlLink::ProbeCan(const CanMessage* requests, uint32_t count, CanMessage* replies) {
    return message_.library().ProbeCan(requests, count, replies);
}

std::string ControlLink::CanFailureReason() {
    return message_.library().CanFailureReason();
}

int32_t ControlLink::OpenInterface() {
    return message_.library().openMode();
}

void ControlLink::Close() {
    closeCount_.fetch_add(1);
    message_.Close();
}

int32_t ControlLink::ReadVersion(char* text256) {
    return message_.ReadVersion(text256);
}

void ControlLink::SetNodeId(uint32_t nodeId) {
    message_.SetNodeId(nodeId);
}

DriveSegment ControlLink::GetSegment() {
    std::lock_guard lock(segmentMutex_);
    return lastSegment_;
}

void ControlLink::SetExchangeObserver(DriveMessage::ExchangeObserver observer) {
    message_.SetExchangeObserver(std::move(observer));
}

void ControlLink::Shutdown(const std::function<void()>& keepDelivering) {
    stopRequested_.store(true);
    switches_.linkStop.store(1);
    if (!worker_.joinable()) {
        return;
    }
    // Ends an exchange that waits on a silent drive.
    message_.Close();
    while (keepDelivering && !workerEnded_.load()) {
        keepDelivering();
    }
    worker_.join();
}

bool ControlLink::Stopping() const {
    return stopRequested_.load() || switches_.linkStop.load() != 0;
}

void ControlLink::Pause(int milliseconds) {
    if (sleeper_ != nullptr) {
        sleeper_->Sleep(std::chrono::milliseconds(milliseconds));
        return;
    }
    // A stop ends the pause: the worker then ends at once.
    doorbell_.WaitFor(std::chrono::milliseconds(milliseconds), [this] { return Stopping(); });
}

void ControlLink::Run() {
    // linkStop is also honoured while the connection is closed, so that the worker can
    // always be joined.
    for (;;) {
        // Whatever rings after this count wakes the waits below: nothing is missed between
        // looking for work (the stop included) and waiting for it.
        const uint64_t seen = doorbell_.Rings();
        if (Stopping()) {
            break;
        }
        if (switches_.connectionState.load() != ConnectionState::Open) {
            doorbell_.WaitAfter(seen);
            continue;
        }
        if (switches_.deferredRelease.load() != 0) {
            TakeFromQueue(deferredQueue_);
        }
        TakeFromQueue(displacedQueue_);

        LinkRequest request;
        bool taken = false;
        {
            std::lock_guard lock(queueMutex_);
            if (pending_ && switches_.connectionState.load() == ConnectionState::Open) {
                request = current_;
                pending_ = false;
                serving_ = true;
                taken = true;
            }
        }
        if (taken) {
            bool goOn = !Stopping() && Serve(request);
            {
                std::lock_guard lock(queueMutex_);
                serving_ = false;
            }
            if (!goOn) {
                break;
            }
            continue;
        }
        // Idle: nothing to send and no monitor entry to read. The next request, monitor
        // entry, switch or stop rings.
        if (switches_.cyclicReadEnabled.load() == 0 ||
            monitorHead_.load(std::memory_order_acquire) == nullptr) {
            doorbell_.WaitAfter(seen);
            continue;
        }
        if (!MonitorWalk()) {
            break;
        }
        Pause(30);
    }
    workerEnded_.store(true);
}

void ControlLink::TakeFromQueue(std::deque<LinkRequest>& queue) {
    bool lastOne = false;
    {
        std::lock_guard lock(queueMutex_);
        if (pending_ || queue.empty()) {
            return;
        }
        lastOne = queue.size() == 1;
    }
    if (lastOne) {
        Pause(5);
    }
    std::lock_guard lock(queueMutex_);
    // A request that arrived during the pause is newer and goes first.
    if (pending_ || queue.empty()) {
        return;
    }
    current_ = queue.front();
    queue.pop_front();
    pending_ = true;
}

ExchangeResult ControlLink::Exchange(uint32_t address, SdoCommand command, uint32_t data,
                                     ReplyKind& kind, uint32_t& value) {
    kind = ReplyKind::kUndecoded;
    value = 0;
    ExchangeResult result = message_.Send(address, command, data);
    if (result == ExchangeResult::Answered) {
        message_.Decode(kind, value);
    }
    DriveSegment segment = message_.GetSegment();
    std::lock_guard lock(segmentMutex_);
    lastSegment_ = segment;
    return result;
}

bool ControlLink::Serve(const LinkRequest& request) {
    const uint64_t closes = closeCount_.load();
    ReplyKind kind = ReplyKind::kUndecoded;
    uint32_t value = 0;
    ExchangeResult result = Exchange(request.address, request.command, request.data, kind, value);
    if (result != ExchangeResult::Answered) {
        return ReportFailure(closes);
    }
    switch (kind) {
        case ReplyKind::kValue:
            // Counted before the window hears of it, so that its redraw shows the mark.
            unstored_.OnConfirmed(request.command, request.address, request.data);
            return Deliver(request.window, WM_LINK_VALUE, value, request.address);
        case ReplyKind::kSegment:
            return Deliver(request.window, WM_LINK_SEGMENT, value, request.address);
        case ReplyKind::kAbort:
            return Deliver(request.window, WM_LINK_ABORT, value, request.address);
        case ReplyKind::kUndecoded:
            break;
    }
    return true;
}

bool ControlLink::Deliver(MessageTarget* window, uint32_t message, uint32_t wParam,
                          uint32_t address) {
    if (Stopping()) {
        return false;
    }
    if (window != nullptr) {
        sender_.Send(window, message, wParam, static_cast<intptr_t>(address));
    }
    return true;
}

bool ControlLink::ReportFailure(uint64_t closesBefore) {
    // The port was closed under the exchange: its failure belongs to that connection, and
    // must not close one opened since.
    if (closeCount_.load() != closesBefore) {
        return !Stopping();
    }
    return Deliver(switches_.mainFrameWindow.load(), WM_LINK_FAILURE, 0, 0);
}

ControlLink::MonitorEntry* ControlLink::NextMonitorEntry(MonitorEntry*& cursor,
                                                         MonitorClass monitorClass) {
    MonitorEntry* entry = cursor != nullptr ? cursor : monitorHead_.load(std::memory_order_acquire);
    for (; entry != nullptr; entry = entry->next.load(std::memory_order_acquire)) {
        if (entry->monitorClass == monitorClass && entry->enabled.load() != 0) {
            cursor = entry->next.load(std::memory_order_acquire);
            return entry;
        }
    }
    // The end of the list: the next search of this class starts from the head.
    cursor = nullptr;
    return nullptr;
}

bool ControlLink::MonitorWalk() {
    // A class-2 entry is read only right after a class-1 read, at most one each time. The
    // alternation goes on from the walk before: a request ends a walk after its first step
    // while requests keep coming, and class-2 entries must still be read.
    for (;;) {
        if (Stopping()) {
            return false;
        }
        MonitorEntry* entry = classTwoStepNext_
                                  ? NextMonitorEntry(classTwoCursor_, MonitorClass::Writable)
                                  : NextMonitorEntry(classOneCursor_, MonitorClass::ReadOnly);
        if (entry != nullptr && switches_.connectionState.load() == ConnectionState::Open) {
            const uint64_t closes = closeCount_.load();
            ReplyKind kind = ReplyKind::kUndecoded;
            uint32_t value = 0;
            ExchangeResult result = Exchange(entry->address, SdoCommand::Read, 0, kind, value);
            bool goOn = true;
            if (result != ExchangeResult::Answered) {
                goOn = ReportFailure(closes);
            } else if (kind == ReplyKind::kAbort) {
                goOn = Deliver(entry->window, WM_LINK_ABORT, value, entry->address);
            } else if (kind != ReplyKind::kUndecoded) {
                // An undecoded reply carries no value of this entry: nothing is shown.
                goOn = Deliver(entry->window, WM_LINK_VALUE, value, entry->address);
            }
            if (!goOn) {
                return false;
            }
        }
        Pause(10);
        classTwoStepNext_ = !classTwoStepNext_ && entry != nullptr;

        std::lock_guard lock(queueMutex_);
        if (pending_ || switches_.cyclicReadEnabled.load() == 0 ||
            monitorHead_.load(std::memory_order_acquire) == nullptr) {
            return true;
        }
    }
}

}  // namespace tarvo
