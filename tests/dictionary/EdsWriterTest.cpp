#include <gtest/gtest.h>

#include <map>

#include "dictionary/DictionarySource.h"
#include "dictionary/EdsReader.h"
#include "dictionary/EdsWriter.h"

namespace tarvo {
namespace {

SourceEntry Entry(const char* index, const char* sub, const char* name, const char* type,
                  const char* attribute, int64_t def = 0, int64_t min = 0, int64_t max = 0) {
    SourceEntry e;
    e.index = index;
    e.subIndex = sub;
    e.nameEn = name;
    e.nameZh = "中文";
    e.dataType = type;
    e.attribute = attribute;
    e.defaultValue = def;
    e.minimum = min;
    e.maximum = max;
    return e;
}

// The lines of one section, without its header.
std::string SectionOf(const std::string& text, const std::string& name) {
    size_t start = text.find("[" + name + "]\r\n");
    if (start == std::string::npos) {
        return "(missing)";
    }
    start += name.size() + 4;
    size_t end = text.find("\r\n\r\n", start);
    return text.substr(start, end == std::string::npos ? std::string::npos : end + 2 - start);
}

TEST(EdsWriterTest, WritesSectionsAsAnEdsHasThem) {
    std::vector<SourceEntry> entries = {
        Entry("6040", "00", "Controlword", "UNSIGNED16", "WM", 0, 0, 0xFFFF),
        Entry("6064", "00", "Position actual value", "INTEGER32", "LM", 0, INT32_MIN, INT32_MAX),
        Entry("2000", "01", "Run current", "UNSIGNED16", "WS", 1500, 100, 4000),
        Entry("2000", "02", "Idle current", "UNSIGNED8", "WS", 50, 0, 100),
        Entry("1800", "00", "Highest sub-index", "UNSIGNED8", "", 2, 2, 2),
        Entry("1800", "01", "COB-ID", "UNSIGNED32", "WS", 0x40000181, 0, 0xFFFFFFFFll),
        Entry("1800", "02", "Transmission type", "UNSIGNED32", "WS", 255, 0, 255),
        Entry("1008", "00", "Device name", "VISIBLE STRING", ""),
        Entry("1001", "00", "Error register", "UNSIGNED8", "LM"),
    };
    entries[7].defaultText = "TSD-9 \xE2\x80\x93 CAN";
    EdsWriter::Settings settings;
    settings.fileName = "drive.eds";
    settings.defaultsKnown = true;
    settings.created = 86400 * 365;
    std::string text;
    std::string error;
    ASSERT_TRUE(EdsWriter::Write(entries, settings, text, error)) << error;
    EXPECT_EQ(SectionOf(text, "6040"),
              "ParameterName=Controlword\r\nObjectType=0x7\r\nDataType=0x0006\r\n"
              "AccessType=rw\r\nDefaultValue=0x0\r\nPDOMapping=1\r\n");
    EXPECT_EQ(SectionOf(text, "6064"),
              "ParameterName=Position actual value\r\nObjectType=0x7\r\nDataType=0x0004\r\n"
              "AccessType=ro\r\nDefaultValue=0\r\nPDOMapping=1\r\n");
    EXPECT_EQ(SectionOf(text, "2000"),
              "ParameterName=Run current\r\nObjectType=0x9\r\n"
              "SubNumber=2\r\n");
    EXPECT_EQ(SectionOf(text, "2000sub1"),
              "ParameterName=Run current\r\nObjectType=0x7\r\nDataType=0x0006\r\n"
              "AccessType=rw\r\nDefaultValue=0x5DC\r\nLowLimit=0x64\r\nHighLimit=0xFA0\r\n"
              "PDOMapping=0\r\n");
    EXPECT_EQ(SectionOf(text, "1800"),
              "ParameterName=Highest sub-index\r\nObjectType=0x8\r\n"
              "SubNumber=3\r\n");
    EXPECT_NE(SectionOf(text, "1800sub1").find("DefaultValue=$NODEID+0x40000180\r\n"),
              std::string::npos);
    EXPECT_NE(SectionOf(text, "1008").find("DefaultValue=TSD-9 ? CAN\r\n"), std::string::npos);
    EXPECT_EQ(SectionOf(text, "MandatoryObjects"), "SupportedObjects=1\r\n1=0x1001\r\n");
    EXPECT_EQ(SectionOf(text, "OptionalObjects"),
              "SupportedObjects=4\r\n1=0x1008\r\n2=0x1800\r\n3=0x6040\r\n4=0x6064\r\n");
    EXPECT_EQ(SectionOf(text, "ManufacturerObjects"), "SupportedObjects=1\r\n1=0x2000\r\n");
    std::string device = SectionOf(text, "DeviceInfo");
    EXPECT_NE(device.find("ProductName=TSD-9 ? CAN\r\n"), std::string::npos);
    EXPECT_NE(device.find("NrOfRXPDO=0\r\nNrOfTXPDO=1\r\n"), std::string::npos);
    EXPECT_NE(SectionOf(text, "FileInfo").find("EDSVersion=4.0\r\n"), std::string::npos);
    for (size_t i = 0; i < text.size(); ++i) {
        ASSERT_LT(static_cast<unsigned char>(text[i]), 0x80) << i;
        if (text[i] == '\n') {
            ASSERT_EQ(text[i - 1], '\r') << i;
        }
    }

    entries.push_back(Entry("2001", "00", "Odd", "FLOAT", "W"));
    EXPECT_FALSE(EdsWriter::Write(entries, settings, text, error));
    EXPECT_EQ(error, "entry 2001:00: the data type \"FLOAT\" has no CiA 301 number");
}

TEST(EdsWriterTest, DcfAddsCommissioningAndValues) {
    std::vector<SourceEntry> entries = {Entry("6060", "00", "Mode", "INTEGER8", "W"),
                                        Entry("6041", "00", "Statusword", "UNSIGNED16", "LM")};
    EdsWriter::Commissioning commissioning;
    commissioning.nodeId = 7;
    commissioning.baudRateKbit = 250;
    commissioning.nodeName = "X axis";
    commissioning.values = {{0x606000, "-3"}, {0x604100, "0x237"}};
    EdsWriter::Settings settings;
    settings.commissioning = &commissioning;
    std::string text;
    std::string error;
    ASSERT_TRUE(EdsWriter::Write(entries, settings, text, error)) << error;
    EdsContents contents;
    ASSERT_TRUE(EdsReader::Parse(text, "x.dcf", {}, contents, error)) << error;
    EXPECT_EQ(contents.nodeId, 7);
    EXPECT_EQ(contents.baudRateKbit, 250u);
    EXPECT_EQ(contents.nodeName, "X axis");
    ASSERT_EQ(contents.parameterValues.size(), 2u);
    EXPECT_EQ(contents.parameterValues[0].key, 0x604100u);
    EXPECT_EQ(contents.parameterValues[0].text, "567");
    EXPECT_EQ(contents.parameterValues[1].text, "-3");
}

TEST(EdsWriterTest, OurDictionaryRoundTrips) {
    std::vector<SourceEntry> source;
    std::string error;
    ASSERT_TRUE(DictionarySource::Load(std::string(TARVO_SOURCE_DIR) + "/drivedata/dictionary.json",
                                       source, error))
        << error;
    EdsWriter::Settings settings;
    settings.fileName = "tarvo.eds";
    settings.defaultsKnown = true;
    std::string text;
    ASSERT_TRUE(EdsWriter::Write(source, settings, text, error)) << error;
    EdsContents back;
    ASSERT_TRUE(EdsReader::Parse(text, "tarvo.eds", {}, back, error)) << error;

    std::map<std::string, const SourceEntry*> read;
    for (const SourceEntry& e : back.entries) {
        read[e.index + e.subIndex] = &e;
    }
    size_t domains = 0;
    for (const SourceEntry& e : source) {
        auto it = read.find(e.index + e.subIndex);
        if (e.dataType == "DOMAIN") {
            ++domains;
            EXPECT_EQ(it, read.end());
            continue;
        }
        ASSERT_NE(it, read.end()) << e.index << ":" << e.subIndex;
        const SourceEntry& r = *it->second;
        std::string where = e.index + ":" + e.subIndex;
        EXPECT_EQ(r.nameEn, e.nameEn) << where;
        EXPECT_EQ(r.dataType, e.dataType) << where;
        EXPECT_EQ(r.attribute.find('W') != std::string::npos,
                  e.attribute.find('W') != std::string::npos)
            << where;
        EXPECT_EQ(r.attribute.find('M') != std::string::npos,
                  e.attribute.find('M') != std::string::npos)
            << where;
        EXPECT_EQ(r.defaultValue, e.defaultValue) << where;
        EXPECT_EQ(r.defaultText, e.defaultText) << where;
        if (e.dataType != "VISIBLE STRING") {
            EXPECT_EQ(r.minimum, e.minimum) << where;
            EXPECT_EQ(r.maximum, e.maximum) << where;
        }
    }
    EXPECT_EQ(read.size() + domains, source.size());
    ASSERT_EQ(back.leftOut.size(), domains);
    EXPECT_NE(back.leftOut[0].find("DOMAIN is not held by our values; left out"),
              std::string::npos);
}

}  // namespace
}  // namespace tarvo
