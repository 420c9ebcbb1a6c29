#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "resources/ResourceCatalog.h"

namespace tarvo {
namespace {

namespace fs = std::filesystem;

fs::path SetFolder(const std::string& language) {
    return fs::path(TARVO_RESOURCES_DIR) / language;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

ResourceCatalog LoadSet(const std::string& language) {
    const fs::path folder = SetFolder(language);
    return ResourceCatalog({ReadFile(folder / "strings.json"), ReadFile(folder / "menus.json"),
                            ReadFile(folder / "dialogs.json"),
                            ReadFile(folder / "accelerators.json"),
                            ReadFile(folder / "toolbar.json")});
}

std::vector<int> CatalogueDialogIds() {
    std::vector<int> ids = {100, 101};
    for (int id = 121; id <= 129; ++id) {
        ids.push_back(id);
    }
    for (int id = 131; id <= 139; ++id) {
        ids.push_back(id);
    }
    for (int id = 141; id <= 158; ++id) {
        ids.push_back(id);
    }
    for (int id : {160, 229, 230, 231, 232}) {
        ids.push_back(id);
    }
    return ids;
}

// Menu as lines "depth|caption|id" in menu order.
void Flatten(const std::vector<MenuItem>& items, int depth, std::vector<std::string>& out) {
    for (const MenuItem& item : items) {
        out.push_back(std::to_string(depth) + "|" + item.caption + "|" + std::to_string(item.id));
        Flatten(item.items, depth + 1, out);
    }
}

class ResourceSetsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        zh_ = new ResourceCatalog(LoadSet("zh"));
        en_ = new ResourceCatalog(LoadSet("en"));
    }
    static void TearDownTestSuite() {
        delete zh_;
        delete en_;
    }
    static ResourceCatalog* zh_;
    static ResourceCatalog* en_;
};

ResourceCatalog* ResourceSetsTest::zh_ = nullptr;
ResourceCatalog* ResourceSetsTest::en_ = nullptr;

TEST_F(ResourceSetsTest, BothSetsParseWithoutErrors) {
    EXPECT_TRUE(zh_->IsValid()) << zh_->Errors().front();
    EXPECT_TRUE(en_->IsValid()) << en_->Errors().front();
}

TEST_F(ResourceSetsTest, EveryDialogExistsInBothSetsWithTheSameControls) {
    EXPECT_EQ(zh_->DialogIds(), CatalogueDialogIds());
    EXPECT_EQ(en_->DialogIds(), CatalogueDialogIds());
    for (int id : CatalogueDialogIds()) {
        auto zh = zh_->Dialog(id);
        auto en = en_->Dialog(id);
        ASSERT_TRUE(zh && en) << id;
        ASSERT_EQ(zh->controls.size(), en->controls.size()) << id;
        std::set<int> seen;
        for (size_t i = 0; i < zh->controls.size(); ++i) {
            EXPECT_EQ(zh->controls[i].id, en->controls[i].id) << id;
            EXPECT_EQ(zh->controls[i].kind, en->controls[i].kind) << id;
            EXPECT_EQ(zh->controls[i].icon, en->controls[i].icon) << id;
            EXPECT_TRUE(seen.insert(zh->controls[i].id).second)
                << "dialog " << id << " repeats control " << zh->controls[i].id;
        }
        EXPECT_EQ(zh->lists.size(), en->lists.size()) << id;
    }
}

TEST_F(ResourceSetsTest, EveryControlLiesInsideItsForm) {
    for (const ResourceCatalog* set : {zh_, en_}) {
        for (int id : set->DialogIds()) {
            const DialogTemplate dialog = *set->Dialog(id);
            EXPECT_GT(dialog.width, 0);
            EXPECT_GT(dialog.height, 0);
            for (const DialogControl& c : dialog.controls) {
                EXPECT_TRUE(c.x >= 0 && c.y >= 0 && c.w > 0 && c.h > 0 &&
                            c.x + c.w <= dialog.width && c.y + c.h <= dialog.height)
                    << "dialog " << id << " control " << c.id;
            }
        }
    }
}

TEST_F(ResourceSetsTest, StringsDifferOnlyWhereDocumented) {
    std::vector<int> zhIds = zh_->StringIds();
    std::vector<int> enIds = en_->StringIds();
    std::vector<int> onlyZh;
    std::vector<int> onlyEn;
    std::set_difference(zhIds.begin(), zhIds.end(), enIds.begin(), enIds.end(),
                        std::back_inserter(onlyZh));
    std::set_difference(enIds.begin(), enIds.end(), zhIds.begin(), zhIds.end(),
                        std::back_inserter(onlyEn));
    EXPECT_EQ(onlyZh, (std::vector<int>{215, 216, 1004, 32825, 32826, 59142}));
    EXPECT_EQ(onlyEn, (std::vector<int>{148, 149, 150, 151, 152, 153, 154}));
    // Missing identifiers load as empty text.
    EXPECT_EQ(en_->String(215), "");
    EXPECT_EQ(en_->String(99999), "");
    for (int id : {57344, 57345, 57600, 57601, 57604, 57664, 57665, 59136, 59137, 59138, 59139,
                   59140, 59141, 59392, 59393, 61184, 61215, 61445}) {
        EXPECT_FALSE(en_->String(id).empty()) << id;
        EXPECT_FALSE(zh_->String(id).empty()) << id;
    }
    EXPECT_EQ(en_->String(59140).size(), 40u);
}

TEST_F(ResourceSetsTest, ProgramStringsAreTheSystemsOwnTexts) {
    const std::vector<std::tuple<int, std::string, std::string>> expected = {
        {102, "TarvoStep V1.6", "TarvoStep V1.6"},
        {121, "Current Loop ", "电流环"},
        {128, "Object Dictionary", "数据字典"},
        {132, "Poaition Loop", "位置环"},
        {144, "I/O Port", "I/O口"},
        {145, "Error Control", "实时错误"},
        {146, "Analog Input I/O Function", "模拟输入"},
        {159, "Oscilloscope", "示波器"},
        {1182, "Time(%s)", "时间(%s)"},
        {1183, "Data(%s)", "数据(%s)"},
        {32832, "RPDO1", "RPDO1"},
        {32839, "RPDO8", "RPDO8"},
        {32841, "TPDO2", "TPDO2"},
        {32847, "TPDO8", "TPDO8"},
        {32852, "TPDO3", "TPDO3"},
    };
    for (const auto& [id, english, chinese] : expected) {
        EXPECT_EQ(en_->String(id), english) << id;
        EXPECT_EQ(zh_->String(id), chinese) << id;
    }
    EXPECT_EQ(en_->String(148), "F000");
    EXPECT_EQ(en_->String(153), "F005");
    EXPECT_EQ(en_->String(154), "F007");
    EXPECT_EQ(zh_->String(32826), "配置");
}

// Menu shape as lines "depth|id" (separators "depth|-"), without the captions.
void Shape(const std::vector<MenuItem>& items, int depth, std::vector<std::string>& out) {
    for (const MenuItem& item : items) {
        out.push_back(std::to_string(depth) + "|" +
                      (item.separator ? "-" : std::to_string(item.id)));
        Shape(item.items, depth + 1, out);
    }
}

// Every item but a separator has a caption, and no command appears twice.
void CheckItems(const std::vector<MenuItem>& items, std::set<int>& commands) {
    for (const MenuItem& item : items) {
        if (item.separator) {
            continue;
        }
        EXPECT_FALSE(item.caption.empty()) << item.id;
        EXPECT_TRUE(item.id == 0 || commands.insert(item.id).second) << "repeated " << item.id;
        CheckItems(item.items, commands);
    }
}

// Both languages offer the same commands in the same places, every item has a caption, and
// no command appears twice.
TEST_F(ResourceSetsTest, BothLanguagesHaveTheSameMenus) {
    for (int menu : {102, 130}) {
        ASSERT_TRUE(en_->Menu(menu) && zh_->Menu(menu)) << menu;
        std::vector<std::string> enShape;
        std::vector<std::string> zhShape;
        Shape(*en_->Menu(menu), 1, enShape);
        Shape(*zh_->Menu(menu), 1, zhShape);
        EXPECT_EQ(enShape, zhShape) << menu;
        for (const ResourceCatalog* set : {zh_, en_}) {
            std::set<int> commands;
            CheckItems(*set->Menu(menu), commands);
        }
    }
}

// A sample of the main menu written out by hand: top menus, nesting and captions.
TEST_F(ResourceSetsTest, MainMenuSample) {
    std::vector<std::string> en;
    std::vector<std::string> zh;
    Flatten(*en_->Menu(102), 1, en);
    Flatten(*zh_->Menu(102), 1, zh);
    ASSERT_FALSE(en.empty());
    EXPECT_EQ(en.front(), "1|  &File|0");
    EXPECT_EQ(zh.front(), "1| 文件(&F)|0");
    EXPECT_EQ(en.back(), "2|&About TarvoStep|57664");
    EXPECT_EQ(zh.back(), "2|关于 TarvoStep|57664");
    const std::vector<std::string> enSample = {"2|&New|57600",
                                               "2|Interface Change|1212",
                                               "2|Basic Operation|1227",
                                               "2|Control Loop|0",
                                               "3|Current Loop|1248",
                                               "2|I/O Port|1218",
                                               "3|RPDO|32857",
                                               "3|Others|32826",
                                               "2|Initialize/Save|1246",
                                               "1|&Motor|0",
                                               "2|Motor Configuration|1229",
                                               "2|Clock Swing Mode|1226",
                                               "2|Write Driver Configuration|1244",
                                               "2|Language Set|1236",
                                               "2|&Status Bar|59393"};
    const std::vector<std::string> zhSample = {
        "2|新建|57600",        "2|通讯方式|1212", "2|基本操作|1227", "2|控制环|0",
        "3|电流环|1248",       "2|I／O口|1218",   "3|RPDO|32857",    "3|其它|32826",
        "2|初始化/保存|1246",  "1|电机(&M)|0",    "2|电机配置|1229", "2|时钟摆动模式|1226",
        "2|写驱动器配置|1244", "2|语言切换|1236", "2|状态栏|59393"};
    for (const auto& [lines, sample] : {std::pair{&en, &enSample}, std::pair{&zh, &zhSample}}) {
        // The sample's lines appear in this order.
        auto at = lines->begin();
        for (const std::string& line : *sample) {
            at = std::find(at, lines->end(), line);
            EXPECT_NE(at, lines->end()) << line;
            at = at == lines->end() ? lines->begin() : at + 1;
        }
    }
    // "Control Loop" holds the three loops in this order.
    auto loop = std::find(en.begin(), en.end(), "2|Control Loop|0");
    ASSERT_GE(std::distance(loop, en.end()), 4);
    EXPECT_EQ(std::vector<std::string>(loop + 1, loop + 4),
              (std::vector<std::string>{"3|Position Loop|1215", "3|Velocity Loop|1217",
                                        "3|Current Loop|1248"}));
    EXPECT_EQ(en_->MenuCaption(102, 1248), "Current Loop");
    EXPECT_EQ(zh_->MenuCaption(102, 32826), "其它");
    EXPECT_EQ(en_->MenuCaption(102, 4242), "");
    EXPECT_FALSE(en_->Menu(777).has_value());
}

TEST_F(ResourceSetsTest, ContextMenuOffersAddDelHelp) {
    auto en = en_->Menu(130);
    auto zh = zh_->Menu(130);
    ASSERT_TRUE(en && zh && !en->empty() && !zh->empty());
    std::vector<std::string> lines;
    Flatten(en->front().items, 1, lines);
    EXPECT_EQ(lines, (std::vector<std::string>{"1|add|1230", "1|del|1231", "1|help|1232"}));
    ASSERT_EQ(zh->front().items.size(), 3u);
    EXPECT_EQ(zh->front().items[2].id, 1232);
}

TEST_F(ResourceSetsTest, InitialListsAreFilledInOrder) {
    const std::vector<std::string> bitRates = {"1 MBit/s",   "500 KBit/s", "250 KBit/s",
                                               "125 KBit/s", "100 KBit/s", "50 KBit/s",
                                               "20 KBit/s"};
    for (const ResourceCatalog* set : {zh_, en_}) {
        EXPECT_EQ(set->InitialList(123, 1213), bitRates);
        EXPECT_EQ(set->InitialList(128, 1209), (std::vector<std::string>{"Index", "Name"}));
        EXPECT_EQ(set->InitialList(160, 1180), (std::vector<std::string>{"1", "2", "3", "4"}));
        EXPECT_TRUE(set->InitialList(124, 1000).empty());
        EXPECT_TRUE(set->InitialList(999, 1).empty());
    }
    // English installations store the seventh rate with its trailing blank.
    EXPECT_EQ(en_->InitialList(124, 1001),
              (std::vector<std::string>{"4800", "9600", "14400", "19200", "38400", "56000",
                                        "115200 ", "256000"}));
    EXPECT_EQ(zh_->InitialList(124, 1001)[6], "115200");
}

TEST_F(ResourceSetsTest, FormsCarryTheControlsTheViewsAddress) {
    EXPECT_EQ(en_->ControlText(147, 1136), "Chinese");
    EXPECT_EQ(en_->ControlText(147, 1137), "English");
    EXPECT_EQ(en_->ControlText(147, 1090), "OK");
    EXPECT_EQ(en_->ControlText(155, 1090), "Open File");
    EXPECT_EQ(en_->ControlText(158, 1090), "Open file");
    EXPECT_EQ(en_->ControlText(155, 1145), "not yet processed...");
    EXPECT_EQ(en_->ControlText(123, 1212), "CAN Ver :");
    EXPECT_EQ(en_->ControlText(122, 1203), "Cancel");
    EXPECT_EQ(en_->ControlText(160, 1262), " &0 - Cursor ");
    EXPECT_EQ(en_->ControlText(999, 1), "");

    // Interface form: radio buttons top to bottom.
    auto modes = *en_->Dialog(125);
    std::vector<std::pair<int, std::string>> radios;
    for (const DialogControl& c : modes.controls) {
        if (c.kind == "radio") {
            radios.push_back({c.y, c.text});
        }
    }
    std::sort(radios.begin(), radios.end());
    std::vector<std::string> order;
    for (const auto& radio : radios) {
        order.push_back(radio.second);
    }
    EXPECT_EQ(order, (std::vector<std::string>{"RS485", "USB", "CAN", "RS232", "Off Line"}));

    // I/O port: 8 input and 5 output rows.
    auto io = *zh_->Dialog(144);
    for (int id : {1035, 1042, 1043, 1050, 1051, 1058, 1059, 1066, 1067, 1074, 1075,
                   1082, 1083, 1087, 1091, 1095, 1099, 1103, 1107, 1111, 1115, 1119}) {
        EXPECT_NE(io.Control(id), nullptr) << id;
    }
    EXPECT_EQ(io.Control(1120), nullptr);
    EXPECT_EQ(io.Control(1051)->icon, 207);
    EXPECT_EQ(io.Control(1067)->icon, 205);

    // Error control: one box per bit, 1382 standing for bit 31.
    auto errors = *en_->Dialog(145);
    EXPECT_EQ(errors.Control(1341)->text, "0001");
    EXPECT_EQ(errors.Control(1356)->text, "8000");
    EXPECT_EQ(errors.Control(1357)->text, "0001");
    EXPECT_EQ(errors.Control(1382)->text, "8000");
    EXPECT_EQ(errors.Control(1372), nullptr);
    EXPECT_EQ(errors.Control(1422)->icon, 211);
    EXPECT_EQ(errors.Control(1304)->text, "Low Voltage ");
    EXPECT_EQ(errors.Control(1313)->text, "Extenal Pre Enable Signal");
    EXPECT_EQ(errors.Control(1332)->text, "Reserved ");
    EXPECT_NE(en_->Dialog(145)->width, zh_->Dialog(145)->width);

    auto initSave = *en_->Dialog(157);
    EXPECT_EQ(initSave.caption, "Initialize/Save");
    EXPECT_TRUE(initSave.Control(2)->HasFlag("hidden"));
    EXPECT_TRUE(initSave.Control(1094)->HasFlag("hidden"));
    EXPECT_FALSE(initSave.Control(1095)->HasFlag("hidden"));
}

TEST_F(ResourceSetsTest, AcceleratorsAndToolbars) {
    for (const ResourceCatalog* set : {zh_, en_}) {
        ASSERT_EQ(set->Accelerators().size(), 17u);  // the last three: Cascade, Tile, Close All
        EXPECT_EQ(set->Accelerators().front().key, "Ctrl+N");
        EXPECT_EQ(set->Accelerators().front().command, 57600);
        EXPECT_EQ(set->ToolbarButtons(), (std::vector<int>{57600, 57601, 57604, 0, 57635, 57634,
                                                           57637, 0, 57607, 0, 57664}));
        const auto& frame = set->FrameToolbar();
        ASSERT_EQ(frame.size(), 15u);  // the last two: a separator and Drive Control
        EXPECT_EQ(frame[3].command, 1128);
        EXPECT_EQ(frame[6].command, 1130);
        EXPECT_EQ(frame[6].icon, 205);
        EXPECT_EQ(frame[12].icon, 222);
        EXPECT_EQ(frame[13].command, 0);
        EXPECT_EQ(frame[14].command, 1300);
        EXPECT_EQ(frame[14].icon, 230);
    }
}

// Every image a form or toolbar names is in the set, and every file of a set is listed in
// its resource collection file.
TEST_F(ResourceSetsTest, ImagesExistAndEveryFileIsCompiledIn) {
    for (const std::string language : {"zh", "en"}) {
        const fs::path folder = SetFolder(language);
        const ResourceCatalog& set = language == "zh" ? *zh_ : *en_;
        std::set<int> icons = {128, 203, 204, 205, 206, 207, 210, 211, 212, 213,
                               214, 215, 216, 217, 218, 219, 220, 221, 222};
        for (int id : set.DialogIds()) {
            const DialogTemplate dialog = *set.Dialog(id);
            for (const DialogControl& c : dialog.controls) {
                if (c.icon) {
                    icons.insert(c.icon);
                }
            }
        }
        for (const ToolbarButton& button : set.FrameToolbar()) {
            if (button.icon) {
                icons.insert(button.icon);
            }
        }
        for (int icon : icons) {
            EXPECT_TRUE(fs::exists(folder / "icons" / (std::to_string(icon) + ".svg")))
                << language << " icon " << icon;
        }
        for (int command : set.ToolbarButtons()) {
            if (command) {
                EXPECT_TRUE(fs::exists(folder / "toolbar" / (std::to_string(command) + ".svg")))
                    << language << " toolbar " << command;
            }
        }
        const std::string qrc = ReadFile(folder / (language + ".qrc"));
        EXPECT_NE(qrc.find("prefix=\"/" + language + "\""), std::string::npos);
        std::set<std::string> listed;
        const std::regex fileTag("<file>([^<]+)</file>");
        for (auto it = std::sregex_iterator(qrc.begin(), qrc.end(), fileTag);
             it != std::sregex_iterator(); ++it) {
            listed.insert((*it)[1]);
        }
        std::set<std::string> present;
        for (const auto& entry : fs::recursive_directory_iterator(folder)) {
            if (entry.is_regular_file() && entry.path().extension() != ".qrc") {
                present.insert(fs::relative(entry.path(), folder).generic_string());
            }
        }
        EXPECT_EQ(listed, present) << language;
    }
}

TEST(ResourceCatalogTest, MalformedFilesAreReportedAndLeaveTheRestUsable) {
    ResourceCatalog catalog({R"({"1": "one", "2": )", R"({"102": [{"caption": "x", "id": 5}]})",
                             R"({"abc": {}})", R"([{"key": "F6", "command": 57680}])",
                             R"({"frame": []})"});
    EXPECT_FALSE(catalog.IsValid());
    ASSERT_EQ(catalog.Errors().size(), 3u);
    EXPECT_EQ(catalog.Errors()[0].rfind("strings.json: ", 0), 0u);
    EXPECT_EQ(catalog.Errors()[1].rfind("dialogs.json: ", 0), 0u);
    EXPECT_EQ(catalog.Errors()[2].rfind("toolbar.json: ", 0), 0u);
    EXPECT_EQ(catalog.String(1), "");
    EXPECT_EQ(catalog.MenuCaption(102, 5), "x");
    EXPECT_FALSE(catalog.Dialog(1).has_value());
    EXPECT_EQ(catalog.Accelerators().size(), 1u);
    EXPECT_TRUE(catalog.ToolbarButtons().empty());
}

TEST(ResourceCatalogTest, WrongTypesAndDeepMenusAreRefused) {
    std::string deep = R"({"caption": "leaf", "id": 1})";
    for (int i = 0; i < 20; ++i) {
        deep = R"({"caption": "m", "items": [)" + deep + "]}";
    }
    ResourceCatalog catalog({R"({"1": 5})", R"({"130": [)" + deep + "]}",
                             R"({"7": {"controls": [{"id": 1, "text": "no kind"}]}})",
                             R"({"key": "F6"})", ""});
    EXPECT_EQ(catalog.Errors().size(), 5u);
    EXPECT_FALSE(catalog.Menu(130).has_value());
    EXPECT_FALSE(catalog.Dialog(7).has_value());

    ResourceCatalog empty;
    EXPECT_TRUE(empty.IsValid());
    EXPECT_EQ(empty.ControlText(100, 1), "");
    EXPECT_TRUE(empty.InitialList(123, 1213).empty());
}

// The title and the About box show the project's version, the one the programs print.
TEST(ResourceCatalogTest, TitleAndAboutShowTheProjectVersion) {
    struct Case {
        const char* language;
        std::string title;
        std::string about;
    } cases[] = {{"en", std::string("TarvoStep V") + TARVO_VERSION,
                  std::string("TarvoStep Version ") + TARVO_VERSION},
                 {"zh", std::string("TarvoStep V") + TARVO_VERSION,
                  std::string("TarvoStep ") + TARVO_VERSION + " 版"}};
    for (const Case& c : cases) {
        ResourceCatalog set = LoadSet(c.language);
        EXPECT_EQ(set.String(102), c.title) << c.language;
        EXPECT_EQ(set.ControlText(100, 1501), c.about) << c.language;
    }
}

}  // namespace
}  // namespace tarvo
