#include "cli/DeviceControlClient.h"

#include <cstdio>
#include <iostream>
#include <thread>

#include "cli/EntryLookup.h"
#include "cli/EntryValue.h"
#include "protocol/DriveObjects.h"

namespace tarvo {

namespace {
constexpr uint32_t kErrorCode = ObjectAddressOf(0x603F, 0);
}  // namespace

void DeviceControlClient::Pause() {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

int DeviceControlClient::ReadValue(uint32_t key, uint32_t& value) {
    DriveConnection::Reply reply;
    int code = drive_.Exchange(SdoCommand::Read, key, 0, reply);
    if (code == ExitCode::Refused) {
        std::cerr << "tarvoctl: " << DriveConnection::AbortMessage(key, reply.abortCode) << '\n';
    }
    value = reply.value;
    return code;
}

int DeviceControlClient::ReadStatusword(uint16_t& word) {
    uint32_t value = 0;
    int code = ReadValue(DriveObject::kStatusWord, value);
    word = static_cast<uint16_t>(value);
    return code;
}

int DeviceControlClient::Write(SdoCommand command, uint32_t key, uint32_t value) {
    DriveConnection::Reply reply;
    int code = drive_.Exchange(command, key, value, reply);
    if (code == ExitCode::Refused) {
        std::cerr << "tarvoctl: " << DriveConnection::AbortMessage(key, reply.abortCode) << '\n';
    }
    return code;
}

bool DeviceControlClient::ParseInUnit(const std::string& programFolder, uint32_t key,
                                      const std::string& text, uint32_t& raw, std::string& unit) {
    EntryLookup lookup(programFolder);
    DictionaryEntry entry;
    if (!lookup.Usable() || !lookup.Find(EntryLookup::KeyText(key), entry)) {
        return false;
    }
    std::vector<std::string> units = EntryValue::WriteUnits(entry);
    unit = units.empty() ? "" : units.front();
    EntryValue values([this](uint32_t reference) -> std::optional<int32_t> {
        DriveConnection::Reply reply;
        if (drive_.Exchange(SdoCommand::Read, reference, 0, reply) != ExitCode::Done) {
            return std::nullopt;
        }
        return static_cast<int32_t>(reply.value);
    });
    std::string error;
    if (!values.Parse(entry, text, unit, 32, raw, error)) {
        std::cerr << "tarvoctl: " << error << '\n';
        return false;
    }
    return true;
}

int DeviceControlClient::RequireEnabled(const char* command) {
    uint16_t word = 0;
    int code = ReadStatusword(word);
    if (code != ExitCode::Done) {
        return code;
    }
    State state = DeviceControl::Decode(word);
    if (state != State::OperationEnabled) {
        std::cerr << "tarvoctl: " << command << " needs Operation enabled; the drive is in "
                  << Describe(state) << " (tarvoctl enable)\n";
        return ExitCode::NotReached;
    }
    return ExitCode::Done;
}

int DeviceControlClient::EnsureMode(int8_t mode) {
    uint32_t shown = 0;
    int code = ReadValue(DriveObject::kModesOfOperationDisplay, shown);
    if (code != ExitCode::Done || static_cast<int8_t>(shown & 0xFF) == mode) {
        return code;
    }
    return Write(SdoCommand::Write8, DriveObject::kModesOfOperation, static_cast<uint8_t>(mode));
}

std::string DeviceControlClient::Describe(State state) {
    std::string text = DeviceControl::StateName(state);
    if (state == State::Fault || state == State::FaultReactionActive) {
        DriveConnection::Reply reply;
        if (drive_.Exchange(SdoCommand::Read, kErrorCode, 0, reply) == ExitCode::Done) {
            char code[32];
            std::snprintf(code, sizeof code, "0x%04X", reply.value & 0xFFFF);
            text += std::string(" (error code ") + code + ", " +
                    DeviceControl::ErrorClassName(
                        DeviceControl::ClassOf(static_cast<uint16_t>(reply.value))) +
                    ")";
        }
    }
    return text;
}

int DeviceControlClient::Reach(State goal, std::chrono::milliseconds limit) {
    const Clock::time_point deadline = Clock::now() + limit;
    State written = State::Unknown;  // the state a controlword was last written in
    while (true) {
        uint16_t word = 0;
        int code = ReadStatusword(word);
        if (code != ExitCode::Done) {
            return code;
        }
        State state = DeviceControl::Decode(word);
        if (state == goal) {
            return ExitCode::Done;
        }
        if (state == State::Fault || state == State::FaultReactionActive) {
            std::cerr << "tarvoctl: the drive is in " << Describe(state)
                      << "; fault-reset clears it\n";
            return ExitCode::NotReached;
        }
        if (Clock::now() >= deadline || Stopped()) {
            std::cerr << "tarvoctl: the drive stays in " << DeviceControl::StateName(state)
                      << " (statusword 0x" << std::hex << word << std::dec << "), not "
                      << DeviceControl::StateName(goal) << '\n';
            return ExitCode::NotReached;
        }
        auto next = DeviceControl::NextToward(state, goal);
        // One controlword per state: after writing it, wait for the state to change.
        if (next && state != written) {
            if ((code = WriteControlword(DeviceControl::ControlWord(*next))) != ExitCode::Done) {
                return code;
            }
            written = state;
            continue;
        }
        Pause();
    }
}

int DeviceControlClient::ResetFault(std::chrono::milliseconds limit) {
    uint16_t word = 0;
    int code = ReadStatusword(word);
    if (code != ExitCode::Done) {
        return code;
    }
    State state = DeviceControl::Decode(word);
    if (state != State::Fault && state != State::FaultReactionActive) {
        std::cerr << "tarvoctl: no fault to reset; the drive is in "
                  << DeviceControl::StateName(state) << '\n';
        return ExitCode::Done;
    }
    const Clock::time_point deadline = Clock::now() + limit;
    bool sent = false;
    while (true) {
        if (state == State::Fault && !sent) {
            // The reset acts on a rising edge of bit 7.
            if ((code = WriteControlword(DeviceControl::kFaultResetPrelude)) != ExitCode::Done ||
                (code = WriteControlword(DeviceControl::ControlWord(
                     DeviceControl::Transition::FaultReset))) != ExitCode::Done) {
                return code;
            }
            sent = true;
        }
        if ((code = ReadStatusword(word)) != ExitCode::Done) {
            return code;
        }
        state = DeviceControl::Decode(word);
        if (state == State::SwitchOnDisabled) {
            return ExitCode::Done;
        }
        if (Clock::now() >= deadline || Stopped()) {
            std::cerr << "tarvoctl: the drive stays in " << Describe(state)
                      << " after the fault reset (the error may still be present)\n";
            return ExitCode::NotReached;
        }
        Pause();
    }
}

int DeviceControlClient::QuickStop(std::chrono::milliseconds limit) {
    int code = WriteControlword(DeviceControl::ControlWord(DeviceControl::Transition::QuickStop));
    if (code != ExitCode::Done) {
        return code;
    }
    const Clock::time_point deadline = Clock::now() + limit;
    while (true) {
        uint16_t word = 0;
        if ((code = ReadStatusword(word)) != ExitCode::Done) {
            return code;
        }
        State state = DeviceControl::Decode(word);
        if (state == State::QuickStopActive || state == State::SwitchOnDisabled ||
            state == State::Fault) {
            std::cout << DeviceControl::StateName(state) << '\n';
            return ExitCode::Done;
        }
        if (Clock::now() >= deadline) {
            std::cerr << "tarvoctl: the drive stays in " << DeviceControl::StateName(state)
                      << " after the quick stop\n";
            return ExitCode::NotReached;
        }
        Pause();
    }
}

}  // namespace tarvo
