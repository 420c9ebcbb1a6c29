#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "drivesim/CaptureRecorder.h"
#include "drivesim/ErrorControl.h"
#include "drivesim/IoPorts.h"
#include "drivesim/MotorModel.h"
#include "drivesim/NonVolatileMemory.h"
#include "drivesim/ObjectTable.h"
#include "drivesim/StateMachine402.h"
#include "drivesim/TrajectoryGenerator.h"

namespace tarvo::sim {

// The simulated drive behind its message protocol: the dictionary with its present values
// and every behaviour that acts on them, advanced in drive ticks of 62.5 us of simulated
// time. Time only moves when AdvanceTo is called, so tests run it without sleeping.
class DriveModel {
public:
    struct Settings {
        uint32_t storeBusyMs = 300;       // 2FF0h reads 1 (or 10) this long after a command
        uint32_t rebootSilenceMs = 1000;  // no answers this long after the reboot command
        uint32_t seed = 1;                // of the measurement noise
        bool changingInputs = true;       // DIN7 and DIN8 change over time
        std::string storeFile;            // non-volatile memory file; empty: memory only
        // A value outside the limits aborts with "too high" (0x06090031) or "too low"
        // (0x06090032) instead of "out of range" (0x06090030), as EDS-described drives do.
        bool limitAbortsTellSide = false;
    };

    DriveModel(std::vector<SourceEntry> entries, Settings settings);

    // Loads the table and the non-volatile memory and powers the drive on at time 0.
    bool Start(std::string& error);
    void AdvanceTo(uint64_t nowUs);
    uint64_t NowUs() const { return nowUs_; }
    // True while the drive restarts after the reboot command and answers nothing.
    bool Silent() const { return rebooting_; }

    const SimObject* Find(uint32_t key) const { return table_.Find(key); }
    // 0 and the value, or the abort code. Text and domain entries are read with ReadBlock.
    uint32_t Read(uint32_t key, uint32_t& raw) const;
    // An expedited write of widthBytes bytes: 0 and the value the drive now holds, or the
    // abort code.
    uint32_t Write(uint32_t key, int widthBytes, uint32_t data, uint32_t& held);
    // The bytes of a text or domain entry for a segmented upload, or the abort code.
    uint32_t ReadBlock(uint32_t key, std::string& bytes) const;

    void InjectError(int bit, bool persistent);
    void ClearInjectedErrors();
    void SetInputPin(int n, int level);

    ObjectTable& Table() { return table_; }
    StateMachine402::State DriveState() const { return stateMachine_.Current(); }
    // Called with one line of text whenever the drive does something worth telling.
    void SetLog(std::function<void(const std::string&)> log) { log_ = std::move(log); }

private:
    void PowerOn();
    void Tick();
    uint32_t WriteStore(SimObject& object, uint32_t raw);
    void Log(const std::string& text) const;

    std::vector<SourceEntry> entries_;
    Settings settings_;
    ObjectTable table_;
    NonVolatileMemory memory_;
    StateMachine402 stateMachine_;
    std::unique_ptr<TrajectoryGenerator> trajectory_;
    std::unique_ptr<MotorModel> motor_;
    std::unique_ptr<CaptureRecorder> capture_;
    std::unique_ptr<IoPorts> io_;
    std::unique_ptr<ErrorControl> errors_;
    std::function<void(const std::string&)> log_;

    SimObject* controlword_ = nullptr;
    SimObject* statusword_ = nullptr;
    SimObject* storeControl_ = nullptr;
    SimObject* storeMotor_ = nullptr;
    SimObject* enableAtPowerOn_ = nullptr;
    SimObject* quickStopOption_ = nullptr;
    SimObject* operatingHours_ = nullptr;
    SimObject* tuning_ = nullptr;

    uint64_t nowUs_ = 0;
    uint64_t tick_ = 0;      // drive ticks since power-on
    uint64_t bootTick_ = 0;  // tick of the last power-on
    bool rebooting_ = false;
    uint64_t rebootDoneUs_ = 0;
    uint64_t storeControlDoneUs_ = 0;
    uint64_t storeMotorDoneUs_ = 0;
    uint64_t tuningDoneUs_ = 0;
    uint32_t previousFunctions_ = 0;
};

}  // namespace tarvo::sim
