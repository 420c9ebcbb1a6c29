#include <gtest/gtest.h>

#include <algorithm>

#include "dictionary/DictionarySource.h"
#include "dictionary/ObjectDictionary.h"
#include "platform/MessageBox.h"
#include "tests/support/TempFolder.h"

namespace tarvo {
namespace {

constexpr const char* kTwoEntries = R"([
{"index":"6040","subIndex":"00","nameZh":"控制字","nameEn":"Control word","dataType":"UNSIGNED16","attribute":"W","helpZh":"控制","helpEn":"Controls the drive.","unitSpec":"","modbus":"0010","default":0,"min":0,"max":65535},
{"index":"1008","subIndex":"00","nameZh":"设备名称","nameEn":"Device name","dataType":"VISIBLE STRING","attribute":"","default":"TSD-2405"}
])";

TEST(DictionarySourceTest, BuildsADataFileTheLoaderReads) {
    test::TempFolder folder;
    std::vector<SourceEntry> entries;
    std::string error;
    ASSERT_TRUE(DictionarySource::Parse(kTwoEntries, "src.json", entries, error)) << error;
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].defaultText, "TSD-2405");
    EXPECT_EQ(entries[1].line, 3);
    ASSERT_TRUE(DictionarySource::WriteDataFile(entries, folder.File("t.dat"), error)) << error;
    for (int language : {1, 2}) {
        ObjectDictionary dictionary;
        RecordingMessageBox box;
        dictionary.LoadFile(folder.File("t.dat"), language, &box);
        ASSERT_EQ(dictionary.EntryCount(), 2);
        auto e = dictionary.FindEntry(0x604000);
        ASSERT_TRUE(e);
        EXPECT_EQ(e->name, language == 1 ? "控制字" : "Control word");
        EXPECT_EQ(e->help, language == 1 ? "控制" : "Controls the drive.");
        EXPECT_EQ(e->modbusAddress, 0x10u);
        EXPECT_EQ(dictionary.FindEntry(0x100800)->dataType, "VISIBLE STRING");
    }
}

TEST(DictionarySourceTest, ErrorsNameFileAndLine) {
    std::vector<SourceEntry> entries;
    std::string error;
    EXPECT_FALSE(DictionarySource::Parse("[\n{\"index\":\"6040\",\n", "a.json", entries, error));
    EXPECT_EQ(error.rfind("a.json:", 0), 0u) << error;

    std::string missing =
        "[\n{\"index\":\"6040\",\"subIndex\":\"00\",\"nameZh\":\"x\","
        "\"nameEn\":\"x\",\"dataType\":\"U8\"},\n{\"index\":\"6041\"}\n]";
    EXPECT_FALSE(DictionarySource::Parse(missing, "b.json", entries, error));
    EXPECT_NE(error.find("b.json:3: entry 2"), std::string::npos) << error;
    EXPECT_NE(error.find("subIndex"), std::string::npos) << error;

    EXPECT_FALSE(
        DictionarySource::Parse(R"([{"index":"60400","subIndex":"00"}])", "c", entries, error));
    EXPECT_FALSE(DictionarySource::Parse(R"({"index":"6040"})", "d", entries, error));
    EXPECT_FALSE(DictionarySource::Parse(R"([{"index":"6040","subIndex":"00","nameZh":"x",
        "nameEn":"x","dataType":"U8","min":"low"}])",
                                         "e", entries, error));
}

TEST(DictionarySourceTest, TextsMustFitTheirFields) {
    std::vector<SourceEntry> entries(1);
    entries[0].index = "6040";
    entries[0].subIndex = "00";
    entries[0].modbus = "0000";
    entries[0].nameZh =
        std::string(32, 'x') + "控制字控制字控制字控制字控制字控制字";  // 68 bytes in GBK
    std::string bytes, error;
    EXPECT_FALSE(DictionarySource::Encode(entries, bytes, error, "src.json"));
    EXPECT_NE(error.find("Chinese name"), std::string::npos) << error;
}

TEST(DictionarySourceTest, HostileSourcesAreRefusedWithFileAndLine) {
    const std::string head =
        "[\n{\"index\":\"6040\",\"subIndex\":\"00\",\"nameZh\":\"x\","
        "\"nameEn\":\"x\",\"dataType\":\"U8\"},\n";
    auto entry = [](const std::string& index, const std::string& more) {
        return "{\"index\":\"" + index +
               "\",\"subIndex\":\"00\",\"nameZh\":\"x\",\"nameEn\":\"x\",\"dataType\":\"U8\"" +
               more + "}\n]";
    };
    struct Case {
        std::string source;
        std::string message;
    };
    for (const Case& c : {
             Case{head + entry("6041", ",\"default\":1e400"), "s.json:3: number overflow"},
             Case{"[1e999]", "s.json:1: number overflow"},
             Case{head + entry("6041", ",\"max\":18446744073709551615"), "s.json:3: entry 2"},
             Case{head + entry("0000", ""), "s.json:3: entry 2: index 0000"},
             Case{head + entry("6040", ""),
                  "s.json:3: entry 2: 6040:00 is already defined on line 2"},
             Case{head + entry("6041", ",\"nameEn\":\"y\""),
                  "s.json:3: entry 2: field \"nameEn\" is given twice"},
             Case{head + entry("6041", ",\"helpEn\":\"a\\u0000b\""),
                  "s.json:3: entry 2: field \"helpEn\" holds a NUL"},
             Case{head + entry("6041", ",\"unitSpec\":\"[°]N*1\""),
                  "s.json:3: entry 2: dataType, attribute and unitSpec must be ASCII"},
         }) {
        std::vector<SourceEntry> entries;
        std::string error;
        EXPECT_FALSE(DictionarySource::Parse(c.source, "s.json", entries, error)) << c.source;
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
    }
    // Index and subindex compare without regard to case.
    std::vector<SourceEntry> entries;
    std::string error;
    EXPECT_FALSE(DictionarySource::Parse(
        "[" + entry("604a", "").substr(0, entry("604a", "").size() - 2) + "," + entry("604A", ""),
        "s.json", entries, error));
    EXPECT_NE(error.find("604A:00 is already defined"), std::string::npos) << error;
}

constexpr const char* kNamed = R"([
{"index":"6060","subIndex":"00","nameZh":"运行模式","nameEn":"Modes of operation","dataType":"INTEGER8","attribute":"WSM","default":1,"min":-7,"max":10,"values":[[-7,"时钟摆动","Clock swing"],[1,"轮廓位置","Profile position"]]},
{"index":"6041","subIndex":"00","nameZh":"状态字","nameEn":"Statusword","dataType":"UNSIGNED16","attribute":"LM","default":592,"min":0,"max":65535,"bits":[[0,"准备启动","Ready to switch on"],[10,"目标到达","Target reached"]]},
{"index":"2000","subIndex":"01","nameZh":"无范围","nameEn":"No range","dataType":"UNSIGNED8","attribute":"W"},
{"index":"1008","subIndex":"00","nameZh":"设备名称","nameEn":"Device name","dataType":"VISIBLE STRING","attribute":"","default":"TSD","min":0,"max":0}
])";

TEST(DictionarySourceTest, NamesOfCodesAndBitsTravelIntoTheFactsInBothLanguages) {
    std::vector<SourceEntry> entries;
    std::string error;
    ASSERT_TRUE(DictionarySource::Parse(kNamed, "n.json", entries, error)) << error;
    // The source written back reads the same, names and all, one entry a line.
    std::string text = DictionarySource::Format(entries);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 6);
    EXPECT_NE(text.find(R"("max":10,"values":[[-7,"时钟摆动","Clock swing"],[1,"轮廓位置",)"),
              std::string::npos)
        << text;
    size_t noRange = text.find("No range");
    std::string noRangeLine = text.substr(noRange, text.find('\n', noRange) - noRange);
    EXPECT_EQ(noRangeLine.find("\"min\""), std::string::npos) << noRangeLine;
    EXPECT_EQ(noRangeLine.find("\"default\""), std::string::npos) << noRangeLine;
    std::vector<SourceEntry> again;
    ASSERT_TRUE(DictionarySource::Parse(text, "again.json", again, error)) << error;
    EXPECT_EQ(DictionarySource::Format(again), text);

    std::string facts = EntryFactsTable::Format(DictionarySource::Facts(entries));
    for (int language : {1, 2}) {
        EntryFactsTable table;
        ASSERT_EQ(table.Parse(facts, language, "n.facts.json"), "");
        const EntryFacts* mode = table.Find(0x606000);
        ASSERT_NE(mode, nullptr);
        EXPECT_EQ(mode->CodeText(-7), language == 1 ? "-7 - 时钟摆动" : "-7 - Clock swing");
        EXPECT_EQ(mode->CodeText(1), language == 1 ? "1 - 轮廓位置" : "1 - Profile position");
        EXPECT_EQ(mode->RangeText(), "-7 to 10");
        EXPECT_EQ(mode->factoryDefault, 1);
        EXPECT_TRUE(mode->stored);
        const EntryFacts* status = table.Find(0x604100);
        ASSERT_NE(status, nullptr);
        EXPECT_EQ(status->SetBitNames(0x401),
                  language == 1 ? "准备启动\n目标到达" : "Ready to switch on\nTarget reached");
        EXPECT_FALSE(status->stored);
        // A read-only value has no factory default to differ from, only a range.
        EXPECT_FALSE(status->factoryDefault.has_value());
        EXPECT_TRUE(status->HasRange());
        // No "min"/"max" in the source is no range, not a range of 0 to 0.
        const EntryFacts* open = table.Find(0x200001);
        ASSERT_NE(open, nullptr);
        EXPECT_FALSE(open->HasRange());
        EXPECT_FALSE(open->factoryDefault.has_value());
        // A text has neither range nor default among the facts.
        const EntryFacts* name = table.Find(0x100800);
        ASSERT_NE(name, nullptr);
        EXPECT_FALSE(name->HasRange());
        EXPECT_FALSE(name->factoryDefault.has_value());
    }
}

TEST(DictionarySourceTest, BadNamesAreRefusedWithFileAndLine) {
    auto source = [](const std::string& more) {
        return std::string("[\n{\"index\":\"6041\",\"subIndex\":\"00\",\"nameZh\":\"x\",") +
               "\"nameEn\":\"x\",\"dataType\":\"UNSIGNED16\"" + more + "}\n]";
    };
    struct Case {
        std::string more;
        std::string message;
    };
    for (const Case& c : {
             Case{R"(,"values":[["1","a","b"]])", "field \"values\" must be a list"},
             Case{R"(,"values":[[1,"a",""]])", "1 needs a Chinese and an English name"},
             Case{R"(,"values":[[1,"a","b"],[1,"c","d"]])", "1 is named twice"},
             Case{R"(,"bits":[[32,"a","b"]])", "bit 32 is not one of 0 to 31"},
             Case{R"(,"bits":[[-1,"a","b"]])", "bit -1 is not one of 0 to 31"},
             Case{R"(,"min":5,"max":4)", "min is above max"},
         }) {
        std::vector<SourceEntry> entries;
        std::string error;
        std::string text = source(c.more);
        EXPECT_FALSE(DictionarySource::Parse(text, "s.json", entries, error)) << text;
        EXPECT_NE(error.find("s.json:2: entry 1: "), std::string::npos) << error;
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
    }
}

}  // namespace
}  // namespace tarvo
