#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "oscilloscope/CaptureRun.h"
#include "oscilloscope/RecordDecoder.h"
#include "oscilloscope/ScopeSamples.h"
#include "protocol/DriveObjects.h"
#include "protocol/DriveProtocol.h"

namespace tarvo {

class MessageBox;
class MessageTarget;
class ScopeLink;
class Timer;
struct LinkSwitches;

// The drive's oscilloscope as a capture API, without any form: the capture settings as the
// drive reports them (read in a fixed sequence), the writes of the sampling slots, trigger,
// level, edge, period and sample counts, a capture run (start, poll, upload) and the decoding
// of its record into samples. Requests go out over a ScopeLink; the replies come back through
// Deliver, and every reported setting is handed to the owner's hooks.
class ScopeCapture {
public:
    using Sub = CaptureObject::Sub;

    // The capture settings as the drive last reported them.
    struct Settings {
        int32_t samplePeriod = 0;  // units of 62.5 us
        int32_t pretrigger = 0;
        int32_t total = 0;
        int edge = 0;
        uint32_t trigger = 0;                 // the trigger object's code; 0 manual
        uint32_t level = 0;                   // raw
        std::array<uint32_t, 6> slotCodes{};  // Slot1..Slot6
    };

    struct Services {
        ScopeLink& link;
        LinkSwitches& switches;
        MessageBox& messageBox;
        Timer& pollTimer;
        Timer& restartTimer;
        Timer& watchTimer;
        MessageTarget* owner;  // the window the link answers
    };

    struct Hooks {
        // A setting was read or its write acknowledged; Settings() already holds it.
        std::function<void(Sub sub, uint32_t value)> reported;
        // The drive refused a read or write of a setting (the total only once it has refused
        // to report it kTotalRefusals times in a row).
        std::function<void(Sub sub)> refused;
        // A reply for an object outside the capture object (a unit formula's reference).
        std::function<void(uint32_t address)> otherObject;
        // How the record is laid out; asked when it is decoded and for its expected size.
        std::function<RecordLayout()> layout;
        // The samples the record should hold, for its expected size; the reported total when
        // not given.
        std::function<int32_t()> total;
        // A record was uploaded and decoded into Samples().
        std::function<void()> decoded;
        // The run's hooks: before a capture or reread, any change, the status moving on while
        // reading, and whether captures repeat.
        std::function<void(bool fresh, bool reread)> prepare;
        std::function<void()> changed;
        std::function<void()> tidyOffsets;
        std::function<bool()> continuous;
    };

    // A drive that refuses to report its total this often in a row is not asked again.
    static constexpr int kTotalRefusals = 3;

    // Which settings the read sequence goes over again after the next reply.
    enum class ReadBack { kSlotsAndTotal, kTotal };

    ScopeCapture(const Services& services, Hooks hooks);

    // Reads every setting in the fixed order: period, pretrigger, total, edge, trigger
    // source, level, the six slots and the total again.
    void ReadSettings();
    // Once the reply to the request just sent has come, reads these settings back.
    void ReadBackAfterReply(ReadBack what);

    // The sampling slot of a channel's object: its own 16-bit slot, or for a 32-bit object
    // the 32-bit slot it shares with the other channel of its pair.
    static Sub SlotFor(int channel, uint32_t code);
    static Sub PairSlot(int channel) { return channel <= 2 ? Sub::Slot5 : Sub::Slot6; }
    // Writes an object code (0 none) into a sampling slot.
    void WriteSlot(Sub slot, uint32_t code);
    void WriteTrigger(uint32_t code);
    void WriteLevel(uint32_t raw);
    void ReadLevel();
    void WriteEdge(int edge);
    void WritePeriod(uint32_t period);
    void WritePretrigger(uint32_t samples);
    // Writes the total and reads it back: the drive may fit it to its memory.
    void WriteTotal(uint32_t samples);
    void ReadTotal();

    void Start() { run_.Start(); }
    void Cancel() { run_.Cancel(); }
    void Reread() { run_.Reread(); }
    void ForceIdle() { run_.ForceIdle(); }
    void LinkLost() { run_.LinkLost(); }

    // Takes WM_LINK_VALUE, WM_LINK_SEGMENT and WM_LINK_ABORT; false for any other message.
    bool Deliver(uint32_t message, uintptr_t wParam, intptr_t lParam);

    const Settings& Reported() const { return settings_; }
    const CaptureRun& run() const { return run_; }
    // The samples of the last decoded record.
    const ScopeSamples& Samples() const { return samples_; }
    size_t DecodedRecords() const { return records_; }
    // The size the record should have in the layout the hooks give.
    size_t ExpectedBytes() const;

private:
    void Request(SdoCommand command, Sub sub, uint32_t data);
    void QueueNextRead();
    void Reply(uint32_t address, uint32_t value);
    void Refused(uint32_t address);
    void Decode(const std::vector<uint8_t>& bytes);

    Services services_;
    Hooks hooks_;
    CaptureRun run_;
    Settings settings_;
    ScopeSamples samples_;
    size_t records_ = 0;
    int readStep_ = 0;  // next step of the read sequence; 0 none
    int totalRefusals_ = 0;
};

}  // namespace tarvo
