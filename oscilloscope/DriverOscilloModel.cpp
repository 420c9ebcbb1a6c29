#include "oscilloscope/DriverOscilloModel.h"

#include "comm/LinkSwitches.h"
#include "dictionary/LeadingNumber.h"
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
                services.restartTimer, this},
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
                if (!open && run().Busy()) {
                    // A capture cannot go on without a connection; other views must not
                    // stay held back behind its upload.
                    capture_.ForceIdle();
                }
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
    }
}

void DriverOscilloModel::EnterPeriod(const std::string& text) {
    capture_.WritePeriod(static_cast<uint32_t>(ReadLeadingInteger(text)));
}

void DriverOscilloModel::EnterPretrigger(const std::string& text) {
    capture_.WritePretrigger(static_cast<uint32_t>(ReadLeadingInteger(text)));
}

void DriverOscilloModel::EnterTotal(const std::string& text) {
    capture_.WriteTotal(static_cast<uint32_t>(ReadLeadingInteger(text)));
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
    if (run().ShowsCancel()) {
        capture_.Cancel();
    } else {
        capture_.Start();
    }
}

void DriverOscilloModel::Reread() {
    capture_.Reread();
}

void DriverOscilloModel::Decoded() {
    samples_ = capture_.Samples();
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

DriverOscilloModel::Readout DriverOscilloModel::CursorReadout(int channel) {
    return channels_.CursorReadout(channel, form_.samplePeriod);
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
    return record;
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
