#include "transfer/FirstUnitText.h"

#include "dictionary/UnitTable.h"
#include "dictionary/ValueText.h"
#include "transfer/TransferValue.h"

namespace tarvo {

std::string FirstUnitText::Of(const DictionaryEntry& entry, const std::string& valueText,
                              uint32_t sizeBits) {
    auto definitions = UnitTable::ParseUnitSpec(entry.unitSpec);
    if (definitions.empty()) {
        return {};
    }
    std::string unit = definitions.front().Label();
    std::optional<uint32_t> raw = TransferValue::ParseLoadValue(valueText, sizeBits);
    if (unit.empty() || unit == "DEC" || unit == "HEX" || !raw) {
        return {};
    }
    std::optional<double> number = UnitConverter::Widen(entry.dataType, *raw);
    if (!number) {
        return {};
    }
    converter_->Register(entry.key, entry.unitSpec);
    UnitValue shown =
        converter_->ToUnit(nullptr, entry.key, unit, *number, UnitConverter::OnWait::kStop);
    if (!shown) {
        return {};
    }
    return " (" + ValueText::NumberToText(unit, entry.dataType, shown.formula, shown.value) + " " +
           unit + ")";
}

}  // namespace tarvo
