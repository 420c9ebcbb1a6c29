#include "cli/TransferLink.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <iostream>

#include "comm/LinkSwitches.h"
#include "platform/MessageBox.h"

namespace tarvo {

bool TransferLink::SplitArgs(const std::vector<std::string>& args,
                             const std::vector<std::string>& known, std::vector<std::string>& words,
                             std::vector<std::string>& flags) {
    for (const std::string& arg : args) {
        if (arg.rfind("--", 0) != 0) {
            words.push_back(arg);
        } else if (std::find(known.begin(), known.end(), arg) != known.end()) {
            flags.push_back(arg);
        } else {
            std::cerr << "tarvoctl: unknown option " << arg << '\n';
            return false;
        }
    }
    return true;
}

bool TransferLink::HasFlag(const std::vector<std::string>& flags, const std::string& flag) {
    return std::find(flags.begin(), flags.end(), flag) != flags.end();
}

TransferLink::TransferLink(const ConnectionOptions& options, const std::string& programFolder)
    : programFolder_(programFolder),
      drive_(options, programFolder),
      terminal_(::isatty(STDOUT_FILENO) == 1) {}

bool TransferLink::LoadDictionary() {
    std::string path = programFolder_ + "/data/tarvo.dat";
    RecordingMessageBox box;
    if (!dictionary_.LoadFile(path, 2, &box)) {
        std::cerr << "tarvoctl: no dictionary: " << dictionary_.LoadProblem() << '\n';
        return false;
    }
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
    bool answered = true;
    // A pause of the storing sequence is no silence of the drive: run it in short rounds.
    while (!done()) {
        bool round = drive_.Deliver([&] { return done() || waitTimer_.IsActive(); },
                                    [&] {
                                        if (progress) {
                                            ShowProgress(label, progress(), false);
                                        }
                                    });
        if (!round) {
            answered = false;
            stop();
            break;
        }
        while (waitTimer_.IsActive()) {
            usleep(1000);
            waitTimer_.FireIfDue();
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
    if (final) {
        std::printf("\r\033[K");
        std::fflush(stdout);
        return;
    }
    auto now = std::chrono::steady_clock::now();
    if (now - lastShown_ < std::chrono::milliseconds(100)) {
        return;
    }
    lastShown_ = now;
    std::printf("\r%s %d/%d", label.c_str(), progress.done, progress.total);
    std::fflush(stdout);
}

int TransferLink::Exchange(SdoCommand command, uint32_t address, uint32_t data, uint32_t& value) {
    DriveConnection::Reply reply;
    int code = drive_.Exchange(command, address, data, reply);
    value = reply.value;
    return code;
}

}  // namespace tarvo
