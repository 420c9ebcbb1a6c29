#include "dictionary/UnitTable.h"

#include <gtest/gtest.h>

#include "platform/MessageBox.h"

namespace tarvo {
namespace {

using Strings = std::vector<std::string>;

class UnitTableTest : public ::testing::Test {
protected:
    std::string Register(uint32_t key, std::string_view unitSpec) {
        std::string label = "unset";
        EXPECT_TRUE(units.RegisterUnits(key, unitSpec, label));
        return label;
    }

    RecordingMessageBox box;
    UnitTable units{&box};
};

TEST_F(UnitTableTest, ReadAndWriteDefinitions) {
    EXPECT_EQ(Register(0x608100, "[r rpm]N*60/512;[rpm]N*512/60"), "rpm");
    const UnitRecord* record = units.FindRecord(0x608100);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->count, 2);
    ASSERT_EQ(record->definitions.size(), 2u);
    EXPECT_EQ(record->definitions[0].firstWord, "r");
    EXPECT_EQ(record->definitions[0].secondWord, "rpm");
    EXPECT_EQ(record->definitions[0].formula, "N*60/512");
    EXPECT_EQ(record->definitions[1].firstWord, "rpm");
    EXPECT_EQ(record->definitions[1].secondWord, "");
    EXPECT_EQ(record->definitions[1].formula, "N*512/60");
    EXPECT_EQ(Register(0x200100, "[DEC]N*1"), "DEC");
    EXPECT_TRUE(box.texts.empty());
}

TEST_F(UnitTableTest, ShortUnitSpecShowsDecimal) {
    EXPECT_EQ(Register(1, ""), "DEC");
    EXPECT_EQ(Register(1, ""), "DEC");
    EXPECT_EQ(units.FindRecord(1)->count, 0);
    EXPECT_EQ(Register(2, "[]"), "DEC");                // under 3 characters, whatever it holds
    EXPECT_EQ(Register(3, "\xC2\xB0\xC2\xB0"), "DEC");  // two characters in four bytes
    EXPECT_EQ(units.FindRecord(3)->count, 0);
    EXPECT_TRUE(box.texts.empty());
    EXPECT_EQ(units.FindRecord(4), nullptr);
}

TEST_F(UnitTableTest, SpecWithoutDefinitionsReportsAtEveryRegistration) {
    EXPECT_EQ(Register(7, "rpm"), "");
    EXPECT_EQ(Register(7, "rpm"), "");
    EXPECT_EQ(box.texts, (Strings{"Add default unit failure \n", "Add default unit failure \n"}));
    EXPECT_NE(units.FindRecord(7), nullptr);
}

TEST_F(UnitTableTest, SecondRegistrationKeepsTheFirstParse) {
    EXPECT_EQ(Register(5, "[r A]N/1000;[r DEC]N*1"), "A");
    EXPECT_EQ(Register(5, "[V]N*1"), "A");
    EXPECT_EQ(units.FindRecord(5)->count, 2);
    EXPECT_EQ(units.RecordCount(), 1u);
}

TEST_F(UnitTableTest, Separators) {
    auto formulas = [](std::string_view unitSpec) {
        Strings out;
        for (const UnitDefinition& d : UnitTable::ParseUnitSpec(unitSpec)) {
            out.push_back(d.Label() + "=" + d.formula);
        }
        return out;
    };
    EXPECT_EQ(formulas("[a]N*2,[b]N*3 [c]N*4;;;junk[d]N"),
              (Strings{"a=N*2", "b=N*3", "c=N*4", "d=N"}));
    // Without a separator the formula runs into the next bracket.
    EXPECT_EQ(formulas("[a]N*2[b]N*3"), (Strings{"a=N*2["}));
    // A "[" without a later "]" ends the parsing; the definitions before it stay.
    EXPECT_EQ(formulas("[a]N*2;[b N*3"), (Strings{"a=N*2"}));
    // A stray "]" in front of the "[" is not taken as its closing bracket.
    EXPECT_EQ(formulas("]x[y z]N/2"), (Strings{"z=N/2"}));
    EXPECT_EQ(formulas("[r mArms]sqrt(N*1)*1;[a b c]N"), (Strings{"mArms=sqrt(N*1)*1", "b c=N"}));
}

TEST_F(UnitTableTest, UnitChoicesPutDecimalLast) {
    Register(1, "[r DEC]N*1;[r rev]N/[20000520];[rev]N*[20000520]");
    EXPECT_EQ(units.UnitChoices(1), (Strings{"rev", "rev", "DEC"}));
    Register(2, "[r HEX]N*1;[r DEC]N*1");
    EXPECT_EQ(units.UnitChoices(2), (Strings{"HEX", "DEC"}));
    Register(3, "[DEC]N*1;[r A]N/1000");  // a first word DEC stays in place
    EXPECT_EQ(units.UnitChoices(3), (Strings{"DEC", "A"}));
    Register(4, "");
    EXPECT_EQ(units.UnitChoices(4), (Strings{"DEC"}));
    EXPECT_EQ(units.UnitChoices(99), (Strings{"DEC"}));
}

TEST_F(UnitTableTest, CountStaysWithinItsEightBits) {
    std::string unitSpec;
    for (int i = 0; i < 300; ++i) {
        unitSpec += "[u]N;";
    }
    Register(9, unitSpec);
    EXPECT_EQ(units.FindRecord(9)->count, 255);
    EXPECT_EQ(units.FindRecord(9)->definitions.size(), 255u);
}

}  // namespace
}  // namespace tarvo
