#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "cli/EntryValue.h"
#include "dictionary/FormulaEvaluator.h"
#include "dictionary/ObjectDictionary.h"
#include "dictionary/UnitTable.h"
#include "dictionary/ValueText.h"
#include "oscilloscope/ScopeUnits.h"
#include "platform/MessageBox.h"
#include "tests/dictionary/FakeLinkRequester.h"
#include "tests/support/DataFileBuilder.h"
#include "tests/support/TempFolder.h"

namespace tarvo::test {
namespace {

struct Reading {
    const char* what;
    const char* index;  // subindex 00
    const char* dataType;
    const char* unitSpec;
    uint32_t raw;
    const char* unit;
    double expected;
};

// The same entry and raw value through a panel's list, tarvoctl and the oscilloscope.
const Reading kReadings[] = {
    {"a read definition converts", "2101", "UNSIGNED32", "[r rpm]N*60/512;[rpm]N*512/60", 5120,
     "rpm", 600},
    {"a unit with a write definition only shows the value as it is", "2102", "UNSIGNED16",
     "[mV]N*10", 250, "mV", 250},
    {"the first definition of the label decides", "2103", "INTEGER32",
     "[rpm]N*512/60;[r rpm]N*60/512", 512, "rpm", 512},
    {"a negative 16-bit value arriving sign-extended", "2104", "INTEGER16", "", 0xFFFFFFFF, "DEC",
     -1},
    {"a negative 16-bit value arriving sign-extended, in a unit", "2105", "INTEGER16",
     "[r rpm]N*60/512", 0xFFFFFE00, "rpm", -60},
    {"a negative 8-bit value", "2106", "INTEGER8", "", 0xC8, "DEC", -56},
    {"an unsigned 32-bit value", "2107", "UNSIGNED32", "", 0xFFFFFFFF, "DEC", 4294967295.0},
    {"the identity formula", "2108", "INTEGER32", "[r mm]N*1", 0xFFFFFFF9, "mm", -7},
    {"a formula referring to another entry", "2109", "INTEGER32",
     "[r DEC]N*1;[r rev]N/[20000520];[rev]N*[20000520]", 10000, "rev", 2.5},
    {"hexadecimal", "210A", "UNSIGNED16", "", 0xAB, "HEX", 0xAB},
};

constexpr uint32_t kReferenced = 0x200005;
constexpr int32_t kReferencedValue = 4000;

double Number(const std::string& text, const std::string& unit) {
    return unit == "HEX" ? static_cast<double>(std::strtoul(text.c_str(), nullptr, 16))
                         : std::strtod(text.c_str(), nullptr);
}

TEST(UnitAgreementTest, PanelsTarvoctlAndOscilloscopeReadAValueAlike) {
    TempFolder folder;
    std::string data;
    for (const Reading& reading : kReadings) {
        RecordTexts texts;
        texts.index = reading.index;
        texts.dataType = reading.dataType;
        texts.unitSpec = reading.unitSpec;
        data += Record(texts);
    }
    RecordingMessageBox box;
    ObjectDictionary dictionary;
    ASSERT_TRUE(dictionary.LoadFile(folder.Write("tarvo.dat", data), 2, &box));

    FakeLinkRequester link;
    DummyWindow mainFrame, panel;
    std::atomic<MessageTarget*> mainWindow{&mainFrame};
    FormulaEvaluator evaluator{link, mainWindow, &box};
    evaluator.AddConstant(kReferenced, kReferencedValue);
    UnitTable units{&box};
    ValueText values{{dictionary, evaluator, units, link, &box}};
    ScopeUnits scope{dictionary, units, evaluator};
    EntryValue tarvoctl([](uint32_t key) -> std::optional<int32_t> {
        return key == kReferenced ? std::optional<int32_t>(kReferencedValue) : std::nullopt;
    });

    for (const Reading& reading : kReadings) {
        SCOPED_TRACE(reading.what);
        std::optional<DictionaryEntry> entry = dictionary.FindEntry(
            static_cast<uint32_t>(std::strtoul(reading.index, nullptr, 16)) << 8);
        ASSERT_TRUE(entry);
        std::string defaultLabel;
        units.RegisterUnits(entry->key, entry->unitSpec, defaultLabel);

        std::optional<double> number = ValueText::RawToNumber(entry->dataType, reading.raw);
        ASSERT_TRUE(number);
        double value = *number;
        std::string formula;
        bool converted = false;
        ASSERT_TRUE(values.ApplyUnit(&panel, entry->key, reading.unit, value, formula, converted));
        std::string panelText =
            ValueText::NumberToText(reading.unit, entry->dataType, formula, value);

        std::string cliText;
        std::string error;
        ASSERT_TRUE(tarvoctl.Show(*entry, reading.raw, reading.unit, cliText, error)) << error;

        std::optional<std::string> scopeText =
            scope.RawToText(&panel, entry->key, reading.unit, reading.raw);
        ASSERT_TRUE(scopeText);

        EXPECT_NEAR(Number(panelText, reading.unit), reading.expected, 5e-4) << panelText;
        EXPECT_NEAR(Number(cliText, reading.unit), reading.expected, 5e-4) << cliText;
        EXPECT_NEAR(Number(*scopeText, reading.unit), reading.expected, 5e-4) << *scopeText;
    }
    EXPECT_TRUE(link.requests.empty());
}

}  // namespace
}  // namespace tarvo::test
