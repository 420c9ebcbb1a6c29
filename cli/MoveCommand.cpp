#include "cli/MoveCommand.h"

#include <chrono>
#include <iostream>

#include "cli/ArgumentText.h"
#include "cli/DeviceControlClient.h"
#include "cli/DeviceControlCommand.h"
#include "cli/ExitCode.h"
#include "cli/MotionSignals.h"
#include "protocol/DriveObjects.h"

namespace tarvo {

namespace {

using DeviceControl::State;
using Clock = DeviceControlClient::Clock;
namespace Bit = DeviceControl::StatusBit;

constexpr uint32_t kProfileVelocity = ObjectAddressOf(0x6081, 0);
constexpr uint16_t kEnabled =
    DeviceControl::ControlWord(DeviceControl::Transition::EnableOperation);

struct MoveOptions {
    bool havePosition = false;
    uint32_t position = 0;
    bool relative = false;
    std::string velocity;
    bool wait = false;
};

// Waits for the target reached of the move just started; halts the motor on the way out.
int AwaitTarget(DeviceControlClient& client, std::chrono::milliseconds limit) {
    const Clock::time_point deadline = Clock::now() + limit;
    bool running = false;  // the drive has shown that it took the set-point
    while (true) {
        uint16_t word = 0;
        int code = client.ReadStatusword(word);
        if (code != ExitCode::Done) {
            return code;
        }
        State state = DeviceControl::Decode(word);
        if (state != State::OperationEnabled) {
            std::cerr << "tarvoctl: the drive left Operation enabled during the move: "
                      << client.Describe(state) << '\n';
            return ExitCode::NotReached;
        }
        bool reached = (word & Bit::kTargetReached) != 0;
        running = running || !reached;
        if (reached && (running || (word & Bit::kSetPointAcknowledge) != 0)) {
            return ExitCode::Done;
        }
        if (Clock::now() >= deadline || client.Stopped()) {
            std::cerr << "tarvoctl: "
                      << (client.Stopped() ? "stopped by a signal" : "the target was not reached")
                      << "; halting the motor\n";
            client.WriteControlword(kEnabled | DeviceControl::ControlBit::kHalt);
            return ExitCode::NotReached;
        }
        DeviceControlClient::Pause();
    }
}

}  // namespace

int MoveCommand::Run(const std::vector<std::string>& args, const ConnectionOptions& options,
                     const std::string& programFolder) {
    std::vector<std::string> rest = args;
    auto limit = DeviceControlCommand::TakeWithin(rest, std::chrono::milliseconds(60000));
    if (!limit) {
        return ExitCode::BadInput;
    }
    MoveOptions move;
    for (size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] == "--position" && i + 1 < rest.size()) {
            if (!ArgumentText::ParseValue(rest[++i], 32, move.position) ||
                rest[i].rfind("0x", 0) == 0) {
                std::cerr << "tarvoctl: --position takes a whole number of counts\n";
                return ExitCode::BadInput;
            }
            move.havePosition = true;
        } else if (rest[i] == "--relative") {
            move.relative = true;
        } else if (rest[i] == "--velocity" && i + 1 < rest.size()) {
            move.velocity = rest[++i];
        } else if (rest[i] == "--wait") {
            move.wait = true;
        } else {
            std::cerr << "tarvoctl: move does not take " << rest[i] << '\n';
            return ExitCode::BadInput;
        }
    }
    if (!move.havePosition) {
        std::cerr << "usage: tarvoctl CONNECTION move --position N [--relative] [--velocity V] "
                     "[--wait [--within SECONDS]]\n"
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
    if (!move.velocity.empty() &&
        !client.ParseInUnit(programFolder, kProfileVelocity, move.velocity, velocity, unit)) {
        return drive.Close(ExitCode::BadInput);
    }
    uint16_t start = kEnabled | DeviceControl::ControlBit::kNewSetPoint |
                     DeviceControl::ControlBit::kChangeImmediately;
    if (move.relative) {
        start |= DeviceControl::ControlBit::kRelative;
    }
    if ((code = client.RequireEnabled("move")) != ExitCode::Done ||
        (code = client.EnsureMode(DeviceControl::Mode::kProfilePosition)) != ExitCode::Done ||
        (code = client.Write(SdoCommand::Write32, DriveObject::kTargetPosition, move.position)) !=
            ExitCode::Done ||
        (!move.velocity.empty() && (code = client.Write(SdoCommand::Write32, kProfileVelocity,
                                                        velocity)) != ExitCode::Done) ||
        // Bit 4 low first, so that the new set-point's bit rises.
        (code = client.WriteControlword(kEnabled)) != ExitCode::Done ||
        (code = client.WriteControlword(start)) != ExitCode::Done) {
        return drive.Close(code);
    }
    if (move.wait && (code = AwaitTarget(client, *limit)) != ExitCode::Done) {
        return drive.Close(code);
    }
    uint32_t position = 0;
    if ((code = client.ReadValue(DriveObject::kPositionActualValue, position)) == ExitCode::Done) {
        std::cout << (move.wait ? "target reached, position " : "started, position ")
                  << static_cast<int32_t>(position) << '\n';
    }
    return drive.Close(code);
}

}  // namespace tarvo
