#include "DriverOscilloModel.h"

#include <cmath>

#include "LeadingNumber.h"
#include "LinkSwitches.h"
#include "MessageBox.h"
#include "ScaleText.h"
#include "ScopeFormat.h"
#include "ScopeLink.h"
#include "ScopeMessages.h"
#include "ScopeUnits.h"

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

bool ValidChannel(int channel) {
    return channel >= 1 && channel <= DriverOscilloModel::kChannels;
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
                PrepareCurves();
                PlotChanged();
            },
            [this](const std::vector<uint8_t>& bytes) { Decoded(bytes); }, [this] { Changed(); },
            [this] { TidyOffsets(); }, [this] { return form_.continuous; },
            [this] {
                return static_cast<size_t>(std::max(form_.total, 0)) * Layout().BytesPerRecord();
            }}) {}

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
        for (int channel = 1; channel <= kChannels; ++channel) {
            if (Channel(channel).objectAddress == address) {
                RecomputeCoefficient(channel);
            }
        }
        return;
    }
    auto subIndex = static_cast<uint8_t>(address & 0xFF);
    switch (subIndex) {
        case 0x01:
        case 0x02:
        case 0x03:
        case 0x04:
            slots_[subIndex - 1] = v;
            AssignSlot(subIndex, v);
            break;
        case 0x05:
        case 0x06: {
            slots_[subIndex - 1] = v;
            if (v != 0) {
                int first = subIndex == 0x05 ? 1 : 3;
                int last = pairLast_[subIndex - 5];
                // A channel that samples a 16-bit object of its own cannot also hold the pair's.
                if (last == 0 || slots_[static_cast<size_t>(last - 1)] != 0) {
                    last = slots_[static_cast<size_t>(first - 1)] == 0 ? first : first + 1;
                }
                AssignSlot(last, v);
            }
            break;
        }
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
        slots_[subIndex - 1] = 0;
    } else if (subIndex == 0x07 || subIndex == 0x10) {
        run_.OnAbort(address);
    } else if (subIndex == 0x0A) {
        Request(SdoCommand::Read, 0x0A, 0);
    } else if (subIndex == 0x0C) {
        form_.triggerPosition = 0;
        form_.triggerLevelEnabled = false;
    }
}

const ScopeItem* DriverOscilloModel::ChannelItem(int channel) const {
    return lists_.ChannelAt(channel, form_.channels[static_cast<size_t>(channel - 1)].item);
}

void DriverOscilloModel::AssignSlot(int channel, uint32_t code) {
    ChannelForm& form = Channel(channel);
    if (code == 0) {
        form.checked = false;
        return;
    }
    form.checked = true;
    int position = lists_.FindChannelCode(channel, code);
    if (position < 0) {
        lists_.InsertChannelItem(channel, lists_.MakeReportedItem(code));
        position = 0;
    }
    form.item = position;
    form.objectAddress = ScopeItemCode::Address(code);
    FillChannelUnits(channel);
}

void DriverOscilloModel::FillChannelUnits(int channel) {
    ChannelForm& form = Channel(channel);
    const ScopeItem* item = ChannelItem(channel);
    if (item == nullptr) {
        form.units.clear();
        form.unit = -1;
        return;
    }
    std::vector<std::string> units = services_.units.Choices(ScopeItemCode::Address(item->code));
    if (units != form.units || form.unit < 0 || form.unit >= static_cast<int>(units.size())) {
        // As for the trigger: the last unit, "DEC", until the user picks another.
        form.units = std::move(units);
        form.unit = static_cast<int>(form.units.size()) - 1;
    }
    RecomputeCoefficient(channel);
}

void DriverOscilloModel::RecomputeCoefficient(int channel) {
    ChannelForm& form = Channel(channel);
    const ScopeItem* item = ChannelItem(channel);
    if (item == nullptr || form.unit < 0 || form.unit >= static_cast<int>(form.units.size())) {
        plot_.At(channel).coefficient = 1.0;
        return;
    }
    plot_.At(channel).coefficient = services_.units.Coefficient(
        this, ScopeItemCode::Address(item->code), form.units[static_cast<size_t>(form.unit)]);
    PlotChanged();
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
    if (!ValidChannel(channel) || lists_.ChannelAt(channel, position) == nullptr) {
        return;
    }
    Channel(channel).item = position;
    Channel(channel).checked = false;
    FillChannelUnits(channel);
    Changed();
}

void DriverOscilloModel::ClickChannel(int channel, bool checked) {
    if (!ValidChannel(channel)) {
        return;
    }
    ChannelForm& form = Channel(channel);
    const ScopeItem* item = ChannelItem(channel);
    if (item == nullptr) {
        form.checked = false;
        Changed();
        return;
    }
    form.checked = checked;
    uint8_t ownSlot = static_cast<uint8_t>(channel);
    uint8_t pairSlot = channel <= 2 ? 0x05 : 0x06;
    if (!checked) {
        plot_.At(channel).visible = false;
        // The pair's 32-bit slot is cleared only by the channel that applied it last, so
        // that switching one channel off never takes the other channel's object away.
        int pair = channel <= 2 ? 0 : 1;
        bool ownsPair = pairLast_[pair] == channel ||
                        (pairLast_[pair] == 0 && ScopeItemCode::Width(item->code) >= 32);
        bool clearPair = slots_[static_cast<size_t>(channel - 1)] == 0 && ownsPair;
        Request(SdoCommand::Write32, clearPair ? pairSlot : ownSlot, 0);
    } else {
        uint32_t code = ScopeItemCode::ForSlot(item->code);
        Request(SdoCommand::Write32, ScopeItemCode::Width(code) < 32 ? ownSlot : pairSlot, code);
        plot_.At(channel).visible = true;
        if (ScopeItemCode::Width(code) >= 32) {
            pairLast_[channel <= 2 ? 0 : 1] = channel;  // it owns the pair's 32-bit slot
        }
        form.objectAddress = ScopeItemCode::Address(code);
    }
    readStep_ = 7;
    PlotChanged();
    Changed();
}

void DriverOscilloModel::SelectChannelUnit(int channel, int position) {
    if (!ValidChannel(channel) || position < 0 ||
        position >= static_cast<int>(Channel(channel).units.size())) {
        return;
    }
    Channel(channel).unit = position;
    RecomputeCoefficient(channel);
    PlotChanged();
    Changed();
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
        ChannelForm& form = Channel(channel);
        int position = lists_.FindChannelAddress(channel, key);
        if (position < 0 || position >= lists_.OwnCount(channel)) {
            auto item = lists_.MakeChannelItem(key);
            if (!item) {
                return;
            }
            lists_.InsertChannelItem(channel, std::move(*item));
            position = 0;
        }
        form.item = position;
        FillChannelUnits(channel);
        ClickChannel(channel, form.checked);
    }
}

void DriverOscilloModel::SetAuto(int channel, bool on) {
    if (ValidChannel(channel)) {
        Channel(channel).autoScale = on;
        plot_.At(channel).autoScale = on;
        Changed();
    }
}

void DriverOscilloModel::SpinScale(int channel, bool up) {
    if (!ValidChannel(channel) || !Channel(channel).checked) {
        return;
    }
    ChannelForm& form = Channel(channel);
    double scale = plot_.At(channel).scale;
    if (ScaleText::Step(form.scaleText, scale, up)) {
        plot_.At(channel).scale = scale;
        PlotChanged();
        Changed();
    }
}

void DriverOscilloModel::SpinOffset(int channel, bool up) {
    if (!ValidChannel(channel) || !Channel(channel).checked) {
        return;
    }
    plot_.NudgeOffset(channel, plot_.At(channel).scale, up ? 1 : -1);
    Channel(channel).offsetText = ScopePrintf("%.3f", plot_.At(channel).offset);
    PlotChanged();
    Changed();
}

void DriverOscilloModel::EnterOffset(int channel, const std::string& text) {
    if (!ValidChannel(channel)) {
        return;
    }
    plot_.At(channel).offset = ReadLeadingReal(text);
    Channel(channel).offsetText = text;
    PlotChanged();
    Changed();
}

void DriverOscilloModel::EnterScale(int channel, const std::string& text) {
    if (!ValidChannel(channel)) {
        return;
    }
    Channel(channel).scaleText = text;
    plot_.At(channel).scale = ScaleText::Parse(text);
    PlotChanged();
    Changed();
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

void DriverOscilloModel::TidyOffsets() {
    for (ChannelForm& form : form_.channels) {
        const std::string& text = form.offsetText;
        if (text == "-0" || text == "-0." || text.size() > 10) {
            form.offsetText = ScopePrintf("%.3f", 0.0);
        }
    }
}

void DriverOscilloModel::PrepareCurves() {
    TidyOffsets();
    for (int channel = 1; channel <= kChannels; ++channel) {
        ChannelForm& form = Channel(channel);
        if (!form.checked) {
            continue;
        }
        CurvePlot::Channel& curve = plot_.At(channel);
        curve.autoScale = form.autoScale;
        if (!form.autoScale) {
            curve.scale = ScaleText::Parse(form.scaleText);
            curve.offset = ReadLeadingReal(form.offsetText);
        }
        RecomputeCoefficient(channel);
    }
}

RecordLayout DriverOscilloModel::Layout() const {
    RecordLayout layout;
    layout.slotCodes = slots_;
    for (int channel = 1; channel <= kChannels; ++channel) {
        const ScopeItem* item = ChannelItem(channel);
        layout.channelSigned[static_cast<size_t>(channel - 1)] =
            item != nullptr && ScopeItemCode::IsSigned(item->code);
    }
    // The pair's 32-bit slot belongs to the first channel only when that channel is on and
    // does not sample a 16-bit object of its own.
    layout.slot5Channel = form_.channels[0].checked && slots_[0] == 0 ? 1 : 2;
    layout.slot6Channel = form_.channels[2].checked && slots_[2] == 0 ? 3 : 4;
    return layout;
}

void DriverOscilloModel::Decoded(const std::vector<uint8_t>& bytes) {
    RecordDecoder::Decode(bytes.data(), bytes.size(), Layout(), plot_);
    plot_.Zoom(-1);
    plot_.Recompute();
    RefreshFields();
    PlotChanged();
}

void DriverOscilloModel::RefreshFields() {
    for (int channel = 1; channel <= kChannels; ++channel) {
        Channel(channel).scaleText = ScaleText::Format(plot_.At(channel).scale);
        Channel(channel).offsetText = ScopePrintf("%.3f", plot_.At(channel).offset);
    }
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
    Readout readout;
    if (!ValidChannel(channel)) {
        return readout;
    }
    ChannelForm& form = Channel(channel);
    const ScopeItem* item = ChannelItem(channel);
    if (!form.checked || item == nullptr || form.unit < 0 ||
        form.unit >= static_cast<int>(form.units.size())) {
        return readout;
    }
    const std::string& label = form.units[static_cast<size_t>(form.unit)];
    readout.dataUnit = label;
    uint32_t address = ScopeItemCode::Address(item->code);
    auto valueText = [&](double value) {
        auto raw = static_cast<uint32_t>(static_cast<int64_t>(std::trunc(value)));
        return services_.units.RawToText(this, address, label, raw).value_or("0");
    };
    int cursors = plot_.CursorCount();
    std::array<std::optional<PlotReading>, 2> readings;
    for (int cursor = 1; cursor <= cursors; ++cursor) {
        readings[static_cast<size_t>(cursor - 1)] =
            plot_.ValueAt(channel, plot_.CursorPosition(cursor));
    }
    double divisor = 1.0;
    if (readings[0]) {
        double t = readings[0]->sample * form_.samplePeriod * 62.5;
        if (t >= 1e6) {
            readout.timeUnit = "s";
            divisor = 1e6;
        } else if (t >= 1000) {
            readout.timeUnit = "ms";
            divisor = 1000;
        }
    }
    for (size_t i = 0; i < 2; ++i) {
        if (readings[i]) {
            readout.cells[i * 2] =
                ScopePrintf("%.2f", readings[i]->sample * form_.samplePeriod * 62.5 / divisor);
            readout.cells[i * 2 + 1] = valueText(readings[i]->value);
        }
    }
    if (readings[0] && readings[1]) {
        double t1 = readings[0]->sample;
        double t2 = readings[1]->sample;
        readout.cells[4] =
            ScopePrintf("%.2f", std::fabs(t2 - t1) * form_.samplePeriod * 62.5 / divisor);
        const PlotReading& earlier = t1 <= t2 ? *readings[0] : *readings[1];
        const PlotReading& later = t1 <= t2 ? *readings[1] : *readings[0];
        readout.cells[5] = valueText(std::trunc(later.value) - std::trunc(earlier.value));
    }
    return readout;
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
    for (int channel = 1; channel <= kChannels; ++channel) {
        const ChannelForm& form = form_.channels[static_cast<size_t>(channel - 1)];
        ScopeRecord::Channel& out = record.channels[static_cast<size_t>(channel - 1)];
        out.checked = form.checked;
        uint32_t own = slots_[static_cast<size_t>(channel - 1)];
        uint32_t code = own != 0 ? own : slots_[channel <= 2 ? 4 : 5];
        if (code == 0) {
            if (const ScopeItem* item = ChannelItem(channel)) {
                code = ScopeItemCode::ForSlot(item->code);
            }
        }
        out.item = static_cast<int32_t>(code);
        out.scale = plot_.At(channel).scale;
        out.offset = plot_.At(channel).offset;
        out.unitCoefficient = plot_.At(channel).coefficient;
        out.unit = form.unit;
        out.autoScale = form.autoScale ? 1 : 0;
    }
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
    for (int channel = 1; channel <= kChannels; ++channel) {
        const ScopeRecord::Channel& in = record.channels[static_cast<size_t>(channel - 1)];
        ChannelForm& form = Channel(channel);
        form.checked = in.checked;
        if (!in.checked) {
            continue;
        }
        uint32_t code = SlotCode(in);
        AssignSlot(channel, code);
        if (code != 0) {
            size_t slot = ScopeItemCode::Width(code) >= 32 ? (channel <= 2 ? 4 : 5)
                                                           : static_cast<size_t>(channel - 1);
            slots_[slot] = ScopeItemCode::ForSlot(code);
        }
        CurvePlot::Channel& curve = plot_.At(channel);
        curve.scale = in.scale;
        curve.offset = in.offset;
        curve.coefficient = in.unitCoefficient;
        if (in.unit >= 0 && in.unit < static_cast<int>(form.units.size())) {
            form.unit = in.unit;
        }
        form.autoScale = in.autoScale != 0;
        curve.autoScale = form.autoScale;
    }
    RefreshFields();
    PlotChanged();
}

}  // namespace tarvo
