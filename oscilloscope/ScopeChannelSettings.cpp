#include "oscilloscope/ScopeChannelSettings.h"

#include <cmath>

#include "dictionary/LeadingNumber.h"
#include "oscilloscope/CurvePlot.h"
#include "oscilloscope/ScaleText.h"
#include "oscilloscope/ScopeCapture.h"
#include "oscilloscope/ScopeFormat.h"
#include "oscilloscope/ScopeItemLists.h"
#include "oscilloscope/ScopeUnits.h"

namespace tarvo {

ScopeChannelSettings::ScopeChannelSettings(Forms& forms, Services services)
    : forms_(forms), services_(std::move(services)) {}

const ScopeItem* ScopeChannelSettings::Item(int channel) const {
    return services_.lists.ChannelAt(channel, At(channel).item);
}

RecordLayout ScopeChannelSettings::Layout() const {
    RecordLayout layout;
    layout.slotCodes = slots_;
    for (int channel = 1; channel <= kChannels; ++channel) {
        const ScopeItem* item = Item(channel);
        layout.channelSigned[static_cast<size_t>(channel - 1)] =
            item != nullptr && ScopeItemCode::IsSigned(item->code);
    }
    // The pair's 32-bit slot belongs to the first channel only when that channel is on and
    // does not sample a 16-bit object of its own.
    layout.slot5Channel = forms_[0].checked && slots_[0] == 0 ? 1 : 2;
    layout.slot6Channel = forms_[2].checked && slots_[2] == 0 ? 3 : 4;
    return layout;
}

void ScopeChannelSettings::SlotReported(int slot, uint32_t code) {
    slots_[static_cast<size_t>(slot - 1)] = code;
    if (slot <= kChannels) {
        Assign(slot, code);
        return;
    }
    if (code != 0) {
        int first = slot == 5 ? 1 : 3;
        int last = pairLast_[static_cast<size_t>(slot - 5)];
        // A channel that samples a 16-bit object of its own cannot also hold the pair's.
        if (last == 0 || slots_[static_cast<size_t>(last - 1)] != 0) {
            last = slots_[static_cast<size_t>(first - 1)] == 0 ? first : first + 1;
        }
        Assign(last, code);
    }
}

void ScopeChannelSettings::ObjectRead(uint32_t address) {
    for (int channel = 1; channel <= kChannels; ++channel) {
        if (At(channel).objectAddress == address) {
            RecomputeCoefficient(channel);
        }
    }
}

void ScopeChannelSettings::Assign(int channel, uint32_t code) {
    ChannelForm& form = At(channel);
    if (code == 0) {
        form.checked = false;
        return;
    }
    form.checked = true;
    ScopeItemLists& lists = services_.lists;
    int position = lists.FindChannelCode(channel, code);
    if (position < 0) {
        lists.InsertChannelItem(channel, lists.MakeReportedItem(code));
        position = 0;
    }
    form.item = position;
    form.objectAddress = ScopeItemCode::Address(code);
    FillUnits(channel);
}

void ScopeChannelSettings::FillUnits(int channel) {
    ChannelForm& form = At(channel);
    const ScopeItem* item = Item(channel);
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

void ScopeChannelSettings::RecomputeCoefficient(int channel) {
    ChannelForm& form = At(channel);
    const ScopeItem* item = Item(channel);
    CurvePlot::Channel& curve = services_.plot.At(channel);
    double before = curve.coefficient;
    if (item == nullptr || form.unit < 0 || form.unit >= static_cast<int>(form.units.size())) {
        curve.coefficient = 1.0;
        return;
    }
    curve.coefficient =
        services_.units.Coefficient(services_.owner, ScopeItemCode::Address(item->code),
                                    form.units[static_cast<size_t>(form.unit)]);
    // Scale and offset are in the unit shown: a new unit takes them along at once, or the
    // curve would leave the plot until the next capture.
    if (before != 0.0 && curve.coefficient != 0.0 && std::isfinite(curve.coefficient) &&
        curve.coefficient != before) {
        if (!curve.autoScale || !services_.plot.AutoScale(channel)) {
            double ratio = curve.coefficient / before;
            curve.scale = ScaleText::AtLeast125(std::fabs(curve.scale * ratio));
            curve.offset *= ratio;
        }
        form.scaleText = ScaleText::Format(curve.scale);
        form.offsetText = ScopePrintf("%.3f", curve.offset);
    }
    services_.plotChanged();
}

int ScopeChannelSettings::DisplacedBy(int channel) const {
    const ScopeItem* item = Item(channel);
    if (!Valid(channel) || item == nullptr || ScopeItemCode::Width(item->code) < 32) {
        return 0;
    }
    int other = channel % 2 == 1 ? channel + 1 : channel - 1;
    const ScopeItem* otherItem = Item(other);
    return At(other).checked && otherItem != nullptr && ScopeItemCode::Width(otherItem->code) >= 32
               ? other
               : 0;
}

int ScopeChannelSettings::CheckedCount() const {
    int count = 0;
    for (const ChannelForm& form : forms_) {
        count += form.checked ? 1 : 0;
    }
    return count;
}

bool ScopeChannelSettings::SelectItem(int channel, int position) {
    if (!Valid(channel) || services_.lists.ChannelAt(channel, position) == nullptr) {
        return false;
    }
    At(channel).item = position;
    At(channel).checked = false;
    FillUnits(channel);
    return true;
}

bool ScopeChannelSettings::Click(int channel, bool checked) {
    ChannelForm& form = At(channel);
    const ScopeItem* item = Item(channel);
    if (item == nullptr) {
        form.checked = false;
        return false;
    }
    form.checked = checked;
    CurvePlot::Channel& curve = services_.plot.At(channel);
    if (!checked) {
        curve.visible = false;
        // The pair's 32-bit slot is cleared only by the channel that applied it last, so
        // that switching one channel off never takes the other channel's object away.
        int pair = channel <= 2 ? 0 : 1;
        bool ownsPair = pairLast_[pair] == channel ||
                        (pairLast_[pair] == 0 && ScopeItemCode::Width(item->code) >= 32);
        bool clearPair = slots_[static_cast<size_t>(channel - 1)] == 0 && ownsPair;
        services_.writeSlot(
            clearPair ? ScopeCapture::PairSlot(channel) : CaptureObject::SlotSub(channel), 0);
    } else {
        uint32_t code = ScopeItemCode::ForSlot(item->code);
        services_.writeSlot(ScopeCapture::SlotFor(channel, code), code);
        curve.visible = true;
        if (ScopeItemCode::Width(code) >= 32) {
            pairLast_[channel <= 2 ? 0 : 1] = channel;  // it owns the pair's 32-bit slot
        }
        form.objectAddress = ScopeItemCode::Address(code);
    }
    return true;
}

bool ScopeChannelSettings::SelectUnit(int channel, int position) {
    if (!Valid(channel) || position < 0 || position >= static_cast<int>(At(channel).units.size())) {
        return false;
    }
    At(channel).unit = position;
    RecomputeCoefficient(channel);
    return true;
}

bool ScopeChannelSettings::Pick(int channel, uint32_t address) {
    ScopeItemLists& lists = services_.lists;
    int position = lists.FindChannelAddress(channel, address);
    if (position < 0 || position >= lists.OwnCount(channel)) {
        auto item = lists.MakeChannelItem(address);
        if (!item) {
            return false;
        }
        lists.InsertChannelItem(channel, std::move(*item));
        position = 0;
    }
    At(channel).item = position;
    FillUnits(channel);
    return true;
}

bool ScopeChannelSettings::SetAuto(int channel, bool on) {
    if (!Valid(channel)) {
        return false;
    }
    At(channel).autoScale = on;
    services_.plot.At(channel).autoScale = on;
    return true;
}

bool ScopeChannelSettings::SpinScale(int channel, bool up) {
    if (!Valid(channel) || !At(channel).checked) {
        return false;
    }
    double scale = services_.plot.At(channel).scale;
    if (!ScaleText::Step(At(channel).scaleText, scale, up)) {
        return false;
    }
    services_.plot.At(channel).scale = scale;
    return true;
}

bool ScopeChannelSettings::SpinOffset(int channel, bool up) {
    if (!Valid(channel) || !At(channel).checked) {
        return false;
    }
    CurvePlot& plot = services_.plot;
    plot.NudgeOffset(channel, plot.At(channel).scale, up ? 1 : -1);
    At(channel).offsetText = ScopePrintf("%.3f", plot.At(channel).offset);
    return true;
}

bool ScopeChannelSettings::EnterOffset(int channel, const std::string& text) {
    if (!Valid(channel)) {
        return false;
    }
    services_.plot.At(channel).offset = ReadLeadingReal(text);
    At(channel).offsetText = text;
    return true;
}

bool ScopeChannelSettings::EnterScale(int channel, const std::string& text) {
    if (!Valid(channel)) {
        return false;
    }
    At(channel).scaleText = text;
    services_.plot.At(channel).scale = ScaleText::Parse(text);
    return true;
}

void ScopeChannelSettings::TidyOffsets() {
    for (ChannelForm& form : forms_) {
        const std::string& text = form.offsetText;
        if (text == "-0" || text == "-0." || text.size() > 10) {
            form.offsetText = ScopePrintf("%.3f", 0.0);
        }
    }
}

void ScopeChannelSettings::PrepareCurves() {
    TidyOffsets();
    for (int channel = 1; channel <= kChannels; ++channel) {
        ChannelForm& form = At(channel);
        if (!form.checked) {
            continue;
        }
        CurvePlot::Channel& curve = services_.plot.At(channel);
        curve.autoScale = form.autoScale;
        if (!form.autoScale) {
            curve.scale = ScaleText::Parse(form.scaleText);
            curve.offset = ReadLeadingReal(form.offsetText);
        }
        RecomputeCoefficient(channel);
    }
}

void ScopeChannelSettings::RefreshFields() {
    for (int channel = 1; channel <= kChannels; ++channel) {
        At(channel).scaleText = ScaleText::Format(services_.plot.At(channel).scale);
        At(channel).offsetText = ScopePrintf("%.3f", services_.plot.At(channel).offset);
    }
}

ScopeChannelSettings::Readout ScopeChannelSettings::CursorReadout(int channel,
                                                                  int32_t samplePeriod) {
    Readout readout;
    if (!Valid(channel)) {
        return readout;
    }
    ChannelForm& form = At(channel);
    const ScopeItem* item = Item(channel);
    if (!form.checked || item == nullptr || form.unit < 0 ||
        form.unit >= static_cast<int>(form.units.size())) {
        return readout;
    }
    const std::string& label = form.units[static_cast<size_t>(form.unit)];
    readout.dataUnit = label;
    uint32_t address = ScopeItemCode::Address(item->code);
    auto valueText = [&](double value) {
        auto raw = static_cast<uint32_t>(static_cast<int64_t>(std::trunc(value)));
        return services_.units.RawToText(services_.owner, address, label, raw).value_or("0");
    };
    const CurvePlot& plot = services_.plot;
    int cursors = plot.CursorCount();
    std::array<std::optional<PlotReading>, 2> readings;
    for (int cursor = 1; cursor <= cursors; ++cursor) {
        readings[static_cast<size_t>(cursor - 1)] =
            plot.ValueAt(channel, plot.CursorPosition(cursor));
    }
    double divisor = 1.0;
    if (readings[0]) {
        double t = readings[0]->sample * samplePeriod * 62.5;
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
                ScopePrintf("%.2f", readings[i]->sample * samplePeriod * 62.5 / divisor);
            readout.cells[i * 2 + 1] = valueText(readings[i]->value);
        }
    }
    if (readings[0] && readings[1]) {
        double t1 = readings[0]->sample;
        double t2 = readings[1]->sample;
        readout.cells[4] = ScopePrintf("%.2f", std::fabs(t2 - t1) * samplePeriod * 62.5 / divisor);
        const PlotReading& earlier = t1 <= t2 ? *readings[0] : *readings[1];
        const PlotReading& later = t1 <= t2 ? *readings[1] : *readings[0];
        readout.cells[5] = valueText(std::trunc(later.value) - std::trunc(earlier.value));
    }
    return readout;
}

ScopeChannelSettings::Measurements ScopeChannelSettings::Measure(int channel,
                                                                 int32_t samplePeriod) const {
    Measurements out;
    if (!Valid(channel) || !At(channel).checked) {
        return out;
    }
    const ChannelForm& form = At(channel);
    const CurvePlot& plot = services_.plot;
    bool between = plot.CursorCount() == 2;
    int x1 = between ? plot.CursorPosition(1) : 1;
    int x2 = between ? plot.CursorPosition(2) : plot.InnerWidth();
    std::optional<PlotMeasurement> m = plot.Measure(channel, x1, x2);
    if (!m) {
        return out;
    }
    // In the unit shown, as the curve is drawn: raw values times the unit's coefficient.
    double coefficient = plot.At(channel).coefficient;
    auto text = [](double value) { return ShortNumberText(ScopePrintf("%.6f", value)); };
    double low = std::min(m->minimum * coefficient, m->maximum * coefficient);
    double high = std::max(m->minimum * coefficient, m->maximum * coefficient);
    out.minimum = text(low);
    out.maximum = text(high);
    out.mean = text(m->mean * coefficient);
    out.peakToPeak = text(high - low);
    out.unit = form.unit >= 0 && form.unit < static_cast<int>(form.units.size())
                   ? form.units[static_cast<size_t>(form.unit)]
                   : "DEC";
    if (between) {
        auto first = plot.ValueAt(channel, x1);
        auto second = plot.ValueAt(channel, x2);
        if (first && second) {
            double us = std::fabs(second->sample - first->sample) * samplePeriod * 62.5;
            out.time = us >= 1e6   ? ScopePrintf("%.3f s", us / 1e6)
                       : us >= 1e3 ? ScopePrintf("%.3f ms", us / 1e3)
                                   : ScopePrintf("%.2f us", us);
        }
    }
    out.valid = true;
    return out;
}

TimeTableColumn ScopeChannelSettings::TableColumn(int channel) {
    TimeTableColumn column;
    column.channel = channel;
    const ScopeItem* item = Valid(channel) ? Item(channel) : nullptr;
    const ChannelForm& form = At(Valid(channel) ? channel : 1);
    std::string unit = "DEC";
    if (item != nullptr && form.unit >= 0 && form.unit < static_cast<int>(form.units.size())) {
        unit = form.units[static_cast<size_t>(form.unit)];
    }
    column.name = item != nullptr ? item->name : "";
    column.unit = unit;
    double coefficient = services_.plot.At(channel).coefficient;
    if (item == nullptr || unit == "DEC" || unit == "HEX" || unit == "N*1") {
        column.value = [](double raw) { return ScopePrintf("%.0f", raw); };
        return column;
    }
    uint32_t address = ScopeItemCode::Address(item->code);
    column.value = [this, address, unit, coefficient](double raw) {
        auto bits = static_cast<uint32_t>(static_cast<int64_t>(std::trunc(raw)));
        return services_.units.RawToText(services_.owner, address, unit, bits)
            .value_or(ScopePrintf("%f", raw * coefficient));
    };
    return column;
}

void ScopeChannelSettings::ToRecord(std::array<ScopeRecord::Channel, kChannels>& channels) const {
    for (int channel = 1; channel <= kChannels; ++channel) {
        const ChannelForm& form = At(channel);
        ScopeRecord::Channel& out = channels[static_cast<size_t>(channel - 1)];
        out.checked = form.checked;
        uint32_t own = slots_[static_cast<size_t>(channel - 1)];
        uint32_t code = own != 0 ? own : slots_[channel <= 2 ? 4 : 5];
        if (code == 0) {
            if (const ScopeItem* item = Item(channel)) {
                code = ScopeItemCode::ForSlot(item->code);
            }
        }
        const CurvePlot::Channel& curve = services_.plot.At(channel);
        out.item = static_cast<int32_t>(code);
        out.scale = curve.scale;
        out.offset = curve.offset;
        out.unitCoefficient = curve.coefficient;
        out.unit = form.unit;
        out.autoScale = form.autoScale ? 1 : 0;
    }
}

void ScopeChannelSettings::FromRecord(const std::array<ScopeRecord::Channel, kChannels>& channels) {
    for (int channel = 1; channel <= kChannels; ++channel) {
        const ScopeRecord::Channel& in = channels[static_cast<size_t>(channel - 1)];
        ChannelForm& form = At(channel);
        form.checked = in.checked;
        if (!in.checked) {
            continue;
        }
        // A code that names no object, such as the signed mark alone, is no item: no slot can
        // hold it.
        auto code = static_cast<uint32_t>(in.item);
        if (ScopeItemCode::ForSlot(code) == 0) {
            code = 0;
        }
        Assign(channel, code);
        if (code != 0) {
            size_t slot = ScopeItemCode::Width(code) >= 32 ? (channel <= 2 ? 4 : 5)
                                                           : static_cast<size_t>(channel - 1);
            slots_[slot] = ScopeItemCode::ForSlot(code);
        }
        CurvePlot::Channel& curve = services_.plot.At(channel);
        curve.scale = in.scale;
        curve.offset = in.offset;
        curve.coefficient = in.unitCoefficient;
        if (in.unit >= 0 && in.unit < static_cast<int>(form.units.size())) {
            form.unit = in.unit;
        }
        form.autoScale = in.autoScale != 0;
        curve.autoScale = form.autoScale;
    }
}

}  // namespace tarvo
