// libFuzzer target: any bytes as sys/can.ini are read by the CAN library's settings reader
// without a crash: settings it accepts are usable (an interface name, a channel handle,
// paths that are not empty, relative ones resolved into the program folder) and read back
// the same when written out; settings it refuses come with a message that names the file.
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "can/CanSettings.h"
#include "fuzz/FuzzFolder.h"

namespace {

using tarvo::canbus::CanSettings;
using tarvo::fuzz::FuzzFolder;

bool Absolute(const std::string& path) {
    return !path.empty() && path.front() == '/';
}

bool Usable(const CanSettings& s) {
    bool nameOk = !s.interface.empty() && s.interface.size() < 16;
    for (unsigned char c : s.interface) {
        nameOk = nameOk && (std::isalnum(c) || c == '_' || c == '-' || c == '.');
    }
    return nameOk && s.channel >= 1 && s.channel <= 0xFFFF && !s.library.empty() &&
           Absolute(s.socket) && (s.trace.empty() || Absolute(s.trace)) &&
           (s.library.find('/') == std::string::npos || Absolute(s.library));
}

// A value in matching quotes loses them when read, and blanks at its ends (which only
// quotes can keep) are trimmed: such a value does not survive a write without quotes.
bool Unwritable(const std::string& value) {
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    // A relative path made absolute may outgrow the 511 characters a value may have.
    if (value.size() > 511) {
        return true;
    }
    return !value.empty() &&
           (blank(value.front()) || blank(value.back()) ||
            (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
             value.back() == value.front()));
}

bool Same(const CanSettings& a, const CanSettings& b) {
    return a.backend == b.backend && a.interface == b.interface && a.channel == b.channel &&
           a.library == b.library && a.socket == b.socket && a.trace == b.trace;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool unset = ::unsetenv("TARVO_CAN_INI") == 0;
    (void)unset;
    const std::string& folder = FuzzFolder::Path();
    const std::string path = FuzzFolder::Write(
        "sys/can.ini", std::string_view(reinterpret_cast<const char*>(data), size));

    CanSettings settings;
    std::string error;
    if (!CanSettings::Load(folder, settings, error)) {
        if (error.rfind(path, 0) != 0) {
            std::abort();  // a refusal that does not say which file
        }
        return 0;
    }
    if (!error.empty() || !Usable(settings)) {
        std::abort();
    }
    // Written out as the user would, the settings read back the same.
    for (const std::string* value : {&settings.library, &settings.socket, &settings.trace}) {
        if (Unwritable(*value)) {
            return 0;
        }
    }
    char channel[16];
    std::snprintf(channel, sizeof channel, "0x%X", settings.channel);
    std::string text = "[can]\nbackend=" + CanSettings::BackendName(settings.backend) +
                       "\ninterface=" + settings.interface + "\nchannel=" + channel +
                       "\nlibrary=" + settings.library + "\nsocket=" + settings.socket +
                       (settings.trace.empty() ? "" : "\ntrace=" + settings.trace) + "\n";
    FuzzFolder::Write("sys/can.ini", text);
    CanSettings again;
    if (!CanSettings::Load(folder, again, error) || !Same(settings, again)) {
        std::abort();
    }
    return 0;
}
