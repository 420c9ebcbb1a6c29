#include "oscilloscope/ScopeUnits.h"

#include <algorithm>
#include <cstdio>

#include "dictionary/LeadingNumber.h"
#include "dictionary/ObjectDictionary.h"
#include "dictionary/UnitTable.h"
#include "platform/LenientNumber.h"

namespace tarvo {

std::vector<std::string> ScopeUnits::Choices(uint32_t address) {
    auto entry = dictionary_.FindEntry(address);
    if (entry) {
        converter_.Register(address, entry->unitSpec);
    }
    std::vector<std::string> choices;
    if (const UnitRecord* record = units_.FindRecord(address)) {
        choices = UnitConverter::Labels(record->definitions);
        choices.erase(std::remove(choices.begin(), choices.end(), "DEC"), choices.end());
    }
    choices.push_back("DEC");
    return choices;
}

std::string ScopeUnits::DataType(uint32_t address) const {
    auto entry = dictionary_.FindEntry(address);
    return entry ? entry->dataType : "UNSIGNED32";
}

std::string ScopeUnits::DecimalText(const std::string& dataType, uint32_t raw) const {
    std::optional<double> number = UnitConverter::Widen(dataType, raw);
    if (!number) {
        return std::to_string(raw);
    }
    return UnitConverter::DecimalText(dataType, TruncateToInt32(*number))
        .value_or(std::to_string(raw));
}

std::optional<std::string> ScopeUnits::RawToText(MessageTarget* owner, uint32_t address,
                                                 const std::string& label, uint32_t raw) {
    std::string dataType = DataType(address);
    if (label.empty() || label == "DEC") {
        return DecimalText(dataType, raw);
    }
    if (label == "HEX") {
        char text[16];
        std::snprintf(text, sizeof text, "%x", raw);
        return std::string(text);
    }
    std::optional<double> number = UnitConverter::Widen(dataType, raw);
    UnitValue shown = converter_.ToUnit(owner, address, label, number.value_or(raw),
                                        UnitConverter::OnWait::kStop);
    if (shown.status == UnitValue::Status::kNoDefinition ||
        (shown && UnitConverter::IsIdentity(shown.formula))) {
        return DecimalText(dataType, raw);
    }
    if (!shown) {
        return std::nullopt;
    }
    char text[64];
    std::snprintf(text, sizeof text, "%0.6f", shown.value);
    return std::string(text);
}

std::optional<uint32_t> ScopeUnits::TextToRaw(MessageTarget* owner, uint32_t address,
                                              const std::string& label, const std::string& text) {
    if (label == "HEX") {
        return ParseHexText(text);
    }
    const UnitDefinition* shown =
        label.empty() || label == "DEC" ? nullptr : converter_.FirstDefinition(address, label);
    if (shown == nullptr || UnitConverter::IsIdentity(shown->formula)) {
        return static_cast<uint32_t>(
            TruncateToInt32(static_cast<double>(ReadLeadingInteger(text))));
    }
    // The way back is the first definition whose only word is the unit.
    std::vector<UnitValue> written = converter_.ToRaw(owner, address, label, ReadLeadingReal(text),
                                                      UnitConverter::Writes::kFirst);
    if (written.empty() || !written.front()) {
        return std::nullopt;
    }
    return static_cast<uint32_t>(TruncateToInt32(written.front().value));
}

double ScopeUnits::Coefficient(MessageTarget* owner, uint32_t address, const std::string& label) {
    std::optional<std::string> text = RawToText(owner, address, label, 1);
    return text ? ReadLeadingReal(*text) : 1.0;
}

}  // namespace tarvo
