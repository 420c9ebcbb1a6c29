#include "oscilloscope/DriverOscilloModel.h"

#include "dictionary/LeadingNumber.h"
#include "comm/LinkSwitches.h"
#include "platform/MessageBox.h"
#include "oscilloscope/ScopeFormat.h"
#include "oscilloscope/ScopeLink.h"
#include "oscilloscope/ScopeMessages.h"
#include "oscilloscope/ScopeUnits.h"

namespace tarvo {

namespace {

// The item of a channel in a record file; 0 (no item) for a code that names no object, such
// as the signed mark alone, which no slot can hold.
uint32_t SlotCode(const ScopeRecord::Channel& channel) {
    auto code = static_cast<uint32_t>(channel.item);
    return ScopeItemCode::ForSlot(code) != 0 ? code : 0;
}

constexpr uint32_t kCapture = 0x2300;
constexpr uint8_t kReadSequence[14] = {0,    0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x0D,
                                       0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x0A};
constexpr int kLastStep = 13;

constexpr uint32_t Address(uint8_t subIndex) {
    return kCapture << 8 | subIndex;
}

std::string PeriodText(int32_t period, const std::string& unchanged) {
    if (period < 0) {
        return unchanged;
    }
    if (period < 16) {
        return ScopePrintf("%0.1fus", period * 62.5);
    }
    if (period < 16000) {
        return ScopePrintf("%0.2fms", period * 62.5 * 0.001);
    }
    return ScopePrintf("%0.2fs", period * 62.5 * 1e-6);
}

}  // namespace

DriverOscilloModel::DriverOscilloModel(const Services& services)
    : services_(services),
      lists_(services.dictionary),
      run_({services.link, services.switches, services.messageBox, services.pollTimer,
            services.restartTimer, this},
           {[this](bool fresh, bool reread) {
                if (fresh) {
                    plot_.ResetView();
                }
                if (reread) {
                    plot_.Zoom(-1);
                    plot_.Clear();
                }
                channels_.PrepareCurves();
                PlotChanged();
            },
            [this](const std::vector<uint8_t>& bytes) { Decoded(bytes); }, [this] { Changed(); },
            [this] { channels_.TidyOffsets(); }, [this] { return form_.continuous; },
            [this] {
                return static_cast<size_t>(std::max(form_.total, 0)) * Layout().BytesPerRecord();
            }}),
      channels_(form_.channels,
                {lists_, plot_, services.units, this,
                 [this](uint8_t slot, uint32_t code) { Request(SdoCommand::Write32, slot, code); },
                 [this] { PlotChanged(); }}) {}

void DriverOscilloModel::Create(const std::string& iniPath) {
    lists_.Load(iniPath);
    services_.switches.priorityWindow = this;
    StartReadSequence(1);
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

void DriverOscilloModel::Request(SdoCommand command, uint8_t subIndex, uint32_t data) {
    services_.link.Request(this, command, Address(subIndex), data);
}

void DriverOscilloModel::StartReadSequence(int step) {
    readStep_ = step;
    QueueNextRead();
}

void DriverOscilloModel::QueueNextRead() {
    if (readStep_ >= 1 && readStep_ <= kLastStep) {
        uint8_t subIndex = kReadSequence[readStep_];
        ++readStep_;
        Request(SdoCommand::Read, subIndex, 0);
    } else {
        readStep_ = 0;
    }
}

intptr_t DriverOscilloModel::onMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    auto address = static_cast<uint32_t>(lParam);
    switch (message) {
        case WM_LINK_VALUE:
            HandleValue(static_cast<uint32_t>(wParam), address);
            QueueNextRead();
            Changed();
            return 0;
        case WM_LINK_SEGMENT:
            run_.OnSegment();
            return 0;
        case WM_LINK_ABORT:
            HandleAbort(address);
            Changed();
            return 0;
        case WM_OBJECT_PICKED:
            Picked(address);
            Changed();
            return 0;
        case WM_LINK_STATE: {
            bool open = services_.switches.connectionState.load() == ConnectionState::Open;
            if (wParam == 0) {
                active_ = true;
                StartReadSequence(1);
            } else if (wParam == 1) {
                active_ = false;
                run_.ForceIdle();
            } else if (wParam == 2) {
                if (!open && run_.Busy()) {
                    // A capture cannot go on without a connection; other views must not
                    // stay held back behind its upload.
                    run_.ForceIdle();
                }
                if (active_ && open) {
                    StartReadSequence(1);
                }
            } else if (wParam == 4 && open) {
                StartReadSequence(1);
            }
            Changed();
            return 0;
        }
        default:
            return 0;
    }
}

void DriverOscilloModel::HandleValue(uint32_t v, uint32_t address) {
    if ((address >> 8) != kCapture) {
        if (triggerLevelPending_) {
            Request(SdoCommand::Read, 0x0D, 0);
            return;
        }
        channels_.ObjectRead(address);
        return;
    }
    auto subIndex = static_cast<uint8_t>(address & 0xFF);
    switch (subIndex) {
        case 0x01:
        case 0x02:
        case 0x03:
        case 0x04:
        case 0x05:
        case 0x06:
            channels_.SlotReported(subIndex, v);
            break;
        case 0x07:
        case 0x10:
            run_.OnValue(address, v);
            break;
        case 0x08:
            form_.samplePeriod = static_cast<int32_t>(v);
            form_.periodText = PeriodText(form_.samplePeriod, form_.periodText);
            plot_.SetSamplePeriod(form_.samplePeriod);
            PlotChanged();
            break;
        case 0x09:
            form_.pretrigger = static_cast<int16_t>(v & 0xFFFF);
            break;
        case 0x0A:
            form_.total = static_cast<int32_t>(v);
            break;
        case 0x0B:
            form_.edge = static_cast<int>(v & 0xFF);
            break;
        case 0x0C:
            TriggerFromDrive(v);
            if (triggerChangedByUser_) {
                triggerChangedByUser_ = false;
                Request(SdoCommand::Read, 0x0D, 0);
            }
            break;
        case 0x0D:
            triggerLevelPending_ = false;
            form_.triggerLevel = TriggerLevelText(v);
            break;
        default:
            break;
    }
}

void DriverOscilloModel::HandleAbort(uint32_t address) {
    auto subIndex = static_cast<uint8_t>(address & 0xFF);
    if ((address >> 8) != kCapture) {
        return;
    }
    if (subIndex >= 0x01 && subIndex <= 0x06) {
        channels_.SlotRefused(subIndex);
    } else if (subIndex == 0x07 || subIndex == 0x10) {
        run_.OnAbort(address);
    } else if (subIndex == 0x0A) {
        Request(SdoCommand::Read, 0x0A, 0);
    } else if (subIndex == 0x0C) {
        form_.triggerPosition = 0;
        form_.triggerLevelEnabled = false;
    }
}

void DriverOscilloModel::TriggerFromDrive(uint32_t v) {
    if (v == 0) {
        form_.triggerPosition = 0;
        form_.triggerLevelEnabled = false;
        return;
    }
    form_.triggerLevelEnabled = true;
    form_.triggerAddress = ScopeItemCode::Address(v);
    int position = -1;
    for (int p = 1; p < lists_.TriggerBoxSize(); ++p) {
        if (ScopeItemCode::ForSlot(lists_.TriggerAt(p)->code) == ScopeItemCode::ForSlot(v)) {
            position = p;
            break;
        }
    }
    if (position < 0) {
        auto item = lists_.MakeTriggerItem(form_.triggerAddress);
        lists_.InsertTrigger(item ? *item : lists_.MakeReportedItem(v));
        position = 1;
    }
    form_.triggerPosition = position;
    form_.triggerUnits = services_.units.Choices(form_.triggerAddress);
    form_.triggerUnit = static_cast<int>(form_.triggerUnits.size()) - 1;
}

std::string DriverOscilloModel::TriggerLevelText(uint32_t raw) {
    if (form_.triggerUnits.empty()) {
        form_.triggerUnits.push_back("DEC");
        form_.triggerUnit = 0;
    }
    if (form_.triggerUnit < 0 || form_.triggerUnit >= static_cast<int>(form_.triggerUnits.size())) {
        form_.triggerUnit = static_cast<int>(form_.triggerUnits.size()) - 1;
        for (size_t i = 0; i < form_.triggerUnits.size(); ++i) {
            if (form_.triggerUnits[i] == "DEC") {
                form_.triggerUnit = static_cast<int>(i);
            }
        }
    }
    const std::string& label = form_.triggerUnits[static_cast<size_t>(form_.triggerUnit)];
    auto text = services_.units.RawToText(this, form_.triggerAddress, label, raw);
    if (!text) {
        triggerLevelPending_ = true;
        return form_.triggerLevel;
    }
    return *text;
}

void DriverOscilloModel::EnterPeriod(const std::string& text) {
    Request(SdoCommand::Write16, 0x08, static_cast<uint32_t>(ReadLeadingInteger(text)));
}

void DriverOscilloModel::EnterPretrigger(const std::string& text) {
    Request(SdoCommand::Write16, 0x09, static_cast<uint32_t>(ReadLeadingInteger(text)));
}

void DriverOscilloModel::EnterTotal(const std::string& text) {
    Request(SdoCommand::Write16, 0x0A, static_cast<uint32_t>(ReadLeadingInteger(text)));
    // The drive may adjust the count to its memory: read it back after the write.
    readStep_ = kLastStep;
}

void DriverOscilloModel::EnterTriggerLevel(const std::string& text) {
    if (form_.triggerPosition == 0) {
        return;
    }
    std::string label =
        form_.triggerUnit >= 0 && form_.triggerUnit < static_cast<int>(form_.triggerUnits.size())
            ? form_.triggerUnits[static_cast<size_t>(form_.triggerUnit)]
            : std::string();
    auto raw = services_.units.TextToRaw(this, form_.triggerAddress, label, text);
    if (raw) {
        Request(SdoCommand::Write32, 0x0D, *raw);
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
    Request(SdoCommand::Write32, 0x0C, item != nullptr ? item->code : 0);
}

void DriverOscilloModel::SelectTriggerUnit(int position) {
    if (position < 0 || position >= static_cast<int>(form_.triggerUnits.size())) {
        return;
    }
    form_.triggerUnit = position;
    triggerLevelPending_ = true;
    Request(SdoCommand::Read, 0x0D, 0);
    Changed();
}

void DriverOscilloModel::ToggleEdge() {
    Request(SdoCommand::Write8, 0x0B, form_.edge == 0 ? 1 : 0);
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
        readStep_ = 7;
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
        int position = lists_.FindTriggerAddress(key);
        if (position < 0) {
            auto item = lists_.MakeTriggerItem(key);
            if (!item) {
                return;
            }
            lists_.InsertTrigger(std::move(*item));
            position = 1;
        }
        form_.triggerPosition = position;
        SelectTriggerPosition(position);
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
    if (run_.ShowsCancel()) {
        run_.Cancel();
    } else {
        run_.Start();
    }
}

void DriverOscilloModel::Reread() {
    run_.Reread();
}

void DriverOscilloModel::Decoded(const std::vector<uint8_t>& bytes) {
    RecordDecoder::Decode(bytes.data(), bytes.size(), Layout(), plot_);
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
    record.triggerItem = form_.triggerPosition;
    record.triggerItemValue = static_cast<int32_t>(form_.triggerAddress);
    record.triggerCollectValue = form_.triggerLevel;
    record.triggerCollectUnit = form_.triggerUnit;
    record.continuous = form_.continuous ? 1 : 0;
    channels_.ToRecord(record.channels);
    record.samples = plot_.Records();
    return record;
}

void DriverOscilloModel::ApplyRecord(const ScopeRecord& record) {
    form_.samplePeriod = record.time;
    form_.periodText = PeriodText(record.time, form_.periodText);
    plot_.SetSamplePeriod(record.time);
    form_.pretrigger = record.offset;
    form_.total = record.number;
    if (record.triggerItem == 0) {
        form_.triggerPosition = 0;
        form_.triggerLevelEnabled = false;
    } else {
        auto address = static_cast<uint32_t>(record.triggerItemValue);
        int position = lists_.FindTriggerAddress(address);
        if (position < 0) {
            auto item = lists_.MakeTriggerItem(address);
            lists_.InsertTrigger(item ? *item : lists_.MakeReportedItem(address << 8 | 32));
            position = 1;
        }
        form_.triggerPosition = position;
        form_.triggerAddress = address;
        form_.triggerLevelEnabled = true;
        form_.triggerUnits = services_.units.Choices(address);
        form_.triggerLevel = record.triggerCollectValue;
        form_.triggerUnit =
            record.triggerCollectUnit >= 0 &&
                    record.triggerCollectUnit < static_cast<int>(form_.triggerUnits.size())
                ? record.triggerCollectUnit
                : static_cast<int>(form_.triggerUnits.size()) - 1;
    }
    form_.continuous = record.continuous != 0;
    plot_.Clear();
    plot_.ResetView();
    for (const PlotRecord& sample : record.samples) {
        for (int channel = 1; channel <= kChannels; ++channel) {
            // A channel without an item is shown unchecked, as a drive slot of 0 is: a curve
            // of its own would be exported with it and lost at the next import.
            if ((sample.mask & (1u << (channel - 1))) != 0 &&
                SlotCode(record.channels[static_cast<size_t>(channel - 1)]) != 0) {
                plot_.AddPoint(channel, sample.values[static_cast<size_t>(channel - 1)], 1);
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
