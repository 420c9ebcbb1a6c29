#include "dictionary/UnitConverter.h"

#include <algorithm>

#include "dictionary/FormulaEvaluator.h"
#include "dictionary/UnitTable.h"
#include "platform/LenientNumber.h"

namespace tarvo {

namespace {

bool IsFixedLabel(std::string_view label) {
    return label.empty() || label == "DEC" || label == "HEX" || label == "ASCII";
}

}  // namespace

int UnitConverter::TypeWidth(std::string_view dataType) {
    uint32_t width = ParseDecimalText(dataType);
    return width == 8 || width == 16 || width == 32 ? static_cast<int>(width) : 0;
}

bool UnitConverter::IsUnsignedType(std::string_view dataType) {
    return !dataType.empty() && (dataType.front() == 'U' || dataType.front() == 'u');
}

std::optional<double> UnitConverter::Widen(std::string_view dataType, uint32_t raw) {
    if (dataType.empty()) {
        return std::nullopt;
    }
    bool isUnsigned = IsUnsignedType(dataType);
    // Only the type's own bits carry the value: a negative value that arrives sign-extended
    // to 32 bits (as the oscilloscope's trigger level and samples do) stays negative.
    switch (TypeWidth(dataType)) {
        case 8:
            raw &= 0xFF;
            return isUnsigned || raw < 128 ? double(raw) : double(raw) - 256.0;
        case 16:
            raw &= 0xFFFF;
            return isUnsigned || raw < 32768 ? double(raw) : double(raw) - 65536.0;
        case 32:
            return isUnsigned ? double(raw) : double(static_cast<int32_t>(raw));
        default:
            return std::nullopt;
    }
}

std::optional<std::string> UnitConverter::DecimalText(std::string_view dataType, int32_t value) {
    switch (TypeWidth(dataType)) {
        case 8:
        case 16:
            return std::to_string(value);
        case 32:
            return IsUnsignedType(dataType) ? std::to_string(static_cast<uint32_t>(value))
                                            : std::to_string(value);
        default:
            return std::nullopt;
    }
}

std::vector<std::string> UnitConverter::Labels(const std::vector<UnitDefinition>& definitions) {
    std::vector<std::string> labels;
    for (const UnitDefinition& definition : definitions) {
        if (std::find(labels.begin(), labels.end(), definition.Label()) == labels.end()) {
            labels.push_back(definition.Label());
        }
    }
    return labels;
}

std::vector<std::string> UnitConverter::WriteLabels(
    const std::vector<UnitDefinition>& definitions) {
    std::vector<std::string> labels;
    for (const UnitDefinition& definition : definitions) {
        if (definition.secondWord.empty() && !IsFixedLabel(definition.firstWord)) {
            labels.push_back(definition.firstWord);
        }
    }
    return labels;
}

const UnitRecord* UnitConverter::Register(uint32_t key, std::string_view unitSpec) {
    std::string defaultLabel;
    units_.RegisterUnits(key, unitSpec, defaultLabel);
    return units_.FindRecord(key);
}

const UnitDefinition* UnitConverter::FirstDefinition(uint32_t key, std::string_view label) const {
    const UnitRecord* record = units_.FindRecord(key);
    if (record == nullptr) {
        return nullptr;
    }
    for (const UnitDefinition& definition : record->definitions) {
        if (definition.Label() == label) {
            return &definition;
        }
    }
    return nullptr;
}

UnitValue UnitConverter::Evaluate(MessageTarget* owner, const std::string& formula, double value) {
    for (;;) {
        FormulaResult result = evaluator_.EvaluateReal(owner, formula, value);
        UnitValue converted;
        converted.value = result.value;
        converted.formula = formula;
        switch (result.status) {
            case FormulaStatus::kDone:
                converted.status = UnitValue::Status::kDone;
                return converted;
            case FormulaStatus::kNoResult:
                converted.status = UnitValue::Status::kNoResult;
                return converted;
            case FormulaStatus::kAwaitingReference:
                converted.status = UnitValue::Status::kAwaitingReference;
                converted.awaitedKey = result.awaitedKey;
                break;
        }
        std::optional<int32_t> known =
            reader_ ? reader_(result.awaitedKey) : std::optional<int32_t>();
        if (!known) {
            return converted;
        }
        evaluator_.AddConstant(result.awaitedKey, *known);
        if (!evaluator_.HasConstant(result.awaitedKey)) {
            return converted;  // no memory for the constant: it would be asked for forever
        }
    }
}

UnitValue UnitConverter::ToUnit(MessageTarget* owner, uint32_t key, std::string_view label,
                                double value, OnWait onWait) {
    UnitValue outcome;
    const UnitRecord* record = units_.FindRecord(key);
    if (record == nullptr) {
        return outcome;
    }
    for (const UnitDefinition& definition : record->definitions) {
        if (definition.secondWord.empty()) {
            if (definition.firstWord == label) {
                // A write definition hands its formula back; the value stays as it is.
                return {UnitValue::Status::kDone, value, definition.formula};
            }
            continue;
        }
        if (definition.secondWord != label) {
            continue;
        }
        UnitValue converted = Evaluate(owner, definition.formula, value);
        if (converted.status != UnitValue::Status::kAwaitingReference || onWait == OnWait::kStop) {
            return converted;
        }
        // Shown again once the referenced value has arrived.
        evaluator_.SetPending(key, SdoCommand::Read, value, definition.formula);
        outcome = std::move(converted);
    }
    return outcome;
}

std::vector<UnitValue> UnitConverter::ToRaw(MessageTarget* owner, uint32_t key,
                                            std::string_view label, double number, Writes writes) {
    std::vector<UnitValue> results;
    const UnitRecord* record = units_.FindRecord(key);
    if (record == nullptr) {
        return results;
    }
    for (const UnitDefinition& definition : record->definitions) {
        if (!definition.secondWord.empty() || definition.firstWord != label) {
            continue;
        }
        results.push_back(Evaluate(owner, definition.formula, number));
        if (writes == Writes::kFirst) {
            break;
        }
    }
    return results;
}

}  // namespace tarvo
