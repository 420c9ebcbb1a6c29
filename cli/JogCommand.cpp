#include "cli/JogCommand.h"

#include <chrono>
#include <cstdlib>
#include <iostream>

#include "cli/ArgumentText.h"
#include "cli/DeviceControlClient.h"
#include "cli/ExitCode.h"
#include "cli/MotionSignals.h"
#include "protocol/DriveObjects.h"

namespace tarvo {

namespace {

using DeviceControl::State;
using Clock = std::chrono::steady_clock;

// Stops a running jog: target velocity 0, and a quick stop when that does not go through.
int StopJog(DeviceControlClient& client) {
    int code = client.Write(SdoCommand::Write32, DriveObject::kTargetVelocity, 0);
    if (code != ExitCode::Done) {
        std::cerr << "tarvoctl: the stop did not go through; sending a quick stop\n";
        client.WriteControlword(DeviceControl::ControlWord(DeviceControl::Transition::QuickStop));
    }
    return code;
}

}  // namespace

int JogCommand::Run(const std::vector<std::string>& args, const ConnectionOptions& options,
                    const std::string& programFolder) {
    std::string velocityText;
    int64_t duration = 0;
    bool haveDuration = false;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--velocity" && i + 1 < args.size()) {
            velocityText = args[++i];
        } else if (args[i] == "--for" && i + 1 < args.size()) {
            double seconds = 0;
            // A day at the most: a jog is held, not left running.
            if (!ArgumentText::ParseDuration(args[++i], seconds) || seconds > 86400) {
                std::cerr << "tarvoctl: --for takes a duration up to a day: 2s, 500ms, 5m\n";
                return ExitCode::BadInput;
            }
            duration = static_cast<int64_t>(seconds * 1000 + 0.5);
            haveDuration = true;
        } else {
            std::cerr << "tarvoctl: jog does not take " << args[i] << '\n';
            return ExitCode::BadInput;
        }
    }
    if (velocityText.empty() || !haveDuration) {
        std::cerr << "usage: tarvoctl CONNECTION jog --velocity V --for DURATION\n"
                  << kConnectionUsage;
        return ExitCode::BadInput;
    }
    MotionSignals signals;
    DriveConnection drive(options, programFolder);
    int code = drive.Open();
    signals.Listen();
    if (code != ExitCode::Done) {
        return drive.Close(code);
    }
    DeviceControlClient client(drive, &MotionSignals::Caught());
    uint32_t velocity = 0;
    std::string unit;
    if (!client.ParseInUnit(programFolder, DriveObject::kTargetVelocity, velocityText, velocity,
                            unit)) {
        return drive.Close(ExitCode::BadInput);
    }
    if ((code = client.RequireEnabled("jog")) != ExitCode::Done ||
        (code = client.EnsureMode(DeviceControl::Mode::kProfileVelocity)) != ExitCode::Done) {
        return drive.Close(code);
    }
    // From the first write of the velocity on, every way out stops the motor.
    code = client.Write(SdoCommand::Write32, DriveObject::kTargetVelocity, velocity);
    if (code == ExitCode::Done) {
        code = client.WriteControlword(
            DeviceControl::ControlWord(DeviceControl::Transition::EnableOperation));
    }
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(duration);
    while (code == ExitCode::Done && Clock::now() < end && !client.Stopped()) {
        uint16_t word = 0;
        if ((code = client.ReadStatusword(word)) != ExitCode::Done) {
            break;
        }
        State state = DeviceControl::Decode(word);
        if (state != State::OperationEnabled) {
            std::cerr << "tarvoctl: the drive left Operation enabled during the jog: "
                      << client.Describe(state) << '\n';
            code = ExitCode::NotReached;
            break;
        }
        DeviceControlClient::Pause();
    }
    int stopped = StopJog(client);
    if (code == ExitCode::Done && client.Stopped()) {
        std::cerr << "tarvoctl: jog stopped early by a signal\n";
        code = ExitCode::NotReached;
    }
    if (code == ExitCode::Done) {
        code = stopped;
    }
    if (stopped == ExitCode::Done) {
        std::cout << "stopped\n";
    }
    return drive.Close(code);
}

}  // namespace tarvo
