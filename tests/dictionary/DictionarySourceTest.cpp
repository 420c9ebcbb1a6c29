#include <gtest/gtest.h>

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

}  // namespace
}  // namespace tarvo
