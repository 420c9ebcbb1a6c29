#include "cli/EntryValue.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "cli/ArgumentText.h"
#include "cli/EntryLookup.h"
#include "dictionary/LeadingNumber.h"
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

EntryValue::EntryValue(ReadReference readReference) : converter_(std::move(readReference)) {}

int EntryValue::Width(const DictionaryEntry& entry) {
    return UnitConverter::TypeWidth(entry.dataType);
}

int64_t EntryValue::Number(const DictionaryEntry& entry, uint32_t raw) {
    // Exact: every widened value of 32 bits or fewer is a whole double.
    std::optional<double> widened = UnitConverter::Widen(entry.dataType, raw);
    return widened ? static_cast<int64_t>(*widened) : static_cast<int64_t>(raw);
}

std::string EntryValue::NameSuffix(const EntryFacts* facts, const DictionaryEntry& entry,
                                   uint32_t raw) {
    const std::string* name = facts != nullptr ? facts->NameOf(Number(entry, raw)) : nullptr;
    return name != nullptr ? " (" + *name + ")" : std::string();
}

std::optional<int64_t> EntryValue::CodeOfName(const EntryFacts* facts, const std::string& name) {
    if (facts == nullptr) {
        return std::nullopt;
    }
    auto lower = [](std::string text) {
        for (char& c : text) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        return text;
    };
    for (const ValueName& code : facts->valueNames) {
        if (lower(code.name) == lower(name)) {
            return code.value;
        }
    }
    return std::nullopt;
}

std::string EntryValue::RangeProblem(const EntryFacts* facts, const DictionaryEntry& entry,
                                     uint32_t raw, const std::string& typedInUnit) {
    const int64_t number = Number(entry, raw);
    if (facts == nullptr || facts->InRange(number)) {
        return {};
    }
    const std::string key = EntryLookup::KeyText(entry.key);
    std::string value = typedInUnit.empty() ? std::to_string(number)
                                            : typedInUnit + " (raw " + std::to_string(number) + ")";
    return key + ": " + value + " is out of range for " + key +
           (entry.name.empty() ? "" : " " + entry.name) + " (" + facts->RangeText() + ")";
}

std::string EntryValue::DefaultUnit(const DictionaryEntry& entry) {
    auto definitions = UnitTable::ParseUnitSpec(entry.unitSpec);
    return definitions.empty() ? std::string() : definitions.front().Label();
}

std::vector<std::string> EntryValue::ReadUnits(const DictionaryEntry& entry) {
    return UnitConverter::Labels(UnitTable::ParseUnitSpec(entry.unitSpec));
}

std::vector<std::string> EntryValue::WriteUnits(const DictionaryEntry& entry) {
    return UnitConverter::WriteLabels(UnitTable::ParseUnitSpec(entry.unitSpec));
}

std::string EntryValue::Failure(const UnitValue& converted, const std::string& unit) {
    if (converted.status == UnitValue::Status::kAwaitingReference) {
        return "the unit's formula needs " + EntryLookup::KeyText(converted.awaitedKey) +
               ", which could not be read";
    }
    return "the formula " + converted.formula + " of unit " + unit + " gives no value";
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
    std::optional<double> number = UnitConverter::Widen(entry.dataType, raw);
    if (unit.empty() || unit == "DEC" || !number) {
        if (!IsFixed(unit)) {
            error = "unit " + unit + " needs an entry of the dictionary with a data type";
            return false;
        }
        text = number ? UnitConverter::DecimalText(entry.dataType, TruncateToInt32(*number))
                            .value_or(std::to_string(raw))
                      : std::to_string(raw);
        return true;
    }
    converter_->Register(entry.key, entry.unitSpec);
    UnitValue shown =
        converter_->ToUnit(nullptr, entry.key, unit, *number, UnitConverter::OnWait::kStop);
    if (shown.status == UnitValue::Status::kNoDefinition) {
        error = "unit " + unit + " is not one of " + EntryLookup::KeyText(entry.key) +
                "'s: " + Joined(ReadUnits(entry));
        return false;
    }
    if (!shown) {
        error = Failure(shown, unit);
        return false;
    }
    text = ValueText::NumberToText(unit, entry.dataType, shown.formula, shown.value);
    return true;
}

bool EntryValue::Parse(const DictionaryEntry& entry, const std::string& text,
                       const std::string& unit, int width, uint32_t& raw, std::string& error) {
    if (IsFixed(unit)) {
        uint32_t bits = 0;
        if (!ArgumentText::ParseValue(text, width, bits)) {
            error = "\"" + text + "\" is no whole number that fits in " + std::to_string(width) +
                    " bits";
            return false;
        }
        // A decimal number must also be one of the entry's values (-5 is no UNSIGNED32);
        // a hexadecimal one gives the bits themselves.
        bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
        if (!hex && ValueText::TypeWidth(entry.dataType) == width) {
            std::string problem =
                ValueText::RangeProblem(entry.dataType, std::strtod(text.c_str(), nullptr));
            if (!problem.empty()) {
                error = EntryLookup::KeyText(entry.key) + ": " + problem;
                return false;
            }
        }
        raw = bits;
        return true;
    }
    char* end = nullptr;
    double number = std::strtod(text.c_str(), &end);
    if (text.empty() || end == nullptr || *end != '\0' || !std::isfinite(number)) {
        error = "\"" + text + "\" is not a number";
        return false;
    }
    converter_->Register(entry.key, entry.unitSpec);
    std::vector<UnitValue> written =
        converter_->ToRaw(nullptr, entry.key, unit, number, UnitConverter::Writes::kFirst);
    if (written.empty()) {
        error = "unit " + unit + " cannot be written to " + EntryLookup::KeyText(entry.key) +
                "; its write units: " + Joined(WriteUnits(entry));
        return false;
    }
    const UnitValue& result = written.front();
    if (result.status == UnitValue::Status::kAwaitingReference) {
        error = Failure(result, unit);
        return false;
    }
    double value = result ? std::trunc(result.value) : 0;
    bool isUnsigned = UnitConverter::IsUnsignedType(entry.dataType);
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

}  // namespace tarvo
