// libFuzzer target: any unitSpec registers, offers its choices and converts values in each
// of its units, both ways, without a crash or a read out of bounds. A unitSpec comes only
// from its field of a data file record, decoded from the code page: it is cut at three bytes
// of text for each byte of that field. scripts/fuzz bounds the whole input, too.
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "dictionary/DataFileRecord.h"
#include "dictionary/FormulaEvaluator.h"
#include "dictionary/ObjectDictionary.h"
#include "dictionary/UnitTable.h"
#include "dictionary/ValueText.h"
#include "fuzz/CountingLink.h"
#include "panels/ParameterList.h"
#include "platform/MessageBox.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    // Text after a NUL byte is the value text typed by the user.
    size_t nul = input.find('\0');
    std::string_view unitSpec = input.substr(0, nul);
    constexpr size_t kLongestUnitSpec =
        3 * tarvo::DataFileRecord::kWidth[tarvo::DataFileRecord::kUnitSpec];
    unitSpec = unitSpec.substr(0, kLongestUnitSpec);
    std::string_view typed = nul == std::string_view::npos ? "" : input.substr(nul + 1);

    tarvo::fuzz::CountingLink link;
    std::atomic<tarvo::MessageTarget*> mainWindow{nullptr};
    tarvo::RecordingMessageBox box;
    tarvo::ObjectDictionary dictionary;
    tarvo::FormulaEvaluator evaluator(link, mainWindow, &box);
    tarvo::UnitTable units(&box);
    tarvo::ValueText values({dictionary, evaluator, units, link, &box});

    constexpr uint32_t kKey = 0x608100;
    std::string label;
    if (!units.RegisterUnits(kKey, unitSpec, label)) {
        std::abort();
    }
    std::string again;
    units.RegisterUnits(kKey, "[x y]N*2", again);
    const tarvo::UnitRecord* record = units.FindRecord(kKey);
    if (record == nullptr || again != label || record->count != record->definitions.size()) {
        std::abort();
    }
    std::vector<std::string> choices = units.UnitChoices(kKey);
    if (choices.empty()) {
        std::abort();
    }
    choices.push_back(label);

    tarvo::ParameterList list;
    list.InsertRow(0, "1");
    list.SetText(0, tarvo::ParameterList::kKeyColumn, std::to_string(kKey));
    list.SetText(0, tarvo::ParameterList::kValueColumn, typed);
    for (const char* dataType : {"INTEGER8", "UNSIGNED16", "INTEGER32", "UNSIGNED32", "REAL64"}) {
        list.SetText(0, tarvo::ParameterList::kDataTypeColumn, dataType);
        for (const std::string& choice : choices) {
            for (uint32_t raw : {0u, 1u, 200u, 0x8000u, 0xFFFFFFFFu}) {
                std::optional<double> number = tarvo::ValueText::RawToNumber(dataType, raw);
                double value = number.value_or(0.0);
                std::string formula;
                bool converted = false;
                values.ApplyUnit(nullptr, kKey, choice, value, formula, converted);
                tarvo::ValueText::NumberToText(choice, dataType, formula, value);
            }
            list.SetText(0, tarvo::ParameterList::kUnitColumn, choice);
            values.WriteEditedValue(nullptr, list, 0);
        }
    }
    return 0;
}
