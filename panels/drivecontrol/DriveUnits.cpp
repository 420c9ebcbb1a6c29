#include "panels/drivecontrol/DriveUnits.h"

#include <cmath>

#include "dictionary/ObjectDictionary.h"
#include "dictionary/UnitConverter.h"
#include "dictionary/UnitTable.h"

namespace tarvo {

namespace {
constexpr const char* kRaw = "DEC";
}  // namespace

bool DriveUnits::Converts(uint32_t key, std::string& spec) const {
    if (dictionary_ == nullptr || units_ == nullptr || formulas_ == nullptr) {
        return false;
    }
    std::optional<DictionaryEntry> entry = dictionary_->FindEntry(key);
    if (!entry || entry->unitSpec.empty()) {
        return false;
    }
    spec = entry->unitSpec;
    return true;
}

std::string DriveUnits::ShowLabel(uint32_t key) const {
    std::string spec;
    if (!Converts(key, spec)) {
        return kRaw;
    }
    auto labels = UnitConverter::Labels(UnitTable::ParseUnitSpec(spec));
    return labels.empty() ? kRaw : labels.front();
}

std::string DriveUnits::TypeLabel(uint32_t key) const {
    std::string spec;
    if (!Converts(key, spec)) {
        return kRaw;
    }
    auto labels = UnitConverter::WriteLabels(UnitTable::ParseUnitSpec(spec));
    return labels.empty() ? kRaw : labels.front();
}

std::optional<double> DriveUnits::Show(uint32_t key, int32_t raw) const {
    std::string spec;
    std::string label = ShowLabel(key);
    if (label == kRaw || !Converts(key, spec)) {
        return static_cast<double>(raw);
    }
    UnitConverter converter(*units_, *formulas_);
    converter.Register(key, spec);
    UnitValue value = converter.ToUnit(nullptr, key, label, static_cast<double>(raw),
                                       UnitConverter::OnWait::kStop);
    return value ? std::optional<double>(value.value) : std::nullopt;
}

std::optional<int32_t> DriveUnits::Raw(uint32_t key, double value) const {
    std::string spec;
    std::string label = TypeLabel(key);
    double raw = value;
    if (label != kRaw && Converts(key, spec)) {
        UnitConverter converter(*units_, *formulas_);
        converter.Register(key, spec);
        std::vector<UnitValue> results =
            converter.ToRaw(nullptr, key, label, value, UnitConverter::Writes::kFirst);
        if (results.empty() || !results.front()) {
            return std::nullopt;
        }
        raw = results.front().value;
    }
    raw = std::round(raw);
    if (!std::isfinite(raw) || raw < -2147483648.0 || raw > 2147483647.0) {
        return std::nullopt;
    }
    return static_cast<int32_t>(raw);
}

}  // namespace tarvo
