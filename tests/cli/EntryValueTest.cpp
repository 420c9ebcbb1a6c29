#include "cli/EntryValue.h"

#include <gtest/gtest.h>

namespace tarvo::test {
namespace {

DictionaryEntry Entry(uint32_t key, std::string type, std::string units) {
    DictionaryEntry entry;
    entry.key = key;
    entry.dataType = std::move(type);
    entry.unitSpec = std::move(units);
    return entry;
}

const DictionaryEntry kVelocity =
    Entry(0x608100, "UNSIGNED32", "[r rpm]N*60/512;[rpm]N*512/60;[r DEC]N*1");
const DictionaryEntry kStep =
    Entry(0x205001, "INTEGER32", "[r DEC]N*1;[r rev]N/[20000520];[rev]N*[20000520]");

TEST(EntryValueTest, ShowsRawValuesInTheirUnits) {
    EntryValue values(nullptr);
    std::string text;
    std::string error;
    EXPECT_EQ(EntryValue::DefaultUnit(kVelocity), "rpm");
    ASSERT_TRUE(values.Show(kVelocity, 5120, "rpm", text, error)) << error;
    EXPECT_EQ(text, "600.000");
    ASSERT_TRUE(values.Show(kVelocity, 0xFFFFFFFF, "DEC", text, error));
    EXPECT_EQ(text, "4294967295");
    ASSERT_TRUE(
        values.Show(Entry(0x604100, "UNSIGNED16", "[r HEX]N*1"), 0x12345, "HEX", text, error));
    EXPECT_EQ(text, "0x2345");  // masked to the entry's 16 bits
    ASSERT_TRUE(values.Show(Entry(0x607A00, "INTEGER16", ""), 0xFFFE, "", text, error));
    EXPECT_EQ(text, "-2");
    EXPECT_FALSE(values.Show(kVelocity, 1, "mm", text, error));
    EXPECT_NE(error.find("rpm, DEC"), std::string::npos) << error;
}

TEST(EntryValueTest, ParsesValuesInWriteUnitsWithinTheType) {
    EntryValue values(nullptr);
    uint32_t raw = 0;
    std::string error;
    ASSERT_TRUE(values.Parse(kVelocity, "600", "rpm", 32, raw, error)) << error;
    EXPECT_EQ(raw, 5120u);
    EXPECT_FALSE(values.Parse(kVelocity, "-5", "rpm", 32, raw, error));  // unsigned entry
    EXPECT_FALSE(values.Parse(kVelocity, "600 rpm", "rpm", 32, raw, error));
    EXPECT_FALSE(values.Parse(Entry(0x606C00, "INTEGER32", "[r rpm]N*60/512"), "1", "rpm", 32, raw,
                              error));  // a unit that is only shown
    // A number is checked against the entry's type; hexadecimal gives the bits themselves.
    struct Case {
        DictionaryEntry entry;
        const char* text;
        int width;
        bool taken;
        uint32_t raw;
    } cases[] = {
        {kVelocity, "-5", 32, false, 0},
        {kVelocity, "4294967295", 32, true, 0xFFFFFFFF},
        {kVelocity, "0xFFFFFFFB", 32, true, 0xFFFFFFFB},
        {kVelocity, "-1", 16, true, 0xFFFF},  // another width than the type's: bits
        {Entry(1, "UNSIGNED8", ""), "256", 8, false, 0},
        {Entry(1, "INTEGER8", ""), "-128", 8, true, 0x80},
        {Entry(1, "INTEGER16", ""), "-32769", 16, false, 0},
        {Entry(1, "INTEGER8", ""), "128", 8, false, 0},
        {Entry(1, "", ""), "-5", 32, true, 0xFFFFFFFB},  // no type: raw bits
    };
    for (const Case& c : cases) {
        raw = 0;
        EXPECT_EQ(values.Parse(c.entry, c.text, "", c.width, raw, error), c.taken) << c.text;
        EXPECT_EQ(raw, c.raw) << c.text;
    }
    EXPECT_EQ(error, "0000:01: 128 is out of range for INTEGER8 (-128 to 127)");
}

// A formula naming another entry reads that entry once, before converting.
TEST(EntryValueTest, ReferencedEntriesAreReadFirst) {
    std::vector<uint32_t> reads;
    EntryValue values([&reads](uint32_t key) -> std::optional<int32_t> {
        reads.push_back(key);
        return 4000;
    });
    std::string text;
    std::string error;
    ASSERT_TRUE(values.Show(kStep, 10000, "rev", text, error)) << error;
    EXPECT_EQ(text, "2.500");
    uint32_t raw = 0;
    ASSERT_TRUE(values.Parse(kStep, "-1.5", "rev", 32, raw, error)) << error;
    EXPECT_EQ(static_cast<int32_t>(raw), -6000);
    EXPECT_EQ(reads, std::vector<uint32_t>{0x200005});

    EntryValue unreadable([](uint32_t) { return std::nullopt; });
    EXPECT_FALSE(unreadable.Show(kStep, 1, "rev", text, error));
    EXPECT_NE(error.find("2000:05"), std::string::npos) << error;
}

TEST(EntryValueTest, RawValuesAreNumbersOfTheEntrysTypeForNamesAndRanges) {
    struct Case {
        const char* type;
        uint32_t raw;
        int64_t number;
    };
    for (const Case& c :
         {Case{"INTEGER8", 0xF9, -7}, Case{"INTEGER8", 0xFFFFFFF9, -7}, Case{"INTEGER8", 0x7F, 127},
          Case{"UNSIGNED8", 0x1FF, 255}, Case{"INTEGER16", 0x8000, -32768},
          Case{"UNSIGNED16", 0xFFFF, 65535}, Case{"INTEGER32", 0xFFFFFFFF, -1},
          Case{"UNSIGNED32", 0xFFFFFFFF, 4294967295}}) {
        EXPECT_EQ(EntryValue::Number(Entry(0x606000, c.type, ""), c.raw), c.number)
            << c.type << " " << c.raw;
    }
    EntryFacts facts;
    facts.minimum = -7;
    facts.maximum = 10;
    facts.valueNames = {{-7, "Clock swing"}, {3, "Profile velocity"}};
    DictionaryEntry mode = Entry(0x606000, "INTEGER8", "");
    mode.name = "Modes of operation";
    EXPECT_EQ(EntryValue::NameSuffix(&facts, mode, 0xF9), " (Clock swing)");
    EXPECT_EQ(EntryValue::NameSuffix(&facts, mode, 4), "");
    EXPECT_EQ(EntryValue::NameSuffix(nullptr, mode, 3), "");
    EXPECT_EQ(EntryValue::CodeOfName(&facts, "PROFILE velocity"), 3);
    EXPECT_EQ(EntryValue::CodeOfName(&facts, "Profile"), std::nullopt);
    EXPECT_EQ(EntryValue::RangeProblem(&facts, mode, 0xF9), "");
    EXPECT_EQ(EntryValue::RangeProblem(&facts, mode, 10), "");
    EXPECT_EQ(EntryValue::RangeProblem(&facts, mode, 0xF8),
              "6060:00: -8 is out of range for 6060:00 Modes of operation (-7 to 10)");
    EXPECT_EQ(EntryValue::RangeProblem(&facts, mode, 11, "11 x"),
              "6060:00: 11 x (raw 11) is out of range for 6060:00 Modes of operation (-7 to 10)");
    EXPECT_EQ(EntryValue::RangeProblem(nullptr, mode, 11), "");
}

}  // namespace
}  // namespace tarvo::test
