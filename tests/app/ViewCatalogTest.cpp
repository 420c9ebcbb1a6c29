#include "app/ViewCatalog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>

#include "app/LanguageSettlement.h"
#include "panels/PanelDescription.h"
#include "panels/PanelFamily.h"
#include "panels/ParameterColumns.h"
#include "panels/TagFormModel.h"
#include "resources/ResourceCatalog.h"

namespace tarvo {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

ResourceCatalog LoadSet(const std::string& language) {
    const fs::path folder = fs::path(TARVO_RESOURCES_DIR) / language;
    return ResourceCatalog({ReadFile(folder / "strings.json"), ReadFile(folder / "menus.json"),
                            ReadFile(folder / "dialogs.json"),
                            ReadFile(folder / "accelerators.json"),
                            ReadFile(folder / "toolbar.json")});
}

void CollectCommands(const std::vector<MenuItem>& items, std::vector<int>& out) {
    for (const MenuItem& item : items) {
        if (item.id != 0) {
            out.push_back(item.id);
        }
        CollectCommands(item.items, out);
    }
}

std::vector<int> MainMenuCommands(const ResourceCatalog& set) {
    std::vector<int> commands;
    if (auto menu = set.Menu(102)) {
        CollectCommands(*menu, commands);
    }
    return commands;
}

// Commands of the main menu that the frame runs itself instead of showing a view: open,
// save, exit, properties, Initialize/Save, language, toolbar, status bar, about, EDS export.
const std::set<int> kFrameCommands = {57601, 57604, 57665, 1213,  1246,  1236, 59392,
                                      59393, 57664, 57650, 57651, 57654, 1500};

class ViewCatalogMenus : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        sets_ = new std::map<std::string, ResourceCatalog>{{"zh", LoadSet("zh")},
                                                           {"en", LoadSet("en")}};
    }
    static void TearDownTestSuite() { delete sets_; }
    static std::map<std::string, ResourceCatalog>* sets_;
};

std::map<std::string, ResourceCatalog>* ViewCatalogMenus::sets_ = nullptr;

// Every item of both languages' main menus either runs a frame command or opens a view; the
// view has a title in that language, and a list panel's form holds its list.
TEST_F(ViewCatalogMenus, EveryMenuCommandOpensAViewWithItsForm) {
    for (const auto& [language, set] : *sets_) {
        std::vector<int> commands = MainMenuCommands(set);
        ASSERT_GT(commands.size(), 30u) << language;
        for (int command : commands) {
            const ViewInfo* view = ViewCatalog::ByCommand(static_cast<uint32_t>(command));
            if (kFrameCommands.count(command) != 0) {
                EXPECT_EQ(view, nullptr) << language << " " << command;
                continue;
            }
            ASSERT_NE(view, nullptr) << language << " menu command " << command << " opens nothing";
            bool titled = (view->titleString != 0 &&
                           !set.String(static_cast<int>(view->titleString)).empty()) ||
                          view->fixedTitle != nullptr || !set.MenuCaption(102, command).empty();
            EXPECT_TRUE(titled) << language << " " << command;
            EXPECT_EQ(view->kind == ViewKind::kListPanel, view->panel != nullptr) << command;
            if (view->panel != nullptr) {
                auto form = set.Dialog(view->panel->form);
                ASSERT_TRUE(form.has_value()) << language << " form " << view->panel->form;
                const DialogControl* list = form->Control(view->panel->listControl);
                ASSERT_NE(list, nullptr) << language << " form " << view->panel->form;
                EXPECT_EQ(list->kind, "list") << language << " form " << view->panel->form;
            }
        }
        for (int command : kFrameCommands) {
            EXPECT_NE(std::find(commands.begin(), commands.end(), command), commands.end())
                << language << " lacks frame command " << command;
        }
    }
}

// A view nobody can open is a fault: each is on the menus of both languages, a page of the
// RPDO or TPDO view, one of the two settings forms that "Properties" shows, or one of the
// three panels that only projects open.
TEST_F(ViewCatalogMenus, EveryViewCanBeOpened) {
    std::set<const PanelDescription*> pages;
    for (auto direction : {TagFormModel::Direction::kReceive, TagFormModel::Direction::kTransmit}) {
        TagFormModel model(direction);
        for (int page = 1; page <= TagFormModel::kPageCount; ++page) {
            ASSERT_NE(model.PageDescription(page), nullptr) << page;
            pages.insert(model.PageDescription(page));
        }
    }
    EXPECT_EQ(pages.size(), 16u);
    const std::set<uint32_t> settingsForms = {123, 124};
    const std::set<uint32_t> projectsOnly = {1219, 1222, 1245};
    for (const ViewInfo& view : ViewCatalog::All()) {
        if (projectsOnly.count(view.command) != 0) {
            EXPECT_GE(view.panelNumber, 0) << view.command;
        }
        if (settingsForms.count(view.command) != 0 || pages.count(view.panel) != 0 ||
            projectsOnly.count(view.command) != 0) {
            continue;
        }
        for (const auto& [language, set] : *sets_) {
            std::vector<int> commands = MainMenuCommands(set);
            EXPECT_NE(std::find(commands.begin(), commands.end(), static_cast<int>(view.command)),
                      commands.end())
                << language << " menu lacks view " << view.command;
        }
    }
}

TEST(ViewCatalog, CommandsAndPanelNumbersAreUniqueAndListPanelsAreTheFamily) {
    std::set<uint32_t> commands;
    std::set<int> numbers;
    for (const ViewInfo& view : ViewCatalog::All()) {
        EXPECT_TRUE(commands.insert(view.command).second) << view.command;
        EXPECT_EQ(ViewCatalog::ByCommand(view.command), &view);
        if (view.panelNumber >= 0) {
            EXPECT_TRUE(numbers.insert(view.panelNumber).second) << view.panelNumber;
            EXPECT_EQ(ViewCatalog::ByPanelNumber(view.panelNumber), &view);
        }
    }
    for (const PanelDescription& member : PanelFamily::Members()) {
        const ViewInfo* view = ViewCatalog::ByCommand(member.command);
        ASSERT_NE(view, nullptr) << member.panelName;
        EXPECT_EQ(view->panel, &member);
        EXPECT_EQ(view->kind, ViewKind::kListPanel);
        EXPECT_EQ(view->panelNumber, member.panelNumber);
    }
    EXPECT_EQ(ViewCatalog::ByPanelNumber(-1), nullptr);
    EXPECT_EQ(ViewCatalog::ByCommand(1246), nullptr);  // Initialize/Save is a dialog
}

// Facts of the system's documented numbering, written out here rather than read from the code.
TEST(ViewCatalog, DocumentedCommandsAndPanelNumbers) {
    struct Fact {
        uint32_t command;
        int panelNumber;
        const char* definitionFile;  // list panels only
    };
    const Fact facts[] = {
        {1227, 2, "BasicOperate"},    {1248, 5, "CurrentLoop"},
        {1218, 6, nullptr},           {1221, 10, "multiVelocityMode"},
        {1247, 18, nullptr},          {1235, 19, nullptr},
        {1228, 20, "ErrorHistory"},   {32825, 21, "EtherCAT"},
        {32826, 22, "PdoOther"},      {32832, 23, "RPDO1"},
        {32852, 33, "TPDO3"},         {32847, 38, "TPDO8"},
        {1234, 46, "DriverProperty"}, {1229, 47, "MotorConfig"},
        {32859, 48, nullptr},         {32857, 49, nullptr},
        {1250, -1, nullptr},          {1243, -1, nullptr},
    };
    for (const Fact& fact : facts) {
        const ViewInfo* view = ViewCatalog::ByCommand(fact.command);
        ASSERT_NE(view, nullptr) << fact.command;
        EXPECT_EQ(view->panelNumber, fact.panelNumber) << fact.command;
        if (fact.definitionFile == nullptr) {
            EXPECT_EQ(view->panel, nullptr) << fact.command;
        } else {
            ASSERT_NE(view->panel, nullptr) << fact.command;
            EXPECT_EQ(std::string(view->panel->panelName), fact.definitionFile);
        }
    }
}

struct Size {
    int width;
    int height;
    bool operator==(const Size&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Size& size) {
    return out << size.width << "x" << size.height;
}

Size SizeOf(const ViewInfo& view, int dpi, bool chinese) {
    FramePlace place =
        ViewCatalog::DefaultPlace(view, dpi, LanguageSettlement::ColumnWidths(dpi), chinese);
    return {place.width, place.height};
}

Size SizeOf(uint32_t command, int dpi, bool chinese = false) {
    const ViewInfo* view = ViewCatalog::ByCommand(command);
    EXPECT_NE(view, nullptr) << command;
    return view != nullptr ? SizeOf(*view, dpi, chinese) : Size{};
}

// One documented size for each rule: fixed forms, the fixed-column panel, forms that differ by
// language, and the panels that follow their start-up columns.
TEST(ViewCatalog, DocumentedFrameSizes) {
    struct Case {
        uint32_t command;
        int dpi;
        bool chinese;
        Size size;
    };
    const Case cases[] = {
        {124, 96, false, {300, 260}},   {123, 120, true, {360, 320}},
        {1243, 96, false, {580, 520}},  {1212, 120, false, {370, 320}},
        {57600, 144, true, {370, 320}}, {1250, 120, false, {890, 580}},
        {1218, 96, true, {465, 565}},   {1244, 120, false, {850, 660}},
        {1234, 96, false, {570, 240}},  {1234, 120, true, {710, 280}},
        {1235, 96, true, {610, 540}},   {1235, 120, false, {920, 680}},
        {1247, 96, false, {1010, 640}}, {1247, 120, true, {1164, 780}},
        {1227, 96, false, {565, 331}},  {1227, 120, false, {710, 417}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SizeOf(c.command, c.dpi, c.chinese), c.size)
            << c.command << " at " << c.dpi << (c.chinese ? " zh" : " en");
    }
}

TEST(ViewCatalog, FrameSizeInvariants) {
    const std::set<uint32_t> languageDependent = {1235, 1247};  // error control, oscilloscope
    const Size common96 = SizeOf(1227, 96);
    const Size common120 = SizeOf(1227, 120);
    for (const ViewInfo& view : ViewCatalog::All()) {
        for (int dpi : {96, 120}) {
            Size en = SizeOf(view, dpi, false);
            Size zh = SizeOf(view, dpi, true);
            EXPECT_TRUE(en.width > 0 && en.height > 0) << view.command;
            EXPECT_EQ(en == zh, languageDependent.count(view.command) == 0) << view.command;
        }
        // Larger text, larger frame.
        EXPECT_GT(SizeOf(view, 120, false).width, SizeOf(view, 96, false).width) << view.command;
        // Every list panel, fieldbus page and PDO tab view that follows the start-up columns
        // has the same frame.
        bool followsColumns = (view.panel != nullptr && !view.panel->traits.fixedColumns) ||
                              view.kind == ViewKind::kRpdoPages ||
                              view.kind == ViewKind::kTpdoPages;
        if (followsColumns) {
            EXPECT_EQ(SizeOf(view, 96, false), common96) << view.command;
            EXPECT_EQ(SizeOf(view, 120, false), common120) << view.command;
        }
    }
}

// A list panel's frame is wide enough for the columns its list shows.
TEST(ViewCatalog, ListPanelFramesHoldTheirColumns) {
    const std::array<std::string, 3> labels{"name", "data", "unit"};
    for (const PanelDescription& member : PanelFamily::Members()) {
        const ViewInfo& view = *ViewCatalog::ByCommand(member.command);
        for (int dpi : {96, 120}) {
            int columns = 0;
            for (const ParameterColumn& column : ParameterColumns::Layout(
                     member.traits, dpi, labels, LanguageSettlement::ColumnWidths(dpi))) {
                columns += column.width;
            }
            EXPECT_GT(SizeOf(view, dpi, false).width, columns) << member.panelName << " " << dpi;
        }
    }
}

TEST(ViewCatalog, DefaultPlaces) {
    struct Case {
        uint32_t command;
        int left;
        int top;
    };
    for (const Case& c : {Case{1227, 50, 20}, Case{32847, 50, 20}, Case{1250, 50, 20},
                          Case{1243, 80, 30}, Case{1247, 0, 0}}) {
        FramePlace place = ViewCatalog::DefaultPlace(*ViewCatalog::ByCommand(c.command), 120,
                                                     LanguageSettlement::ColumnWidths(120), false);
        EXPECT_EQ(std::make_pair(place.left, place.top), std::make_pair(c.left, c.top))
            << c.command;
    }
}

}  // namespace
}  // namespace tarvo
