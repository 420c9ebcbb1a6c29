#include <gtest/gtest.h>

#include "tests/support/TempFolder.h"
#include "transfer/ObjectListFile.h"
#include "transfer/ParameterFile.h"
#include "transfer/RowResult.h"
#include "transfer/TransferValue.h"

namespace tarvo {
namespace {

TEST(TransferValueTest, FormatsByTypeAndBySize) {
    EXPECT_EQ(TransferValue::FormatByType("INTEGER8", 200), "-56");
    EXPECT_EQ(TransferValue::FormatByType("UNSIGNED8", 200), "200");
    EXPECT_EQ(TransferValue::FormatByType("INTEGER16", 0xFFFE), "-2");
    EXPECT_EQ(TransferValue::FormatByType("UNSIGNED16", 0xFFFE), "65534");
    EXPECT_EQ(TransferValue::FormatByType("UNSIGNED32", 0xFFFFFFFF), "4294967295");
    EXPECT_EQ(TransferValue::FormatByType("INTEGER32", 0xFFFFFFFF), "-1");
    EXPECT_FALSE(TransferValue::FormatByType("VISIBLE_STRING", 5));
    EXPECT_EQ(TransferValue::FormatBySize(0x10, 0xFFFE), "0xfffe");
    EXPECT_EQ(TransferValue::FormatBySize(0x08, 0xAB), "0xab");
    EXPECT_EQ(TransferValue::FormatBySize(0x20, 0x1F), "0x0000001f");
    EXPECT_FALSE(TransferValue::FormatBySize(0x18, 1));
    EXPECT_EQ(TransferValue::AbortText(0x06020000), "0x06020000");
}

TEST(TransferValueTest, LoadValuesMustBeNumbersThatFitTheWidth) {
    EXPECT_EQ(TransferValue::ParseLoadValue("-2", 16), 0xFFFFFFFEu);
    EXPECT_EQ(TransferValue::ParseLoadValue("0x00ff", 8), 0xFFu);
    EXPECT_EQ(TransferValue::ParseLoadValue("4294967295", 32), 0xFFFFFFFFu);
    EXPECT_EQ(TransferValue::ParseLoadValue(" 15 ", 16), 15u);
    EXPECT_EQ(TransferValue::ParseLoadValue("-128", 8), 0xFFFFFF80u);
    // Anything the drive would take as another value is refused.
    for (const char* bad : {"", "abc", "12a", "0x", "0xg1", "1.5", "--1", "4294967296"}) {
        EXPECT_FALSE(TransferValue::ParseLoadValue(bad, 32)) << bad;
    }
    EXPECT_FALSE(TransferValue::ParseLoadValue("256", 8));
    EXPECT_FALSE(TransferValue::ParseLoadValue("-129", 8));
    EXPECT_FALSE(TransferValue::ParseLoadValue("0x10000", 16));
    EXPECT_FALSE(TransferValue::ParseLoadValue("1", 0x18));
}

TEST(TransferValueTest, MatchesComparesTextsOrFormattedValues) {
    DictionaryEntry gain;
    gain.dataType = "INTEGER16";
    EXPECT_TRUE(TransferValue::Matches(&gain, {0x20110110}, "-2", "-2"));
    EXPECT_FALSE(TransferValue::Matches(&gain, {0x20110110}, "0xfffe", "-2"));
    // Outside the dictionary both sides read the same once formatted by the size.
    EXPECT_TRUE(TransferValue::Matches(nullptr, {0x30000108}, "0x00ff", "0xff"));
    EXPECT_TRUE(TransferValue::Matches(nullptr, {0x30000108}, "255", "0xff"));
    EXPECT_FALSE(TransferValue::Matches(nullptr, {0x30000108}, "junk", "0x00"));
}

TEST(ObjectListFileTest, LinesPiecesAndDamagedText) {
    // Hand-made list: CR LF, an empty line, blanks, a 30-character line, no final newline.
    std::string text =
        "60400010\r\n"
        "\r\n"
        " 6081 00 20 \r\n"
        "607A0020607A0020607A0020607A00\n"
        "2011011g";
    auto items = ObjectListFile::Parse(text);
    ASSERT_EQ(items.size(), 6u);
    EXPECT_EQ(items[0].word, 0x60400010u);
    EXPECT_EQ(items[1].word, 0u);  // the empty line is a row of its own
    EXPECT_EQ(items[1].line, 2);
    EXPECT_EQ(items[2].word, 0x60810020u);
    EXPECT_FALSE(items[2].skippedCharacters);
    EXPECT_TRUE(items[3].fromLongLine);
    EXPECT_EQ(items[3].word, 0x0607A002u);  // the lenient parser keeps the last 8 digits
    EXPECT_EQ(items[4].word, 0x00607A00u);  // the second piece, "0607A00"
    EXPECT_EQ(items[4].line, 4);
    EXPECT_EQ(items[5].word, 0x02011011u);
    EXPECT_TRUE(items[5].skippedCharacters);

    test::TempFolder folder;
    std::vector<ObjectListFile::Item> read;
    EXPECT_NE(ObjectListFile::Read(folder.File("missing.cdo"), read), "");
    EXPECT_NE(ObjectListFile::Read(folder.Path(), read), "");
}

TEST(ParameterFileTest, FormatAndLoad) {
    EXPECT_EQ(
        ParameterFile::Format({{"60400010", "15", "True"}, {"60810020", "0x06090011", "Fail"}}),
        "60400010,15,True\r\n60810020,0x06090011,Fail\r\n");

    std::string text =
        "\xEF\xBB\xBF"  // a UTF-8 byte-order mark
        "60400010,15,True\r\n"
        "\r\n"
        "60810020,0x06090011,Fail\r\n"
        ",5,True\n"
        "607A0020,-7,\n"
        "20110110,3\n" +
        std::string(300, '1') + ",1,True\n" + "60FF0020,100,True";
    auto loaded = ParameterFile::Parse(text);
    ASSERT_EQ(loaded.rows.size(), 4u);
    EXPECT_EQ(loaded.rows[0].word, "60400010");
    EXPECT_EQ(loaded.rows[0].value, "15");
    EXPECT_EQ(loaded.rows[1].value, "-7");  // an empty result is loaded
    EXPECT_EQ(loaded.rows[2].value, "");    // no second comma: no value
    EXPECT_EQ(loaded.rows[3].line, 8);      // no final newline
    using S = ParameterFile::Skip;
    ASSERT_EQ(loaded.skipped.size(), 4u);
    EXPECT_EQ(loaded.skipped[0].reason, S::kBlank);  // nothing to read, not unreadable
    EXPECT_EQ(loaded.skipped[1].reason, S::kFailedAtExport);
    EXPECT_EQ(loaded.skipped[2].reason, S::kNoComma);
    EXPECT_EQ(loaded.skipped[3].reason, S::kTooLong);
}

// The texts stand in the list, the files and tarvoctl's report byte for byte; the import
// knows a row that failed at export by its text alone.
TEST(RowResultTest, TextsCountsAndTheImportsSkipRule) {
    struct Case {
        RowResult result;
        const char* text;
        bool error;
        bool skippedAtImport;
    };
    const Case cases[] = {
        {RowResult::kNone, "", false, false},         {RowResult::kTrue, "True", false, false},
        {RowResult::kAlarm, "Alarm", false, false},   {RowResult::kFail, "Fail", true, true},
        {RowResult::kSkipped, "Skipped", true, true},
    };
    for (const Case& c : cases) {
        EXPECT_STREQ(RowResultText(c.result), c.text);
        EXPECT_EQ(IsRowError(c.result), c.error) << c.text;
        std::string file = ParameterFile::Format({{"60400010", "15", RowResultText(c.result)}});
        EXPECT_EQ(ParameterFile::Parse(file).rows.empty(), c.skippedAtImport) << c.text;
    }
}

TEST(ParameterFileTest, SavePathRules) {
    EXPECT_EQ(ParameterFile::SavePath("/home/u/drive.v2/backup", "cdi"),
              "/home/u/drive.v2/backup.cdi");
    EXPECT_EQ(ParameterFile::SavePath("/home/u/backup.cdi", "cdi"), "/home/u/backup.cdi");
    EXPECT_EQ(ParameterFile::SavePath("/home/u/backup.CDI", "CDI"), "/home/u/backup.txt");
    EXPECT_EQ(ParameterFile::SavePath("/home/u/backup.old.txt", "txt"), "/home/u/backup.old.txt");
    EXPECT_EQ(ParameterFile::SavePath("/home/u/backup.bak", "bak"), "/home/u/backup.txt");
}

}  // namespace
}  // namespace tarvo
