#include <gtest/gtest.h>

#include <filesystem>

#include "dictionary/DictionarySource.h"
#include "dictionary/EdsFileExport.h"
#include "dictionary/EdsReader.h"
#include "dictionary/ObjectDictionary.h"
#include "platform/AtomicFile.h"
#include "platform/MessageBox.h"
#include "tests/support/TempFolder.h"
#include "transfer/DcfRows.h"

namespace tarvo {
namespace {

constexpr const char* kSource = R"([
{"index":"6040","subIndex":"00","nameZh":"控制字","nameEn":"Controlword","dataType":"UNSIGNED16","attribute":"WM","default":6,"min":0,"max":65535},
{"index":"1008","subIndex":"00","nameZh":"名称","nameEn":"Device name","dataType":"VISIBLE STRING","attribute":"","default":"TSD"},
{"index":"6060","subIndex":"00","nameZh":"模式","nameEn":"Modes","dataType":"INTEGER8","attribute":"W","default":1,"min":-7,"max":10},
{"index":"2300","subIndex":"10","nameZh":"数据","nameEn":"Samples","dataType":"DOMAIN","attribute":""}
])";

TEST(EdsFileTest, ExportCarriesDefaultsOnlyFromAMatchingSource) {
    test::TempFolder folder;
    std::vector<SourceEntry> entries;
    std::string error;
    ASSERT_TRUE(DictionarySource::Parse(kSource, "s.json", entries, error)) << error;
    ASSERT_TRUE(DictionarySource::WriteDataFile(entries, folder.File("d.dat"), error)) << error;
    size_t written = 0;
    std::string text;

    EXPECT_EQ(EdsFileExport::Write(folder.File("d.dat"), folder.File("a.eds"), {}, written), "");
    EXPECT_EQ(written, 4u);
    ASSERT_TRUE(AtomicFile::Read(folder.File("a.eds"), text));
    EXPECT_EQ(text.find("DefaultValue="), std::string::npos);
    EXPECT_NE(text.find("ParameterName=Controlword\r\n"), std::string::npos);

    ASSERT_TRUE(AtomicFile::Write(folder.File("d.json"), kSource).empty());
    EXPECT_EQ(EdsFileExport::Write(folder.File("d.dat"), folder.File("b.eds"), {}, written), "");
    ASSERT_TRUE(AtomicFile::Read(folder.File("b.eds"), text));
    EXPECT_NE(text.find("DefaultValue=0x6\r\nPDOMapping=1\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("DefaultValue=1\r\nLowLimit=-7\r\nHighLimit=10\r\n"), std::string::npos);
    EXPECT_NE(text.find("DefaultValue=TSD\r\n"), std::string::npos);

    // A source of other entries says nothing about this data file.
    std::string other = kSource;
    other.replace(other.find("\"6060\""), 6, "\"6061\"");
    ASSERT_TRUE(AtomicFile::Write(folder.File("d.json"), other).empty());
    EXPECT_EQ(EdsFileExport::Write(folder.File("d.dat"), folder.File("c.eds"), {}, written), "");
    ASSERT_TRUE(AtomicFile::Read(folder.File("c.eds"), text));
    EXPECT_EQ(text.find("DefaultValue="), std::string::npos);

    EXPECT_NE(EdsFileExport::Write(folder.File("none.dat"), folder.File("x.eds"), {}, written), "");
    EXPECT_EQ(written, 0u);
    EXPECT_FALSE(std::filesystem::exists(folder.File("x.eds")));
}

TEST(EdsFileTest, DcfRowsTakeNumberEntriesAndWritableValues) {
    test::TempFolder folder;
    std::vector<SourceEntry> entries;
    std::string error;
    ASSERT_TRUE(DictionarySource::Parse(kSource, "s.json", entries, error)) << error;
    ASSERT_TRUE(DictionarySource::WriteDataFile(entries, folder.File("d.dat"), error)) << error;
    ObjectDictionary dictionary;
    RecordingMessageBox box;
    ASSERT_TRUE(dictionary.LoadFile(folder.File("d.dat"), 2, &box));
    std::vector<ObjectListFile::Item> items = DcfRows::ItemsOf(dictionary);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].word, 0x60400010u);
    EXPECT_EQ(items[1].word, 0x60600008u);
    EXPECT_EQ(items[1].line, 3);

    std::string dcf =
        "[FileInfo]\n[DeviceInfo]\n[MandatoryObjects]\nSupportedObjects=0\n"
        "[OptionalObjects]\nSupportedObjects=4\n1=0x6040\n2=0x6041\n3=0x6060\n4=0x1008\n"
        "[6040]\nParameterName=Controlword\nDataType=0x0006\nAccessType=rww\n"
        "ParameterValue=0x000F\n"
        "[6041]\nParameterName=Statusword\nDataType=0x0006\nAccessType=ro\nParameterValue=0x27\n"
        "[6060]\nParameterName=Modes\nDataType=0x0002\nAccessType=rw\nParameterValue=0xFD\n"
        "[1008]\nParameterName=Name\nDataType=0x0009\nAccessType=rw\nParameterValue=X\n";
    EdsContents contents;
    ASSERT_TRUE(EdsReader::Parse(dcf, "a.dcf", {}, contents, error)) << error;
    DcfRows::Import import = DcfRows::FromContents(contents, "a.dcf");
    EXPECT_EQ(import.parameterText, "60600008,-3,True\r\n");
    EXPECT_EQ(import.rows, 1u);
    ASSERT_EQ(import.skipped.size(), 3u);
    EXPECT_EQ(import.skipped[0], "a.dcf:30: 1008:00 Name: a text value; not written");
    EXPECT_EQ(import.skipped[1],
              "a.dcf:15: 6040:00 Controlword: a command to the drive, not a setting; not written");
    EXPECT_EQ(import.skipped[2], "a.dcf:20: 6041:00 Statusword: read-only; not written");

    for (const char* name : {"x.dcf", "/a/B.DCF", "y.Dcf"}) {
        EXPECT_TRUE(DcfRows::IsDcf(name)) << name;
    }
    for (const char* name : {"x.cdi", "dcf", "x.dcf.txt", ""}) {
        EXPECT_FALSE(DcfRows::IsDcf(name)) << name;
    }
}

}  // namespace
}  // namespace tarvo
