#include "oscilloscope/DriverOscilloModel.h"

#include <algorithm>

#include "comm/LinkSwitches.h"
#include "dictionary/LeadingNumber.h"
#include "oscilloscope/ScopeExport.h"
#include "oscilloscope/ScopeFormat.h"
#include "oscilloscope/ScopeLink.h"
#include "oscilloscope/ScopeMessages.h"
#include "oscilloscope/ScopeUnits.h"
#include "platform/MessageBox.h"
#include "protocol/DriveObjects.h"

namespace tarvo {

namespace {

// The item of a channel in a record file; 0 (no item) for a code that names no object, such
// as the signed mark alone, which no slot can hold.
uint32_t SlotCode(const ScopeRecord::Channel& channel) {
    auto code = static_cast<uint32_t>(channel.item);
    return ScopeItemCode::ForSlot(code) != 0 ? code : 0;
}

using Sub = CaptureObject::Sub;

}  // namespace

DriverOscilloModel::DriverOscilloModel(const Services& services)
    : services_(services),
      lists_(services.dictionary),
      capture_({services.link, services.switches, services.messageBox, services.pollTimer,
                services.restartTimer, services.watchTimer, this},
               {[this](Sub sub, uint32_t value) { Reported(sub, value); },
                [this](Sub sub) { Refused(sub); },
                [this](uint32_t address) {
                    if (triggerLevelPending_) {
                        capture_.ReadLevel();
                        return;
                    }
                    channels_.ObjectRead(address);
                },
                [this] { return Layout(); }, [this] { return form_.total; }, [this] { Decoded(); },
                [this](bool fresh, bool reread) {
                    if (fresh) {
                        plot_.ResetView();
                    }
                    if (reread) {
                        plot_.Zoom(-1);
                        plot_.Clear();
                        samples_.Clear();
                    }
                    channels_.PrepareCurves();
                    PlotChanged();
                },
                [this] { Changed(); }, [this] { channels_.TidyOffsets(); },
                [this] { return form_.continuous; }}),
      channels_(form_.channels,
                {lists_, plot_, services.units, this,
                 [this](CaptureObject::Sub slot, uint32_t code) { capture_.WriteSlot(slot, code); },
                 [this] { PlotChanged(); }}),
      trigger_(form_.trigger, {lists_, services.units, this}) {}

void DriverOscilloModel::Create(const std::string& iniPath) {
    std::string problem = lists_.Load(iniPath);
    if (!problem.empty()) {
        services_.messageBox.Show(problem);
    }
    // The view is made to be shown: it is active from the start, so that a connection
    // opened later reads the drive's settings into it.
    active_ = true;
    services_.switches.priorityWindow = this;
    capture_.ReadSettings();
    Changed();
}

void DriverOscilloModel::Changed() {
    if (onChanged) {
        onChanged();
    }
}

void DriverOscilloModel::PlotChanged() {
    if (onPlotChanged) {
        onPlotChanged();
    }
}

intptr_t DriverOscilloModel::onMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    auto address = static_cast<uint32_t>(lParam);
    switch (message) {
        case WM_LINK_VALUE:
        case WM_LINK_ABORT:
            capture_.Deliver(message, wParam, lParam);
            Changed();
            return 0;
        case WM_LINK_SEGMENT:
            capture_.Deliver(message, wParam, lParam);
            return 0;
        case WM_OBJECT_PICKED:
            Picked(address);
            Changed();
            return 0;
        case WM_LINK_STATE: {
            bool open = services_.switches.connectionState.load() == ConnectionState::Open;
            auto state = static_cast<WindowState>(wParam);
            if (state == WindowState::Shown) {
                active_ = true;
                capture_.ReadSettings();
            } else if (state == WindowState::Hidden) {
                active_ = false;
                capture_.ForceIdle();
            } else if (state == WindowState::ConnectionChanged) {
                // A capture cannot go on over a closed connection, nor over a new one that
                // never saw its requests; other views must not stay held back behind it.
                capture_.LinkLost();
                if (active_ && open) {
                    capture_.ReadSettings();
                }
            } else if (state == WindowState::ProjectOpened && open) {
                capture_.ReadSettings();
            }
            Changed();
            return 0;
        }
        default:
            return 0;
    }
}

void DriverOscilloModel::Reported(Sub sub, uint32_t v) {
    switch (sub) {
        case Sub::Slot1:
        case Sub::Slot2:
        case Sub::Slot3:
        case Sub::Slot4:
        case Sub::Slot5:
        case Sub::Slot6:
            channels_.SlotReported(static_cast<int>(sub), v);
            break;
        case Sub::SamplePeriod:
            form_.samplePeriod = static_cast<int32_t>(v);
            form_.periodText = ScopePeriodText(form_.samplePeriod, form_.periodText);
            plot_.SetSamplePeriod(form_.samplePeriod);
            PlotChanged();
            break;
        case Sub::PretriggerSamples:
            form_.pretrigger = capture_.Reported().pretrigger;
            break;
        case Sub::TotalSamples:
            form_.total = capture_.Reported().total;
            break;
        case Sub::TriggerEdge:
            form_.edge = capture_.Reported().edge;
            break;
        case Sub::TriggerSource:
            trigger_.SourceReported(v);
            if (triggerChangedByUser_) {
                triggerChangedByUser_ = false;
                capture_.ReadLevel();
            }
            break;
        case Sub::TriggerLevel:
            triggerLevelPending_ = !trigger_.LevelReported(v);
            break;
        default:
            break;
    }
}

void DriverOscilloModel::Refused(Sub sub) {
    if (sub >= Sub::Slot1 && sub <= Sub::Slot6) {
        channels_.SlotRefused(static_cast<int>(sub));
    } else if (sub == Sub::TriggerSource) {
        trigger_.SourceRefused();
    } else if (sub == Sub::TotalSamples) {
        notice_ = ScopeMessages::kTotalRefused;
    }
}

const std::string& DriverOscilloModel::StatusText() const {
    return notice_.empty() ? run().Status() : notice_;
}

void DriverOscilloModel::WriteCount(const std::string& text,
                                    void (ScopeCapture::*write)(uint32_t)) {
    // The drive holds these counts in 16 bits: a larger number would arrive cut.
    int64_t value = ReadLeadingInteger(text);
    if (value < 0 || value > 0xFFFF) {
        notice_ = ScopeMessages::kCountRange;
        Changed();
        return;
    }
    notice_.clear();
    (capture_.*write)(static_cast<uint32_t>(value));
    Changed();
}

void DriverOscilloModel::EnterPeriod(const std::string& text) {
    WriteCount(text, &ScopeCapture::WritePeriod);
}

void DriverOscilloModel::EnterPretrigger(const std::string& text) {
    WriteCount(text, &ScopeCapture::WritePretrigger);
}

void DriverOscilloModel::EnterTotal(const std::string& text) {
    WriteCount(text, &ScopeCapture::WriteTotal);
}

void DriverOscilloModel::EnterTriggerLevel(const std::string& text) {
    if (auto raw = trigger_.LevelRaw(text)) {
        capture_.WriteLevel(*raw);
    }
}

void DriverOscilloModel::SelectTrigger(int position) {
    SelectTriggerPosition(position);
    Changed();
}

void DriverOscilloModel::SelectTriggerPosition(int position) {
    const ScopeItem* item = lists_.TriggerAt(position);
    if (position != 0 && item == nullptr) {
        return;
    }
    triggerChangedByUser_ = item != nullptr;
    capture_.WriteTrigger(item != nullptr ? item->code : 0);
}

void DriverOscilloModel::SelectTriggerUnit(int position) {
    if (!trigger_.SelectUnit(position)) {
        return;
    }
    triggerLevelPending_ = true;
    capture_.ReadLevel();
    Changed();
}

void DriverOscilloModel::ToggleEdge() {
    capture_.WriteEdge(form_.edge == 0 ? 1 : 0);
}

void DriverOscilloModel::SelectChannelItem(int channel, int position) {
    if (channels_.SelectItem(channel, position)) {
        Changed();
    }
}

void DriverOscilloModel::ClickChannel(int channel, bool checked) {
    if (!ScopeChannelSettings::Valid(channel)) {
        return;
    }
    notice_.clear();
    int displaced = checked ? channels_.DisplacedBy(channel) : 0;
    if (displaced != 0) {
        notice_ = ScopePrintf("Channels %d and ", std::min(channel, displaced)) +
                  ScopePrintf("%d share one 32-bit slot: ", std::max(channel, displaced)) +
                  ScopePrintf("channel %d was switched off.", displaced);
    }
    if (channels_.Click(channel, checked)) {
        // The drive answers for the slots and the total it now fits: read them back.
        capture_.ReadBackAfterReply(ScopeCapture::ReadBack::kSlotsAndTotal);
        PlotChanged();
    }
    Changed();
}

void DriverOscilloModel::SelectChannelUnit(int channel, int position) {
    if (channels_.SelectUnit(channel, position)) {
        PlotChanged();
        Changed();
    }
}

void DriverOscilloModel::BeginPick(int channel) {
    pickTarget_ = channel >= 0 && channel <= kChannels ? channel + 1 : 0;
}

void DriverOscilloModel::Picked(uint32_t key) {
    int target = pickTarget_;
    if (target == 1) {
        int position = trigger_.Pick(key);
        if (position >= 0) {
            SelectTriggerPosition(position);
        }
    } else if (target >= 2) {
        int channel = target - 1;
        if (channels_.Pick(channel, key)) {
            ClickChannel(channel, channels_.At(channel).checked);
        }
    }
}

void DriverOscilloModel::SetAuto(int channel, bool on) {
    if (channels_.SetAuto(channel, on)) {
        Changed();
    }
}

void DriverOscilloModel::SpinScale(int channel, bool up) {
    if (channels_.SpinScale(channel, up)) {
        PlotChanged();
        Changed();
    }
}

void DriverOscilloModel::SpinOffset(int channel, bool up) {
    if (channels_.SpinOffset(channel, up)) {
        PlotChanged();
        Changed();
    }
}

void DriverOscilloModel::EnterOffset(int channel, const std::string& text) {
    if (channels_.EnterOffset(channel, text)) {
        PlotChanged();
        Changed();
    }
}

void DriverOscilloModel::EnterScale(int channel, const std::string& text) {
    if (channels_.EnterScale(channel, text)) {
        PlotChanged();
        Changed();
    }
}

void DriverOscilloModel::StartOrCancel() {
    notice_.clear();
    if (run().ShowsCancel()) {
        capture_.Cancel();
    } else if (channels_.CheckedCount() == 0) {
        notice_ = ScopeMessages::kNoChannel;
    } else {
        capture_.Start();
    }
    Changed();
}

void DriverOscilloModel::Reread() {
    capture_.Reread();
}

void DriverOscilloModel::Decoded() {
    samples_ = capture_.Samples();
    if (samples_.Empty()) {
        notice_ = ScopeMessages::kEmptyRecord;
    }
    samples_.Plot(plot_);
    plot_.Zoom(-1);
    plot_.Recompute();
    RefreshFields();
    PlotChanged();
}

void DriverOscilloModel::RefreshFields() {
    channels_.RefreshFields();
    Changed();
}

bool DriverOscilloModel::Zoom(int anchorX, int cornerX) {
    if (!plot_.Zoom(1, anchorX, cornerX)) {
        return false;
    }
    plot_.Recompute();
    RefreshFields();
    PlotChanged();
    return true;
}

void DriverOscilloModel::ShowAll() {
    plot_.Zoom(-1);
    plot_.Recompute();
    RefreshFields();
    PlotChanged();
}

bool DriverOscilloModel::WheelZoom(int x, double factor) {
    if (!plot_.ZoomAround(x, factor)) {
        return false;
    }
    plot_.Recompute();
    RefreshFields();
    PlotChanged();
    return true;
}

int DriverOscilloModel::ReadoutChannel(int chosen) const {
    if (ScopeChannelSettings::Valid(chosen)) {
        return chosen;
    }
    for (int channel = 1; channel <= kChannels; ++channel) {
        const ChannelForm& form = form_.channels[static_cast<size_t>(channel - 1)];
        if (form.checked && form.unit >= 0 && form.unit < static_cast<int>(form.units.size())) {
            return channel;
        }
    }
    return 0;
}

DriverOscilloModel::Readout DriverOscilloModel::CursorReadout(int channel) {
    return channels_.CursorReadout(ReadoutChannel(channel), form_.samplePeriod);
}

ScopeRecord DriverOscilloModel::MakeRecord() const {
    ScopeRecord record;
    record.time = form_.samplePeriod;
    record.offset = form_.pretrigger;
    record.number = form_.total;
    trigger_.ToRecord(record);
    record.continuous = form_.continuous ? 1 : 0;
    channels_.ToRecord(record.channels);
    record.samples = samples_.Records();
    if (!record.samples.empty()) {
        // The file holds what was captured: its records, and the channels that have samples,
        // whatever was ticked or typed since.
        record.number = static_cast<int32_t>(record.samples.size());
        for (int n = 0; n < kChannels; ++n) {
            record.channels[static_cast<size_t>(n)].checked =
                !samples_.values[static_cast<size_t>(n)].empty();
        }
    }
    return record;
}

std::vector<std::pair<int, std::string>> DriverOscilloModel::Legend() const {
    std::vector<std::pair<int, std::string>> legend;
    for (int channel = 1; channel <= kChannels; ++channel) {
        const CurvePlot::Channel& curve = plot_.At(channel);
        const ChannelForm& form = form_.channels[static_cast<size_t>(channel - 1)];
        const ScopeItem* item = lists_.ChannelAt(channel, form.item);
        if (curve.points.empty() || !curve.visible || item == nullptr) {
            continue;
        }
        std::string unit = form.unit >= 0 && form.unit < static_cast<int>(form.units.size())
                               ? form.units[static_cast<size_t>(form.unit)]
                               : "DEC";
        legend.emplace_back(channel, "ch" + std::to_string(channel) + " " + item->name + " (" +
                                         unit + ") " + form.scaleText + "/div");
    }
    return legend;
}

std::string DriverOscilloModel::TimeTable() {
    std::vector<TimeTableColumn> columns;
    for (int channel = 1; channel <= kChannels; ++channel) {
        if (!samples_.values[static_cast<size_t>(channel - 1)].empty()) {
            columns.push_back(channels_.TableColumn(channel));
        }
    }
    return ScopeExport::TimeTable(samples_.Records(), form_.samplePeriod, columns);
}

void DriverOscilloModel::ApplyRecord(const ScopeRecord& record) {
    form_.samplePeriod = record.time;
    form_.periodText = ScopePeriodText(record.time, form_.periodText);
    plot_.SetSamplePeriod(record.time);
    form_.pretrigger = record.offset;
    form_.total = record.number;
    trigger_.FromRecord(record);
    form_.continuous = record.continuous != 0;
    plot_.Clear();
    plot_.ResetView();
    samples_.Clear();
    for (const PlotRecord& sample : record.samples) {
        for (int channel = 1; channel <= kChannels; ++channel) {
            // A channel without an item is shown unchecked, as a drive slot of 0 is: a curve
            // of its own would be exported with it and lost at the next import.
            if ((sample.mask & (1u << (channel - 1))) != 0 &&
                SlotCode(record.channels[static_cast<size_t>(channel - 1)]) != 0) {
                double value = sample.values[static_cast<size_t>(channel - 1)];
                plot_.AddPoint(channel, value, 1);
                samples_.Add(channel, value);
            }
        }
    }
    plot_.Zoom(-1);
    plot_.Recompute();
    channels_.FromRecord(record.channels);
    RefreshFields();
    PlotChanged();
}

}  // namespace tarvo
