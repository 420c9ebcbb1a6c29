#include "transfer/DriveDifferences.h"

#include <cstdio>
#include <cstdlib>

#include "dictionary/EntryFacts.h"
#include "dictionary/ObjectDictionary.h"
#include "dictionary/UnitConverter.h"
#include "protocol/AbortText.h"
#include "transfer/FirstUnitText.h"
#include "transfer/ImportDrvDataModel.h"
#include "transfer/TransferValue.h"

namespace tarvo {

namespace {

std::string KeyText(uint32_t key) {
    char text[16];
    std::snprintf(text, sizeof text, "%04X:%02X", key >> 8, key & 0xFF);
    return text;
}

// The abort of a refused read, kept in the row as "0x06020000", with its meaning.
std::string RefusalText(const std::string& code) {
    char* end = nullptr;
    unsigned long value = std::strtoul(code.c_str(), &end, 16);
    if (code.empty() || end == nullptr || *end != '\0') {
        return "abort " + code;
    }
    return AbortText::Describe(static_cast<uint32_t>(value));
}

}  // namespace

std::string DriveDifferences::Shown(const DictionaryEntry* entry, const EntryFacts* facts,
                                    const std::string& text, uint32_t sizeBits,
                                    FirstUnitText& units) {
    if (entry == nullptr) {
        return text;
    }
    std::string shown = text;
    std::optional<uint32_t> raw = TransferValue::ParseLoadValue(text, sizeBits);
    std::optional<double> number =
        raw ? UnitConverter::Widen(entry->dataType, *raw) : std::optional<double>();
    if (facts != nullptr && number && facts->NameOf(static_cast<int64_t>(*number)) != nullptr) {
        shown = facts->CodeText(static_cast<int64_t>(*number));
    }
    return shown + units.Of(*entry, text, sizeBits);
}

std::vector<DriveDifferences::Difference> DriveDifferences::Of(const ImportDrvDataModel& model,
                                                               const ObjectDictionary& dictionary,
                                                               FirstUnitText& units) {
    std::vector<Difference> found;
    const auto& rows = model.Rows();
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
        const ImportDrvDataModel::Row& row = rows[i];
        if (row.result == RowResult::kTrue || row.result == RowResult::kNone) {
            continue;
        }
        uint32_t key = row.word.Key();
        std::optional<DictionaryEntry> entry = dictionary.FindEntry(key);
        const EntryFacts* facts = dictionary.FactsOf(key);
        const DictionaryEntry* known = entry ? &*entry : nullptr;
        Difference difference;
        difference.row = i;
        difference.entry = KeyText(key);
        difference.name = row.name;
        difference.file = Shown(known, facts, row.loadValue, row.word.SizeBits(), units);
        if (row.result == RowResult::kSkipped) {
            difference.kind = Kind::kNotCompared;
            difference.file = row.loadValue;
            difference.drive = model.RowProblem(row);
        } else if (row.result == RowResult::kFail) {
            difference.kind = Kind::kRefused;
            difference.drive = RefusalText(row.readValue);
        } else {
            difference.drive = Shown(known, facts, row.readValue, row.word.SizeBits(), units);
        }
        found.push_back(std::move(difference));
    }
    return found;
}

}  // namespace tarvo
