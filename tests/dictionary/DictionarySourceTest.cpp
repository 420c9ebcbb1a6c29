#include <gtest/gtest.h>

#include "DictionarySource.h"
#include "MessageBox.h"
#include "ObjectDictionary.h"
#include "TempFolder.h"

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

}  // namespace
}  // namespace tarvo
