#include "oscilloscope/ScopeItemLists.h"

#include <cstdio>

#include "dictionary/ObjectDictionary.h"
#include "dictionary/ValueText.h"
#include "platform/LenientNumber.h"
#include "platform/ProfileFile.h"

namespace tarvo {

namespace {

// The addresses of a section: keys "1", "2", ... up to the first missing or zero value.
std::vector<uint32_t> SectionAddresses(const ProfileFile& file, const char* section) {
    std::vector<uint32_t> addresses;
    for (int key = 1;; ++key) {
        std::string value = file.GetString(section, std::to_string(key), "", 32);
        uint32_t address = ParseHexText(value);
        if (value.empty() || address == 0) {
            break;
        }
        addresses.push_back(address);
    }
    return addresses;
}

bool IsSignedType(const std::string& dataType) {
    return !dataType.empty() && (dataType.front() == 'I' || dataType.front() == 'i');
}

}  // namespace

std::string ScopeItemLists::Load(const std::string& iniPath) {
    ProfileFile file = ProfileFile::ReadOnce(iniPath);
    std::string problem = file.SectionProblem("trigger");
    if (problem.empty()) {
        problem = file.SectionProblem("channel");
    }
    for (uint32_t address : SectionAddresses(file, "trigger")) {
        if (auto item = MakeTriggerItem(address)) {
            InsertTrigger(std::move(*item));
        }
    }
    for (uint32_t address : SectionAddresses(file, "channel")) {
        if (auto item = MakeChannelItem(address)) {
            item->ordinal = ++commonOrdinal_;
            common_.push_back(std::move(*item));
        }
    }
    ++revision_;
    return problem;
}

std::optional<ScopeItem> ScopeItemLists::MakeTriggerItem(uint32_t address) {
    auto entry = dictionary_.FindEntry(address);
    if (!entry) {
        return std::nullopt;
    }
    int width = ValueText::TypeWidth(entry->dataType);
    if (width == 0) {
        return std::nullopt;
    }
    return ScopeItem{0, ScopeItemCode::Make(address, width, false), entry->name};
}

std::optional<ScopeItem> ScopeItemLists::MakeChannelItem(uint32_t address) {
    auto entry = dictionary_.FindEntry(address);
    if (!entry) {
        return std::nullopt;
    }
    int width = ValueText::TypeWidth(entry->dataType);
    if (width != 16 && width != 32) {
        return std::nullopt;
    }
    return ScopeItem{0, ScopeItemCode::Make(address, width, IsSignedType(entry->dataType)),
                     entry->name};
}

ScopeItem ScopeItemLists::MakeReportedItem(uint32_t code) {
    uint32_t address = ScopeItemCode::Address(code);
    if (auto entry = dictionary_.FindEntry(address)) {
        bool isSigned = IsSignedType(entry->dataType);
        return ScopeItem{0, ScopeItemCode::ForSlot(code) | (isSigned ? 1u : 0u), entry->name};
    }
    char name[16];
    std::snprintf(name, sizeof name, "%04X:%02X", static_cast<unsigned>(address >> 8),
                  static_cast<unsigned>(address & 0xFF));
    return ScopeItem{0, code, name};
}

const ScopeItem* ScopeItemLists::TriggerAt(int position) const {
    if (position < 1 || position > static_cast<int>(triggers_.size())) {
        return nullptr;
    }
    return &triggers_[position - 1];
}

int ScopeItemLists::FindTriggerAddress(uint32_t address) const {
    for (size_t i = 0; i < triggers_.size(); ++i) {
        if (ScopeItemCode::Address(triggers_[i].code) == address) {
            return static_cast<int>(i) + 1;
        }
    }
    return -1;
}

void ScopeItemLists::InsertTrigger(ScopeItem item) {
    item.ordinal = ++triggerOrdinal_;
    triggers_.insert(triggers_.begin(), std::move(item));
    ++revision_;
}

int ScopeItemLists::ChannelBoxSize(int channel) const {
    return ValidChannel(channel) ? static_cast<int>(Own(channel).size() + common_.size()) : 0;
}

const ScopeItem* ScopeItemLists::ChannelAt(int channel, int position) const {
    if (!ValidChannel(channel) || position < 0) {
        return nullptr;
    }
    auto own = static_cast<size_t>(position);
    if (own < Own(channel).size()) {
        return &Own(channel)[own];
    }
    size_t common = own - Own(channel).size();
    return common < common_.size() ? &common_[common] : nullptr;
}

int ScopeItemLists::FindChannelCode(int channel, uint32_t code) const {
    for (int position = 0; position < ChannelBoxSize(channel); ++position) {
        if (ScopeItemCode::ForSlot(ChannelAt(channel, position)->code) ==
            ScopeItemCode::ForSlot(code)) {
            return position;
        }
    }
    return -1;
}

int ScopeItemLists::FindChannelAddress(int channel, uint32_t address) const {
    for (int position = 0; position < ChannelBoxSize(channel); ++position) {
        if (ScopeItemCode::Address(ChannelAt(channel, position)->code) == address) {
            return position;
        }
    }
    return -1;
}

void ScopeItemLists::InsertChannelItem(int channel, ScopeItem item) {
    if (!ValidChannel(channel)) {
        return;
    }
    item.ordinal = ++ownOrdinal_[channel - 1];
    Own(channel).insert(Own(channel).begin(), std::move(item));
    ++revision_;
}

std::vector<std::string> ScopeItemLists::TriggerNames(const std::string& manualText) const {
    std::vector<std::string> names{manualText};
    for (const ScopeItem& item : triggers_) {
        names.push_back(item.name);
    }
    return names;
}

std::vector<std::string> ScopeItemLists::ChannelNames(int channel) const {
    std::vector<std::string> names;
    for (int position = 0; position < ChannelBoxSize(channel); ++position) {
        names.push_back(ChannelAt(channel, position)->name);
    }
    return names;
}

}  // namespace tarvo
