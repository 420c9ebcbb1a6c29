#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "oscilloscope/RecordDecoder.h"
#include "oscilloscope/ScopeExport.h"
#include "oscilloscope/ScopeRecordFile.h"
#include "protocol/DriveObjects.h"

namespace tarvo {

class CurvePlot;
class MessageTarget;
class ScopeItemLists;
class ScopeUnits;
struct ScopeItem;

// The oscilloscope's four channels: which object each one samples and in which of the
// drive's six sampling slots, the unit it is shown in and that unit's coefficient, the
// curve's scale and offset (automatic, typed or spun), the cursor readout in the channel's
// unit and the channels' part of a record file. The forms it keeps are those the view shows.
class ScopeChannelSettings {
public:
    static constexpr int kChannels = 4;

    struct ChannelForm {
        bool checked = false;
        int item = -1;  // position in the channel box
        uint32_t objectAddress = 0;
        std::vector<std::string> units;
        int unit = -1;
        std::string scaleText = "1e-6";
        std::string offsetText = "0.000";
        bool autoScale = true;
    };
    using Forms = std::array<ChannelForm, kChannels>;

    // The cursor readout: time and value of each cursor and their difference.
    struct Readout {
        std::string timeUnit = "us";
        std::string dataUnit = "DEC";
        std::array<std::string, 6> cells{"0", "0", "0", "0", "0", "0"};
    };

    struct Services {
        ScopeItemLists& lists;
        CurvePlot& plot;
        ScopeUnits& units;
        MessageTarget* owner;  // the window whose reads a unit conversion may need
        // Writes a channel's object code (0: none) into a sampling slot of the drive.
        std::function<void(CaptureObject::Sub slot, uint32_t code)> writeSlot;
        std::function<void()> plotChanged;
    };

    ScopeChannelSettings(Forms& forms, Services services);

    static bool Valid(int channel) { return channel >= 1 && channel <= kChannels; }
    // Channel 1..4.
    ChannelForm& At(int channel) { return forms_[static_cast<size_t>(channel - 1)]; }
    const ChannelForm& At(int channel) const { return forms_[static_cast<size_t>(channel - 1)]; }
    const ScopeItem* Item(int channel) const;
    const std::array<uint32_t, 6>& Slots() const { return slots_; }
    RecordLayout Layout() const;

    // The drive's answers about sampling slot 1..6: the code it holds (0 none), or a refusal.
    void SlotReported(int slot, uint32_t code);
    void SlotRefused(int slot) { slots_[static_cast<size_t>(slot - 1)] = 0; }
    // A value of this object arrived; a unit formula waiting for it can now be worked out.
    void ObjectRead(uint32_t address);

    // The channel's choices; each returns false when it changed nothing.
    bool SelectItem(int channel, int position);
    // The channel that ticking `channel` switches off: the other one of its pair when both
    // sample a 32-bit object, which the pair's one 32-bit slot cannot hold together; else 0.
    int DisplacedBy(int channel) const;
    int CheckedCount() const;
    // Writes the slot that the checked or unchecked channel needs; false when the channel
    // has no object to sample, which leaves it unchecked. `channel` must be valid.
    bool Click(int channel, bool checked);
    bool SelectUnit(int channel, int position);
    // Selects a picked object in the channel's box, adding it to the channel's own items when
    // needed; false when it cannot be sampled.
    bool Pick(int channel, uint32_t address);

    // Display settings of a channel.
    bool SetAuto(int channel, bool on);
    bool SpinScale(int channel, bool up);
    bool SpinOffset(int channel, bool up);
    bool EnterOffset(int channel, const std::string& text);
    bool EnterScale(int channel, const std::string& text);

    // Offsets typed into a shape the fields cannot show go back to zero.
    void TidyOffsets();
    // Before a capture: the curves take the fields' scales, offsets and coefficients.
    void PrepareCurves();
    // After the plot changed its scales: the fields show them.
    void RefreshFields();

    Readout CursorReadout(int channel, int32_t samplePeriod);

    // The measurements of a channel in its unit: between the two cursors when both are
    // shown, else over the visible range.
    struct Measurements {
        std::string minimum, maximum, mean, peakToPeak, unit, time;
        bool valid = false;
    };
    Measurements Measure(int channel, int32_t samplePeriod) const;
    // The channel as a column of the table with time and units: its object's name, its unit,
    // and its raw samples shown in that unit (DEC and HEX as whole raw numbers).
    TimeTableColumn TableColumn(int channel);

    void ToRecord(std::array<ScopeRecord::Channel, kChannels>& channels) const;
    void FromRecord(const std::array<ScopeRecord::Channel, kChannels>& channels);

private:
    void Assign(int channel, uint32_t code);
    void FillUnits(int channel);
    void RecomputeCoefficient(int channel);

    Forms& forms_;
    Services services_;
    std::array<uint32_t, 6> slots_{};
    std::array<int, 2> pairLast_{};  // which channel of each pair applied last; 0 none yet
};

}  // namespace tarvo
