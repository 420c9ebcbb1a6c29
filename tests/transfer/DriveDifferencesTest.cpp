#include "transfer/DriveDifferences.h"

#include <gtest/gtest.h>

#include <map>
#include <utility>

#include "tests/transfer/TransferRig.h"
#include "transfer/FirstUnitText.h"
#include "transfer/ImportDrvDataModel.h"

namespace tarvo {
namespace {

using test::SentRequest;
using Model = ImportDrvDataModel;

const char* kFacts = R"({"tarvoFacts": 1, "entries": [
{"entry": "2012:01", "values": [{"value": 1, "en": "Profile position"},
                                {"value": 3, "en": "Profile velocity"},
                                {"value": -1, "en": "Pulse"}]}]})";

// A compare of a file with a drive that holds other values in some rows, then the writing of
// those rows only, over the rig's dictionary with value names for its INTEGER8 entry.
class DriveDifferencesTest : public ::testing::Test {
protected:
    DriveDifferencesTest() {
        rig.folder.Write("tarvo.facts.json", kFacts);
        rig.dictionary.LoadFile(rig.folder.File("tarvo.dat"), 2, &rig.box);
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
    const ObjectDictionary& dictionary = rig.dictionary;
    FirstUnitText units;
    Model model{{rig.link, rig.switches, rig.box, dictionary, rig.storeTimer, rig.watchTimer}};
};

const char* kFile =
    "20120108,1,True\r\n"  // named code, the drive holds another
    "60810020,512,True\r\n"
    "60400010,6,True\r\n"       // equal: not listed
    "607A0020,-7,True\r\n"      // the drive refuses the read
    "30000108,0x00ff,True\r\n"  // outside the dictionary: by size
    "20110110,abc,True\r\n";    // no value to compare

// One line per listed row: row, entry, name, file value, drive value, kind.
std::vector<std::string> Lines(const std::vector<DriveDifferences::Difference>& found) {
    std::vector<std::string> lines;
    for (const auto& d : found) {
        lines.push_back(std::to_string(d.row) + "|" + d.entry + "|" + d.name + "|" + d.file + "|" +
                        d.drive + "|" + std::to_string(static_cast<int>(d.kind)));
    }
    return lines;
}

TEST_F(DriveDifferencesTest, ListsOnlyRowsThatDifferWithNamesUnitsAndReasons) {
    Load(kFile);
    std::map<uint32_t, uint32_t> drive{
        {0x201201, 3}, {0x608100, 1024}, {0x604000, 6}, {0x300001, 0x0F}};
    std::vector<std::string> expected = {
        "0|2012:01|Offset|1 - Profile position|3 - Profile velocity|0",
        "1|6081:00|Profile velocity|512|1024|0",
        "3|607A:00|Target position|-7|abort 0x06020000 (Object does not exist in the object "
        "dictionary)|1",
        "4|3000:01|? ? ? ?|0x00ff|0x0f|0",
        "5|2011:01|Position gain|abc|its value \"abc\" is no number of its size|2"};
    EXPECT_EQ(Lines(Compare(drive)), expected);

    // A code's bits widened by the entry's type find its name; no name, no number: as it is.
    const std::pair<const char*, const char*> shown[] = {
        {"0xff", "-1 - Pulse"}, {"-1", "-1 - Pulse"}, {"2", "2"}, {"x", "x"}};
    std::optional<DictionaryEntry> mode = dictionary.FindEntry(0x201201);
    for (const auto& [text, expectedText] : shown) {
        EXPECT_EQ(DriveDifferences::Shown(&*mode, dictionary.FactsOf(0x201201), text, 8, units),
                  expectedText);
    }
}

TEST_F(DriveDifferencesTest, WritesOnlyTheListedRowsAndReadsEachBack) {
    Load(kFile);
    std::map<uint32_t, uint32_t> drive{
        {0x201201, 3}, {0x608100, 1024}, {0x604000, 6}, {0x300001, 0x0F}};
    Compare(drive);
    ASSERT_TRUE(model.Compared());
    size_t from = rig.link.requests.size();
    ASSERT_TRUE(model.WriteDiffering());
    EXPECT_FALSE(model.Compared());
    Serve(drive, from);
    ASSERT_FALSE(model.Running());
    // 2012:01, 6081, 607A (refused at the compare: tried again), 3000:01; never 6040 nor
    // the row without a value. Then each written row read back.
    std::vector<SentRequest> expected = {{&model, SdoCommand::Write8, 0x201201, 1},
                                         {&model, SdoCommand::Write32, 0x608100, 512},
                                         {&model, SdoCommand::Write32, 0x607A00, 0xFFFFFFF9},
                                         {&model, SdoCommand::Write8, 0x300001, 0xFF},
                                         {&model, SdoCommand::Read, 0x201201, 0},
                                         {&model, SdoCommand::Read, 0x608100, 0},
                                         {&model, SdoCommand::Read, 0x607A00, 0},
                                         {&model, SdoCommand::Read, 0x300001, 0}};
    EXPECT_EQ(std::vector<SentRequest>(rig.link.requests.begin() + from, rig.link.requests.end()),
              expected);
    // Reported as Write reports: the row without a value stays an error, and says so.
    EXPECT_EQ(model.StatusText(Model::kWriteStatus),
              "Finish: Total:6  Alarm:0  Error:1 - check red and yellow rows, then Write again");
    auto left = DriveDifferences::Of(model, dictionary, units);
    EXPECT_TRUE(left.size() == 1 && left[0].kind == DriveDifferences::Kind::kNotCompared);
    EXPECT_FALSE(model.WriteDiffering());  // once per compare
    EXPECT_EQ(Compare(drive).size(), 1u);
}

TEST_F(DriveDifferencesTest, WritesNothingWithoutAFinishedCompareOfTheLoadedFile) {
    std::map<uint32_t, uint32_t> drive{{0x201201, 3}};
    auto attempt = [this] {
        size_t sent = rig.link.requests.size();
        bool started = model.WriteDiffering();
        EXPECT_EQ(rig.link.requests.size(), sent);
        return started;
    };
    Load("20120108,1,True\r\n");
    EXPECT_FALSE(attempt());  // nothing compared yet

    Compare(drive);
    Load("20120108,1,True\r\n");
    EXPECT_FALSE(attempt());  // the file was loaded again

    model.Start(Model::RunKind::kCompare);
    model.Stop();
    EXPECT_FALSE(attempt());  // a stopped compare knows only part of the drive
    EXPECT_TRUE(DriveDifferences::Of(model, dictionary, units).empty());  // nothing read

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
