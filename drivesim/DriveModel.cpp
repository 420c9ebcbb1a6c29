#include "drivesim/DriveModel.h"

#include <algorithm>
#include <sstream>

#include "protocol/DriveObjects.h"
#include "protocol/DriveProtocol.h"

namespace tarvo::sim {

namespace {

constexpr uint32_t kClearHistory = ObjectAddressOf(0x2090, 9);
constexpr uint32_t kTuning = ObjectAddressOf(0x2013, 4);
constexpr uint32_t kTuningUs = 500000;
constexpr uint64_t kCatchUpUs = 5000000;  // longer pauses are skipped, not simulated
constexpr double kTickSeconds = 62.5e-6;

uint64_t TickTimeUs(uint64_t tick) {
    return tick * 125 / 2;
}

}  // namespace

DriveModel::DriveModel(std::vector<SourceEntry> entries, Settings settings)
    : entries_(std::move(entries)), settings_(std::move(settings)), memory_(settings_.storeFile) {}

bool DriveModel::Start(std::string& error) {
    std::string warnings;
    if (!table_.Build(entries_, warnings, settings_.limitAbortsTellSide)) {
        error = "the dictionary source holds no entry the simulated drive can serve";
        return false;
    }
    std::istringstream lines(warnings);
    for (std::string line; std::getline(lines, line);) {
        Log(line);
    }
    if (!memory_.Load(error)) {
        return false;
    }
    trajectory_ = std::make_unique<TrajectoryGenerator>(table_);
    motor_ = std::make_unique<MotorModel>(table_, settings_.seed);
    capture_ = std::make_unique<CaptureRecorder>(table_);
    io_ = std::make_unique<IoPorts>(table_);
    errors_ = std::make_unique<ErrorControl>(table_);
    controlword_ = table_.Find(DriveObject::kControlWord);
    statusword_ = table_.Find(DriveObject::kStatusWord);
    storeControl_ = table_.Find(DriveObject::kStoreControlParameters);
    storeMotor_ = table_.Find(DriveObject::kStoreMotorParameters);
    enableAtPowerOn_ = table_.Find(ObjectAddressOf(0x2001, 8));
    quickStopOption_ = table_.Find(ObjectAddressOf(0x605A, 0));
    operatingHours_ = table_.Find(ObjectAddressOf(0x20A0, 9));
    tuning_ = table_.Find(kTuning);
    PowerOn();
    return true;
}

void DriveModel::Log(const std::string& text) const {
    if (log_) {
        log_(text);
    }
}

void DriveModel::PowerOn() {
    memory_.Apply(table_);
    trajectory_->Reset();
    motor_->Reset();
    capture_->Reset();
    io_->Reset(settings_.changingInputs);
    errors_->Reset();
    stateMachine_.Reset(ObjectTable::Value(enableAtPowerOn_) != 0);
    ObjectTable::Put(controlword_, stateMachine_.Controlword());
    ObjectTable::Put(statusword_, stateMachine_.StatusBits(false));
    storeControlDoneUs_ = storeMotorDoneUs_ = tuningDoneUs_ = 0;
    previousFunctions_ = 0;
    bootTick_ = tick_;
}

void DriveModel::AdvanceTo(uint64_t nowUs) {
    if (nowUs <= nowUs_ || !motor_) {
        return;
    }
    if (nowUs - TickTimeUs(tick_) > kCatchUpUs) {
        tick_ = (nowUs - kCatchUpUs) * 2 / 125;
    }
    while (TickTimeUs(tick_ + 1) <= nowUs) {
        ++tick_;
        nowUs_ = TickTimeUs(tick_);
        Tick();
    }
    nowUs_ = nowUs;
}

void DriveModel::Tick() {
    if (rebooting_) {
        if (nowUs_ < rebootDoneUs_) {
            return;
        }
        rebooting_ = false;
        PowerOn();
        Log("rebooted: stored values are back");
    }
    if (storeControlDoneUs_ != 0 && nowUs_ >= storeControlDoneUs_) {
        bool stored = ObjectTable::Value(storeControl_) == 1;
        ObjectTable::Put(storeControl_, 0);
        storeControlDoneUs_ = 0;
        std::string error;
        if (stored && !memory_.Save(error)) {
            Log("cannot keep the stored values: " + error);
        }
    }
    if (storeMotorDoneUs_ != 0 && nowUs_ >= storeMotorDoneUs_) {
        ObjectTable::Put(storeMotor_, 0);
        storeMotorDoneUs_ = 0;
        std::string error;
        if (!memory_.Save(error)) {
            Log("cannot keep the stored values: " + error);
        }
    }
    if (tuningDoneUs_ != 0 && nowUs_ >= tuningDoneUs_) {
        // The gains follow the winding's inductance and resistance.
        int64_t inductance = ObjectTable::Value(table_.Find(ObjectAddressOf(0x2000, 7)), 2800);
        int64_t resistance = ObjectTable::Value(table_.Find(ObjectAddressOf(0x2000, 6)), 1100);
        ObjectTable::Put(table_.Find(ObjectAddressOf(0x2013, 1)),
                         std::min<int64_t>(30000, inductance * 43 / 100));
        ObjectTable::Put(table_.Find(ObjectAddressOf(0x2013, 2)),
                         std::min<int64_t>(30000, resistance * 136 / 1000));
        ObjectTable::Put(tuning_, 0);
        tuningDoneUs_ = 0;
    }

    uint64_t sinceBoot = tick_ - bootTick_;
    if (sinceBoot % 16 == 0) {
        uint32_t signals = 0;
        StateMachine402::State state = stateMachine_.Current();
        uint16_t status = static_cast<uint16_t>(ObjectTable::Value(statusword_));
        if ((status & 0x01) != 0) {
            signals |= IoPorts::kReady;
        }
        if ((status & 0x08) != 0) {
            signals |= IoPorts::kFault;
        }
        if (state == StateMachine402::State::OperationEnabled) {
            signals |= IoPorts::kOperationEnabled;
        }
        if (stateMachine_.PowerStageOn()) {
            signals |= IoPorts::kBrakeRelease;
        }
        if ((status & 0x0400) != 0 && stateMachine_.PowerStageOn()) {
            signals |= trajectory_->Mode() == 3 ? IoPorts::kVelocityReached : IoPorts::kInPosition;
        } else if (stateMachine_.PowerStageOn()) {
            signals |= IoPorts::kCommandRunning;
        }
        if (trajectory_->Mode() == 6 && (status & 0x1000) != 0) {
            signals |= IoPorts::kHomingDone;
        }
        if (motor_->Standstill()) {
            signals |= IoPorts::kZeroSpeed;
        }
        if ((status & 0x0800) != 0) {
            signals |= IoPorts::kLimitActive;
        }
        io_->Step(static_cast<double>(sinceBoot) * kTickSeconds, signals);
    }
    uint32_t functions = io_->ActiveFunctions();
    uint32_t rising = functions & ~previousFunctions_;
    previousFunctions_ = functions;

    uint32_t conditions = 0;
    const MotorModel::Conditions& now = motor_->Now();
    auto set = [&conditions](bool on, int bit) {
        if (on) {
            conditions |= 1u << bit;
        }
    };
    set(now.overCurrent, ErrorControl::kOverCurrent);
    set(now.overVoltage, ErrorControl::kOverVoltage);
    set(now.lowVoltage, ErrorControl::kLowVoltage);
    set(now.overTemperature, ErrorControl::kOverTemperature);
    set(now.followingError, ErrorControl::kFollowingError);
    set(now.overload, ErrorControl::kMotorOverload);
    set(now.overSpeed, ErrorControl::kOverSpeed);
    set((functions & IoPorts::kPositiveLimit) != 0, ErrorControl::kPositiveLimit);
    set((functions & IoPorts::kNegativeLimit) != 0, ErrorControl::kNegativeLimit);
    errors_->Update(conditions);
    if ((rising & IoPorts::kFaultReset) != 0) {
        errors_->FaultReset();
        stateMachine_.ResetFault(errors_->Any());
    }
    if ((functions & (IoPorts::kQuickStop | IoPorts::kEmergencyStop)) != 0) {
        stateMachine_.QuickStop();
    }
    bool error = errors_->Any();
    const int quickStopOption = static_cast<int>(ObjectTable::Value(quickStopOption_, 2));
    stateMachine_.SetQuickStopOption(quickStopOption);
    stateMachine_.Step(error, motor_->Standstill());

    TrajectoryGenerator::Input input;
    input.dt = kTickSeconds;
    input.enabled = stateMachine_.Current() == StateMachine402::State::OperationEnabled;
    input.stopping = stateMachine_.Braking();
    input.slowDownRamp = stateMachine_.Current() == StateMachine402::State::QuickStopActive &&
                         (quickStopOption == 1 || quickStopOption == 5);
    input.controlword = stateMachine_.Controlword();
    if ((functions & IoPorts::kHalt) != 0) {
        input.controlword |= 0x100;
    }
    input.actualPosition = motor_->Position();
    input.actualVelocity = motor_->Velocity();
    input.countsPerRev = motor_->CountsPerRev();
    input.inputFunctions = functions;
    TrajectoryGenerator::Output demand = trajectory_->Step(input);
    motor_->Step(kTickSeconds, stateMachine_.PowerStageOn(), demand);

    uint16_t status = stateMachine_.StatusBits(error);
    if (demand.targetReached) {
        status |= 0x0400;
    }
    if ((functions & (IoPorts::kPositiveLimit | IoPorts::kNegativeLimit)) != 0) {
        status |= 0x0800;
    }
    int mode = trajectory_->Mode();
    // Bit 13 of the position modes: the following error is outside its window too long.
    if ((mode == 1 || mode == 7 || mode == 8) && motor_->Now().followingError) {
        status |= 0x2000;
    }
    if ((mode == 1 && demand.setPointAcknowledged) || (mode == 6 && demand.homingAttained) ||
        (mode == 3 && motor_->Standstill())) {
        status |= 0x1000;
    }
    ObjectTable::Put(statusword_, status);
    capture_->Step(tick_);
    if (sinceBoot % 16000 == 0 && operatingHours_ != nullptr) {
        ObjectTable::Put(operatingHours_, operatingHours_->defaultValue +
                                              static_cast<int64_t>(tick_ * kTickSeconds / 3600.0));
    }
}

uint32_t DriveModel::Read(uint32_t key, uint32_t& raw) const {
    const SimObject* object = table_.Find(key);
    if (object == nullptr) {
        return AbortCode::kNoSuchObject;
    }
    raw = object->raw;
    return AbortCode::kNone;
}

uint32_t DriveModel::ReadBlock(uint32_t key, std::string& bytes) const {
    const SimObject* object = table_.Find(key);
    if (object == nullptr) {
        return AbortCode::kNoSuchObject;
    }
    bytes.clear();
    if (key == CaptureObject::Address(CaptureObject::Sub::SampleData)) {
        return capture_->Record(bytes);
    }
    if (object->kind == ValueKind::Text) {
        bytes = object->text;
    }
    return AbortCode::kNone;
}

uint32_t DriveModel::WriteStore(SimObject& object, uint32_t raw) {
    bool motor = object.key == DriveObject::kStoreMotorParameters;
    uint64_t& doneUs = motor ? storeMotorDoneUs_ : storeControlDoneUs_;
    if (raw == DriveObject::kStoreCommand) {
        memory_.Store(table_, motor);
        object.raw = DriveObject::kStoreCommand;
        doneUs = nowUs_ + settings_.storeBusyMs * 1000ull;
        Log(motor ? "storing the motor parameters" : "storing the control parameters");
    } else if (raw == DriveObject::kRestoreCommand && !motor) {
        table_.RestoreDefaults([](const SimObject& entry) {
            return entry.stored && !NonVolatileMemory::IsMotorParameter(entry);
        });
        object.raw = DriveObject::kRestoreCommand;
        doneUs = nowUs_ + settings_.storeBusyMs * 1000ull;
        Log("control parameters back to their defaults");
    } else if (raw == 0) {
        // Acknowledges a finished initialisation; a store in progress goes on.
        if (object.raw == DriveObject::kRestoreCommand) {
            object.raw = 0;
            doneUs = 0;
        }
    } else {
        return AbortCode::kValueOutOfRange;
    }
    return AbortCode::kNone;
}

uint32_t DriveModel::Write(uint32_t key, int widthBytes, uint32_t data, uint32_t& held) {
    SimObject* object = table_.Find(key);
    if (object == nullptr) {
        return AbortCode::kNoSuchObject;
    }
    uint32_t raw = 0;
    uint32_t abort = ObjectTable::CheckWrite(*object, widthBytes, data, raw);
    if (abort != AbortCode::kNone) {
        return abort;
    }
    if (IndexOf(key) == CaptureObject::kIndex) {
        return capture_->Write(SubIndexOf(key), raw, held);
    }
    switch (key) {
        case DriveObject::kControlWord:
            if (stateMachine_.FaultResetRequested(static_cast<uint16_t>(raw))) {
                errors_->FaultReset();
            }
            stateMachine_.ApplyControlword(static_cast<uint16_t>(raw), errors_->Any());
            object->raw = raw;
            ObjectTable::Put(statusword_, stateMachine_.StatusBits(errors_->Any()) |
                                              (ObjectTable::Value(statusword_) & 0xFC00));
            break;
        case DriveObject::kStoreControlParameters:
        case DriveObject::kStoreMotorParameters:
            abort = WriteStore(*object, raw);
            if (abort != AbortCode::kNone) {
                return abort;
            }
            break;
        case DriveObject::kReboot:
            if (raw != DriveObject::kRebootValue) {
                return AbortCode::kValueOutOfRange;
            }
            // The drive answers, then restarts and is silent until it is up again.
            held = raw;
            rebooting_ = true;
            rebootDoneUs_ = nowUs_ + settings_.rebootSilenceMs * 1000ull;
            Log("rebooting");
            return AbortCode::kNone;
        case kClearHistory:
            if (raw == 1) {
                errors_->ClearHistory();
            }
            object->raw = 0;
            break;
        case kTuning:
            if (raw == 1) {
                if (stateMachine_.PowerStageOn()) {
                    return AbortCode::kDeviceState;
                }
                tuningDoneUs_ = nowUs_ + kTuningUs;
            }
            object->raw = raw;
            break;
        default:
            object->raw = raw;
            if (IndexOf(key) == DriveObject::kErrorControlIndex) {
                errors_->Refresh();
            }
            break;
    }
    held = object->raw;
    return AbortCode::kNone;
}

void DriveModel::InjectError(int bit, bool persistent) {
    errors_->Inject(bit, persistent);
}

void DriveModel::ClearInjectedErrors() {
    errors_->ClearInjected();
}

void DriveModel::SetInputPin(int n, int level) {
    io_->SetPin(n, level);
}

}  // namespace tarvo::sim
