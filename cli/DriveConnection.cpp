#include "cli/DriveConnection.h"

#include <unistd.h>

#include <cctype>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <iostream>

#include "cli/AbortText.h"
#include "cli/ArgumentText.h"
#include "platform/AtomicFile.h"
#include "comm/CanBitRates.h"
#include "comm/ConnectionSession.h"
#include "cli/ConsoleMessageBox.h"
#include "comm/ControlLink.h"
#include "platform/LibraryFile.h"
#include "platform/MessageTarget.h"
#include "comm/PortAlias.h"
#include "platform/QueuedMessageSender.h"
#include "app/SharedState.h"

namespace tarvo {

const char* const kConnectionUsage =
    "connection: --port NAME [--baud RATE] | --can [--bitrate RATE]\n"
    "            [--node N] [--timeout MS] [--trace FILE]\n";

namespace {

// No upload of the drive is longer than its largest record; more means a runaway drive.
constexpr size_t kUploadLimit = 65536;
// However the drive behaves, the tool gives up after this long.
constexpr auto kOverallLimit = std::chrono::seconds(60);

std::string HexBytes(const uint8_t* bytes, size_t count) {
    std::string text;
    char part[4];
    for (size_t i = 0; i < count; ++i) {
        std::snprintf(part, sizeof part, i == 0 ? "%02X" : " %02X", bytes[i]);
        text += part;
    }
    return text;
}

std::string TimeOfDay() {
    auto now = std::chrono::system_clock::now();
    std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()) % 1000;
    std::tm local{};
    ::localtime_r(&seconds, &local);
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", local.tm_hour, local.tm_min,
                  local.tm_sec, static_cast<int>(millis.count()));
    return text;
}

// Command, entry and data of a frame as the drive message layer shows it to its observer:
// a 10-byte RS232 frame (checked by its sum) or a CAN message record.
struct FrameFields {
    uint8_t command = 0;
    uint32_t address = 0;
    uint32_t data = 0;
};

std::optional<FrameFields> Fields(const uint8_t* bytes, size_t length) {
    size_t at = 0;
    if (bytes == nullptr) {
        return std::nullopt;
    }
    if (length == 10) {
        uint8_t sum = 0;
        for (size_t i = 0; i < length; ++i) {
            sum = static_cast<uint8_t>(sum + bytes[i]);
        }
        if (sum != 0) {
            return std::nullopt;
        }
        at = 1;
    } else if (length == sizeof(CanMessage)) {
        at = offsetof(CanMessage, data);
    } else {
        return std::nullopt;
    }
    FrameFields fields;
    fields.command = bytes[at];
    fields.address =
        static_cast<uint32_t>(bytes[at + 2] << 16 | bytes[at + 1] << 8) | bytes[at + 3];
    for (int i = 0; i < 4; ++i) {
        fields.data |= static_cast<uint32_t>(bytes[at + 4 + i]) << (8 * i);
    }
    return fields;
}

// Stands in `folder` while it lives, when that is not the current directory already.
class CurrentFolder {
public:
    explicit CurrentFolder(const std::string& folder) {
        std::string current = SharedState::CurrentFolder();
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

bool ParseBitRate(const std::string& value, uint32_t& code) {
    // A rate ("500k", "1000k", "1m") or a PCAN bit-rate code, decimal or hexadecimal.
    uint32_t kbits = 0;
    char last = value.empty() ? '\0' : static_cast<char>(std::tolower(value.back()));
    if ((last == 'k' || last == 'm') &&
        ArgumentText::ParseUnsigned(value.substr(0, value.size() - 1), kbits)) {
        auto entry = CanBitRates::EntryOfKbits(last == 'm' ? kbits * 1000 : kbits);
        if (!entry) {
            std::cerr << "tarvoctl: --bitrate " << value
                      << " is not a rate of the adapter (1000k 500k 250k 125k 100k 50k 20k)\n";
            return false;
        }
        code = CanBitRates::CodeOfEntry(*entry);
        return true;
    }
    bool hex = value.rfind("0x", 0) == 0 || value.rfind("0X", 0) == 0;
    if (!(hex ? ArgumentText::ParseHexField(value, 4, code)
              : ArgumentText::ParseUnsigned(value, code))) {
        std::cerr << "tarvoctl: --bitrate takes a bit-rate code, not \"" << value << "\"\n";
        return false;
    }
    if (!CanBitRates::EntryOfCode(code)) {
        std::cerr << "tarvoctl: --bitrate " << value << " is not a known bit-rate code\n";
        return false;
    }
    return true;
}

}  // namespace

bool ConnectionOptions::Take(std::vector<std::string>& args, ConnectionOptions& options) {
    std::vector<std::string> rest;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--can") {
            options.can = true;
            continue;
        }
        bool takesValue = arg == "--port" || arg == "--baud" || arg == "--node" ||
                          arg == "--timeout" || arg == "--trace" || arg == "--bitrate";
        if (!takesValue) {
            rest.push_back(arg);
            continue;
        }
        if (i + 1 >= args.size()) {
            std::cerr << "tarvoctl: " << arg << " needs a value\n";
            return false;
        }
        const std::string& value = args[++i];
        uint32_t number = 0;
        if (arg == "--port") {
            options.port = value;
        } else if (arg == "--trace") {
            options.trace = value;
        } else if (arg == "--bitrate") {
            if (!ParseBitRate(value, options.bitRateCode)) {
                return false;
            }
        } else if (!ArgumentText::ParseUnsigned(value, number)) {
            std::cerr << "tarvoctl: " << arg << " takes a whole number, not \"" << value << "\"\n";
            return false;
        } else if (arg == "--baud") {
            options.baud = number;
        } else if (arg == "--node") {
            options.node = number;
        } else {
            options.timeoutMs = number;
            options.timeoutGiven = true;
        }
    }
    if (options.baud == 0) {
        std::cerr << "tarvoctl: --baud must not be 0\n";
        return false;
    }
    if (options.node > 127) {
        std::cerr << "tarvoctl: --node must be 0 to 127\n";
        return false;
    }
    args = std::move(rest);
    return true;
}

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
    if (options_.trace.empty()) {
        return;
    }
    trace_ += TimeOfDay() + "  " + HexBytes(exchange.request, exchange.requestLength);
    if (exchange.reply != nullptr) {
        trace_ += "  ->  " + HexBytes(exchange.reply, exchange.replyLength) + "\r\n";
    } else {
        trace_ += "  ->  no reply (" + std::to_string(exchange.transactResult) + ")\r\n";
    }
}

std::string DriveConnection::AbortMessage(uint32_t address, uint32_t abortCode) {
    char key[16];
    std::snprintf(key, sizeof key, "%04X:%02X", address >> 8, address & 0xFF);
    return std::string(key) + ": the drive refused: " + AbortText::Describe(abortCode);
}

DriveConnection::~DriveConnection() {
    Close(0);
}

int DriveConnection::Open() {
    if (!options_.can && options_.port.empty()) {
        std::cerr << "tarvoctl: no port given: --port NAME (e.g. ttyUSB0) or --can\n";
        return 1;
    }
    // The serial library finds the links of dev/ from the current directory.
    CurrentFolder inFolder(programFolder_);
    std::string portName;
    if (!options_.can) {
        if (int error = PortAlias::ShortName(programFolder_, options_.port, portName)) {
            std::cerr << "tarvoctl: cannot open port " << options_.port << ": "
                      << std::strerror(error) << '\n';
            return 1;
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
        return 1;
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
        }
        return 1;
    }
    link_->switches.connectionState = ConnectionState::Open;
    return 0;
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
            std::cerr << "tarvoctl: the drive does not answer\n";
        }
        return 2;
    }
    if (!l.window.answered) {
        if (!probing_) {
            std::cerr << "tarvoctl: the drive's reply could not be understood\n";
        }
        return 2;
    }
    if (l.window.message == WM_LINK_ABORT) {
        reply.abortCode = l.window.value;
        return 3;
    }
    {
        std::lock_guard<std::mutex> lock(abortMutex_);
        if (IsWriteCommand(command) && writeAbort_) {
            reply.abortCode = *writeAbort_;
            return 3;
        }
    }
    reply.message = l.window.message;
    reply.value = l.window.value;
    reply.segment = l.window.segment;
    return 0;
}

int DriveConnection::ReadMany(const std::vector<uint32_t>& addresses, std::vector<Reply>& replies,
                              std::vector<int>& results) {
    Link& l = *link_;
    replies.assign(addresses.size(), Reply{});
    results.assign(addresses.size(), 0);
    if (addresses.empty()) {
        return 0;
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
            results[next] = 3;
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
        return 2;
    }
    return 0;
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
    SdoCommand toggle = SdoCommand::SegmentToggleClear;
    for (;;) {
        if (int code = Exchange(toggle, address, 0, reply)) {
            abortCode = reply.abortCode;
            return code;
        }
        if (reply.message != WM_LINK_SEGMENT) {
            std::cerr << "tarvoctl: the drive answered the segment request with a value\n";
            return 2;
        }
        text.append(reinterpret_cast<const char*>(reply.segment.bytes.data()), reply.segment.count);
        if (reply.segment.last || reply.segment.count < 7) {
            break;
        }
        if (text.size() > kUploadLimit) {
            std::cerr << "tarvoctl: the upload does not end\n";
            return 2;
        }
        toggle = toggle == SdoCommand::SegmentToggleClear ? SdoCommand::SegmentToggleSet
                                                          : SdoCommand::SegmentToggleClear;
    }
    // The drive's texts end at their first zero byte.
    text = text.substr(0, std::strlen(text.c_str()));
    return 0;
}

int DriveConnection::Close(int exitCode) {
    if (closed_) {
        return exitCode;
    }
    closed_ = true;
    link_->switches.connectionState = ConnectionState::Closed;
    QueuedMessageSender& sender = link_->sender;
    link_->link.Shutdown([&sender] { sender.Drain(std::chrono::milliseconds(1)); });
    if (options_.trace == "-") {
        std::fwrite(trace_.data(), 1, trace_.size(), stdout);
        std::fflush(stdout);
    } else if (!options_.trace.empty()) {
        std::string error = AtomicFile::Write(options_.trace, trace_);
        if (!error.empty()) {
            std::cerr << "tarvoctl: " << error << '\n';
            return exitCode == 0 ? 1 : exitCode;
        }
    }
    return exitCode;
}

}  // namespace tarvo
