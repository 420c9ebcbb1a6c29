#include "oscilloscope/ScopeUnits.h"

#include <algorithm>
#include <cstdio>

#include "dictionary/FormulaEvaluator.h"
#include "dictionary/LeadingNumber.h"
#include "platform/LenientNumber.h"
#include "dictionary/ObjectDictionary.h"
#include "dictionary/UnitTable.h"
#include "dictionary/ValueText.h"

namespace tarvo {

std::vector<std::string> ScopeUnits::Choices(uint32_t address) {
    auto entry = dictionary_.FindEntry(address);
    std::string defaultLabel;
    if (entry) {
        units_.RegisterUnits(address, entry->unitSpec, defaultLabel);
    }
    std::vector<std::string> choices;
    if (const UnitRecord* record = units_.FindRecord(address)) {
        for (const UnitDefinition& definition : record->definitions) {
            const std::string& label = definition.Label();
            if (label != "DEC" &&
                std::find(choices.begin(), choices.end(), label) == choices.end()) {
                choices.push_back(label);
            }
        }
    }
    choices.push_back("DEC");
    return choices;
}

std::string ScopeUnits::DecimalText(uint32_t address, uint32_t raw) const {
    auto entry = dictionary_.FindEntry(address);
    std::string dataType = entry ? entry->dataType : "UNSIGNED32";
    std::optional<double> number = ValueText::RawToNumber(dataType, raw);
    char text[24];
    if (!number) {
        std::snprintf(text, sizeof text, "%u", raw);
    } else {
        std::snprintf(text, sizeof text, "%lld", static_cast<long long>(*number));
    }
    return text;
}

const std::string* ScopeUnits::ReadFormula(uint32_t address, const std::string& label) const {
    const UnitRecord* record = units_.FindRecord(address);
    if (record == nullptr) {
        return nullptr;
    }
    for (const UnitDefinition& definition : record->definitions) {
        if (definition.Label() == label) {
            return &definition.formula;
        }
    }
    return nullptr;
}

std::optional<std::string> ScopeUnits::RawToText(MessageTarget* owner, uint32_t address,
                                                 const std::string& label, uint32_t raw) {
    if (label.empty() || label == "DEC") {
        return DecimalText(address, raw);
    }
    if (label == "HEX") {
        char text[16];
        std::snprintf(text, sizeof text, "%x", raw);
        return std::string(text);
    }
    const std::string* formula = ReadFormula(address, label);
    if (formula == nullptr || *formula == "N*1") {
        return DecimalText(address, raw);
    }
    auto entry = dictionary_.FindEntry(address);
    std::optional<double> value =
        ValueText::RawToNumber(entry ? entry->dataType : "UNSIGNED32", raw);
    FormulaResult result = evaluator_.EvaluateReal(owner, *formula, value.value_or(raw));
    if (!result) {
        return std::nullopt;
    }
    char text[64];
    std::snprintf(text, sizeof text, "%0.6f", result.value);
    return std::string(text);
}

std::optional<uint32_t> ScopeUnits::TextToRaw(MessageTarget* owner, uint32_t address,
                                              const std::string& label, const std::string& text) {
    if (label == "HEX") {
        return ParseHexText(text);
    }
    const std::string* formula =
        label.empty() || label == "DEC" ? nullptr : ReadFormula(address, label);
    if (formula == nullptr || *formula == "N*1") {
        return static_cast<uint32_t>(
            TruncateToInt32(static_cast<double>(ReadLeadingInteger(text))));
    }
    // The way back is the definition whose first word is the unit and that has no second.
    if (const UnitRecord* record = units_.FindRecord(address)) {
        for (const UnitDefinition& definition : record->definitions) {
            if (definition.secondWord.empty() && definition.firstWord == label) {
                FormulaIntegerResult result =
                    evaluator_.EvaluateInteger(owner, definition.formula, ReadLeadingReal(text));
                if (result) {
                    return static_cast<uint32_t>(result.value);
                }
                return std::nullopt;
            }
        }
    }
    return std::nullopt;
}

double ScopeUnits::Coefficient(MessageTarget* owner, uint32_t address, const std::string& label) {
    std::optional<std::string> text = RawToText(owner, address, label, 1);
    return text ? ReadLeadingReal(*text) : 1.0;
}

}  // namespace tarvo
