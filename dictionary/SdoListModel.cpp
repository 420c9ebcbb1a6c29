#include "dictionary/SdoListModel.h"

#include <algorithm>
#include <cstdio>

#include "dictionary/EntryFacts.h"
#include "dictionary/FactsText.h"
#include "dictionary/ObjectDictionary.h"
#include "dictionary/ValueText.h"
#include "platform/MessageBox.h"
#include "platform/MessageTarget.h"
#include "platform/TextCase.h"

namespace tarvo {

namespace {

std::string Hex(uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    return text;
}

// Only the Latin letters have a case here; Chinese text is left as it is.
void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
    for (size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

}  // namespace

SdoListModel::SdoListModel(const ObjectDictionary& dictionary, MessageBox& messageBox,
                           const FactsText* factsText)
    : dictionary_(dictionary), messageBox_(messageBox), factsText_(factsText) {}

void SdoListModel::Fill() {
    rows_.clear();
    int count = dictionary_.EntryCount();
    rows_.reserve(static_cast<size_t>(std::max(count, 0)));
    for (int position = 0; position < count; ++position) {
        std::optional<DictionaryEntry> entry = dictionary_.EntryAt(position);
        if (!entry) {
            break;
        }
        rows_.push_back({entry->key, Hex(static_cast<uint32_t>(entry->index), 4),
                         Hex(entry->subIndex, 2), std::move(entry->name)});
    }
    sortChoice_ = kSortByIndex;
    selectedRow_ = -1;
    helpRow_ = -1;
    helpText_.clear();
    ShowHelp(0);
}

std::string SdoListModel::SortKey(const Row& row, int choice) {
    return choice == kSortByName ? row.name : row.indexText + row.subText;
}

bool SdoListModel::SetSortChoice(int choice) {
    if (choice == sortChoice_ || (choice != kSortByIndex && choice != kSortByName)) {
        return false;
    }
    sortChoice_ = choice;
    // Texts compare by their character codes (UTF-8 bytes order like code points), so
    // upper-case letters come before lower-case ones.
    std::vector<std::pair<std::string, Row>> keyed;
    keyed.reserve(rows_.size());
    for (Row& row : rows_) {
        std::string key = SortKey(row, choice);
        keyed.emplace_back(std::move(key), std::move(row));
    }
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (size_t i = 0; i < keyed.size(); ++i) {
        rows_[i] = std::move(keyed[i].second);
    }
    // The selected row now holds another entry: its help follows.
    helpRow_ = -1;
    ShowHelp(selectedRow_ >= 0 ? selectedRow_ : 0);
    return true;
}

std::optional<int> SdoListModel::FindNext(std::string_view text) {
    if (text.empty()) {
        searchText_.clear();
        return std::nullopt;
    }
    std::string lower = Lower(text);
    if (lower != searchText_) {
        searchText_ = lower;
        lastMatch_ = -1;
    }
    const int count = RowCount();
    if (lastMatch_ >= count) {
        lastMatch_ = -1;
    }
    const int start = lastMatch_ + 1;
    // From the row after the last match to the end, then from the top up to and including
    // that match: every row is looked at once.
    const int examined = lastMatch_ >= 0 ? count : count - start;
    for (int step = 0; step < examined; ++step) {
        int row = (start + step) % std::max(count, 1);
        if (Lower(rows_[static_cast<size_t>(row)].name).find(searchText_) != std::string::npos) {
            lastMatch_ = row;
            Select(row);
            return row;
        }
    }
    messageBox_.Show(kNotFound);
    return std::nullopt;
}

bool SdoListModel::NameContains(std::string_view name, std::string_view text) {
    return Lower(name).find(Lower(text)) != std::string::npos;
}

bool SdoListModel::Select(int row) {
    if (row < 0 || row >= RowCount()) {
        selectedRow_ = -1;
        return false;
    }
    selectedRow_ = row;
    return row != helpRow_ && ShowHelp(row);
}

bool SdoListModel::ShowHelp(int row) {
    if (row < 0 || row >= RowCount()) {
        return false;
    }
    std::optional<DictionaryEntry> entry =
        dictionary_.FindEntry(rows_[static_cast<size_t>(row)].key);
    if (!entry) {
        return false;
    }
    helpRow_ = row;
    helpText_ = EntryHelp(*entry);
    const EntryFacts* facts = dictionary_.FactsOf(entry->key);
    std::string lines =
        facts != nullptr && factsText_ != nullptr ? factsText_->HelpLines(*facts) : std::string();
    if (!lines.empty()) {
        ReplaceAll(lines, "\n", "\r\n");
        // One blank line between the help and the facts, however the help ends.
        while (!helpText_.empty() && (helpText_.back() == '\n' || helpText_.back() == '\r')) {
            helpText_.pop_back();
        }
        helpText_ += "\r\n\r\n" + lines;
    }
    return true;
}

void SdoListModel::TakeValue(uint32_t key, uint32_t raw) {
    std::optional<DictionaryEntry> entry = dictionary_.FindEntry(key);
    std::optional<double> number =
        entry ? ValueText::RawToNumber(entry->dataType, raw) : std::nullopt;
    if (number) {
        values_[key] = {static_cast<int64_t>(*number), true};
    }
}

void SdoListModel::TakeRefusal(uint32_t key) {
    values_[key] = {std::nullopt, true};
}

void SdoListModel::AgeValues() {
    for (auto& [key, value] : values_) {
        value.fresh = false;
    }
}

const SdoListModel::ShownValue* SdoListModel::ValueOfRow(int row) const {
    if (row < 0 || row >= RowCount()) {
        return nullptr;
    }
    auto found = values_.find(rows_[static_cast<size_t>(row)].key);
    return found != values_.end() ? &found->second : nullptr;
}

std::string SdoListModel::ValueText(int row) const {
    const ShownValue* value = ValueOfRow(row);
    if (value == nullptr) {
        return {};
    }
    if (!value->raw) {
        return kRefused;
    }
    const EntryFacts* facts = FactsOfRow(row);
    return facts != nullptr ? facts->CodeText(*value->raw) : std::to_string(*value->raw);
}

bool SdoListModel::ValueIsFresh(int row) const {
    const ShownValue* value = ValueOfRow(row);
    return value != nullptr && value->fresh;
}

std::optional<int64_t> SdoListModel::RawValue(int row) const {
    const ShownValue* value = ValueOfRow(row);
    return value != nullptr ? value->raw : std::nullopt;
}

const EntryFacts* SdoListModel::FactsOfRow(int row) const {
    return row >= 0 && row < RowCount() ? dictionary_.FactsOf(rows_[static_cast<size_t>(row)].key)
                                        : nullptr;
}

bool SdoListModel::CanRead(int row) const {
    if (row < 0 || row >= RowCount()) {
        return false;
    }
    std::optional<DictionaryEntry> entry =
        dictionary_.FindEntry(rows_[static_cast<size_t>(row)].key);
    return entry && ValueText::TypeWidth(entry->dataType) != 0;
}

std::optional<uint32_t> SdoListModel::Pick(MessageTarget* target) const {
    if (selectedRow_ < 0 || selectedRow_ >= RowCount() || target == nullptr) {
        return std::nullopt;
    }
    uint32_t key = rows_[static_cast<size_t>(selectedRow_)].key;
    target->onMessage(WM_OBJECT_PICKED, 0, static_cast<intptr_t>(key));
    return key;
}

std::string SdoListModel::EntryHelp(const DictionaryEntry& entry) {
    std::string text = "\r\n\r\n";
    text += "Index: 0x" + Hex(static_cast<uint32_t>(entry.index), 4);
    text += "\r\nSub Index: 0x" + Hex(entry.subIndex, 2);
    text += "\r\nName: " + entry.name;
    text += "\r\nData Type: " + entry.dataType;
    text += "\r\nAttribute: ";
    if (!entry.HasAttribute('W') && !entry.HasAttribute('L')) {
        text += "only readable";
    } else {
        if (entry.HasAttribute('L')) {
            text += "real-update ";
        }
        if (entry.HasAttribute('W')) {
            text += "write ";
        }
        if (entry.HasAttribute('S')) {
            text += "save ";
        }
        if (entry.HasAttribute('M')) {
            text += "mapping";
        }
    }
    if (entry.modbusAddress == 0) {
        text += "\r\nModbus address: none";
    } else {
        text += "\r\nModbus address: 0x" + Hex(entry.modbusAddress, 4);
    }
    std::string help = entry.help;
    ReplaceAll(help, "\n", "\r\n");
    ReplaceAll(help, "。", "。\r\n");
    text += "\r\nOperator Help:\r\n" + help;
    return text;
}

}  // namespace tarvo
