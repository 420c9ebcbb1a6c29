#include "oscilloscope/ScopeTriggerSettings.h"

#include "oscilloscope/ScopeItemLists.h"
#include "oscilloscope/ScopeRecordFile.h"
#include "oscilloscope/ScopeUnits.h"

namespace tarvo {

ScopeTriggerSettings::ScopeTriggerSettings(TriggerForm& form, Services services)
    : form_(form), services_(services) {}

void ScopeTriggerSettings::SourceReported(uint32_t code) {
    if (code == 0) {
        form_.position = 0;
        form_.levelEnabled = false;
        return;
    }
    ScopeItemLists& lists = services_.lists;
    form_.levelEnabled = true;
    form_.address = ScopeItemCode::Address(code);
    int position = -1;
    for (int p = 1; p < lists.TriggerBoxSize(); ++p) {
        if (ScopeItemCode::ForSlot(lists.TriggerAt(p)->code) == ScopeItemCode::ForSlot(code)) {
            position = p;
            break;
        }
    }
    if (position < 0) {
        auto item = lists.MakeTriggerItem(form_.address);
        lists.InsertTrigger(item ? *item : lists.MakeReportedItem(code));
        position = 1;
    }
    form_.position = position;
    form_.units = services_.units.Choices(form_.address);
    form_.unit = static_cast<int>(form_.units.size()) - 1;
}

void ScopeTriggerSettings::SourceRefused() {
    form_.position = 0;
    form_.levelEnabled = false;
}

bool ScopeTriggerSettings::LevelReported(uint32_t raw) {
    if (form_.units.empty()) {
        form_.units.push_back("DEC");
        form_.unit = 0;
    }
    if (form_.unit < 0 || form_.unit >= static_cast<int>(form_.units.size())) {
        form_.unit = static_cast<int>(form_.units.size()) - 1;
        for (size_t i = 0; i < form_.units.size(); ++i) {
            if (form_.units[i] == "DEC") {
                form_.unit = static_cast<int>(i);
            }
        }
    }
    const std::string& label = form_.units[static_cast<size_t>(form_.unit)];
    auto text = services_.units.RawToText(services_.owner, form_.address, label, raw);
    if (!text) {
        return false;
    }
    form_.level = *text;
    return true;
}

int ScopeTriggerSettings::Pick(uint32_t address) {
    ScopeItemLists& lists = services_.lists;
    int position = lists.FindTriggerAddress(address);
    if (position < 0) {
        auto item = lists.MakeTriggerItem(address);
        if (!item) {
            return -1;
        }
        lists.InsertTrigger(std::move(*item));
        position = 1;
    }
    form_.position = position;
    return position;
}

std::optional<uint32_t> ScopeTriggerSettings::LevelRaw(const std::string& text) {
    if (form_.position == 0) {
        return std::nullopt;
    }
    std::string label = form_.unit >= 0 && form_.unit < static_cast<int>(form_.units.size())
                            ? form_.units[static_cast<size_t>(form_.unit)]
                            : std::string();
    return services_.units.TextToRaw(services_.owner, form_.address, label, text);
}

bool ScopeTriggerSettings::SelectUnit(int position) {
    if (position < 0 || position >= static_cast<int>(form_.units.size())) {
        return false;
    }
    form_.unit = position;
    return true;
}

void ScopeTriggerSettings::ToRecord(ScopeRecord& record) const {
    record.triggerItem = form_.position;
    record.triggerItemValue = static_cast<int32_t>(form_.address);
    record.triggerCollectValue = form_.level;
    record.triggerCollectUnit = form_.unit;
}

void ScopeTriggerSettings::FromRecord(const ScopeRecord& record) {
    if (record.triggerItem == 0) {
        form_.position = 0;
        form_.levelEnabled = false;
        return;
    }
    ScopeItemLists& lists = services_.lists;
    auto address = static_cast<uint32_t>(record.triggerItemValue);
    int position = lists.FindTriggerAddress(address);
    if (position < 0) {
        auto item = lists.MakeTriggerItem(address);
        lists.InsertTrigger(item ? *item : lists.MakeReportedItem(address << 8 | 32));
        position = 1;
    }
    form_.position = position;
    form_.address = address;
    form_.levelEnabled = true;
    form_.units = services_.units.Choices(address);
    form_.level = record.triggerCollectValue;
    form_.unit = record.triggerCollectUnit >= 0 &&
                         record.triggerCollectUnit < static_cast<int>(form_.units.size())
                     ? record.triggerCollectUnit
                     : static_cast<int>(form_.units.size()) - 1;
}

}  // namespace tarvo
