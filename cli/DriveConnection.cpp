#include "DriveConnection.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <iostream>

#include "ArgumentText.h"
#include "AtomicFile.h"
#include "CanBitRates.h"
#include "ConnectionSession.h"
#include "ConsoleMessageBox.h"
#include "ControlLink.h"
#include "MessageTarget.h"
#include "QueuedMessageSender.h"

namespace tarvo {

const char* const kConnectionUsage =
    "connection: --port NAME [--baud RATE] | --can [--bitrate CODE]\n"
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
        return 0;
    }

    void Reset() { answered = false; }

    bool answered = false;
    uint32_t message = 0;
    uint32_t value = 0;
    DriveSegment segment;

private:
    ControlLink& link_;
};

bool ParseBitRate(const std::string& value, uint32_t& code) {
    // A PCAN bit-rate code, decimal or hexadecimal ("0x001C").
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
            options.port = value.rfind("/dev/", 0) == 0 ? value.substr(5) : value;
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
    if (!options_.trace.empty()) {
        link_->link.SetExchangeObserver([this](const DriveExchange& exchange) {
            trace_ += TimeOfDay() + "  " + HexBytes(exchange.request, exchange.requestLength);
            if (exchange.reply != nullptr) {
                trace_ += "  ->  " + HexBytes(exchange.reply, exchange.replyLength) + "\r\n";
            } else {
                trace_ += "  ->  no reply (" + std::to_string(exchange.transactResult) + ")\r\n";
            }
        });
    }
}

DriveConnection::~DriveConnection() {
    Close(0);
}

int DriveConnection::Open() {
    if (!options_.can && (options_.port.empty() || options_.port.size() > 7)) {
        std::cerr << "tarvoctl: --port needs a device name of at most 7 characters, "
                     "e.g. ttyUSB0 or pts/3\n";
        return 1;
    }
    ControlLink& link = link_->link;
    const int32_t mode = options_.can ? CommLibrary::kCan : CommLibrary::kSerial;
    if (link.Load(mode) != 1) {
        if (link_->messageBox.count == 0) {
            std::cerr << "tarvoctl: cannot load " << programFolder_
                      << (options_.can ? "/data/libCAN.so\n" : "/data/libCOM.so\n");
        }
        return 1;
    }
    link.SetNodeId(options_.node);
    CommSettings settings =
        ConnectionSession::MakeSettings(options_.can ? std::string() : options_.port, options_.node,
                                        options_.can ? options_.bitRateCode : options_.baud);
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
    link_->switches.connectionState = 1;
    return 0;
}

int DriveConnection::Exchange(uint8_t command, uint32_t address, uint32_t data, Reply& reply) {
    Link& l = *link_;
    l.window.Reset();
    l.failures.Reset();
    l.link.Request(&l.window, command, address, data);
    while (!l.window.answered && !l.failures.answered && l.link.IsBusy() &&
           std::chrono::steady_clock::now() < deadline_) {
        l.sender.Drain(std::chrono::milliseconds(20));
    }
    l.sender.Drain();
    if (l.failures.answered || (!l.window.answered && l.link.IsBusy())) {
        std::cerr << "tarvoctl: the drive does not answer\n";
        return 2;
    }
    if (!l.window.answered) {
        std::cerr << "tarvoctl: the drive's reply could not be understood\n";
        return 2;
    }
    if (l.window.message == WM_LINK_ABORT) {
        std::printf("abort 0x%08x\n", l.window.value);
        return 3;
    }
    reply.message = l.window.message;
    reply.value = l.window.value;
    reply.segment = l.window.segment;
    return 0;
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

int DriveConnection::Upload(uint32_t address, std::string& text) {
    // Announce, then segments with alternating toggle until the last one.
    Reply reply;
    if (int code = Exchange(0x40, address, 0, reply)) {
        return code;
    }
    text.clear();
    uint8_t toggle = 0x60;
    for (;;) {
        if (int code = Exchange(toggle, address, 0, reply)) {
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
        toggle = toggle == 0x60 ? 0x70 : 0x60;
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
    link_->switches.connectionState = 2;
    QueuedMessageSender& sender = link_->sender;
    link_->link.Shutdown([&sender] { sender.Drain(std::chrono::milliseconds(1)); });
    if (!options_.trace.empty()) {
        std::string error = AtomicFile::Write(options_.trace, trace_);
        if (!error.empty()) {
            std::cerr << "tarvoctl: " << error << '\n';
            return exitCode == 0 ? 1 : exitCode;
        }
    }
    return exitCode;
}

}  // namespace tarvo
