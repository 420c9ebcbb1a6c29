#include "dictionary/ValueText.h"

#include <gtest/gtest.h>

#include <atomic>

#include "dictionary/FormulaEvaluator.h"
#include "dictionary/ObjectDictionary.h"
#include "dictionary/UnitTable.h"
#include "panels/ParameterList.h"
#include "platform/MessageBox.h"
#include "tests/dictionary/FakeLinkRequester.h"
#include "tests/support/DataFileBuilder.h"
#include "tests/support/TempFolder.h"

namespace tarvo {
namespace {

using test::SentRequest;
using Requests = std::vector<SentRequest>;

constexpr uint32_t kVelocity = 0x608100;
constexpr uint32_t kPosition = 0x607A00;
constexpr uint32_t kRevolution = 0x200005;

class ValueTextTest : public ::testing::Test {
protected:
    // A row as a panel shows it; returns its number.
    int AddRow(uint32_t key, const std::string& dataType, const std::string& value,
               const std::string& unit) {
        int row = list.InsertRow(list.RowCount(), std::to_string(list.RowCount() + 1));
        list.SetText(row, ParameterList::kKeyColumn, std::to_string(key));
        list.SetText(row, ParameterList::kDataTypeColumn, dataType);
        list.SetText(row, ParameterList::kValueColumn, value);
        list.SetText(row, ParameterList::kUnitColumn, unit);
        return row;
    }

    // The read path of a panel: raw value to the text of the value column.
    std::string Show(uint32_t key, const std::string& dataType, const std::string& unit,
                     uint32_t raw) {
        std::optional<double> value = ValueText::RawToNumber(dataType, raw);
        EXPECT_TRUE(value);
        std::string formula;
        bool converted = false;
        if (!value || !values.ApplyUnit(&panel, key, unit, *value, formula, converted)) {
            return "<failed>";
        }
        return ValueText::NumberToText(unit, dataType, formula, *value);
    }

    void Write(uint32_t key, const std::string& dataType, const std::string& value,
               const std::string& unit) {
        values.WriteEditedValue(&panel, list, AddRow(key, dataType, value, unit));
    }

    test::FakeLinkRequester link;
    test::DummyWindow mainFrame, panel;
    std::atomic<MessageTarget*> mainWindow{&mainFrame};
    RecordingMessageBox box;
    ObjectDictionary dictionary;
    FormulaEvaluator evaluator{link, mainWindow, &box};
    UnitTable units{&box};
    ValueText values{{dictionary, evaluator, units, link, &box}};
    ParameterList list;
};

TEST_F(ValueTextTest, DataTypeNames) {
    EXPECT_EQ(ValueText::CommandForType("INTEGER8"), SdoCommand::Write8);
    EXPECT_EQ(ValueText::CommandForType("UNSIGNED16"), SdoCommand::Write16);
    EXPECT_EQ(ValueText::CommandForType("u32"), SdoCommand::Write32);
    EXPECT_EQ(ValueText::CommandForType("INTEGER24"), std::nullopt);
    EXPECT_EQ(ValueText::CommandForType("VISIBLE STRING"), std::nullopt);

    EXPECT_EQ(ValueText::RawToNumber("INTEGER8", 200), -56);
    EXPECT_EQ(ValueText::RawToNumber("UNSIGNED8", 200), 200);
    EXPECT_EQ(ValueText::RawToNumber("INTEGER16", 0x8000), -32768);
    EXPECT_EQ(ValueText::RawToNumber("INTEGER16", 0x7FFF), 32767);
    EXPECT_EQ(ValueText::RawToNumber("INTEGER32", 0xFFFFFFFF), -1);
    EXPECT_EQ(ValueText::RawToNumber("UNSIGNED32", 0xFFFFFFFF), 4294967295.0);
    EXPECT_FALSE(ValueText::RawToNumber("", 1));
    EXPECT_FALSE(ValueText::RawToNumber("INTEGER24", 1));
}

TEST_F(ValueTextTest, FixedFormats) {
    EXPECT_EQ(Show(1, "INTEGER8", "DEC", 200), "-56");
    EXPECT_EQ(Show(1, "UNSIGNED8", "DEC", 200), "200");
    EXPECT_EQ(Show(1, "INTEGER32", "DEC", 0xFFFFFFFF), "-1");
    EXPECT_EQ(Show(1, "INTEGER32", "HEX", 0xFFFFFFFF), "ffffffff");
    EXPECT_EQ(Show(1, "UNSIGNED32", "DEC", 0xFFFFFFFF), "4294967295");
    EXPECT_EQ(Show(1, "UNSIGNED16", "HEX", 0x1234), "1234");
    EXPECT_EQ(Show(1, "UNSIGNED16", "HEX", 0x00AB), "ab");
    EXPECT_EQ(Show(1, "INTEGER8", "HEX", 200), "c8");
    EXPECT_EQ(Show(1, "UNSIGNED16", "ASCII", 0x4241), "AB");
    EXPECT_EQ(Show(1, "UNSIGNED16", "", 0x0041), "A");  // a zero byte ends the text
    EXPECT_EQ(Show(1, "UNSIGNED32", "ASCII", 0x44434241), "ABCD");
    EXPECT_EQ(Show(1, "UNSIGNED8", "ASCII", 0xE9), "\xC3\xA9");
    EXPECT_EQ(ValueText::NumberToText("DEC", "INTEGER24", "", 5), "???");
    EXPECT_EQ(ValueText::NumberToText("HEX", "INTEGER", "", 5), "???");
    EXPECT_EQ(ValueText::NumberToText("ASCII", "INTEGER24", "", 65), "???");
    EXPECT_EQ(ValueText::NumberToText("rpm", "INTEGER32", "N*1", -7.9), "-7");
    EXPECT_EQ(ValueText::NumberToText("rpm", "INTEGER32", "N*2", 12), "12.000");
    EXPECT_EQ(ValueText::NumberToText("rpm", "INTEGER32", "N/3", 2.0 / 3), "0.667");
}

TEST_F(ValueTextTest, UnitReadAndWriteFormulas) {
    std::string label;
    units.RegisterUnits(kVelocity, "[r rpm]N*60/512;[rpm]N*512/60;[r DEC]N*1", label);
    EXPECT_EQ(Show(kVelocity, "INTEGER32", "rpm", 512), "60.000");
    EXPECT_EQ(Show(kVelocity, "INTEGER32", "DEC", 512), "512");
    Write(kVelocity, "INTEGER32", "60", "rpm");
    Write(kVelocity, "INTEGER32", "-1.5e1", "rpm");
    EXPECT_EQ(link.requests,
              (Requests{{&panel, SdoCommand::Write32, kVelocity, 512},
                        {&panel, SdoCommand::Write32, kVelocity, static_cast<uint32_t>(-128)}}));

    // A one-word unit is shown through its formula's format without converting.
    units.RegisterUnits(0x200100, "[ms]N*1", label);
    EXPECT_EQ(Show(0x200100, "UNSIGNED16", "ms", 250), "250");
    units.RegisterUnits(0x200200, "[mV]N*10", label);
    EXPECT_EQ(Show(0x200200, "UNSIGNED16", "mV", 250), "250.000");
    // No definition for the label, no record, or key 0: the row keeps its text.
    EXPECT_EQ(Show(kVelocity, "INTEGER32", "rps", 512), "<failed>");
    EXPECT_EQ(Show(0x300000, "INTEGER32", "rpm", 512), "<failed>");
    EXPECT_EQ(Show(0, "INTEGER32", "DEC", 512), "<failed>");

    // Every definition that writes a label sends its own write, in their order.
    link.requests.clear();
    units.RegisterUnits(0x200300, "[mA]N*1;[r mA]N*1;[mA]N*2", label);
    Write(0x200300, "UNSIGNED16", "21", "mA");
    EXPECT_EQ(link.requests, (Requests{{&panel, SdoCommand::Write16, 0x200300, 21},
                                       {&panel, SdoCommand::Write16, 0x200300, 42}}));
}

TEST_F(ValueTextTest, WritesOfFixedFormats) {
    Write(1, "INTEGER16", "-5", "DEC");
    Write(2, "UNSIGNED32", " 4294967295", "");
    Write(3, "INTEGER8", "12abc", "DEC");
    Write(4, "INTEGER8", "abc", "DEC");
    Write(5, "UNSIGNED8", "ff", "HEX");
    Write(6, "UNSIGNED32", "0x1A2b", "HEX");
    Write(7, "UNSIGNED16", "AB", "ASCII");
    Write(8, "UNSIGNED32", "ABCD", "ASCII");
    EXPECT_EQ(link.requests, (Requests{{&panel, SdoCommand::Write16, 1, 0xFFFFFFFB},
                                       {&panel, SdoCommand::Write32, 2, 0xFFFFFFFF},
                                       {&panel, SdoCommand::Write8, 3, 12},
                                       {&panel, SdoCommand::Write8, 4, 0},
                                       {&panel, SdoCommand::Write8, 5, 0xFF},
                                       {&panel, SdoCommand::Write32, 6, 0x1A2B},
                                       {&panel, SdoCommand::Write16, 7, 0x4241},
                                       {&panel, SdoCommand::Write32, 8, 0x44434241}}));
    link.requests.clear();

    // A value outside its entry's range is refused with a message, never sent cut or wrapped.
    link.requests.clear();
    std::string label;
    units.RegisterUnits(kVelocity, "[rpm]N*512/60", label);
    struct Refusal {
        const char* type;
        const char* value;
        const char* unit;
        const char* message;
    } refusals[] = {
        {"UNSIGNED32", "-5", "DEC", "-5 is out of range for UNSIGNED32 (0 to 4294967295)"},
        {"UNSIGNED8", "256", "", "256 is out of range for UNSIGNED8 (0 to 255)"},
        {"INTEGER8", "-129", "DEC", "-129 is out of range for INTEGER8 (-128 to 127)"},
        {"INTEGER16", "32768", "DEC", "32768 is out of range for INTEGER16 (-32768 to 32767)"},
        {"UNSIGNED32", "4294967296", "DEC", "4294967296 is out of range for UNSIGNED32"},
        {"UNSIGNED8", "1ff", "HEX", "0x1FF does not fit in 8 bits"},
        {"UNSIGNED32", "-1", "rpm", "-8 is out of range for UNSIGNED32"},
    };
    for (const Refusal& r : refusals) {
        box.texts.clear();
        Write(kVelocity, r.type, r.value, r.unit);
        ASSERT_EQ(box.texts.size(), 1u) << r.value;
        EXPECT_EQ(box.texts[0].rfind(r.message, 0), 0u) << box.texts[0];
    }
    EXPECT_TRUE(link.requests.empty());
    // The ends of each range are values of it.
    Write(1, "INTEGER8", "-128", "DEC");
    Write(1, "UNSIGNED8", "255", "DEC");
    Write(1, "UNSIGNED16", "ffff", "HEX");
    Write(1, "UNSIGNED32", "0", "DEC");
    EXPECT_EQ(link.requests.size(), 4u);
    link.requests.clear();

    Write(9, "UNSIGNED16", "ABC", "ASCII");  // three characters for two bytes
    Write(10, "INTEGER24", "12", "HEX");     // no valid width
    Write(11, "INTEGER24", "12", "DEC");     // no write command for the type
    Write(12, "INTEGER16", "12", "rpm");     // no unit record
    Write(0, "INTEGER16", "12", "DEC");      // no key
    values.WriteEditedValue(&panel, list, 99);
    EXPECT_TRUE(link.requests.empty());
}

TEST_F(ValueTextTest, EveryDefinitionOfTheLabelIsWritten) {
    std::string label;
    units.RegisterUnits(kVelocity, "[r rpm]N*60/512;[rpm]N*512/60;[mm]N*2;[rpm]N*10", label);
    Write(kVelocity, "UNSIGNED32", "6", "rpm");
    EXPECT_EQ(link.requests, (Requests{{&panel, SdoCommand::Write32, kVelocity, 51},
                                       {&panel, SdoCommand::Write32, kVelocity, 60}}));
}

TEST_F(ValueTextTest, AsciiValuesUseTheLanguagesCodePage) {
    std::atomic<uint8_t> language{1};
    ValueText chinese{{dictionary, evaluator, units, link, &box, &language}};
    EXPECT_EQ(chinese.CodePageInUse(), ValueText::CodePage::kChinese);
    // First byte lowest: 中 is D6 D0 in GBK.
    EXPECT_EQ(
        ValueText::NumberToText("ASCII", "UNSIGNED16", "", 0xD0D6, ValueText::CodePage::kChinese),
        "中");
    EXPECT_EQ(ValueText::NumberToText("ASCII", "UNSIGNED16", "", 0xD6D0), "ÐÖ");
    chinese.WriteEditedValue(&panel, list, AddRow(1, "UNSIGNED16", "中", "ASCII"));
    language = 2;
    chinese.WriteEditedValue(&panel, list, AddRow(2, "UNSIGNED16", "ÐÖ", "ASCII"));
    EXPECT_EQ(link.requests, (Requests{{&panel, SdoCommand::Write16, 1, 0xD0D6},
                                       {&panel, SdoCommand::Write16, 2, 0xD6D0}}));
}

TEST_F(ValueTextTest, WriteWaitsForReferencedValue) {
    std::string label;
    units.RegisterUnits(kPosition, "[r DEC]N*1;[r rev]N/[20000520];[rev]N*[20000520]", label);
    Write(kPosition, "INTEGER32", "2.5", "rev");
    EXPECT_EQ(link.requests, (Requests{{&mainFrame, SdoCommand::Read, kRevolution, 0}}));

    EXPECT_TRUE(evaluator.AcceptReferenceValue(kRevolution, 10000));
    EXPECT_EQ(link.requests.back(), (SentRequest{&panel, SdoCommand::Write32, kPosition, 25000}));

    Write(kPosition, "INTEGER32", "1", "rev");  // now known: sent at once
    EXPECT_EQ(link.requests.back(), (SentRequest{&panel, SdoCommand::Write32, kPosition, 10000}));
    EXPECT_EQ(link.requests.size(), 3u);
}

TEST_F(ValueTextTest, TypeWithoutWriteCommandSendsNothingEvenOnceTheReferenceArrives) {
    // A type of no valid width has no write command: the write waiting for a referenced
    // value once went out with command byte 0 when the value arrived.
    std::string label;
    units.RegisterUnits(kPosition, "[r DEC]N*1;[rev]N*[20000520]", label);
    Write(kPosition, "INTEGER24", "2.5", "rev");
    evaluator.AcceptReferenceValue(kRevolution, 10000);
    EXPECT_TRUE(link.requests.empty());
    EXPECT_FALSE(evaluator.Pending());
}

TEST_F(ValueTextTest, DisplayWaitsForReferencedValueThenRereads) {
    std::string label;
    units.RegisterUnits(kPosition, "[r DEC]N*1;[r rev]N/[20000520];[rev]N*[20000520]", label);
    // The read definition waits, so the write definition of the same label is taken and
    // hands back its formula unevaluated; the re-read shows the converted value.
    EXPECT_EQ(Show(kPosition, "INTEGER32", "rev", 50000), "50000.000");
    evaluator.AcceptReferenceValue(kRevolution, 10000);
    EXPECT_EQ(link.requests, (Requests{{&mainFrame, SdoCommand::Read, kRevolution, 0},
                                       {&panel, SdoCommand::Read, kPosition, 0}}));
    EXPECT_EQ(Show(kPosition, "INTEGER32", "rev", 50000), "5.000");

    // Every shown value of the referenced entry refreshes its constant.
    EXPECT_EQ(Show(kRevolution, "UNSIGNED32", "DEC", 20000), "20000");
    EXPECT_EQ(evaluator.ConstantValue(kRevolution), 20000);
    EXPECT_EQ(Show(kPosition, "INTEGER32", "rev", 50000), "2.500");
}

TEST_F(ValueTextTest, FindRowByKey) {
    AddRow(0x606000, "INTEGER8", "1", "DEC");
    AddRow(0x608100, "UNSIGNED32", "60.000", "rpm");
    AddRow(0x608100, "UNSIGNED32", "", "DEC");
    RowLookup found = ValueText::FindRowByKey(&list, 0x608100);
    EXPECT_EQ(found.row, 1);
    EXPECT_EQ(found.unitLabel, "rpm");
    EXPECT_EQ(found.dataType, "UNSIGNED32");
    EXPECT_EQ(ValueText::FindRowByKey(&list, 0x606100).row, -1);
    EXPECT_EQ(ValueText::FindRowByKey(&list, 0).row, -1);
    EXPECT_EQ(ValueText::FindRowByKey(nullptr, 0x608100).row, -1);
    EXPECT_EQ(ValueText::FindRowByKey(nullptr, 0x608100).unitLabel, "");
}

TEST_F(ValueTextTest, EntryHelp) {
    test::TempFolder folder;
    test::RecordTexts with;
    with.index = "6040";
    with.nameEn = "Control word";
    with.dataType = "UNSIGNED16";
    with.attribute = "WS";
    with.modbus = "1a2b";
    with.helpEn = "Bit 0: on\nBit 1: off";
    test::RecordTexts without = with;
    without.index = "2001";
    without.subIndex = "0A";
    without.modbus = "0000";
    without.helpEn = "";
    std::string path = folder.Write("tarvo.dat", test::Record(with) + test::Record(without));
    ASSERT_TRUE(dictionary.LoadFile(path, 2, &box));

    values.ShowEntryHelp(0x604000);
    values.ShowEntryHelp(0x200A0A);  // unknown: nothing
    values.ShowEntryHelp(0x20010A);
    EXPECT_EQ(box.texts,
              (std::vector<std::string>{
                  "Index: 0x604000\r\nName: Control word\r\nData Type: UNSIGNED16  WS"
                  "\r\nModbus address: 0x1A2B\r\nOperator Help:\r\nBit 0: on\r\nBit 1: off",
                  "Index: 0x20010A\r\nName: Control word\r\nData Type: UNSIGNED16  WS"
                  "\r\nModbus address: none\r\nOperator Help:\r\n"}));
    EXPECT_EQ(box.icons, std::vector<MessageBox::Icon>(2, MessageBox::Icon::kInformation));

    DictionaryEntry chinese;
    chinese.help = "\xE9\x80\x9F\xE5\xBA\xA6\xE3\x80\x82\xE5\x8D\x95\xE4\xBD\x8D";  // 速度。单位
    EXPECT_NE(ValueText::EntryHelpText(chinese).find("\xE3\x80\x82\r\n\xE5\x8D\x95"),
              std::string::npos);
}

}  // namespace
}  // namespace tarvo
