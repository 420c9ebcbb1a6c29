#include "cli/DriveConnection.h"

#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <functional>
#include <iostream>
#include <optional>

#include "cli/ConsoleMessageBox.h"
#include "cli/ExitCode.h"
#include "comm/ConnectionSession.h"
#include "comm/ControlLink.h"
#include "comm/PortAccess.h"
#include "comm/PortAlias.h"
#include "platform/LibraryFile.h"
#include "platform/MessageTarget.h"
#include "platform/QueuedMessageSender.h"
#include "platform/WorkingFolder.h"
#include "protocol/AbortText.h"
#include "protocol/Rs232Frame.h"
#include "protocol/SegmentedUploadClient.h"

namespace tarvo {

namespace {

// No upload of the drive is longer than its largest record; more means a runaway drive.
constexpr size_t kUploadLimit = 65536;
// However the drive behaves, the tool gives up after this long.
constexpr auto kOverallLimit = std::chrono::seconds(60);

// Command, entry and data of a frame as the drive message layer shows it to its observer:
// a 10-byte RS232 frame (checked by its sum) or a CAN message record.
std::optional<Rs232Frame::Fields> Fields(const uint8_t* bytes, size_t length) {
    if (bytes == nullptr) {
        return std::nullopt;
    }
    if (length == Rs232Frame::kLength) {
        return Rs232Frame::Decode(bytes);
    }
    if (length == sizeof(CanMessage)) {
        return Rs232Frame::Read(bytes + offsetof(CanMessage, data));
    }
    return std::nullopt;
}

// Stands in `folder` while it lives, when that is not the current directory already.
class CurrentFolder {
public:
    explicit CurrentFolder(const std::string& folder) {
        std::string current = WorkingFolder::Current();
        if (current != folder && ::chdir(folder.c_str()) == 0) {
            previous_ = current;
        }
    }
    ~CurrentFolder() {
        if (!previous_.empty() && ::chdir(previous_.c_str()) != 0) {
            std::cerr << "tarvoctl: cannot change back into " << previous_ << '\n';
        }
    }
    CurrentFolder(const CurrentFolder&) = delete;
    CurrentFolder& operator=(const CurrentFolder&) = delete;

private:
    std::string previous_;
};

// What the command's reply windows were told, and the main thread's wait for it.
struct ReplyBoard {
    std::mutex mutex;
    std::condition_variable changed;
};

// Takes the link's messages for the command. They are handled on the link's worker, inside
// the delivery: the next request of a chain is queued there (onAnswer) without a round trip
// through the main thread, which waits on the board until its answer is there.
class ReplyWindow : public MessageTarget {
public:
    ReplyWindow(ControlLink& link, ReplyBoard& board) : link_(link), board_(board) {}

    intptr_t onMessage(uint32_t message, uintptr_t wParam, intptr_t) override {
        DriveSegment taken;
        if (message == WM_LINK_SEGMENT) {
            taken = link_.GetSegment();
        }
        {
            std::lock_guard lock(board_.mutex);
            answered_ = true;
            this->message = message;
            value = static_cast<uint32_t>(wParam);
            segment = taken;
            if (onAnswer) {
                onAnswer();
            }
        }
        board_.changed.notify_all();
        return 0;
    }

    // Both under the board's lock, or while no request of this window is in flight.
    void Reset() { answered_ = false; }
    bool answered() const { return answered_; }

    // Runs inside the delivery on the worker, under the board's lock.
    std::function<void()> onAnswer;
    uint32_t message = 0;
    uint32_t value = 0;
    DriveSegment segment;

private:
    ControlLink& link_;
    ReplyBoard& board_;
    bool answered_ = false;
};

// Hands the messages for the command's own reply windows to them at once, on the worker;
// every other window (a transfer model's) gets its messages on the main thread, which
// drains them.
class ReplySender : public MessageSender {
public:
    explicit ReplySender(QueuedMessageSender& queued) : queued_(queued) {}

    bool Send(MessageTarget* target, uint32_t message, uintptr_t wParam, intptr_t lParam) override {
        if (target != nullptr && (target == first || target == second)) {
            target->onMessage(message, wParam, lParam);
            return true;
        }
        return queued_.Send(target, message, wParam, lParam);
    }

    MessageTarget* first = nullptr;
    MessageTarget* second = nullptr;

private:
    QueuedMessageSender& queued_;
};

}  // namespace

struct DriveConnection::Link {
    explicit Link(const std::string& programFolder)
        : replySender(sender),
          link({switches, replySender, messageBox, programFolder, nullptr}),
          window(link, board),
          failures(link, board) {
        switches.cyclicReadEnabled = 0;
        switches.mainFrameWindow = &failures;
        replySender.first = &window;
        replySender.second = &failures;
    }

    // Waits until `done` holds (looked at under the board's lock), the link has nothing left
    // to serve, or `deadline`; true when `done` holds.
    bool WaitFor(const std::function<bool()>& done,
                 std::chrono::steady_clock::time_point deadline) {
        // The link tells nobody when it drops a reply it could not decode: only then does
        // the wait look at it again after a while.
        constexpr auto kLookAgain = std::chrono::milliseconds(20);
        std::unique_lock lock(board.mutex);
        for (;;) {
            if (done() || failures.answered()) {
                return done();
            }
            auto now = std::chrono::steady_clock::now();
            if (now >= deadline) {
                return false;
            }
            lock.unlock();
            bool busy = link.IsBusy();
            lock.lock();
            if (!busy && !done() && !failures.answered()) {
                return false;
            }
            board.changed.wait_until(lock, std::min(deadline, now + kLookAgain),
                                     [&] { return done() || failures.answered(); });
        }
    }

    LinkSwitches switches;
    QueuedMessageSender sender;
    ReplySender replySender;
    ConsoleMessageBox messageBox;
    ReplyBoard board;
    ControlLink link;
    // Live until the worker has ended: they receive the link's messages.
    ReplyWindow window;
    ReplyWindow failures;
};

DriveConnection::DriveConnection(const ConnectionOptions& options, const std::string& programFolder)
    : options_(options),
      programFolder_(programFolder),
      link_(std::make_unique<Link>(programFolder)),
      deadline_(std::chrono::steady_clock::now() + kOverallLimit) {
    link_->link.SetExchangeObserver([this](const DriveExchange& exchange) { Observe(exchange); });
}

void DriveConnection::Observe(const DriveExchange& exchange) {
    // The link answers a refused write with the value it reads next; the abort is seen here.
    auto request = Fields(exchange.request, exchange.requestLength);
    auto reply = Fields(exchange.reply, exchange.replyLength);
    if (request && reply && IsWriteCommand(request->command) &&
        reply->command == ToByte(SdoReplyCommand::Abort) && reply->address == request->address) {
        std::lock_guard<std::mutex> lock(abortMutex_);
        if (request->address == writeAddress_ && !writeAbort_) {
            writeAbort_ = reply->data;
        }
    }
    if (!options_.trace.empty()) {
        trace_.Record(exchange);
    }
}

std::string DriveConnection::AbortMessage(uint32_t address, uint32_t abortCode) {
    char key[16];
    std::snprintf(key, sizeof key, "%04X:%02X", address >> 8, address & 0xFF);
    return std::string(key) + ": the drive refused: " + AbortText::Describe(abortCode);
}

DriveConnection::~DriveConnection() {
    Close(ExitCode::Done);
}

int DriveConnection::Open() {
    if (!options_.can && options_.port.empty()) {
        std::cerr << "tarvoctl: no port given: --port NAME (e.g. ttyUSB0) or --can\n";
        return ExitCode::BadInput;
    }
    // The serial library finds the links of dev/ from the current directory.
    CurrentFolder inFolder(programFolder_);
    std::string portName;
    if (!options_.can) {
        if (int error = PortAlias::ShortName(programFolder_, options_.port, portName)) {
            std::cerr << "tarvoctl: cannot open port " << options_.port << ": "
                      << std::strerror(error) << '\n';
            return ExitCode::BadInput;
        }
    }
    ControlLink& link = link_->link;
    const int32_t mode = options_.can ? CommLibrary::kCan : CommLibrary::kSerial;
    if (link.Load(mode) != 1) {
        if (link_->messageBox.count == 0) {
            std::string library =
                programFolder_ + (options_.can ? "/data/libCAN.so" : "/data/libCOM.so");
            std::string why = LibraryFile::Diagnose(library);
            std::cerr << "tarvoctl: cannot load " << library << (why.empty() ? "" : ": " + why)
                      << '\n';
        }
        return ExitCode::BadInput;
    }
    link.SetNodeId(options_.node);
    CommSettings settings = ConnectionSession::MakeSettings(
        portName, options_.node, options_.can ? options_.bitRateCode : options_.baud);
    settings.replyTimeoutMs = options_.timeoutMs;
    int32_t opened = link.Open(&settings);
    if (opened != 0) {
        if (options_.can) {
            std::cerr << "tarvoctl: cannot open the CAN bus (see sys/can.ini)\n";
        } else if (opened > 0) {
            std::cerr << "tarvoctl: cannot open port " << options_.port << ": "
                      << std::strerror(opened) << '\n';
            std::string why =
                PortAccess::Explain(PortAccess::DevicePath(programFolder_, portName), opened);
            if (!why.empty()) {
                std::cerr << "tarvoctl: " << why << '\n';
            }
        }
        return ExitCode::BadInput;
    }
    link_->switches.connectionState = ConnectionState::Open;
    return ExitCode::Done;
}

int DriveConnection::Exchange(SdoCommand command, uint32_t address, uint32_t data, Reply& reply) {
    Link& l = *link_;
    {
        std::lock_guard<std::mutex> lock(abortMutex_);
        writeAddress_ = IsWriteCommand(command) ? address : 0;
        writeAbort_.reset();
    }
    {
        std::lock_guard lock(l.board.mutex);
        l.window.Reset();
        l.failures.Reset();
    }
    l.link.Request(&l.window, command, address, data);
    bool answered = l.WaitFor([&] { return l.window.answered(); }, deadline_);
    std::lock_guard lock(l.board.mutex);
    if (l.failures.answered() || (!answered && l.link.IsBusy())) {
        if (!probing_) {
            const std::string reason = l.link.FailureReason();
            std::cerr << "tarvoctl: " << (reason.empty() ? "the drive does not answer" : reason)
                      << '\n';
        }
        return ExitCode::NoAnswer;
    }
    if (!answered) {
        if (!probing_) {
            std::cerr << "tarvoctl: the drive's reply could not be understood\n";
        }
        return ExitCode::NoAnswer;
    }
    if (l.window.message == WM_LINK_ABORT) {
        reply.abortCode = l.window.value;
        return ExitCode::Refused;
    }
    {
        std::lock_guard<std::mutex> lock(abortMutex_);
        if (IsWriteCommand(command) && writeAbort_) {
            reply.abortCode = *writeAbort_;
            return ExitCode::Refused;
        }
    }
    reply.message = l.window.message;
    reply.value = l.window.value;
    reply.segment = l.window.segment;
    return ExitCode::Done;
}

int DriveConnection::ReadMany(const std::vector<uint32_t>& addresses, std::vector<Reply>& replies,
                              std::vector<int>& results) {
    Link& l = *link_;
    replies.assign(addresses.size(), Reply{});
    results.assign(addresses.size(), 0);
    if (addresses.empty()) {
        return ExitCode::Done;
    }
    {
        std::lock_guard<std::mutex> lock(abortMutex_);
        writeAddress_ = 0;
        writeAbort_.reset();
    }
    size_t next = 0;
    {
        std::lock_guard lock(l.board.mutex);
        l.failures.Reset();
        // On the worker, inside the delivery of each reply: the next read is queued before
        // the worker looks for its next request.
        l.window.onAnswer = [&] {
            Reply& reply = replies[next];
            if (l.window.message == WM_LINK_ABORT) {
                reply.abortCode = l.window.value;
                results[next] = ExitCode::Refused;
            } else {
                reply.message = l.window.message;
                reply.value = l.window.value;
            }
            if (++next < addresses.size()) {
                l.link.Request(&l.window, SdoCommand::Read, addresses[next], 0);
            }
        };
    }
    l.link.Request(&l.window, SdoCommand::Read, addresses[0], 0);
    bool done = l.WaitFor([&] { return next >= addresses.size(); }, deadline_);
    {
        std::lock_guard lock(l.board.mutex);
        l.window.onAnswer = nullptr;
    }
    if (!done) {
        if (!probing_) {
            std::cerr << "tarvoctl: the drive does not answer\n";
        }
        return ExitCode::NoAnswer;
    }
    return ExitCode::Done;
}

bool DriveConnection::ProbeNodes(const std::vector<uint32_t>& nodes, uint32_t address,
                                 std::vector<NodeAnswer>& answers, int& code) {
    code = ExitCode::Done;
    answers.assign(nodes.size(), NodeAnswer{});
    std::vector<CanMessage> requests;
    for (uint32_t node : nodes) {
        requests.push_back(DriveMessage::BuildCanMessage(node, SdoCommand::Read, address, 0));
    }
    std::vector<CanMessage> replies(nodes.size());
    int32_t result = link_->link.ProbeCan(requests.data(), static_cast<uint32_t>(requests.size()),
                                          replies.data());
    if (result < 0) {
        return false;
    }
    for (size_t i = 0; i < nodes.size(); ++i) {
        const CanMessage& reply = replies[i];
        const bool answered = reply.length == 8;
        if (!options_.trace.empty()) {
            DriveExchange exchange{reinterpret_cast<const uint8_t*>(&requests[i]),
                                   sizeof(CanMessage),
                                   answered ? reinterpret_cast<const uint8_t*>(&reply) : nullptr,
                                   answered ? sizeof(CanMessage) : 0, static_cast<int32_t>(result)};
            trace_.Record(exchange);
        }
        if (!answered) {
            continue;
        }
        NodeAnswer& answer = answers[i];
        answer.present = true;
        answer.refused = reply.data[0] == ToByte(SdoReplyCommand::Abort);
        answer.value = Rs232Frame::Read(reply.data).data;
        const int width = ExpeditedByteCount(reply.data[0]);
        if (!answer.refused && width > 0 && width < 4) {
            answer.value &= (1u << (8 * width)) - 1;
        }
    }
    if (result != 0) {
        const std::string reason = link_->link.CanFailureReason();
        std::cerr << "tarvoctl: the bus scan failed"
                  << (reason.empty() ? std::string() : ": " + reason) << '\n';
        code = ExitCode::NoAnswer;
    }
    return true;
}

void DriveConnection::SetNode(uint32_t node) {
    link_->link.SetNodeId(node);
}

void DriveConnection::SetProbing(bool probing) {
    probing_ = probing;
    link_->switches.transmitRetry = probing ? 0 : 1;
}

LinkRequester& DriveConnection::Requester() {
    return link_->link;
}

LinkSwitches& DriveConnection::Switches() {
    return link_->switches;
}

bool DriveConnection::Deliver(const std::function<bool()>& done,
                              const std::function<void()>& tick) {
    // A silent drive makes the link report a failure after its repetitions; this limit only
    // catches a request that the link dropped and so will never be answered.
    constexpr auto kUnserved = std::chrono::seconds(3);
    Link& l = *link_;
    {
        std::lock_guard lock(l.board.mutex);
        l.failures.Reset();
    }
    // The overall limit of single exchanges counts from the end of the run.
    struct RenewDeadline {
        std::chrono::steady_clock::time_point& deadline;
        ~RenewDeadline() { deadline = std::chrono::steady_clock::now() + kOverallLimit; }
    } renew{deadline_};
    auto lastBusy = std::chrono::steady_clock::now();
    while (!done()) {
        l.sender.Drain(std::chrono::milliseconds(5));
        if (tick) {
            tick();
        }
        auto now = std::chrono::steady_clock::now();
        if (l.link.IsBusy()) {
            lastBusy = now;
        }
        bool failed = false;
        {
            std::lock_guard lock(l.board.mutex);
            failed = l.failures.answered();
        }
        if (failed || (!done() && now - lastBusy > kUnserved)) {
            return false;
        }
    }
    return true;
}

int DriveConnection::Upload(uint32_t address, std::string& text, uint32_t& abortCode) {
    // Announce, then segments with alternating toggle until the last one.
    Reply reply;
    if (int code = Exchange(SdoCommand::Read, address, 0, reply)) {
        abortCode = reply.abortCode;
        return code;
    }
    text.clear();
    SegmentedUploadClient upload;
    upload.Start(kUploadLimit);
    for (;;) {
        if (int code = Exchange(upload.NextCommand(), address, 0, reply)) {
            abortCode = reply.abortCode;
            return code;
        }
        if (reply.message != WM_LINK_SEGMENT) {
            std::cerr << "tarvoctl: the drive answered the segment request with a value\n";
            return ExitCode::NoAnswer;
        }
        SegmentedUploadClient::Step step =
            upload.Take(reply.segment.count, reply.segment.bytes.data(), reply.segment.last);
        if (step == SegmentedUploadClient::Step::Overrun) {
            std::cerr << "tarvoctl: the upload does not end\n";
            return ExitCode::NoAnswer;
        }
        if (step == SegmentedUploadClient::Step::Complete) {
            break;
        }
    }
    // The drive's texts end at their first zero byte.
    const std::vector<uint8_t>& bytes = upload.bytes();
    text.assign(bytes.begin(), std::find(bytes.begin(), bytes.end(), uint8_t{0}));
    return ExitCode::Done;
}

int DriveConnection::Close(int exitCode) {
    if (closed_) {
        return exitCode;
    }
    closed_ = true;
    link_->switches.connectionState = ConnectionState::Closed;
    QueuedMessageSender& sender = link_->sender;
    link_->link.Shutdown([&sender] { sender.Drain(std::chrono::milliseconds(1)); });
    if (!options_.trace.empty()) {
        std::string error = trace_.Write(options_.trace);
        if (!error.empty()) {
            std::cerr << "tarvoctl: " << error << '\n';
            return exitCode == ExitCode::Done ? ExitCode::BadInput : exitCode;
        }
    }
    return exitCode;
}

}  // namespace tarvo
