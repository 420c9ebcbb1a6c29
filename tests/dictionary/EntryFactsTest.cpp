#include <gtest/gtest.h>

#include "dictionary/EntryFactsTable.h"
#include "dictionary/ObjectDictionary.h"
#include "platform/MessageBox.h"
#include "tests/support/DataFileBuilder.h"
#include "tests/support/TempFolder.h"

namespace tarvo {
namespace {

const char* kSource = R"({"tarvoFacts": 1, "entries": [
{"entry": "6060:00", "min": -7, "max": 10, "default": 1, "stored": true,
 "values": [{"value": 3, "zh": "速度", "en": "Profile velocity"},
            {"value": 1, "zh": "位置", "en": "Profile position"},
            {"value": -1, "en": "Pulse"}]},
{"entry": "6041:00", "bits": [{"bit": 0, "zh": "准备", "en": "Ready to switch on"},
                              {"bit": 31, "zh": "高位"}]},
{"entry": "2000:0a", "min": 0}
]})";

TEST(EntryFacts, NamesInEitherLanguageFallBackToTheOther) {
    EntryFactsTable english;
    ASSERT_EQ(english.Parse(kSource, 2, "f.json"), "");
    EntryFactsTable chinese;
    ASSERT_EQ(chinese.Parse(kSource, 1, "f.json"), "");
    const EntryFacts* mode = english.Find(0x606000);
    ASSERT_NE(mode, nullptr);
    EXPECT_EQ(mode->CodeText(1), "1 - Profile position");
    EXPECT_EQ(mode->CodeText(-1), "-1 - Pulse");
    EXPECT_EQ(mode->CodeText(2), "2");
    EXPECT_EQ(chinese.Find(0x606000)->CodeText(3), "3 - 速度");
    EXPECT_EQ(chinese.Find(0x606000)->CodeText(-1), "-1 - Pulse");
    EXPECT_EQ(english.Find(0x604100)->SetBitNames(0x80000003u), "Ready to switch on\nbit 1\n高位");
    EXPECT_EQ(english.Find(0x604100)->SetBitNames(0), "");
    EXPECT_EQ(mode->SetBitNames(1), "");  // no bit names: nothing to list
    EXPECT_TRUE(mode->stored);
    EXPECT_EQ(mode->factoryDefault, 1);
    EXPECT_NE(english.Find(0x20000A), nullptr);  // subindex in either case of hex digits
    EXPECT_EQ(english.Find(0x200000), nullptr);
}

TEST(EntryFacts, RangeEndsAreInclusiveAndOpenEndsDoNotLimit) {
    EntryFacts both;
    both.minimum = -7;
    both.maximum = 10;
    EntryFacts low;
    low.minimum = 0;
    EntryFacts none;
    struct Case {
        const EntryFacts& facts;
        int64_t value;
        bool in;
    } cases[] = {{both, -7, true},       {both, -8, false},      {both, 10, true},
                 {both, 11, false},      {low, 0, true},         {low, -1, false},
                 {low, INT64_MAX, true}, {none, INT64_MIN, true}};
    for (const Case& c : cases) {
        EXPECT_EQ(c.facts.InRange(c.value), c.in) << c.value;
    }
    EXPECT_EQ(both.RangeText(), "-7 to 10");
    EXPECT_EQ(low.RangeText(), "at least 0");
    EXPECT_EQ(none.RangeText(), "");
}

TEST(EntryFacts, BadFilesAreRefusedWholeAndSayWhere) {
    struct Case {
        const char* text;
        const char* problem;
    } cases[] = {
        {"{", "f.json is not JSON text"},
        {R"({"tarvoFacts": 2, "entries": []})", "f.json is not a facts file"},
        {R"([1])", "f.json is not a facts file"},
        {R"({"tarvoFacts": 1})", "f.json has no \"entries\" list"},
        {R"({"tarvoFacts": 1, "entries": [{"entry": "60600"}]})", "f.json, entry 1: \"entry\""},
        {R"({"tarvoFacts": 1, "entries": [{"entry": "0000:00"}]})", "f.json, entry 1:"},
        {R"({"tarvoFacts": 1, "entries": [{"entry": "6060:00", "min": 1.5}]})",
         "f.json, 6060:00: \"min\" is not a whole number"},
        {R"({"tarvoFacts": 1, "entries": [{"entry": "6060:00", "min": 18446744073709551615}]})",
         "\"min\" is too large"},
        {R"({"tarvoFacts": 1, "entries": [{"entry": "6060:00", "min": 2, "max": 1}]})",
         "\"min\" is above \"max\""},
        {R"({"tarvoFacts": 1, "entries": [{"entry": "6060:00", "stored": 1}]})", "\"stored\""},
        {R"({"tarvoFacts": 1, "entries": [{"entry": "6041:00", "bits": [{"bit": 32, "en": "x"}]}]})",
         "bit 32 is not one of 0 to 31"},
        {R"({"tarvoFacts": 1, "entries": [{"entry": "6060:00", "values": [{"value": 1}]}]})",
         "value 1 has no name"},
        {R"({"tarvoFacts": 1, "entries": [{"entry": "6060:00", "values": [{"value": 1, "en": "a"}, {"value": 1, "en": "b"}]}]})",
         "value 1 is named twice"},
        {R"({"tarvoFacts": 1, "entries": [{"entry": "6060:00"}, {"entry": "6060:00"}]})",
         "listed twice"},
        {R"({"tarvoFacts": 1, "entries": [{"entry": "6060:00", "values": [{"value": 1, "en": 5}]}]})",
         "\"en\" is not text"},
    };
    for (const Case& c : cases) {
        EntryFactsTable table;
        ASSERT_EQ(table.Parse(kSource, 2, "f.json"), "");
        std::string problem = table.Parse(c.text, 2, "f.json");
        EXPECT_NE(problem.find(c.problem), std::string::npos) << c.text << "\n" << problem;
        EXPECT_TRUE(table.Empty()) << c.text;
    }
}

TEST(EntryFacts, FormatIsReadBackAndTheDictionaryTakesTheFileBesideIt) {
    FactsRecord mode{0x606000, -7, 10, 1, true, {{1, "位置", "Profile position"}}, {}};
    FactsRecord status{0x604100, {}, {}, {}, false, {}, {{0, "准备", "Ready to switch on"}}};
    std::string text = EntryFactsTable::Format({mode, status});
    EntryFactsTable table;
    ASSERT_EQ(table.Parse(text, 1, "f.json"), "");
    EXPECT_EQ(table.Find(0x606000)->RangeText(), "-7 to 10");
    EXPECT_EQ(table.Find(0x606000)->CodeText(1), "1 - 位置");
    EXPECT_FALSE(table.Find(0x604100)->HasRange());

    EXPECT_EQ(EntryFactsTable::PathBeside("/a/data/tarvo.dat"), "/a/data/tarvo.facts.json");
    EXPECT_EQ(EntryFactsTable::PathBeside("lab"), "lab.facts.json");

    // A missing facts file is no problem; a bad one is named and costs only the facts.
    test::TempFolder folder;
    RecordingMessageBox box;
    std::string data = folder.Write("data/tarvo.dat", test::Record("6060", "00", "Mode"));
    ObjectDictionary plain;
    ASSERT_TRUE(plain.LoadFile(data, 2, &box));
    EXPECT_EQ(plain.FactsOf(0x606000), nullptr);
    EXPECT_EQ(plain.FactsProblem(), "");

    folder.Write("data/tarvo.facts.json", text);
    ObjectDictionary withFacts;
    ASSERT_TRUE(withFacts.LoadFile(data, 2, &box));
    ASSERT_NE(withFacts.FactsOf(0x606000), nullptr);
    EXPECT_EQ(withFacts.FactsOf(0x606000)->CodeText(1), "1 - Profile position");

    folder.Write("data/tarvo.facts.json", text.substr(0, text.size() / 2));
    ObjectDictionary badFacts;
    ASSERT_TRUE(badFacts.LoadFile(data, 2, &box));
    EXPECT_EQ(badFacts.EntryCount(), 1);
    EXPECT_EQ(badFacts.FactsOf(0x606000), nullptr);
    EXPECT_NE(badFacts.FactsProblem().find("tarvo.facts.json is not JSON text"), std::string::npos);
}

}  // namespace
}  // namespace tarvo
