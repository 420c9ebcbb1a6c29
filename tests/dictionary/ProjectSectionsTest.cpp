#include "dictionary/ProjectSections.h"

#include <gtest/gtest.h>

#include <tuple>

#include "dictionary/ObjectDictionary.h"
#include "dictionary/PlacedWindow.h"
#include "dictionary/UnitTable.h"
#include "panels/ParameterList.h"
#include "platform/MessageBox.h"
#include "tests/dictionary/FakeLinkRequester.h"
#include "tests/support/DataFileBuilder.h"
#include "tests/support/TempFolder.h"

namespace tarvo {
namespace {

using Monitor = std::tuple<MessageTarget*, uint32_t, MonitorClass>;

class FixedWindow : public PlacedWindow {
public:
    FixedWindow(int left, int top) : frame_{left, top, 400, 300} {}
    WindowFrame Frame() const override { return frame_; }
    void SetFrame(const WindowFrame& frame) override { frame_ = frame; }

private:
    WindowFrame frame_;
};

class ProjectSectionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto entry = [](const char* index, const char* name, const char* type,
                        const char* attribute, const char* unitSpec) {
            test::RecordTexts t;
            t.index = index;
            t.nameEn = name;
            t.dataType = type;
            t.attribute = attribute;
            t.unitSpec = unitSpec;
            return test::Record(t);
        };
        std::string data =
            entry("6081", "Profile velocity", "UNSIGNED32", "WL", "[r rpm]N*60/512;[rpm]N*512/60") +
            entry("6064", "Position actual", "INTEGER32", "LS", "") +
            entry("6060", "Mode", "INTEGER8", "WS", "[r HEX]N*1;[r DEC]N*1");
        ASSERT_TRUE(dictionary.LoadFile(folder.Write("tarvo.dat", data), 2, &box));
        sections.SetSavePath(folder.File("plant.ksp"));
        sections.SetOpenPath(folder.File("plant.ksp"));
    }

    void AddRow(ParameterList& target, uint32_t key, const std::string& value,
                const std::string& unit) {
        int row = target.InsertRow(target.RowCount(), "x");
        target.SetText(row, ParameterList::kKeyColumn, std::to_string(key));
        target.SetText(row, ParameterList::kValueColumn, value);
        target.SetText(row, ParameterList::kUnitColumn, unit);
    }

    std::vector<std::string> Column(const ParameterList& target, int column) {
        std::vector<std::string> texts;
        for (int row = 0; row < target.RowCount(); ++row) {
            texts.push_back(target.Text(row, column));
        }
        return texts;
    }

    test::TempFolder folder;
    RecordingMessageBox box;
    ObjectDictionary dictionary;
    UnitTable units{&box};
    std::vector<Monitor> monitors;
    ProjectSections sections{dictionary, units,
                             [this](MessageTarget* w, uint32_t key, MonitorClass c) {
                                 monitors.emplace_back(w, key, c);
                             }};
    test::DummyWindow panel;
    ParameterList saved, loaded;
};

TEST_F(ProjectSectionsTest, RowsRoundTrip) {
    AddRow(saved, 0x608100, "60.000", "rpm");
    AddRow(saved, 0x606400, "-12", "DEC");
    AddRow(saved, 0x606000, "a", "HEX");
    ASSERT_TRUE(sections.SaveListRows(saved, 12));
    EXPECT_EQ(folder.Read("plant.ksp"),
              "[TarvoStep:12]\r\nnum=3\r\n0=6324480,60.000,rpm\r\n1=6317056,-12,DEC\r\n"
              "2=6316032,a,HEX\r\n");

    AddRow(loaded, 0x606000, "old", "DEC");
    EXPECT_EQ(sections.LoadListRows(loaded, 12, &panel), 3);
    EXPECT_EQ(Column(loaded, ParameterList::kLabelColumn),
              (std::vector<std::string>{"1", "2*", "3"}));
    EXPECT_EQ(Column(loaded, ParameterList::kKeyColumn),
              (std::vector<std::string>{"6324480", "6317056", "6316032"}));
    EXPECT_EQ(Column(loaded, ParameterList::kNameColumn),
              (std::vector<std::string>{"Profile velocity", "Position actual", "Mode"}));
    EXPECT_EQ(Column(loaded, ParameterList::kDataTypeColumn),
              (std::vector<std::string>{"UNSIGNED32", "INTEGER32", "INTEGER8"}));
    EXPECT_EQ(Column(loaded, ParameterList::kAttributeColumn),
              (std::vector<std::string>{"WL", "LS", "WS"}));
    EXPECT_EQ(Column(loaded, ParameterList::kValueColumn),
              (std::vector<std::string>{"60.000", "-12", "a"}));
    EXPECT_EQ(Column(loaded, ParameterList::kUnitColumn),
              (std::vector<std::string>{"rpm", "DEC", "HEX"}));
    EXPECT_EQ(monitors, (std::vector<Monitor>{{&panel, 0x608100, MonitorClass::Writable},
                                              {&panel, 0x606400, MonitorClass::ReadOnly}}));
    ASSERT_NE(units.FindRecord(0x608100), nullptr);
    EXPECT_EQ(units.FindRecord(0x608100)->count, 2);
    EXPECT_NE(units.FindRecord(0x606000), nullptr);
}

TEST_F(ProjectSectionsTest, UnknownKeyStopsTheLoading) {
    folder.Write("plant.ksp",
                 "[TarvoStep:3]\nnum=4\n0=6324480,1,rpm\n1=6316032,2,DEC\n2=2228224,3,DEC\n"
                 "3=6317056,4,DEC\n");
    AddRow(loaded, 0x606400, "old", "DEC");
    EXPECT_EQ(sections.LoadListRows(loaded, 3, &panel), 2);
    EXPECT_EQ(Column(loaded, ParameterList::kKeyColumn),
              (std::vector<std::string>{"6324480", "6316032"}));

    // A row line that is missing or holds no number also names no entry.
    folder.Write("plant.ksp", "[TarvoStep:3]\nnum=2147483647\n0=6324480,1,rpm\n1=,5,DEC\n");
    EXPECT_EQ(sections.LoadListRows(loaded, 3, &panel), 1);
}

TEST_F(ProjectSectionsTest, EmptyListSavesNoRowsAndLoadingLeavesRowsAlone) {
    ASSERT_TRUE(sections.SaveListRows(saved, 5));
    EXPECT_EQ(folder.Read("plant.ksp"), "[TarvoStep:5]\r\nnum=0\r\n");
    AddRow(loaded, 0x606400, "kept", "DEC");
    EXPECT_EQ(sections.LoadListRows(loaded, 5, &panel), 0);
    EXPECT_EQ(sections.LoadListRows(loaded, 6, &panel), 0);  // no section at all
    folder.Write("plant.ksp", "[TarvoStep:5]\nnum=-3\n0=6324480,1,rpm\n");
    EXPECT_EQ(sections.LoadListRows(loaded, 5, &panel), 0);
    EXPECT_EQ(Column(loaded, ParameterList::kValueColumn), (std::vector<std::string>{"kept"}));
}

TEST_F(ProjectSectionsTest, ValueTextsWithCommasAndLineBreaksKeepTheirRow) {
    AddRow(saved, 0x606000, "A,B", "ASCII");
    AddRow(saved, 0x606400, "x\r\ny", "ASCII");
    AddRow(saved, 0x608100, "5", "rpm");
    ASSERT_TRUE(sections.SaveListRows(saved, 7));
    ASSERT_EQ(sections.LoadListRows(loaded, 7, &panel), 3);
    EXPECT_EQ(Column(loaded, ParameterList::kValueColumn),
              (std::vector<std::string>{"A,B", "x  y", "5"}));
    EXPECT_EQ(Column(loaded, ParameterList::kUnitColumn),
              (std::vector<std::string>{"ASCII", "ASCII", "rpm"}));
}

TEST_F(ProjectSectionsTest, WindowPlace) {
    FixedWindow mainWindow(200, 100), panelWindow(306, 279);
    ASSERT_TRUE(sections.SaveWindowPlace(2, panelWindow, 1, mainWindow, 20));
    ASSERT_TRUE(sections.SaveWindowPlace(18, panelWindow, 0, mainWindow, 20));
    EXPECT_EQ(folder.Read("plant.ksp"), "[TarvoStep:1]\r\n2=1,106,159\r\n18=0,106,159\r\n");

    WindowPlace place = sections.LoadWindowPlace(2, 20);
    EXPECT_TRUE(place.open);
    EXPECT_EQ(place.x, 100);
    EXPECT_EQ(place.y, 80);
    EXPECT_FALSE(sections.LoadWindowPlace(18, 20).open);
    EXPECT_FALSE(sections.LoadWindowPlace(3, 20).open);

    folder.Write("plant.ksp", "[TarvoStep:1]\n4=\n5=1\n6=1,-4,99999999999999\n");
    EXPECT_FALSE(sections.LoadWindowPlace(4, 20).open);
    place = sections.LoadWindowPlace(5, 0);
    EXPECT_TRUE(place.open);
    EXPECT_EQ(place.x, -6);
    EXPECT_EQ(place.y, -59);
    place = sections.LoadWindowPlace(6, 0);
    EXPECT_EQ(place.x, -10);
    EXPECT_EQ(place.y, std::numeric_limits<int>::max());
}

}  // namespace
}  // namespace tarvo
