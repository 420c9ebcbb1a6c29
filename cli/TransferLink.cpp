#include "TransferLink.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "CanBitRates.h"
#include "ConnectionSession.h"

namespace tarvo {

namespace {

bool ParseNumber(const std::string& text, uint32_t& value) {
    bool hex = text.rfind("0x", 0) == 0 || text.rfind("0X", 0) == 0;
    std::string digits = hex ? text.substr(2) : text;
    const char* allowed = hex ? "0123456789abcdefABCDEF" : "0123456789";
    if (digits.empty() || digits.size() > (hex ? 8u : 10u) ||
        digits.find_first_not_of(allowed) != std::string::npos) {
        return false;
    }
    unsigned long long parsed = std::stoull(digits, nullptr, hex ? 16 : 10);
    if (parsed > 0xFFFFFFFFull) {
        return false;
    }
    value = static_cast<uint32_t>(parsed);
    return true;
}

// A message is a reply of the drive: a value or an abort.
class ReplyWindow : public MessageTarget {
public:
    intptr_t onMessage(uint32_t message, uintptr_t wParam, intptr_t) override {
        answered = true;
        aborted = message == WM_LINK_ABORT;
        value = static_cast<uint32_t>(wParam);
        return 0;
    }
    bool answered = false;
    bool aborted = false;
    uint32_t value = 0;
};

}  // namespace

bool TransferLink::ParseArgs(const std::vector<std::string>& args,
                             const std::vector<std::string>& knownFlags, Options& options) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--can") {
            options.can = true;
            continue;
        }
        if (std::find(knownFlags.begin(), knownFlags.end(), arg) != knownFlags.end()) {
            options.flags.push_back(arg);
            continue;
        }
        bool takesValue = arg == "--port" || arg == "--baud" || arg == "--node" ||
                          arg == "--timeout" || arg == "--bitrate";
        if (!takesValue) {
            if (arg.rfind("--", 0) == 0) {
                std::cerr << "tarvoctl: unknown option " << arg << '\n';
                return false;
            }
            options.words.push_back(arg);
            continue;
        }
        if (i + 1 >= args.size()) {
            std::cerr << "tarvoctl: " << arg << " needs a value\n";
            return false;
        }
        const std::string& value = args[++i];
        if (arg == "--port") {
            options.port = value.rfind("/dev/", 0) == 0 ? value.substr(5) : value;
            continue;
        }
        uint32_t number = 0;
        if (!ParseNumber(value, number)) {
            std::cerr << "tarvoctl: " << arg << " takes a whole number, not \"" << value << "\"\n";
            return false;
        }
        if (arg == "--bitrate") {
            if (!CanBitRates::EntryOfCode(number)) {
                std::cerr << "tarvoctl: --bitrate " << value << " is not a known bit-rate code\n";
                return false;
            }
            options.bitRateCode = number;
        } else if (arg == "--baud") {
            options.baud = number;
        } else if (arg == "--node") {
            options.node = number;
        } else {
            options.timeoutMs = number;
        }
    }
    if (options.baud == 0 || options.node > 127) {
        std::cerr << "tarvoctl: --baud must not be 0 and --node must be 0 to 127\n";
        return false;
    }
    if (!options.can && (options.port.empty() || options.port.size() > 7)) {
        std::cerr << "tarvoctl: --port needs a device name of at most 7 characters, "
                     "e.g. ttyUSB0 or pts/3\n";
        return false;
    }
    return true;
}

bool TransferLink::HasFlag(const Options& options, const std::string& flag) {
    return std::find(options.flags.begin(), options.flags.end(), flag) != options.flags.end();
}

TransferLink::TransferLink(Options options, std::string programFolder)
    : options_(std::move(options)),
      programFolder_(std::move(programFolder)),
      link_({switches_, sender_, messageBox_, programFolder_, nullptr}),
      terminal_(::isatty(STDOUT_FILENO) == 1) {
    switches_.cyclicReadEnabled = 0;
    switches_.mainFrameWindow = &failure_;
}

TransferLink::~TransferLink() {
    switches_.connectionState = 2;
    link_.Shutdown([this] { sender_.Drain(std::chrono::milliseconds(1)); });
}

bool TransferLink::LoadDictionary() {
    std::string path = programFolder_ + "/data/tarvo.dat";
    RecordingMessageBox box;
    if (!dictionary_.LoadFile(path, 2, &box)) {
        std::cerr << "tarvoctl: cannot load " << path << '\n';
        return false;
    }
    return true;
}

bool TransferLink::Open() {
    const int32_t mode = options_.can ? CommLibrary::kCan : CommLibrary::kSerial;
    if (link_.Load(mode) != 1) {
        if (messageBox_.count == 0) {
            std::cerr << "tarvoctl: cannot load " << programFolder_
                      << (options_.can ? "/data/libCAN.so\n" : "/data/libCOM.so\n");
        }
        return false;
    }
    link_.SetNodeId(options_.node);
    CommSettings settings =
        ConnectionSession::MakeSettings(options_.can ? std::string() : options_.port, options_.node,
                                        options_.can ? options_.bitRateCode : options_.baud);
    settings.replyTimeoutMs = options_.timeoutMs;
    int32_t opened = link_.Open(&settings);
    if (opened != 0) {
        if (options_.can) {
            std::cerr << "tarvoctl: cannot open the CAN bus (see sys/can.ini)\n";
        } else if (opened > 0) {
            std::cerr << "tarvoctl: cannot open port " << options_.port << ": "
                      << std::strerror(opened) << '\n';
        }
        return false;
    }
    switches_.connectionState = 1;
    return true;
}

void TransferLink::PolledTimer::Start(std::chrono::milliseconds interval, bool repeat,
                                      std::function<void()> callback) {
    callback_ = std::move(callback);
    interval_ = interval;
    repeat_ = repeat;
    due_ = std::chrono::steady_clock::now() + interval;
    active_ = true;
}

void TransferLink::PolledTimer::FireIfDue() {
    if (!active_ || std::chrono::steady_clock::now() < due_) {
        return;
    }
    if (repeat_) {
        due_ += interval_;
    } else {
        active_ = false;
    }
    auto callback = callback_;
    callback();
}

bool TransferLink::RunUntil(const std::function<bool()>& done, const std::function<void()>& stop,
                            const std::function<Progress()>& progress, const std::string& label) {
    // A silent drive makes the link report a failure after its repetitions; this limit only
    // catches a request that the link dropped and so will never be answered.
    const auto dropped = std::chrono::seconds(3);
    auto lastHeard = std::chrono::steady_clock::now();
    bool answered = true;
    while (!done()) {
        sender_.Drain(std::chrono::milliseconds(5));
        waitTimer_.FireIfDue();
        if (link_.IsBusy() || waitTimer_.IsActive()) {
            lastHeard = std::chrono::steady_clock::now();
        }
        if (failure_.failed || std::chrono::steady_clock::now() - lastHeard > dropped) {
            failure_.failed = false;
            answered = false;
            stop();
            break;
        }
        if (progress) {
            ShowProgress(label, progress(), false);
        }
    }
    if (progress) {
        ShowProgress(label, progress(), true);
    }
    return answered;
}

void TransferLink::ShowProgress(const std::string& label, Progress progress, bool final) {
    if (!terminal_) {
        return;
    }
    auto now = std::chrono::steady_clock::now();
    if (final) {
        std::printf("\r\033[K");
        std::fflush(stdout);
        return;
    }
    if (now - lastShown_ < std::chrono::milliseconds(100)) {
        return;
    }
    lastShown_ = now;
    std::printf("\r%s %d/%d", label.c_str(), progress.done, progress.total);
    std::fflush(stdout);
}

bool TransferLink::Exchange(uint8_t command, uint32_t address, uint32_t data, uint32_t& value,
                            bool& aborted) {
    ReplyWindow window;
    link_.Request(&window, command, address, data);
    bool answered = RunUntil([&window] { return window.answered; }, [] {}, nullptr, "");
    sender_.Drain();
    value = window.value;
    aborted = window.aborted;
    return answered && window.answered;
}

}  // namespace tarvo
