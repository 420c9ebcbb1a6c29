#include "cli/DriveConnection.h"

#include <unistd.h>

#include <algorithm>
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

// Takes the link's messages for the command; runs on the main thread, which drains them.
class ReplyWindow : public MessageTarget {
public:
    explicit ReplyWindow(ControlLink& link) : link_(link) {}

    intptr_t onMessage(uint32_t message, uintptr_t wParam, intptr_t) override {
        answered = true;
        this->message = message;
        value = static_cast<uint32_t>(wParam);
        if (message == WM_LINK_SEGMENT) {
            segment = link_.GetSegment();
        }
        if (onAnswer) {
            onAnswer();
        }
        return 0;
    }

    void Reset() { answered = false; }

    bool answered = false;
    // Runs inside the delivery, while the link's worker waits for it.
    std::function<void()> onAnswer;
    uint32_t message = 0;
    uint32_t value = 0;
    DriveSegment segment;

private:
    ControlLink& link_;
};

}  // namespace

struct DriveConnection::Link {
    explicit Link(const std::string& programFolder)
        : link({switches, sender, messageBox, programFolder, nullptr}),
          window(link),
          failures(link) {
        switches.cyclicReadEnabled = 0;
        switches.mainFrameWindow = &failures;
    }

    LinkSwitches switches;
    QueuedMessageSender sender;
    ConsoleMessageBox messageBox;
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
    l.window.Reset();
    l.failures.Reset();
    l.link.Request(&l.window, command, address, data);
    while (!l.window.answered && !l.failures.answered && l.link.IsBusy() &&
           std::chrono::steady_clock::now() < deadline_) {
        l.sender.Drain(std::chrono::milliseconds(20));
    }
    l.sender.Drain();
    if (l.failures.answered || (!l.window.answered && l.link.IsBusy())) {
        if (!probing_) {
            const std::string reason = l.link.FailureReason();
            std::cerr << "tarvoctl: " << (reason.empty() ? "the drive does not answer" : reason)
                      << '\n';
        }
        return ExitCode::NoAnswer;
    }
    if (!l.window.answered) {
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
    l.failures.Reset();
    l.link.Request(&l.window, SdoCommand::Read, addresses[0], 0);
    while (next < addresses.size() && !l.failures.answered && l.link.IsBusy() &&
           std::chrono::steady_clock::now() < deadline_) {
        l.sender.Drain(std::chrono::milliseconds(20));
    }
    l.sender.Drain();
    l.window.onAnswer = nullptr;
    if (next < addresses.size()) {
        if (!probing_) {
            std::cerr << "tarvoctl: the drive does not answer\n";
        }
        return ExitCode::NoAnswer;
    }
    return ExitCode::Done;
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
    l.failures.Reset();
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
        if (l.failures.answered || (!done() && now - lastBusy > kUnserved)) {
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
