#include "dictionary/FactsText.h"

#include <gtest/gtest.h>

#include <atomic>

#include "dictionary/FormulaEvaluator.h"
#include "dictionary/ObjectDictionary.h"
#include "dictionary/UnitTable.h"
#include "dictionary/ValueText.h"
#include "panels/ParameterList.h"
#include "platform/MessageBox.h"
#include "tests/dictionary/FakeLinkRequester.h"
#include "tests/support/DataFileBuilder.h"
#include "tests/support/TempFolder.h"

namespace tarvo {
namespace {

constexpr uint32_t kMode = 0x606000;      // INTEGER8, -7 to 10
constexpr uint32_t kVelocity = 0x608100;  // UNSIGNED32 with rpm, 1 to 409600
constexpr uint32_t kTorque = 0x607100;    // INTEGER16, at least -5, shown in HEX
constexpr uint32_t kStatus = 0x604100;    // UNSIGNED16, bit names only
constexpr uint32_t kTarget = 0x607A00;    // INTEGER32 in rev, -1000 to 1000, waits for 2000:05
constexpr uint32_t kPerRev = 0x200005;

const char* kFacts = R"({"tarvoFacts": 1, "entries": [
  {"entry": "6060:00", "min": -7, "max": 10, "default": 1, "stored": true,
   "values": [{"value": -1, "zh": "脉冲", "en": "Pulse mode"},
              {"value": 1, "zh": "轮廓位置", "en": "Profile position"}]},
  {"entry": "6081:00", "min": 1, "max": 409600, "default": 5120},
  {"entry": "6071:00", "min": -5},
  {"entry": "607A:00", "min": -1000, "max": 1000},
  {"entry": "6041:00", "bits": [{"bit": 0, "en": "Ready to switch on"}, {"bit": 3, "en": "Fault"}]}
]})";

std::string Entry(const char* index, const char* name, const char* type, const char* units) {
    test::RecordTexts t;
    t.index = index;
    t.subIndex = "00";
    t.nameEn = name;
    t.dataType = type;
    t.attribute = "W";
    t.unitSpec = units;
    return test::Record(t);
}

class FactsWriteTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string data = Entry("6060", "Mode", "INTEGER8", "") +
                           Entry("6081", "Profile velocity", "UNSIGNED32",
                                 "[r rpm]N*60/512;[rpm]N*512/60;[r DEC]N*1") +
                           Entry("6071", "Target torque", "INTEGER16", "") +
                           Entry("6041", "Status word", "UNSIGNED16", "") +
                           Entry("607A", "Target position", "INTEGER32", "[rev]N*[20000520]");
        folder.Write("data/tarvo.facts.json", kFacts);
        ASSERT_TRUE(dictionary.LoadFile(folder.Write("data/tarvo.dat", data), 2, &box));
        ASSERT_NE(dictionary.FactsOf(kMode), nullptr) << dictionary.FactsProblem();
        std::string label;
        units.RegisterUnits(kVelocity, "[r rpm]N*60/512;[rpm]N*512/60;[r DEC]N*1", label);
        units.RegisterUnits(kTarget, "[rev]N*[20000520]", label);
    }

    // Writes the text as a row in the unit would; gives the raw values sent.
    std::vector<uint32_t> Write(uint32_t key, const char* type, const std::string& text,
                                const std::string& unit) {
        ParameterList list;
        int row = list.InsertRow(0, "1");
        list.SetText(row, ParameterList::kKeyColumn, std::to_string(key));
        list.SetText(row, ParameterList::kDataTypeColumn, type);
        list.SetText(row, ParameterList::kValueColumn, text);
        list.SetText(row, ParameterList::kUnitColumn, unit);
        link.requests.clear();
        values.WriteEditedValue(&panel, list, row);
        std::vector<uint32_t> sent;
        for (const test::SentRequest& request : link.requests) {
            sent.push_back(request.data);
        }
        return sent;
    }

    test::TempFolder folder;
    test::FakeLinkRequester link;
    test::DummyWindow mainFrame, panel;
    std::atomic<MessageTarget*> mainWindow{&mainFrame};
    RecordingMessageBox box;
    ObjectDictionary dictionary;
    FormulaEvaluator evaluator{link, mainWindow, &box};
    UnitTable units{&box};
    ValueText values{{dictionary, evaluator, units, link, &box}};
};

// Both ends of signed and unsigned ranges, in raw units after the row's unit: the last value
// inside goes out, the first one outside is refused with the range in the message.
TEST_F(FactsWriteTest, ValuesOutsideTheRangeAreRefusedBeforeSending) {
    using Sent = std::vector<uint32_t>;
    struct Case {
        uint32_t key;
        const char* type;
        const char* text;
        const char* unit;
        Sent sent;
    };
    const Case cases[] = {
        {kMode, "INTEGER8", "-7", "DEC", {0xFFFFFFF9}},
        {kMode, "INTEGER8", "-8", "DEC", {}},
        {kMode, "INTEGER8", "10", "DEC", {10}},
        {kMode, "INTEGER8", "11", "DEC", {}},
        {kMode, "INTEGER8", "1 - Profile position", "DEC", {1}},
        {kVelocity, "UNSIGNED32", "1", "DEC", {1}},
        {kVelocity, "UNSIGNED32", "0", "DEC", {}},
        {kVelocity, "UNSIGNED32", "409600", "DEC", {409600}},
        {kVelocity, "UNSIGNED32", "409601", "DEC", {}},
        {kVelocity, "UNSIGNED32", "48000", "rpm", {409600}},  // 48000 * 512 / 60
        {kVelocity, "UNSIGNED32", "48001", "rpm", {}},
        {kTorque, "INTEGER16", "fffb", "HEX", {0xFFFB}},  // -5: the type's sign counts
        {kTorque, "INTEGER16", "fffa", "HEX", {}},
        {kTorque, "INTEGER16", "7fff", "HEX", {0x7FFF}},   // no upper end
        {kStatus, "UNSIGNED16", "65535", "DEC", {65535}},  // no range at all
    };
    for (const Case& c : cases) {
        box.texts.clear();
        EXPECT_EQ(Write(c.key, c.type, c.text, c.unit), c.sent) << c.text << " " << c.unit;
        EXPECT_EQ(box.texts.size(), c.sent.empty() ? 1u : 0u) << c.text << " " << c.unit;
    }

    box.texts.clear();
    Write(kMode, "INTEGER8", "11", "DEC");
    ASSERT_EQ(box.texts.size(), 1u);
    EXPECT_EQ(box.texts[0], "11 is outside the range of Mode (-7 to 10); nothing was written.");
    box.texts.clear();
    Write(kVelocity, "UNSIGNED32", "48001", "rpm");
    ASSERT_EQ(box.texts.size(), 1u);
    EXPECT_EQ(box.texts[0],
              "48001 rpm (409608) is outside the range of Profile velocity (1 to 409600); "
              "nothing was written.");
}

// A write whose unit waits for another entry's value is checked when that value comes.
TEST_F(FactsWriteTest, AWaitingWriteIsCheckedWhenItGoes) {
    for (auto [typed, sent] : {std::pair{"-4", 0xFFFFFC18u}, std::pair{"5", 0u}}) {
        box.texts.clear();
        evaluator.ClearConstants();
        Write(kTarget, "INTEGER32", typed, "rev");  // reads the referenced entry first
        ASSERT_TRUE(evaluator.Pending().has_value());
        link.requests.clear();
        ASSERT_TRUE(evaluator.AcceptReferenceValue(kPerRev, 250));
        if (sent == 0) {
            EXPECT_TRUE(link.requests.empty());
            ASSERT_EQ(box.texts.size(), 1u);
            EXPECT_EQ(box.texts[0],
                      "1250 is outside the range of Target position (-1000 to "
                      "1000); nothing was written.");
        } else {
            ASSERT_EQ(link.requests.size(), 1u);
            EXPECT_EQ(link.requests[0].data, sent);
            EXPECT_TRUE(box.texts.empty());
        }
    }
}

TEST_F(FactsWriteTest, TheRefusalSpeaksTheInterfaceLanguage) {
    values.SetTextLookup([](int id) -> std::string {
        switch (id) {
            case FactsText::kOutOfRange:
                return "%1 超出 %2 的范围（%3），未写入。";
            case FactsText::kRangeBoth:
                return "%1 至 %2";
            default:
                return "";
        }
    });
    Write(kMode, "INTEGER8", "-8", "DEC");
    ASSERT_EQ(box.texts.size(), 1u);
    EXPECT_EQ(box.texts[0], "-8 超出 Mode 的范围（-7 至 10），未写入。");
}

TEST(FactsText, ShownTextNamesCodesOnlyInThePlainUnit) {
    EntryFacts mode;
    mode.valueNames = {{-1, "Pulse mode"}, {1, "Profile position"}};
    struct Case {
        const char* unit;
        const char* text;
        const char* shown;
    };
    const Case cases[] = {
        {"DEC", "1", "1 - Profile position"},
        {"DEC", "-1", "-1 - Pulse mode"},
        {"DEC", "2", "2"},        // a code without a name
        {"DEC", "1.0", "1.0"},    // not a whole number
        {"DEC", "????", "????"},  // a refused read
        {"HEX", "1", "1"},
        {"", "1", "1"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FactsText::Shown(&mode, c.unit, c.text), c.shown) << c.unit << " " << c.text;
    }
    EXPECT_EQ(FactsText::Shown(nullptr, "DEC", "1"), "1");
}

TEST(FactsText, DefaultMarkAndHelpLines) {
    EntryFacts facts;
    facts.minimum = -7;
    facts.maximum = 10;
    facts.factoryDefault = 1;
    facts.valueNames = {{1, "Profile position"}, {3, "Profile velocity"}};
    facts.bitNames = {{0, "Ready"}};

    EXPECT_FALSE(FactsText::DiffersFromDefault(&facts, 1));
    EXPECT_TRUE(FactsText::DiffersFromDefault(&facts, 3));
    EXPECT_FALSE(FactsText::DiffersFromDefault(&facts, std::nullopt));  // never read
    EXPECT_FALSE(FactsText::DiffersFromDefault(nullptr, 3));
    EntryFacts noDefault;
    EXPECT_FALSE(FactsText::DiffersFromDefault(&noDefault, 3));

    FactsText texts;
    EXPECT_EQ(texts.DiffersLine(facts, 1), "");
    EXPECT_EQ(texts.DiffersLine(facts, 3),
              "Differs from the factory default (1 - Profile position)");
    EXPECT_EQ(texts.DiffersLine(facts, 3, "0x1"), "Differs from the factory default (0x1)");
    EXPECT_EQ(texts.HelpLines(facts),
              "Range: -7 to 10\nFactory default: 1 - Profile position\nValues:\n"
              "  1 - Profile position\n  3 - Profile velocity\nBits:\n  0 - Ready");
    EXPECT_EQ(texts.HelpLines(EntryFacts{}), "");

    // A replacement that holds a placeholder is not replaced again.
    FactsText odd([](int) { return std::string("%2/%1%"); });
    EXPECT_EQ(odd.Text(1, "%2", "b"), "b/%2%");
}

}  // namespace
}  // namespace tarvo
