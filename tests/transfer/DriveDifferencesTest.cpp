#include "transfer/DriveDifferences.h"

#include <gtest/gtest.h>

#include <map>

#include "tests/transfer/TransferRig.h"
#include "transfer/FirstUnitText.h"
#include "transfer/ImportDrvDataModel.h"

namespace tarvo {
namespace {

using test::SentRequest;
using Model = ImportDrvDataModel;
using Kind = DriveDifferences::Kind;

const char* kFacts = R"({"tarvoFacts": 1, "entries": [
{"entry": "6060:00", "values": [{"value": 1, "en": "Profile position"},
                                {"value": 3, "en": "Profile velocity"},
                                {"value": -1, "en": "Pulse"}]}]})";

// A compare of a file with a drive that holds other values in some rows, then the writing of
// those rows only, over a dictionary with value names and a unit.
class DriveDifferencesTest : public ::testing::Test {
protected:
    DriveDifferencesTest() {
        std::string data;
        auto add = [&data](const char* index, const char* type, const char* name,
                           const char* units = "") {
            test::RecordTexts t;
            t.index = index;
            t.subIndex = index[0] == '2' ? "01" : "00";
            t.dataType = type;
            t.nameEn = name;
            t.unitSpec = units;
            data += test::Record(t);
        };
        add("6060", "INTEGER8", "Operation mode");
        add("6081", "UNSIGNED32", "Profile velocity", "[r rpm]N*60/512;[rpm]N*512/60;[r DEC]N*1");
        add("6040", "UNSIGNED16", "Control word", "[DEC]N");
        add("607A", "INTEGER32", "Target position");
        add("2011", "INTEGER16", "Position gain");
        rig.folder.Write("data/tarvo.facts.json", kFacts);
        dictionary.LoadFile(rig.folder.Write("data/tarvo.dat", data), 2, &rig.box);
    }

    void Load(const std::string& text) {
        model.BeginOpen();
        model.LoadFile(rig.folder.Write("params.cdi", text));
        model.EndOpen();
    }
    // Answers the requests from `from` on as they come: reads from `drive` (an absent key is
    // refused with "no such object"), writes by taking the value into `drive`.
    void Serve(std::map<uint32_t, uint32_t>& drive, size_t from) {
        while (model.Running() && from < rig.link.requests.size()) {
            const SentRequest r = rig.link.requests[from++];
            if (r.command != SdoCommand::Read) {
                drive[r.address] = r.data;
                model.onMessage(WM_LINK_VALUE, r.data, r.address);
            } else if (drive.count(r.address) != 0) {
                model.onMessage(WM_LINK_VALUE, drive[r.address], r.address);
            } else {
                model.onMessage(WM_LINK_ABORT, 0x06020000, r.address);
            }
        }
    }
    std::vector<DriveDifferences::Difference> Compare(std::map<uint32_t, uint32_t>& drive) {
        size_t from = rig.link.requests.size();
        model.Start(Model::RunKind::kCompare);
        Serve(drive, from);
        EXPECT_FALSE(model.Running());
        return DriveDifferences::Of(model, dictionary, units);
    }

    test::TransferRig rig;
    ObjectDictionary dictionary;
    FirstUnitText units;
    Model model{{rig.link, rig.switches, rig.box, dictionary, rig.storeTimer, rig.watchTimer}};
};

const char* kFile =
    "60600008,1,True\r\n"       // named code, the drive holds another
    "60810020,512,True\r\n"     // a unit beyond the number
    "60400010,6,True\r\n"       // equal: not listed
    "607A0020,-7,True\r\n"      // the drive refuses the read
    "30000108,0x00ff,True\r\n"  // outside the dictionary: by size
    "20110110,abc,True\r\n";    // no value to compare

TEST_F(DriveDifferencesTest, ListsOnlyRowsThatDifferWithNamesUnitsAndReasons) {
    Load(kFile);
    std::map<uint32_t, uint32_t> drive{
        {0x606000, 3}, {0x608100, 1024}, {0x604000, 6}, {0x300001, 0x0F}};
    auto found = Compare(drive);
    ASSERT_EQ(found.size(), 5u);
    struct Expected {
        int row;
        const char* entry;
        const char* name;
        const char* file;
        const char* drive;
        Kind kind;
    };
    const Expected expected[] = {
        {0, "6060:00", "Operation mode", "1 - Profile position", "3 - Profile velocity",
         Kind::kDiffers},
        {1, "6081:00", "Profile velocity", "512 (60.000 rpm)", "1024 (120.000 rpm)",
         Kind::kDiffers},
        {3, "607A:00", "Target position", "-7",
         "abort 0x06020000 (Object does not exist in the object dictionary)", Kind::kRefused},
        {4, "3000:01", "? ? ? ?", "0x00ff", "0x0f", Kind::kDiffers},
        {5, "2011:01", "Position gain", "abc", "its value \"abc\" is no number of its size",
         Kind::kNotCompared},
    };
    for (size_t i = 0; i < found.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(found[i].row, expected[i].row);
        EXPECT_EQ(found[i].entry, expected[i].entry);
        EXPECT_EQ(found[i].name, expected[i].name);
        EXPECT_EQ(found[i].file, expected[i].file);
        EXPECT_EQ(found[i].drive, expected[i].drive);
        EXPECT_EQ(found[i].kind, expected[i].kind);
    }
}

TEST_F(DriveDifferencesTest, ShowsSignedCodesByTheirNameAndKeepsUnnamedOnesBare) {
    std::optional<DictionaryEntry> mode = dictionary.FindEntry(0x606000);
    std::optional<DictionaryEntry> control = dictionary.FindEntry(0x604000);
    ASSERT_TRUE(mode && control);
    const EntryFacts* facts = dictionary.FactsOf(0x606000);
    ASSERT_NE(facts, nullptr);
    struct Case {
        const DictionaryEntry* entry;
        const EntryFacts* facts;
        const char* text;
        uint32_t size;
        const char* shown;
    } cases[] = {
        {&*mode, facts, "-1", 8, "-1 - Pulse"},
        {&*mode, facts, "0xff", 8, "-1 - Pulse"},  // the bits of -1, widened by the type
        {&*mode, facts, "2", 8, "2"},
        {&*mode, nullptr, "1", 8, "1"},
        {&*control, nullptr, "6", 16, "6"},  // DEC: nothing beside the number
        {nullptr, facts, "1", 8, "1"},
        {&*mode, facts, "x", 8, "x"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(DriveDifferences::Shown(c.entry, c.facts, c.text, c.size, units), c.shown);
    }
}

TEST_F(DriveDifferencesTest, WritesOnlyTheListedRowsAndReadsEachBack) {
    Load(kFile);
    std::map<uint32_t, uint32_t> drive{
        {0x606000, 3}, {0x608100, 1024}, {0x604000, 6}, {0x300001, 0x0F}};
    Compare(drive);
    ASSERT_TRUE(model.Compared());
    size_t from = rig.link.requests.size();
    ASSERT_TRUE(model.WriteDiffering());
    EXPECT_FALSE(model.Compared());
    Serve(drive, from);
    ASSERT_FALSE(model.Running());
    // 6060, 6081, 607A (refused at the compare: tried again), 3000:01; never 6040 nor
    // the row without a value. Then each written row read back.
    std::vector<SentRequest> expected = {{&model, SdoCommand::Write8, 0x606000, 1},
                                         {&model, SdoCommand::Write32, 0x608100, 512},
                                         {&model, SdoCommand::Write32, 0x607A00, 0xFFFFFFF9},
                                         {&model, SdoCommand::Write8, 0x300001, 0xFF},
                                         {&model, SdoCommand::Read, 0x606000, 0},
                                         {&model, SdoCommand::Read, 0x608100, 0},
                                         {&model, SdoCommand::Read, 0x607A00, 0},
                                         {&model, SdoCommand::Read, 0x300001, 0}};
    EXPECT_EQ(std::vector<SentRequest>(rig.link.requests.begin() + from, rig.link.requests.end()),
              expected);
    // Reported as Write reports: the row without a value stays an error, and says so.
    EXPECT_EQ(model.StatusText(Model::kWriteStatus),
              "Finish: Total:6  Alarm:0  Error:1 - check red and yellow rows, then Write again");
    auto left = DriveDifferences::Of(model, dictionary, units);
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].kind, Kind::kNotCompared);
    EXPECT_FALSE(model.WriteDiffering());  // once per compare
    EXPECT_EQ(Compare(drive).size(), 1u);
}

TEST_F(DriveDifferencesTest, WritesNothingWithoutAFinishedCompareOfTheLoadedFile) {
    std::map<uint32_t, uint32_t> drive{{0x606000, 3}};
    auto attempt = [this] {
        size_t sent = rig.link.requests.size();
        bool started = model.WriteDiffering();
        EXPECT_EQ(rig.link.requests.size(), sent);
        return started;
    };
    Load("60600008,1,True\r\n");
    EXPECT_FALSE(attempt());  // nothing compared yet

    Compare(drive);
    Load("60600008,1,True\r\n");
    EXPECT_FALSE(attempt());  // the file was loaded again

    model.Start(Model::RunKind::kCompare);
    model.Stop();
    EXPECT_FALSE(attempt());  // a stopped compare knows only part of the drive

    Compare(drive);
    size_t from = rig.link.requests.size();
    model.Write();
    Serve(drive, from);
    EXPECT_FALSE(attempt());  // a full write came between

    Compare(drive);
    rig.switches.connectionState = ConnectionState::Closed;
    EXPECT_FALSE(attempt());
    EXPECT_EQ(rig.box.texts.back(), "Comm port isn't Open!");
    rig.switches.connectionState = ConnectionState::Open;
    EXPECT_TRUE(model.WriteDiffering());  // the compare still holds
}

}  // namespace
}  // namespace tarvo
