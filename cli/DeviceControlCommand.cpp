#include "cli/DeviceControlCommand.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <nlohmann/json.hpp>

#include "cli/DeviceControlClient.h"
#include "cli/ExitCode.h"
#include "protocol/DriveObjects.h"

namespace tarvo {

namespace {

using DeviceControl::State;
constexpr std::chrono::milliseconds kStateLimit{5000};
constexpr uint32_t kErrorCode = ObjectAddressOf(0x603F, 0);

bool NoOperands(const char* command, const std::vector<std::string>& args) {
    if (args.empty()) {
        return true;
    }
    std::cerr << "tarvoctl: " << command << " does not take " << args.front() << '\n';
    return false;
}

// Opens the drive and runs `step` on it.
template <typename Step>
int WithDrive(const ConnectionOptions& options, const std::string& programFolder, Step step) {
    DriveConnection drive(options, programFolder);
    int code = drive.Open();
    if (code != ExitCode::Done) {
        return drive.Close(code);
    }
    DeviceControlClient client(drive, nullptr);
    return drive.Close(step(client));
}

int Transition(const char* command, State goal, std::vector<std::string> args,
               const ConnectionOptions& options, const std::string& programFolder) {
    auto limit = DeviceControlCommand::TakeWithin(args, kStateLimit);
    if (!limit || !NoOperands(command, args)) {
        return ExitCode::BadInput;
    }
    return WithDrive(options, programFolder, [&](DeviceControlClient& client) -> int {
        int code = client.Reach(goal, *limit);
        if (code == ExitCode::Done) {
            std::cout << DeviceControl::StateName(goal) << '\n';
        }
        return code;
    });
}

}  // namespace

std::optional<std::chrono::milliseconds> DeviceControlCommand::TakeWithin(
    std::vector<std::string>& args, std::chrono::milliseconds fallback) {
    auto it = std::find(args.begin(), args.end(), "--within");
    if (it == args.end()) {
        return fallback;
    }
    char* end = nullptr;
    double seconds = it + 1 == args.end() ? 0 : std::strtod((it + 1)->c_str(), &end);
    if (it + 1 == args.end() || end == (it + 1)->c_str() || *end != '\0' || !(seconds > 0) ||
        seconds > 86400) {
        std::cerr << "tarvoctl: --within takes a number of seconds above 0 (2.5)\n";
        return std::nullopt;
    }
    args.erase(it, it + 2);
    return std::chrono::milliseconds(static_cast<int64_t>(seconds * 1000 + 0.5));
}

int DeviceControlCommand::RunState(const std::vector<std::string>& args,
                                   const ConnectionOptions& options,
                                   const std::string& programFolder) {
    std::vector<std::string> rest = args;
    bool json = false;
    if (auto it = std::find(rest.begin(), rest.end(), "--json"); it != rest.end()) {
        json = true;
        rest.erase(it);
    }
    if (!NoOperands("state", rest)) {
        return ExitCode::BadInput;
    }
    return WithDrive(options, programFolder, [&](DeviceControlClient& client) -> int {
        uint16_t word = 0;
        uint32_t mode = 0;
        uint32_t error = 0;
        int code = client.ReadStatusword(word);
        if (code != ExitCode::Done ||
            (code = client.ReadValue(DriveObject::kModesOfOperationDisplay, mode)) !=
                ExitCode::Done ||
            (code = client.ReadValue(kErrorCode, error)) != ExitCode::Done) {
            return code;
        }
        namespace Bit = DeviceControl::StatusBit;
        struct Watched {
            const char* key;
            const char* label;
            uint16_t bit;
        };
        const Watched watched[] = {
            {"voltageEnabled", "voltage enabled", Bit::kVoltageEnabled},
            {"warning", "warning", Bit::kWarning},
            {"remote", "remote", Bit::kRemote},
            {"targetReached", "target reached", Bit::kTargetReached},
            {"internalLimitActive", "internal limit active", Bit::kInternalLimitActive},
            {"followingError", "following error", Bit::kFollowingError},
        };
        State state = DeviceControl::Decode(word);
        auto errorCode = static_cast<uint16_t>(error);
        const char* errorClass = DeviceControl::ErrorClassName(DeviceControl::ClassOf(errorCode));
        auto modeDisplay = static_cast<int8_t>(mode & 0xFF);
        char hex[16];
        if (json) {
            nlohmann::json line = {{"state", DeviceControl::StateName(state)},
                                   {"statusword", word}};
            for (const Watched& w : watched) {
                line[w.key] = (word & w.bit) != 0;
            }
            line["mode"] = modeDisplay;
            line["errorCode"] = errorCode;
            line["errorClass"] = errorClass;
            std::cout << line.dump() << '\n';
            return ExitCode::Done;
        }
        std::snprintf(hex, sizeof hex, "0x%04X", word);
        std::cout << DeviceControl::StateName(state) << '\n' << "statusword\t" << hex << '\n';
        for (const Watched& w : watched) {
            std::cout << w.label << '\t' << ((word & w.bit) != 0 ? "yes" : "no") << '\n';
        }
        std::snprintf(hex, sizeof hex, "0x%04X", errorCode);
        std::cout << "mode\t" << static_cast<int>(modeDisplay) << '\n'
                  << "error code\t" << hex << " (" << errorClass << ")\n";
        return ExitCode::Done;
    });
}

int DeviceControlCommand::RunEnable(const std::vector<std::string>& args,
                                    const ConnectionOptions& options,
                                    const std::string& programFolder) {
    return Transition("enable", State::OperationEnabled, args, options, programFolder);
}

int DeviceControlCommand::RunDisable(const std::vector<std::string>& args,
                                     const ConnectionOptions& options,
                                     const std::string& programFolder) {
    return Transition("disable", State::SwitchOnDisabled, args, options, programFolder);
}

int DeviceControlCommand::RunQuickStop(const std::vector<std::string>& args,
                                       const ConnectionOptions& options,
                                       const std::string& programFolder) {
    std::vector<std::string> rest = args;
    auto limit = TakeWithin(rest, kStateLimit);
    if (!limit || !NoOperands("quickstop", rest)) {
        return ExitCode::BadInput;
    }
    return WithDrive(options, programFolder,
                     [&](DeviceControlClient& client) -> int { return client.QuickStop(*limit); });
}

int DeviceControlCommand::RunFaultReset(const std::vector<std::string>& args,
                                        const ConnectionOptions& options,
                                        const std::string& programFolder) {
    std::vector<std::string> rest = args;
    auto limit = TakeWithin(rest, kStateLimit);
    if (!limit || !NoOperands("fault-reset", rest)) {
        return ExitCode::BadInput;
    }
    return WithDrive(options, programFolder, [&](DeviceControlClient& client) -> int {
        int code = client.ResetFault(*limit);
        if (code == ExitCode::Done) {
            uint16_t word = 0;
            if ((code = client.ReadStatusword(word)) == ExitCode::Done) {
                std::cout << DeviceControl::StateName(DeviceControl::Decode(word)) << '\n';
            }
        }
        return code;
    });
}

}  // namespace tarvo
