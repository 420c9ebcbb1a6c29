#include <gtest/gtest.h>

#include <algorithm>

#include "dictionary/EdsReader.h"

namespace tarvo {
namespace {

// The sections every EDS has; `objects` lists the optional objects, `body` their sections.
std::string Eds(const std::string& objects, const std::string& body) {
    size_t count = objects.empty() ? 0 : std::count(objects.begin(), objects.end(), ',') + 1;
    std::string list = "[OptionalObjects]\nSupportedObjects=" + std::to_string(count) + "\n";
    size_t start = 0;
    for (size_t k = 1; k <= count; ++k) {
        size_t comma = objects.find(',', start);
        list += std::to_string(k) + "=" + objects.substr(start, comma - start) + "\n";
        start = comma + 1;
    }
    return "[FileInfo]\nEDSVersion=4.0\n[DeviceInfo]\nVendorName=Lab\n"
           "[MandatoryObjects]\nSupportedObjects=0\n" +
           list + body;
}

std::string Var(const std::string& index, const std::string& type, const std::string& access,
                const std::string& extra = "") {
    return "[" + index + "]\nParameterName=Object " + index + "\nObjectType=0x7\nDataType=" + type +
           "\nAccessType=" + access + "\n" + extra;
}

const SourceEntry* Find(const EdsContents& c, const std::string& index, const std::string& sub) {
    for (const SourceEntry& e : c.entries) {
        if (e.index == index && e.subIndex == sub) {
            return &e;
        }
    }
    return nullptr;
}

bool Read(const std::string& text, EdsContents& contents, std::string& error, int node = 1) {
    EdsReader::Options options;
    options.nodeId = node;
    return EdsReader::Parse(text, "d.eds", options, contents, error);
}

TEST(EdsReaderTest, DataTypesMapToOursOrAreLeftOut) {
    struct Case {
        const char* number;
        const char* ours;  // nullptr: left out and reported
        int64_t minimum = 0, maximum = 0;
    } cases[] = {
        {"0x0001", "UNSIGNED8", 0, 1},
        {"0x0002", "INTEGER8", -128, 127},
        {"0x0003", "INTEGER16", -32768, 32767},
        {"0x0004", "INTEGER32", INT32_MIN, INT32_MAX},
        {"0x0005", "UNSIGNED8", 0, 255},
        {"0x0006", "UNSIGNED16", 0, 65535},
        {"0x0007", "UNSIGNED32", 0, 0xFFFFFFFFll},
        {"0x0009", "VISIBLE STRING", 0, 0},
        {"0x0008", nullptr},  // REAL32
        {"0x000A", nullptr},  // OCTET_STRING
        {"0x000F", nullptr},  // DOMAIN
        {"0x0010", nullptr},  // INTEGER24
        {"0x0011", nullptr},  // REAL64
        {"0x0015", nullptr},  // INTEGER64
        {"0x001B", nullptr},  // UNSIGNED64
        {"0x0040", nullptr},  // a manufacturer's own type
    };
    for (const Case& c : cases) {
        EdsContents contents;
        std::string error;
        ASSERT_TRUE(Read(Eds("0x2000", Var("2000", c.number, "rw")), contents, error))
            << c.number << ": " << error;
        if (c.ours == nullptr) {
            EXPECT_TRUE(contents.entries.empty()) << c.number;
            ASSERT_EQ(contents.leftOut.size(), 1u) << c.number;
            EXPECT_EQ(contents.leftOut[0].rfind("d.eds:10: 2000 \"Object 2000\": ", 0), 0u)
                << contents.leftOut[0];
            continue;
        }
        ASSERT_EQ(contents.entries.size(), 1u) << c.number;
        EXPECT_TRUE(contents.leftOut.empty());
        EXPECT_EQ(contents.entries[0].dataType, c.ours) << c.number;
        EXPECT_EQ(contents.entries[0].minimum, c.minimum) << c.number;
        EXPECT_EQ(contents.entries[0].maximum, c.maximum) << c.number;
    }
}

TEST(EdsReaderTest, AccessTypesAndMappingGiveAttributeLetters) {
    struct Case {
        const char* access;
        const char* mapping;
        const char* attribute;
    } cases[] = {
        {"ro", "0", ""},    {"const", "0", ""}, {"rw", "0", "W"},
        {"RW", "0", "W"},   {"wo", "0", "W"},   {"rwr", "1", "WM"},
        {"rww", "1", "WM"}, {"ro", "1", "LM"},  {"const", "1", "LM"},
    };
    for (const Case& c : cases) {
        EdsContents contents;
        std::string error;
        std::string body =
            Var("6041", "0x0006", c.access, std::string("PDOMapping=") + c.mapping + "\n");
        ASSERT_TRUE(Read(Eds("0x6041", body), contents, error)) << c.access << error;
        ASSERT_EQ(contents.entries.size(), 1u);
        EXPECT_EQ(contents.entries[0].attribute, c.attribute) << c.access << "/" << c.mapping;
    }
    EdsContents contents;
    std::string error;
    EXPECT_FALSE(Read(Eds("0x6041", Var("6041", "0x0006", "rx")), contents, error));
    EXPECT_EQ(error, "d.eds:14: AccessType \"rx\" is none of ro, wo, rw, rwr, rww, const");
    EXPECT_FALSE(
        Read(Eds("0x6041", Var("6041", "0x0006", "ro", "PDOMapping=2\n")), contents, error));
    EXPECT_NE(error.find("d.eds:15: PDOMapping"), std::string::npos) << error;
}

TEST(EdsReaderTest, ObjectTypesGroupSubObjects) {
    std::string body =
        "[1018]\nParameterName=Identity\nObjectType=0x9\nSubNumber=3\n"
        "[1018sub0]\nParameterName=Count\nObjectType=0x7\nDataType=0x0005\nAccessType=ro\n"
        "DefaultValue=4\n"
        "[1018sub1]\nParameterName=Vendor-ID\nDataType=0x0007\nAccessType=ro\n"
        "DefaultValue=0x0A7B\n"
        "[1018sub0A]\nParameterName=Tenth\nDataType=0x0004\nAccessType=rw\nDefaultValue=-5\n"
        "[1F50]\nParameterName=Program\nObjectType=0x2\n"
        "[0040]\nParameterName=Own type\nObjectType=0x5\n";
    EdsContents contents;
    std::string error;
    ASSERT_TRUE(Read(Eds("0x1018,0x1F50,0x0040", body), contents, error)) << error;
    ASSERT_EQ(contents.entries.size(), 3u);
    EXPECT_EQ(contents.entries[1].nameEn, "Vendor-ID");
    EXPECT_EQ(contents.entries[1].nameZh, "Vendor-ID");
    EXPECT_EQ(contents.entries[1].defaultValue, 0x0A7B);
    EXPECT_EQ(contents.entries[2].subIndex, "0A");
    EXPECT_EQ(contents.entries[2].defaultValue, -5);
    ASSERT_EQ(contents.leftOut.size(), 2u);
    EXPECT_NE(contents.leftOut[0].find("0040 \"Own type\": object type DEFTYPE"),
              std::string::npos);
    EXPECT_NE(contents.leftOut[1].find("1F50 \"Program\": object type DOMAIN"), std::string::npos);

    std::string bad = "[6000]\nParameterName=Odd\nObjectType=0x3\n";
    EXPECT_FALSE(Read(Eds("0x6000", bad), contents, error));
    EXPECT_EQ(error.rfind("d.eds:12: ObjectType 0x3 is none of", 0), 0u) << error;
}

TEST(EdsReaderTest, CompactSubObjectsExpand) {
    std::string body =
        "[1600]\nParameterName=Mapping\nObjectType=0x8\nDataType=0x0007\nAccessType=rw\n"
        "CompactSubObj=3\nDefaultValue=0x60400010\nPDOMapping=0\n"
        "[1600Name]\nNrOfEntries=1\n2=Second mapped object\n"
        "[1600Value]\nNrOfEntries=1\n3=0x60410010\n";
    EdsContents contents;
    std::string error;
    ASSERT_TRUE(Read(Eds("0x1600", body), contents, error)) << error;
    ASSERT_EQ(contents.entries.size(), 4u);
    const SourceEntry& count = contents.entries[0];
    EXPECT_EQ(count.subIndex, "00");
    EXPECT_EQ(count.dataType, "UNSIGNED8");
    EXPECT_EQ(count.attribute, "");
    EXPECT_EQ(count.defaultValue, 3);
    EXPECT_EQ(contents.entries[1].nameEn, "Mapping 1");
    EXPECT_EQ(contents.entries[2].nameEn, "Second mapped object");
    EXPECT_EQ(contents.entries[3].subIndex, "03");
    EXPECT_EQ(contents.entries[3].attribute, "W");
    EXPECT_EQ(contents.entries[3].defaultValue, 0x60400010);
    ASSERT_EQ(contents.parameterValues.size(), 1u);
    EXPECT_EQ(contents.parameterValues[0].key, 0x160003u);
    EXPECT_EQ(contents.parameterValues[0].text, std::to_string(0x60410010));

    for (const char* count : {"0x0", "255"}) {
        std::string odd =
            "[1600]\nParameterName=M\nObjectType=0x8\nDataType=0x0007\n"
            "AccessType=rw\nCompactSubObj=" +
            std::string(count) + "\n";
        bool read = Read(Eds("0x1600", odd), contents, error);
        // 0 means "not compact", which then needs a SubNumber.
        EXPECT_FALSE(read) << count;
    }
}

TEST(EdsReaderTest, NodeIdTermsAndNumberForms) {
    struct Case {
        const char* text;
        int64_t value;
    } cases[] = {
        {"$NODEID+0x180", 0x185},
        {"0x200+$NODEID", 0x205},
        {"$nodeid", 5},
        {"010", 8},
        {"0x7F", 127},
        {"-12", -12},
        {"  42 ", 42},
    };
    for (const Case& c : cases) {
        EdsContents contents;
        std::string error;
        std::string body =
            Var("1800", "0x0004", "rw", std::string("DefaultValue=") + c.text + "\n");
        ASSERT_TRUE(Read(Eds("0x1800", body), contents, error, 5)) << c.text << error;
        EXPECT_EQ(contents.entries.at(0).defaultValue, c.value) << c.text;
        bool noted = !contents.notes.empty() && contents.notes.back() == "$NODEID taken as 5";
        EXPECT_EQ(noted, std::string(c.text).find("ODEID") != std::string::npos ||
                             std::string(c.text).find("odeid") != std::string::npos)
            << c.text;
    }
    for (const char* bad : {"12x", "0x", "09", "$NODE", "1++2", "0x1FFFFFFFFFFFFFFFFFF"}) {
        EdsContents contents;
        std::string error;
        std::string body = Var("1800", "0x0004", "rw", std::string("DefaultValue=") + bad + "\n");
        EXPECT_FALSE(Read(Eds("0x1800", body), contents, error)) << bad;
        EXPECT_EQ(error.rfind("d.eds:15: DefaultValue: ", 0), 0u) << error;
    }
}

TEST(EdsReaderTest, LimitsFitTheTypeAndEachOther) {
    struct Case {
        const char* type;
        const char* keys;
        bool good;
        int64_t minimum = 0, maximum = 0, defaultValue = 0;
    } cases[] = {
        {"0x0006", "LowLimit=10\nHighLimit=0x1000\nDefaultValue=20\n", true, 10, 4096, 20},
        {"0x0004", "LowLimit=0x80000000\nHighLimit=0x7FFFFFFF\nDefaultValue=0xFFFFFFFF\n", true,
         INT32_MIN, INT32_MAX, -1},
        {"0x0002", "DefaultValue=0xFF\n", true, -128, 127, -1},
        {"0x0006", "LowLimit=\nHighLimit=\n", true, 0, 65535, 0},
        {"0x0006", "HighLimit=65536\n", false},
        {"0x0005", "DefaultValue=-1\n", false},
        {"0x0002", "DefaultValue=0x100\n", false},
        {"0x0003", "LowLimit=5\nHighLimit=4\n", false},
    };
    for (const Case& c : cases) {
        EdsContents contents;
        std::string error;
        bool read = Read(Eds("0x2000", Var("2000", c.type, "rw", c.keys)), contents, error);
        ASSERT_EQ(read, c.good) << c.keys << error;
        if (!c.good) {
            EXPECT_EQ(error.rfind("d.eds:1", 0), 0u) << error;
            continue;
        }
        EXPECT_EQ(contents.entries[0].minimum, c.minimum) << c.keys;
        EXPECT_EQ(contents.entries[0].maximum, c.maximum) << c.keys;
        EXPECT_EQ(contents.entries[0].defaultValue, c.defaultValue) << c.keys;
    }
}

TEST(EdsReaderTest, BadFilesAreRefusedWithFileAndLine) {
    std::string var = Var("6040", "0x0006", "rw");
    struct Case {
        std::string text;
        const char* expected;  // the start of the message
    } cases[] = {
        {"[FileInfo]\n[DeviceInfo]\n[OptionalObjects]\nSupportedObjects=0\n",
         "d.eds: missing section [MandatoryObjects]"},
        {Eds("0x6040", var + var), "d.eds:15: section [6040] is already on line 10"},
        {Eds("0x6040,0x6040", var), "d.eds:10: object 6040 is already listed on line 9"},
        {Eds("0x6040",
             "[6040]\nParameterName=C\nObjectType=0x9\nSubNumber=2\n"
             "[6040sub0]\nParameterName=N\nDataType=0x0005\nAccessType=ro\n"),
         "d.eds:13: SubNumber=2 but [6040] has 1 sub-object sections"},
        {Eds("0x6040", var + "DefaultValue=1O\n"), "d.eds:15: DefaultValue: \"1O\" is no number"},
        {Eds("0x6041", var), "d.eds:9: object 6041 is listed but has no section [6041]"},
        {Eds("0x6040", var + "ParameterName=Again\n"),
         "d.eds:15: key ParameterName of [6040] is already on line 11"},
        {Eds("0x6040", var + "[6040sub1]\n[6040sub01]\n"),
         "d.eds:16: [6040sub01] repeats [6040sub1] on line 15"},
        {"[FileInfo]\n[DeviceInfo]\n[MandatoryObjects]\nSupportedObjects=2\n1=0x1000\n",
         "d.eds:4: SupportedObjects=2 but [MandatoryObjects] lists 1 objects"},
        {"Name=1\n[FileInfo]\n", "d.eds:1: a key before the first section"},
        {"[FileInfo]\n[Device\n", "d.eds:2: a section header must read [Name]"},
        {"[FileInfo]\njust words\n", "d.eds:2: expected Name=Value or [Section]"},
        {"[FileInfo]\nA=" + std::string(70000, 'x') + "\n",
         "d.eds:2: the line is longer than 64 KB (70002 bytes)"},
        {std::string("[FileInfo]\n\x7F"
                     "ELF\x02\x01\x01\0\0",
                     20),
         "d.eds:2: the line holds binary data (byte 0x7F)"},
        {std::string("[FileInfo]\nA=1\0\n", 16), "d.eds:2: the line holds binary data (byte 0x00)"},
    };
    for (const Case& c : cases) {
        EdsContents contents;
        std::string error;
        EXPECT_FALSE(Read(c.text, contents, error)) << c.expected;
        EXPECT_EQ(error.rfind(c.expected, 0), 0u) << error;
        EXPECT_TRUE(contents.entries.empty());
    }
}

TEST(EdsReaderTest, ByteOrderMarkAndWindowsLineEndsReadAlike) {
    std::string plain =
        Eds("0x6040,0x1008", Var("6040", "0x0006", "rw", "DefaultValue=6\n") +
                                 Var("1008", "0x0009", "ro", "DefaultValue=Drive \xC3\xA9 X\n"));
    std::string windows = "\xEF\xBB\xBF";
    for (char c : plain) {
        windows += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    EdsContents a;
    EdsContents b;
    std::string error;
    ASSERT_TRUE(Read(plain, a, error)) << error;
    ASSERT_TRUE(Read(windows, b, error)) << error;
    ASSERT_EQ(a.entries.size(), 2u);
    ASSERT_EQ(b.entries.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(a.entries[i].index, b.entries[i].index);
        EXPECT_EQ(a.entries[i].nameEn, b.entries[i].nameEn);
        EXPECT_EQ(a.entries[i].defaultText, b.entries[i].defaultText);
        EXPECT_EQ(a.entries[i].defaultValue, b.entries[i].defaultValue);
    }
    EXPECT_EQ(b.entries[0].defaultText, "Drive \xC3\xA9 X");
    // A Latin-1 byte that is no UTF-8 reads as its Windows-1252 character.
    std::string latin = Eds("0x1008", Var("1008", "0x0009", "ro", "DefaultValue=Drive \xE9\n"));
    ASSERT_TRUE(Read(latin, a, error)) << error;
    EXPECT_EQ(a.entries[0].defaultText, "Drive \xC3\xA9");
}

TEST(EdsReaderTest, DcfCommissioningAndParameterValues) {
    std::string body = Var("6060", "0x0002", "rw", "DefaultValue=1\nParameterValue=0xFD\n") +
                       Var("1008", "0x0009", "ro", "ParameterValue=TSD 2\n") +
                       "[DeviceComissioning]\nNodeID=0x0C\nBaudrate=250\nNodeName=Axis X\n";
    EdsContents contents;
    std::string error;
    ASSERT_TRUE(Read(Eds("0x6060,0x1008", body), contents, error)) << error;
    EXPECT_EQ(contents.nodeId, 12);
    EXPECT_EQ(contents.baudRateKbit, 250u);
    EXPECT_EQ(contents.nodeName, "Axis X");
    ASSERT_EQ(contents.parameterValues.size(), 2u);
    EXPECT_EQ(contents.parameterValues[0].key, 0x100800u);
    EXPECT_EQ(contents.parameterValues[0].text, "TSD 2");
    EXPECT_EQ(contents.parameterValues[1].key, 0x606000u);
    EXPECT_EQ(contents.parameterValues[1].text, "-3");
    EXPECT_EQ(contents.parameterValues[1].line, 17);

    EXPECT_FALSE(Read(Eds("", "[DeviceComissioning]\nNodeID=128\n"), contents, error));
    EXPECT_EQ(error, "d.eds:10: NodeID 128 is not 1-127");
}

}  // namespace
}  // namespace tarvo
