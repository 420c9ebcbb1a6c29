#include "app/ProjectDocument.h"

#include <gtest/gtest.h>

#include <map>

#include "dictionary/ObjectDictionary.h"
#include "dictionary/PlacedWindow.h"
#include "dictionary/UnitTable.h"
#include "panels/ParameterList.h"
#include "platform/AtomicFile.h"
#include "platform/MessageBox.h"
#include "platform/ProfileFile.h"
#include "tests/support/DataFileBuilder.h"
#include "tests/support/TempFolder.h"

namespace tarvo {
namespace {

class FixedWindow : public PlacedWindow {
public:
    FixedWindow(int left, int top) : frame_{left, top, 400, 300} {}
    WindowFrame Frame() const override { return frame_; }
    void SetFrame(const WindowFrame& frame) override { frame_ = frame; }

private:
    WindowFrame frame_;
};

constexpr int kCaption = 20;

// A stand-in for the views: panels with a list and a frame that write and read their
// sections on the project's codes, as the real panels do.
struct FakePanel {
    int number;
    FixedWindow frame;
    bool open = true;
    ParameterList list{};
};

class ProjectDocumentTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto entry = [](const char* index, const char* name, const char* attribute,
                        const char* unitSpec) {
            test::RecordTexts t;
            t.index = index;
            t.nameEn = name;
            t.attribute = attribute;
            t.unitSpec = unitSpec;
            return test::Record(t);
        };
        std::string data = entry("6081", "Profile velocity", "WL", "[r rpm]N*60/512") +
                           entry("6064", "Position actual", "LS", "") +
                           entry("6060", "Mode", "WS", "");
        ASSERT_TRUE(dictionary.LoadFile(folder.Write("tarvo.dat", data), 2, &box));
    }

    ProjectDocument::Hooks Hooks() {
        ProjectDocument::Hooks hooks;
        hooks.broadcast = [this](WindowState state) {
            int code = static_cast<int>(state);
            codes.push_back(code);
            for (auto& [number, panel] : panels) {
                if (code == 3) {
                    sections.SaveListRows(panel.list, number);
                    sections.SaveWindowPlace(number, panel.frame, panel.open ? 1 : 0, mainWindow,
                                             kCaption);
                } else if (code == 4) {
                    sections.LoadListRows(panel.list, number, nullptr);
                }
            }
        };
        hooks.closeAll = [this] {
            for (auto& [number, panel] : panels) {
                panel.open = false;
            }
        };
        hooks.restoreView = [this](int number, const WindowPlace& place) {
            restored.push_back({number, place.x, place.y});
            // A panel made now reads its rows from the open project as it is created; one
            // that existed keeps its rows.
            auto [it, made] = panels.try_emplace(number, FakePanel{number, {0, 0}});
            if (made) {
                sections.LoadListRows(it->second.list, number, nullptr);
            }
            it->second.open = true;
        };
        hooks.captionHeight = [] { return kCaption; };
        hooks.writeFile = [this](const std::string& path, std::string_view content) {
            ++writes;
            return failWrites ? std::string("no room: ") + path : AtomicFile::Write(path, content);
        };
        hooks.localTime = [this] {
            std::tm time{};
            time.tm_year = 126;
            time.tm_mon = 11;
            time.tm_mday = 8;
            time.tm_sec = seconds++;
            return time;
        };
        return hooks;
    }

    void AddRow(FakePanel& panel, uint32_t key, const std::string& value, const std::string& unit) {
        int row = panel.list.InsertRow(panel.list.RowCount(), "x");
        panel.list.SetText(row, ParameterList::kKeyColumn, std::to_string(key));
        panel.list.SetText(row, ParameterList::kValueColumn, value);
        panel.list.SetText(row, ParameterList::kUnitColumn, unit);
    }

    std::vector<std::string> Rows(const FakePanel& panel) const {
        std::vector<std::string> rows;
        for (int r = 0; r < panel.list.RowCount(); ++r) {
            rows.push_back(panel.list.Text(r, 0) + "|" + panel.list.Text(r, 2) + "|" +
                           panel.list.Text(r, 4) + "|" + panel.list.Text(r, 6));
        }
        return rows;
    }

    test::TempFolder folder;
    RecordingMessageBox box;
    ObjectDictionary dictionary;
    UnitTable units{&box};
    ProjectSections sections{dictionary, units, nullptr};
    FixedWindow mainWindow{100, 50};
    std::map<int, FakePanel> panels;
    std::vector<int> codes;
    std::vector<std::array<int, 3>> restored;
    int writes = 0;
    bool failWrites = false;
    int seconds = 0;
    ProjectDocument document{sections, box, Hooks()};
};

TEST_F(ProjectDocumentTest, ChosenNamesBecomeKspPaths) {
    EXPECT_EQ(ProjectDocument::ProjectPath("/home/u/plant.old"), "/home/u/plant.ksp");
    EXPECT_EQ(ProjectDocument::ProjectPath("/home/u/plant"), "/home/u/plant.ksp");
    EXPECT_EQ(ProjectDocument::ProjectPath("/home/a.b/plant"), "/home/a.b/plant.ksp");
    EXPECT_EQ(ProjectDocument::ProjectPath("plant.ksp"), "plant.ksp");
    EXPECT_EQ(ProjectDocument::ProjectPath(".ksp"), ".ksp.ksp");  // a dot at the start stays
}

TEST_F(ProjectDocumentTest, SaveAndOpenRestoreRowsUnitsAndPlacesInOneWrite) {
    FakePanel& basic =
        panels.emplace(2, FakePanel{2, {100 + 106, 50 + 159 + kCaption}}).first->second;
    AddRow(basic, 0x608100, "1500.5", "rpm");
    AddRow(basic, 0x606400, "-12, with comma", "");
    AddRow(basic, 0x606000, "3", "");
    FakePanel& motor = panels.emplace(47, FakePanel{47, {300, 400}}).first->second;
    AddRow(motor, 0x606000, "1", "");
    panels.emplace(5, FakePanel{5, {0, 0}}).first->second.open = false;

    ASSERT_TRUE(document.Save(folder.File("plant.old")));
    EXPECT_EQ(writes, 1);
    EXPECT_EQ(codes, std::vector<int>{3});
    ProfileFile file(folder.File("plant.ksp"));
    EXPECT_EQ(file.GetString("TarvoStep:1", "2", "", 64), "1,106,159");
    EXPECT_EQ(file.GetString("TarvoStep:1", "5", "", 64).substr(0, 2), "0,");
    EXPECT_EQ(file.GetString("TarvoStep:2", "1", "", 256), "6317056,-12, with comma,");
    EXPECT_EQ(file.GetString("TarvoStep:47", "num", "", 256), "1");

    // Reopen into fresh panels: the open ones come back in increasing order, at the places
    // given by the stored offsets, with their rows, values and units.
    panels.clear();
    codes.clear();
    ASSERT_TRUE(document.Open(folder.File("plant.ksp")));
    ASSERT_EQ(restored.size(), 2u);
    EXPECT_EQ(restored[0], (std::array<int, 3>{2, 100, 80}));
    EXPECT_EQ(restored[1][0], 47);
    EXPECT_TRUE(codes.empty());  // the views that existed are told nothing: they keep their rows
    EXPECT_EQ(Rows(panels.at(2)),
              (std::vector<std::string>{"1|Profile velocity|1500.5|rpm",
                                        "2*|Position actual|-12, with comma|", "3|Mode|3|"}));
    EXPECT_EQ(Rows(panels.at(47)), (std::vector<std::string>{"1|Mode|1|"}));
    EXPECT_EQ(document.Stamp(), "20261208000000");
    document.Open(folder.File("plant.ksp"));
    EXPECT_EQ(document.Stamp(), "20261208000001");  // every open has a stamp of its own
}

TEST_F(ProjectDocumentTest, SavingReplacesTheOldProjectOrKeepsItWhenTheWriteFails) {
    std::string old = "[TarvoStep:1]\r\n5=1,10,10\r\n\r\n[TarvoStep:5]\r\nnum=1\r\n0=24576,1,\r\n";
    folder.Write("plant.ksp", old);
    panels.emplace(3, FakePanel{3, {150, 150}});

    failWrites = true;
    EXPECT_FALSE(document.Save(folder.File("plant")));
    EXPECT_EQ(folder.Read("plant.ksp"), old);
    ASSERT_EQ(box.texts.size(), 1u);
    EXPECT_EQ(box.texts[0].rfind(ProjectDocument::kSaveFailed, 0), 0u);

    failWrites = false;
    EXPECT_TRUE(document.Save(folder.File("plant")));
    ProfileFile file(folder.File("plant.ksp"));
    EXPECT_EQ(file.GetString("TarvoStep:1", "5", "", 64), "");  // panel 5 no longer open
    EXPECT_EQ(file.GetString("TarvoStep:5", "num", "", 64), "");
    EXPECT_EQ(file.GetString("TarvoStep:3", "num", "", 64), "0");

    // A folder that cannot be written into: the real writer fails, the old file stays.
    std::string blocked = folder.Write("blocked", "a file, not a folder");
    ProjectDocument real(sections, box, {});
    EXPECT_FALSE(real.Save(blocked + "/plant"));
    EXPECT_EQ(box.texts.size(), 2u);
}

TEST_F(ProjectDocumentTest, FilesThatAreNoProjectChangeNothing) {
    struct Case {
        const char* name;
        std::string bytes;
        const char* reason;  // empty: taken as a project
    } cases[] = {
        {"export.ksp", "index,value\r\n6060,1\r\n6081,600\r\n", "no [TarvoStep:...] section"},
        {"sys.ksp", "[sys]\r\nlanguage=2\r\n", "no [TarvoStep:...] section"},
        {"random.ksp", std::string("\x7f\x45\x00\x01[TarvoStep:1]", 17), "binary data"},
        {"empty.ksp", "", ""},
        {"comments.ksp", "; nothing open\r\n\r\n", ""},
        {"bom.ksp", "\xEF\xBB\xBF[tarvostep:1]\r\n2=0,1,1\r\n", ""},
    };
    for (const Case& c : cases) {
        std::string path = folder.Write(c.name, c.bytes);
        codes.clear();
        box.texts.clear();
        bool opened = document.Open(path);
        EXPECT_EQ(opened, std::string(c.reason).empty()) << c.name;
        if (!opened) {
            ASSERT_EQ(box.texts.size(), 1u) << c.name;
            EXPECT_NE(box.texts[0].find(path), std::string::npos) << box.texts[0];
            EXPECT_NE(box.texts[0].find(c.reason), std::string::npos) << box.texts[0];
            EXPECT_TRUE(codes.empty()) << c.name;  // no view closed or told
            EXPECT_TRUE(document.Stamp().empty()) << c.name;
        }
    }
    // Far larger than any project: refused with its size before it is read.
    std::string huge = folder.Write("huge.ksp", "[TarvoStep:1]\r\n" + std::string(9 << 20, ';'));
    codes.clear();
    box.texts.clear();
    EXPECT_FALSE(document.Open(huge));
    ASSERT_EQ(box.texts.size(), 1u);
    EXPECT_TRUE(codes.empty());
}

TEST_F(ProjectDocumentTest, DamagedProjectsOpenWhatTheyCan) {
    EXPECT_FALSE(document.Open(folder.File("missing.ksp")));
    EXPECT_TRUE(codes.empty());  // nothing closed
    EXPECT_EQ(box.texts.size(), 1u);

    folder.Write(
        "bad.ksp",
        "[TarvoStep:1]\r\n2=1,abc\r\n3=0,5,5\r\n39=1,5,5\r\n12=1,99999999999,-99999999999\r\n"
        "junk line\r\n[TarvoStep:2]\r\nnum=99999999999\r\n0=6316032,7,\r\n1=garbage\r\n"
        "[TarvoStep:12]\r\nnum=-4\r\n[TarvoStep:13");
    panels.emplace(12, FakePanel{12, {0, 0}});
    AddRow(panels.at(12), 0x606000, "kept", "");
    ASSERT_TRUE(document.Open(folder.File("bad.ksp")));
    std::vector<int> numbers;
    for (const auto& r : restored) {
        numbers.push_back(r[0]);
    }
    EXPECT_EQ(numbers, (std::vector<int>{2, 12, 39}));
    EXPECT_EQ(Rows(panels.at(2)), std::vector<std::string>{"1|Mode|7|"});
    EXPECT_EQ(panels.at(12).list.Text(0, 4), "kept");  // it existed: it keeps its rows
}

// Opening reads the file once: the places, and the rows of the panels made then and later,
// all come from that reading, whatever becomes of the file afterwards.
TEST_F(ProjectDocumentTest, OpeningReadsTheProjectOnce) {
    std::string path =
        folder.Write("plant.ksp",
                     "[TarvoStep:1]\r\n2=1,10,10\r\n\r\n[TarvoStep:2]\r\nnum=1\r\n"
                     "0=6316032,7,\r\n\r\n[TarvoStep:3]\r\nnum=1\r\n0=6317056,8,\r\n");
    ASSERT_TRUE(document.Open(path));
    folder.Write("plant.ksp", "[TarvoStep:3]\r\nnum=1\r\n0=6316032,changed,\r\n");
    ParameterList later;
    EXPECT_EQ(sections.LoadListRows(later, 3, nullptr), 1);
    EXPECT_EQ(later.Text(0, ParameterList::kValueColumn), "8");
    ASSERT_EQ(restored.size(), 1u);
    EXPECT_EQ(Rows(panels.at(2)), std::vector<std::string>{"1|Mode|7|"});

    // The next open reads the file as it is then.
    ASSERT_TRUE(document.Open(path));
    EXPECT_EQ(sections.LoadListRows(later, 3, nullptr), 1);
    EXPECT_EQ(later.Text(0, ParameterList::kValueColumn), "changed");
}

// Damaged projects: the open gives the places and rows that reading the file for every key
// gives.
TEST_F(ProjectDocumentTest, OneReadingGivesWhatReadingEveryKeyGives) {
    using namespace std::string_literals;
    const std::string project =
        "[TarvoStep:1]\r\n2=1,10,10\r\n5=1,20,20\r\n\r\n[TarvoStep:2]\r\nnum=2\r\n"
        "0=6316032,7,\r\n1=6324480,8,rpm\r\n";
    std::string utf16 = "\xFF\xFE"s;
    for (char c : project) {
        utf16 += {c, '\0'};
    }
    struct Case {
        const char* name;
        std::string bytes;
        std::vector<int> open;  // the panels restored
    } cases[] = {
        {"UTF-16 with its mark", utf16, {2, 5}},
        {"duplicate keys",
         "[TarvoStep:1]\n2=1,1,1\n2=0,1,1\n[TarvoStep:2]\nnum=1\nNUM=2\n0=6316032,a,\n"
         "0=6324480,b,\n1=6324480,c,\n",
         {2}},
        {"section again",
         "[TarvoStep:1]\n3=1,0,0\n[TarvoStep:3]\nnum=1\n0=6316032,a,\n"
         "[tarvostep:1]\n4=1,0,0\n[TARVOSTEP:3]\nnum=2\n1=6316032,b,\n",
         {3}},
        {"no place section", "[TarvoStep:2]\nnum=1\n0=6316032,a,\n", {}},
        {"rows but no count", "[TarvoStep:1]\n2=1,0,0\n[TarvoStep:2]\n0=6316032,a,\n", {2}},
        {"count beyond the rows",
         "[TarvoStep:1]\n2=1,0,0\n[ TarvoStep:2 ]\nnum=5\n"
         "0=\"6316032,a,\"\n1=6324480,b,rpm\n",
         {2}},
        {"project in GBK",
         "[TarvoStep:1]\n2=1,0,0\n[TarvoStep:2]\nnum=1\n0=6316032,\xC3\xFB,\n",
         {2}},
    };
    for (const Case& c : cases) {
        std::string path = folder.Write("damaged.ksp", c.bytes);
        ProjectSections walk(dictionary, units, nullptr);
        walk.SetOpenPath(path);
        std::vector<std::array<int, 3>> expected;
        std::map<int, std::vector<std::string>> expectedRows;
        for (int number = ProjectDocument::kFirstPanelNumber;
             number <= ProjectDocument::kLastPanelNumber; ++number) {
            WindowPlace place = walk.LoadWindowPlace(number, kCaption);
            if (place.open) {
                expected.push_back({number, place.x, place.y});
                FakePanel panel{number, {0, 0}};
                walk.LoadListRows(panel.list, number, nullptr);
                expectedRows[number] = Rows(panel);
            }
        }
        panels.clear();
        restored.clear();
        ASSERT_TRUE(document.Open(path)) << c.name;
        EXPECT_EQ(restored, expected) << c.name;
        std::vector<int> numbers;
        for (const auto& [number, panel] : panels) {
            numbers.push_back(number);
            EXPECT_EQ(Rows(panel), expectedRows[number]) << c.name << " panel " << number;
        }
        EXPECT_EQ(numbers, c.open) << c.name;
    }
    // First wins: the first place line and the first count and rows.
    folder.Write("damaged.ksp", cases[1].bytes);
    panels.clear();
    ASSERT_TRUE(document.Open(folder.File("damaged.ksp")));
    EXPECT_EQ(Rows(panels.at(2)), std::vector<std::string>{"1|Mode|a|"});
    // The UTF-16 project gives the same panels and rows as the same text in UTF-8.
    folder.Write("damaged.ksp", utf16);
    panels.clear();
    ASSERT_TRUE(document.Open(folder.File("damaged.ksp")));
    EXPECT_EQ(Rows(panels.at(2)),
              (std::vector<std::string>{"1|Mode|7|", "2|Profile velocity|8|rpm"}));
}

TEST_F(ProjectDocumentTest, RestoredPositionUndoesTheSavedOffsetsAndStaysInTheArea) {
    // Main window at 100,50; its area of frames starts 8 pixels in and 90 down.
    ProjectDocument::AreaGeometry area{100, 50, 108, 140, 1200, 700, kCaption};
    FixedWindow frame(108 + 230, 140 + 75);
    sections.SetSavePath(folder.File("p.ksp"));
    sections.SetOpenPath(folder.File("p.ksp"));
    ASSERT_TRUE(sections.SaveWindowPlace(2, frame, 1, mainWindow, kCaption));
    WindowPlace place = sections.LoadWindowPlace(2, kCaption);
    EXPECT_EQ(ProjectDocument::RestoredPosition(place, area), (ProjectDocument::Point{230, 75}));

    EXPECT_EQ(ProjectDocument::RestoredPosition({true, -5000, 90000}, area),
              (ProjectDocument::Point{0, 660}));
    EXPECT_EQ(ProjectDocument::RestoredPosition({true, INT32_MAX, INT32_MIN}, area),
              (ProjectDocument::Point{1160, 0}));
}

}  // namespace
}  // namespace tarvo
