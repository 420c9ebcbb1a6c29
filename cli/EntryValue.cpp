#include "cli/EntryValue.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <regex>

#include "cli/ArgumentText.h"
#include "cli/EntryLookup.h"
#include "dictionary/UnitTable.h"
#include "dictionary/ValueText.h"

namespace tarvo {

namespace {

bool IsFixed(const std::string& unit) {
    return unit.empty() || unit == "DEC" || unit == "HEX";
}

std::string Joined(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& word : words) {
        text += (text.empty() ? "" : ", ") + word;
    }
    return text.empty() ? "none" : text;
}

}  // namespace

EntryValue::EntryValue(ReadReference readReference)
    : readReference_(std::move(readReference)), evaluator_(noRequests_, noWindow_, nullptr) {}

int EntryValue::Width(const DictionaryEntry& entry) {
    return ValueText::TypeWidth(entry.dataType);
}

std::string EntryValue::DefaultUnit(const DictionaryEntry& entry) {
    auto definitions = UnitTable::ParseUnitSpec(entry.unitSpec);
    return definitions.empty() ? std::string() : definitions.front().Label();
}

std::vector<std::string> EntryValue::ReadUnits(const DictionaryEntry& entry) {
    std::vector<std::string> units;
    for (const UnitDefinition& definition : UnitTable::ParseUnitSpec(entry.unitSpec)) {
        if (std::find(units.begin(), units.end(), definition.Label()) == units.end()) {
            units.push_back(definition.Label());
        }
    }
    return units;
}

std::vector<std::string> EntryValue::WriteUnits(const DictionaryEntry& entry) {
    std::vector<std::string> units;
    for (const UnitDefinition& definition : UnitTable::ParseUnitSpec(entry.unitSpec)) {
        if (definition.secondWord.empty() && !IsFixed(definition.firstWord)) {
            units.push_back(definition.firstWord);
        }
    }
    return units;
}

bool EntryValue::ResolveReferences(const std::string& formula, std::string& error) {
    static const std::regex kReference("\\[([0-9A-Fa-f]{8})\\]");
    for (std::sregex_iterator it(formula.begin(), formula.end(), kReference), end; it != end;
         ++it) {
        uint32_t key = static_cast<uint32_t>(std::stoul((*it)[1].str(), nullptr, 16)) >> 8;
        if (evaluator_.HasConstant(key)) {
            continue;
        }
        std::optional<int32_t> value = readReference_ ? readReference_(key) : std::nullopt;
        if (!value) {
            error = "the unit's formula needs " + EntryLookup::KeyText(key) +
                    ", which could not be read";
            return false;
        }
        evaluator_.AddConstant(key, *value);
    }
    return true;
}

bool EntryValue::Show(const DictionaryEntry& entry, uint32_t raw, const std::string& unit,
                      std::string& text, std::string& error) {
    int width = Width(entry);
    if (unit == "HEX") {
        uint32_t mask = width == 8 ? 0xFF : width == 16 ? 0xFFFF : 0xFFFFFFFF;
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%X", raw & mask);
        text = hex;
        return true;
    }
    std::optional<double> number = ValueText::RawToNumber(entry.dataType, raw);
    if (unit.empty() || unit == "DEC" || !number) {
        if (!IsFixed(unit)) {
            error = "unit " + unit + " needs an entry of the dictionary with a data type";
            return false;
        }
        text = number ? ValueText::NumberToText("DEC", entry.dataType, "", *number)
                      : std::to_string(raw);
        return true;
    }
    for (const UnitDefinition& definition : UnitTable::ParseUnitSpec(entry.unitSpec)) {
        if (definition.Label() != unit) {
            continue;
        }
        double value = *number;
        if (!definition.secondWord.empty()) {
            if (!ResolveReferences(definition.formula, error)) {
                return false;
            }
            FormulaResult result = evaluator_.EvaluateReal(nullptr, definition.formula, value);
            if (!result) {
                error =
                    "the formula " + definition.formula + " of unit " + unit + " gives no value";
                return false;
            }
            value = result.value;
        }
        text = ValueText::NumberToText(unit, entry.dataType, definition.formula, value);
        return true;
    }
    error = "unit " + unit + " is not one of " + EntryLookup::KeyText(entry.key) +
            "'s: " + Joined(ReadUnits(entry));
    return false;
}

bool EntryValue::Parse(const DictionaryEntry& entry, const std::string& text,
                       const std::string& unit, int width, uint32_t& raw, std::string& error) {
    if (IsFixed(unit)) {
        if (!ArgumentText::ParseValue(text, width, raw)) {
            error = "\"" + text + "\" is no whole number that fits in " + std::to_string(width) +
                    " bits";
            return false;
        }
        return true;
    }
    char* end = nullptr;
    double number = std::strtod(text.c_str(), &end);
    if (text.empty() || end == nullptr || *end != '\0' || !std::isfinite(number)) {
        error = "\"" + text + "\" is not a number";
        return false;
    }
    for (const UnitDefinition& definition : UnitTable::ParseUnitSpec(entry.unitSpec)) {
        if (!definition.secondWord.empty() || definition.firstWord != unit) {
            continue;
        }
        if (!ResolveReferences(definition.formula, error)) {
            return false;
        }
        FormulaResult result = evaluator_.EvaluateReal(nullptr, definition.formula, number);
        double value = result ? std::trunc(result.value) : 0;
        bool isUnsigned = ValueText::IsUnsignedType(entry.dataType);
        double low = isUnsigned ? 0 : -std::ldexp(1.0, width - 1);
        double high = isUnsigned ? std::ldexp(1.0, width) - 1 : std::ldexp(1.0, width - 1) - 1;
        if (!result || value < low || value > high) {
            error = text + " " + unit + " does not fit " + EntryLookup::KeyText(entry.key) + " (" +
                    entry.dataType + ")";
            return false;
        }
        uint64_t bits = static_cast<uint64_t>(static_cast<int64_t>(value));
        raw = static_cast<uint32_t>(width == 32 ? bits : bits & ((1ull << width) - 1));
        return true;
    }
    error = "unit " + unit + " cannot be written to " + EntryLookup::KeyText(entry.key) +
            "; its write units: " + Joined(WriteUnits(entry));
    return false;
}

}  // namespace tarvo
