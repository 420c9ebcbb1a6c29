#include "dictionary/UnitTable.h"

#include <new>

#include "dictionary/ValueMessages.h"
#include "platform/MessageBox.h"
#include "platform/TextCodec.h"

namespace tarvo {

namespace {

// Characters a formula may hold; the first other character ends it and is the separator.
bool IsFormulaCharacter(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || c == 'N' || c == 's' || c == 'q' ||
           c == 'r' || c == 't' || c == '.' || c == '*' || c == '/' || c == '+' || c == '-' ||
           c == '[' || c == ']' || c == '(' || c == ')';
}

}  // namespace

std::vector<UnitDefinition> UnitTable::ParseUnitSpec(std::string_view unitSpec) {
    std::vector<UnitDefinition> definitions;
    std::string_view rest = unitSpec;
    while (definitions.size() < kMaxDefinitions) {
        size_t open = rest.find('[');
        if (open == std::string_view::npos) {
            break;
        }
        // The closing bracket is looked for after the opening one, so that a stray "]" in
        // front of it can never make the words span backwards.
        size_t close = rest.find(']', open + 1);
        if (close == std::string_view::npos) {
            break;
        }
        UnitDefinition definition;
        std::string_view words = rest.substr(open + 1, close - open - 1);
        size_t blank = words.find(' ');
        if (blank == std::string_view::npos) {
            definition.firstWord = words;
        } else {
            definition.firstWord = words.substr(0, blank);
            definition.secondWord = words.substr(blank + 1);
        }
        rest.remove_prefix(close + 1);
        size_t length = 0;
        while (length < rest.size() && IsFormulaCharacter(rest[length])) {
            ++length;
        }
        definition.formula = rest.substr(0, length);
        definitions.push_back(std::move(definition));
        rest.remove_prefix(length);
        if (!rest.empty()) {
            rest.remove_prefix(1);  // the separator
        }
    }
    return definitions;
}

bool UnitTable::RegisterUnits(uint32_t key, std::string_view unitSpec, std::string& defaultLabel) {
    auto known = positions_.find(key);
    if (known != positions_.end()) {
        Report(records_[known->second], defaultLabel);
        return true;
    }
    try {
        Registration registration;
        registration.record.key = key;
        registration.record.definitions = ParseUnitSpec(unitSpec);
        registration.record.count = static_cast<uint8_t>(registration.record.definitions.size());
        if (TextCodec::Utf16Length(unitSpec) < 3) {
            registration.defaultLabel = "DEC";
        } else if (registration.record.definitions.empty()) {
            registration.labelMissing = true;
        } else {
            registration.defaultLabel = registration.record.definitions.front().Label();
        }
        positions_.reserve(positions_.size() + 1);
        records_.push_back(std::move(registration));
        positions_.emplace(key, records_.size() - 1);
    } catch (const std::bad_alloc&) {
        return false;
    }
    Report(records_.back(), defaultLabel);
    return true;
}

void UnitTable::Report(const Registration& registration, std::string& defaultLabel) const {
    defaultLabel = registration.defaultLabel;
    if (registration.labelMissing && messageBox_ != nullptr) {
        messageBox_->Show(ValueMessages::kNoDefaultUnit);
    }
}

const UnitRecord* UnitTable::FindRecord(uint32_t key) const {
    auto it = positions_.find(key);
    return it == positions_.end() ? nullptr : &records_[it->second].record;
}

std::vector<std::string> UnitTable::UnitChoices(uint32_t key) const {
    const UnitRecord* record = FindRecord(key);
    if (record == nullptr || record->definitions.empty()) {
        return {"DEC"};
    }
    std::vector<std::string> choices;
    bool decimalLast = false;
    for (const UnitDefinition& definition : record->definitions) {
        if (definition.secondWord == "DEC") {
            decimalLast = true;
        } else {
            choices.push_back(definition.Label());
        }
    }
    if (decimalLast) {
        choices.push_back("DEC");
    }
    return choices;
}

}  // namespace tarvo
