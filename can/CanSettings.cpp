#include "can/CanSettings.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>

#include "platform/InputFile.h"
#include "platform/ProfileFile.h"
#include "platform/TextCase.h"
#include "platform/TextCodec.h"

namespace tarvo::canbus {

namespace {

constexpr size_t kValueBuffer = 512;
constexpr const char* kKeys[] = {"backend", "interface", "channel", "library", "socket", "trace"};

std::string Resolve(const std::string& folder, const std::string& path) {
    if (path.empty() || path[0] == '/') {
        return path;
    }
    return (std::filesystem::path(folder) / path).string();
}

bool ParseChannel(const std::string& text, uint32_t& channel) {
    std::string digits = Lower(text);
    int base = 10;
    if (digits.rfind("0x", 0) == 0) {
        digits = digits.substr(2);
        base = 16;
    }
    if (digits.empty() || digits.size() > 8) {
        return false;
    }
    uint64_t value = 0;
    for (char c : digits) {
        int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                    : base == 16 && c >= 'a' && c <= 'f'        ? c - 'a' + 10
                                                                : -1;
        if (digit < 0) {
            return false;
        }
        value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
    }
    if (value == 0 || value > 0xFFFF) {
        return false;
    }
    channel = static_cast<uint32_t>(value);
    return true;
}

bool ValidInterface(const std::string& name) {
    return !name.empty() && name.size() < 16 &&
           std::all_of(name.begin(), name.end(), [](unsigned char c) {
               return std::isalnum(c) || c == '_' || c == '-' || c == '.';
           });
}

// A byte-order mark of UTF-16, or an ASCII character followed by a zero byte as UTF-16LE
// without one stores it.
bool LooksUtf16(const std::string& content) {
    if (content.rfind("\xFF\xFE", 0) == 0 || content.rfind("\xFE\xFF", 0) == 0) {
        return true;
    }
    return content.size() >= 2 && content[0] != '\0' && content[1] == '\0';
}

}  // namespace

std::string CanSettings::BackendName(Backend backend) {
    switch (backend) {
        case Backend::SocketCan:
            return "socketcan";
        case Backend::Pcan:
            return "pcan";
        case Backend::SimBus:
            return "sim";
    }
    return "?";
}

std::string CanSettings::Describe() const {
    std::string text = "backend=" + BackendName(backend);
    switch (backend) {
        case Backend::SocketCan:
            return text + " interface=" + interface;
        case Backend::Pcan: {
            char handle[16];
            std::snprintf(handle, sizeof handle, "0x%02X", channel);
            return text + " library=" + library + " channel=" + handle;
        }
        case Backend::SimBus:
            return text + " socket=" + socket;
    }
    return text;
}

bool CanSettings::Load(const std::string& programFolder, CanSettings& settings,
                       std::string& error) {
    settings = CanSettings();
    // A run may choose its bus without touching the user's file (tarvostep --demo --can).
    const char* chosen = std::getenv("TARVO_CAN_INI");
    std::string path = (chosen != nullptr && *chosen != '\0')
                           ? std::string(chosen)
                           : (std::filesystem::path(programFolder) / "sys" / "can.ini").string();
    std::error_code code;
    if (!std::filesystem::exists(path, code)) {
        return true;
    }
    if (!std::filesystem::is_regular_file(path, code)) {
        error = path + " is not a file";
        return false;
    }
    // The profile reader takes what it cannot read as an empty file; say what is wrong instead.
    std::string content;
    if (std::string problem = InputFile::Read(path, content); !problem.empty()) {
        error = problem;
        return false;
    }
    if (LooksUtf16(content)) {
        error = path + " is UTF-16 text; save it as UTF-8 (or plain ASCII)";
        return false;
    }
    ProfileFile file(path);
    std::vector<std::string> keys = file.GetKeys("can");
    if (keys.empty()) {
        error = path + ": no [can] section with settings (see backend=socketcan|pcan|sim)";
        return false;
    }
    for (const std::string& key : keys) {
        if (std::none_of(std::begin(kKeys), std::end(kKeys),
                         [&](const char* known) { return Lower(key) == known; })) {
            error = path + ": unknown key \"" + key +
                    "\" in [can]; known keys: backend, interface, channel, library, socket, trace";
            return false;
        }
    }
    // A value is read into a buffer of kValueBuffer units; a longer one (a path, most
    // likely) would be cut there and name another file, so it is refused.
    std::map<std::string, std::string> values;
    for (const char* key : kKeys) {
        if (std::none_of(keys.begin(), keys.end(),
                         [&](const std::string& present) { return Lower(present) == key; })) {
            continue;
        }
        std::string value = file.GetString("can", key, "", kValueBuffer + 1);
        if (TextCodec::Utf16Length(value) >= kValueBuffer) {
            error = path + ": " + key + "= is longer than " + std::to_string(kValueBuffer - 1) +
                    " characters";
            return false;
        }
        values.emplace(key, std::move(value));
    }
    auto get = [&](const char* key, const std::string& fallback) {
        auto found = values.find(key);
        return found == values.end() ? fallback : found->second;
    };
    std::string backend = Lower(get("backend", "socketcan"));
    if (backend == "socketcan") {
        settings.backend = Backend::SocketCan;
    } else if (backend == "pcan") {
        settings.backend = Backend::Pcan;
    } else if (backend == "sim") {
        settings.backend = Backend::SimBus;
    } else {
        error = path + ": backend=" + backend + " is not one of socketcan, pcan, sim";
        return false;
    }
    settings.interface = get("interface", "can0");
    if (!ValidInterface(settings.interface)) {
        error = path + ": interface=" + settings.interface +
                " is not a network interface name (such as can0)";
        return false;
    }
    std::string channel = get("channel", "0x51");
    if (!ParseChannel(channel, settings.channel)) {
        error = path + ": channel=" + channel +
                " is not a PCAN-Basic channel handle (such as 0x51 for PCAN_USBBUS1)";
        return false;
    }
    settings.library = get("library", "libpcanbasic.so");
    if (settings.library.empty()) {
        error = path + ": library= is empty";
        return false;
    }
    // A bare name is looked up where the system keeps its libraries; a path is the user's.
    if (settings.library.find('/') != std::string::npos) {
        settings.library = Resolve(programFolder, settings.library);
    }
    settings.socket = get("socket", "dev/cansim0");
    if (settings.socket.empty()) {
        error = path + ": socket= is empty";
        return false;
    }
    settings.socket = Resolve(programFolder, settings.socket);
    settings.trace = Resolve(programFolder, get("trace", ""));
    return true;
}

}  // namespace tarvo::canbus
