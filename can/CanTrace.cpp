#include "can/CanTrace.h"

#include <sys/time.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace tarvo::canbus {

std::string CanTrace::Open(const std::string& path) {
    Close();
    // A mistyped folder is the user's to fix: no folder is ever made for the trace.
    std::filesystem::path folder = std::filesystem::path(path).parent_path();
    std::error_code error;
    if (!folder.empty() && !std::filesystem::is_directory(folder, error)) {
        return "cannot write the CAN trace " + path + ": its folder " + folder.string() +
               " does not exist";
    }
    file_ = std::fopen(path.c_str(), "ae");
    if (file_ == nullptr) {
        return "cannot write the CAN trace " + path + ": " + std::strerror(errno);
    }
    return {};
}

void CanTrace::Close() {
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
}

std::string CanTrace::Line(const Frame& frame, const std::string& interface, long seconds,
                           long microseconds) {
    char text[96];
    int length = std::snprintf(text, sizeof text, "(%010ld.%06ld) %s ", seconds, microseconds,
                               interface.c_str());
    std::string line(text, static_cast<size_t>(length > 0 ? length : 0));
    std::snprintf(text, sizeof text, frame.IsExtended() ? "%08X#" : "%03X#", frame.Identifier());
    line += text;
    if (frame.IsRemote()) {
        line += 'R';
        return line;
    }
    for (int i = 0; i < frame.length && i < 8; ++i) {
        std::snprintf(text, sizeof text, "%02X", frame.data[i]);
        line += text;
    }
    return line;
}

void CanTrace::Write(const Frame& frame, const std::string& interface) {
    if (file_ == nullptr) {
        return;
    }
    timeval now{};
    ::gettimeofday(&now, nullptr);
    std::string line = Line(frame, interface, now.tv_sec, now.tv_usec) + '\n';
    std::fwrite(line.data(), 1, line.size(), file_);
    std::fflush(file_);
}

}  // namespace tarvo::canbus
