#include "LinkCommand.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <iostream>

#include "AtomicFile.h"
#include "CanBitRates.h"
#include "ConnectionSession.h"
#include "ConsoleMessageBox.h"
#include "ControlLink.h"
#include "LibraryFile.h"
#include "MessageTarget.h"
#include "QueuedMessageSender.h"

namespace tarvo {

namespace {

constexpr const char* kUsage =
    "usage: tarvoctl [--folder DIR] [--port NAME] [--baud RATE] [--node N] [--timeout MS]\n"
    "                [--trace FILE] read INDEX:SUB\n"
    "       tarvoctl [--folder DIR] --can [--bitrate CODE] [--node N] ... read INDEX:SUB\n"
    "       tarvoctl ... write INDEX:SUB VALUE --width 8|16|32\n"
    "       tarvoctl ... upload INDEX:SUB\n";

// No upload of the drive is longer than its largest record; more means a runaway drive.
constexpr size_t kUploadLimit = 65536;
// However the drive behaves, the tool gives up after this long.
constexpr auto kOverallLimit = std::chrono::seconds(60);

struct Options {
    bool can = false;
    uint32_t bitRateCode = 0x001C;  // 500 kbit/s
    std::string port;
    uint32_t baud = 115200;
    uint32_t node = 1;
    uint32_t timeoutMs = 500;
    int width = 0;
    std::string trace;
    std::vector<std::string> words;  // command and its operands
};

bool ParseUnsigned(const std::string& text, uint32_t& value) {
    if (text.empty() || text.size() > 10 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    unsigned long long parsed = std::stoull(text);
    if (parsed > 0xFFFFFFFFull) {
        return false;
    }
    value = static_cast<uint32_t>(parsed);
    return true;
}

bool ParseHexField(std::string text, size_t maxDigits, uint32_t& value) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text = text.substr(2);
    }
    if (text.empty() || text.size() > maxDigits ||
        text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
        return false;
    }
    value = static_cast<uint32_t>(std::stoul(text, nullptr, 16));
    return true;
}

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

bool ParseOptions(const std::vector<std::string>& args, Options& options) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        bool takesValue = arg == "--port" || arg == "--baud" || arg == "--node" ||
                          arg == "--timeout" || arg == "--trace" || arg == "--width" ||
                          arg == "--bitrate";
        if (arg == "--can") {
            options.can = true;
            continue;
        }
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
        uint32_t number = 0;
        if (arg == "--port") {
            options.port = value.rfind("/dev/", 0) == 0 ? value.substr(5) : value;
        } else if (arg == "--trace") {
            options.trace = value;
        } else if (arg == "--bitrate") {
            // A PCAN bit-rate code, decimal or hexadecimal ("0x001C").
            bool hex = value.rfind("0x", 0) == 0 || value.rfind("0X", 0) == 0;
            if (!(hex ? ParseHexField(value, 4, number) : ParseUnsigned(value, number))) {
                std::cerr << "tarvoctl: --bitrate takes a bit-rate code, not \"" << value << "\"\n";
                return false;
            }
            if (!CanBitRates::EntryOfCode(number)) {
                std::cerr << "tarvoctl: --bitrate " << value << " is not a known bit-rate code\n";
                return false;
            }
            options.bitRateCode = number;
        } else if (!ParseUnsigned(value, number)) {
            std::cerr << "tarvoctl: " << arg << " takes a whole number, not \"" << value << "\"\n";
            return false;
        } else if (arg == "--baud") {
            options.baud = number;
        } else if (arg == "--node") {
            options.node = number;
        } else if (arg == "--timeout") {
            options.timeoutMs = number;
        } else {
            options.width = static_cast<int>(number);
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
    return true;
}

// Runs the command's exchanges on an open link; returns the exit code.
class Session {
public:
    Session(ControlLink& link, QueuedMessageSender& sender, LinkSwitches& switches)
        : link_(link), sender_(sender), window_(link), failures_(link) {
        switches.mainFrameWindow = &failures_;
        deadline_ = std::chrono::steady_clock::now() + kOverallLimit;
    }

    // One request and its outcome; false (with the exit code set) when there was none.
    bool Exchange(uint8_t command, uint32_t address, uint32_t data, int& exitCode) {
        window_.Reset();
        failures_.Reset();
        link_.Request(&window_, command, address, data);
        while (!window_.answered && !failures_.answered && link_.IsBusy() &&
               std::chrono::steady_clock::now() < deadline_) {
            sender_.Drain(std::chrono::milliseconds(20));
        }
        sender_.Drain();
        if (failures_.answered || (!window_.answered && link_.IsBusy())) {
            std::cerr << "tarvoctl: the drive does not answer\n";
            exitCode = 2;
            return false;
        }
        if (!window_.answered) {
            std::cerr << "tarvoctl: the drive's reply could not be understood\n";
            exitCode = 2;
            return false;
        }
        if (window_.message == WM_LINK_ABORT) {
            std::printf("abort 0x%08x\n", window_.value);
            exitCode = 3;
            return false;
        }
        return true;
    }

    const ReplyWindow& reply() const { return window_; }

private:
    ControlLink& link_;
    QueuedMessageSender& sender_;
    ReplyWindow window_;
    ReplyWindow failures_;
    std::chrono::steady_clock::time_point deadline_;
};

int RunCommand(const Options& options, Session& session) {
    const std::string& command = options.words[0];
    uint32_t address = 0;
    if (!LinkCommand::ParseAddress(options.words[1], address)) {
        std::cerr << "tarvoctl: \"" << options.words[1]
                  << "\" is not an entry; write INDEX:SUB in hexadecimal, e.g. 6041:0\n";
        return 1;
    }
    int exitCode = 0;
    if (command == "read") {
        if (!session.Exchange(0x40, address, 0, exitCode)) {
            return exitCode;
        }
        std::printf("%u\n", session.reply().value);
        return 0;
    }
    if (command == "write") {
        uint32_t value = 0;
        if (!LinkCommand::ParseValue(options.words[2], options.width, value)) {
            std::cerr << "tarvoctl: \"" << options.words[2] << "\" does not fit in "
                      << options.width << " bits\n";
            return 1;
        }
        uint8_t writeCommand = options.width == 8 ? 0x2F : options.width == 16 ? 0x2B : 0x23;
        if (!session.Exchange(writeCommand, address, value, exitCode)) {
            return exitCode;
        }
        std::printf("%u\n", session.reply().value);
        return 0;
    }
    // upload: announce, then segments with alternating toggle until the last one.
    if (!session.Exchange(0x40, address, 0, exitCode)) {
        return exitCode;
    }
    std::string text;
    uint8_t toggle = 0x60;
    for (;;) {
        if (!session.Exchange(toggle, address, 0, exitCode)) {
            return exitCode;
        }
        if (session.reply().message != WM_LINK_SEGMENT) {
            std::cerr << "tarvoctl: the drive answered the segment request with a value\n";
            return 2;
        }
        const DriveSegment& segment = session.reply().segment;
        text.append(reinterpret_cast<const char*>(segment.bytes.data()), segment.count);
        if (segment.last || segment.count < 7) {
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
    std::printf("%s\n", text.c_str());
    return 0;
}

}  // namespace

bool LinkCommand::Handles(const std::vector<std::string>& args) {
    for (const std::string& arg : args) {
        if (arg == "read" || arg == "write" || arg == "upload") {
            return true;
        }
    }
    return false;
}

bool LinkCommand::ParseAddress(const std::string& text, uint32_t& address) {
    size_t colon = text.find(':');
    if (colon == std::string::npos) {
        return false;
    }
    uint32_t index = 0;
    uint32_t sub = 0;
    if (!ParseHexField(text.substr(0, colon), 4, index) ||
        !ParseHexField(text.substr(colon + 1), 2, sub)) {
        return false;
    }
    address = index << 8 | sub;
    return true;
}

bool LinkCommand::ParseValue(const std::string& text, int widthBits, uint32_t& value) {
    if (widthBits != 8 && widthBits != 16 && widthBits != 32) {
        return false;
    }
    const uint64_t mask = widthBits == 32 ? 0xFFFFFFFFull : (1ull << widthBits) - 1;
    uint32_t magnitude = 0;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        if (!ParseHexField(text, 8, magnitude) || magnitude > mask) {
            return false;
        }
        value = magnitude;
        return true;
    }
    bool negative = !text.empty() && text[0] == '-';
    if (!ParseUnsigned(negative ? text.substr(1) : text, magnitude)) {
        return false;
    }
    if (negative) {
        // Down to the smallest signed value of the width.
        if (magnitude > (mask >> 1) + 1) {
            return false;
        }
        value = static_cast<uint32_t>((0 - static_cast<uint64_t>(magnitude)) & mask);
        return true;
    }
    if (magnitude > mask) {
        return false;
    }
    value = magnitude;
    return true;
}

int LinkCommand::Run(const std::vector<std::string>& args, const std::string& programFolder) {
    Options options;
    if (!ParseOptions(args, options)) {
        return 1;
    }
    const auto& words = options.words;
    bool shapeOk = !words.empty() && ((words[0] == "read" && words.size() == 2) ||
                                      (words[0] == "upload" && words.size() == 2) ||
                                      (words[0] == "write" && words.size() == 3));
    if (!shapeOk) {
        std::cerr << kUsage;
        return 1;
    }
    if (words[0] == "write" && options.width != 8 && options.width != 16 && options.width != 32) {
        std::cerr << "tarvoctl: write needs --width 8, 16 or 32\n";
        return 1;
    }
    if (!options.can && (options.port.empty() || options.port.size() > 7)) {
        std::cerr << "tarvoctl: --port needs a device name of at most 7 characters, "
                     "e.g. ttyUSB0 or pts/3\n";
        return 1;
    }

    LinkSwitches switches;
    switches.cyclicReadEnabled = 0;
    QueuedMessageSender sender;
    ConsoleMessageBox messageBox;
    ControlLink link({switches, sender, messageBox, programFolder, nullptr});
    // Lives until the worker has ended: its windows receive the link's messages.
    Session session(link, sender, switches);
    std::string trace;
    if (!options.trace.empty()) {
        // Written by the worker only; read after it has ended.
        link.SetExchangeObserver([&trace](const DriveExchange& exchange) {
            trace += TimeOfDay() + "  " + HexBytes(exchange.request, exchange.requestLength);
            if (exchange.reply != nullptr) {
                trace += "  ->  " + HexBytes(exchange.reply, exchange.replyLength) + "\r\n";
            } else {
                trace += "  ->  no reply (" + std::to_string(exchange.transactResult) + ")\r\n";
            }
        });
    }

    int exitCode = 1;
    const int32_t mode = options.can ? CommLibrary::kCan : CommLibrary::kSerial;
    if (link.Load(mode) != 1) {
        if (messageBox.count == 0) {
            std::string library =
                programFolder + (options.can ? "/data/libCAN.so" : "/data/libCOM.so");
            std::string why = LibraryFile::Diagnose(library);
            std::cerr << "tarvoctl: cannot load " << library << (why.empty() ? "" : ": " + why)
                      << '\n';
        }
    } else {
        link.SetNodeId(options.node);
        CommSettings settings = ConnectionSession::MakeSettings(
            options.can ? std::string() : options.port, options.node,
            options.can ? options.bitRateCode : options.baud);
        settings.replyTimeoutMs = options.timeoutMs;
        int32_t opened = link.Open(&settings);
        if (opened != 0) {
            if (options.can) {
                std::cerr << "tarvoctl: cannot open the CAN bus (see sys/can.ini)\n";
            } else if (opened > 0) {
                std::cerr << "tarvoctl: cannot open port " << options.port << ": "
                          << std::strerror(opened) << '\n';
            }
        } else {
            switches.connectionState = 1;
            exitCode = RunCommand(options, session);
            switches.connectionState = 2;
        }
    }
    link.Shutdown([&sender] { sender.Drain(std::chrono::milliseconds(1)); });
    if (!options.trace.empty()) {
        std::string error = AtomicFile::Write(options.trace, trace);
        if (!error.empty()) {
            std::cerr << "tarvoctl: " << error << '\n';
            return exitCode == 0 ? 1 : exitCode;
        }
    }
    return exitCode;
}

}  // namespace tarvo
