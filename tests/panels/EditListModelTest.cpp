#include "panels/EditListModel.h"

#include <gtest/gtest.h>

#include "dictionary/UnitTable.h"
#include "panels/ParameterList.h"
#include "platform/MessageBox.h"
#include "tests/dictionary/FakeLinkRequester.h"

namespace tarvo {
namespace {

// Keeps every WM_ROW_EDITED.
class EditLog : public MessageTarget {
public:
    intptr_t onMessage(uint32_t message, uintptr_t row, intptr_t column) override {
        if (message == WM_ROW_EDITED) {
            edits.emplace_back(static_cast<int>(row), static_cast<int>(column));
        }
        return 0;
    }
    std::vector<std::pair<int, int>> edits;
};

class EditListModelTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (auto [key, attribute, unit] : {std::tuple{"100", "W", "DEC"}, {"200", "", "rpm"}}) {
            int row = list.InsertRow(list.RowCount(), "x");
            list.SetText(row, ParameterRows::kKeyColumn, key);
            list.SetText(row, ParameterRows::kAttributeColumn, attribute);
            list.SetText(row, ParameterRows::kValueColumn, "7");
            list.SetText(row, ParameterRows::kUnitColumn, unit);
        }
        std::string label;
        units.RegisterUnits(200, "[r DEC]N*1;[r rpm]N*60/512;[rpm]N*512/60", label);
        for (int column : {0, 1, 2}) {
            model.SetColumnReadOnly(column, true);
        }
        model.SetColumnDropDown(ParameterRows::kUnitColumn, true);
        model.SetParent(&log);
    }

    RecordingMessageBox box;
    UnitTable units{&box};
    ParameterList list;
    EditListModel model{list, units};
    EditLog log;
};

TEST_F(EditListModelTest, WhichCellsOpenWhat) {
    using O = EditListModel::Opens;
    EXPECT_EQ(model.CellOpens(0, ParameterRows::kValueColumn), O::kEditor);
    EXPECT_EQ(model.CellOpens(1, ParameterRows::kValueColumn), O::kNothing);  // read-only row
    EXPECT_EQ(model.CellOpens(0, ParameterRows::kNameColumn), O::kNothing);
    EXPECT_EQ(model.CellOpens(1, ParameterRows::kUnitColumn), O::kDropDown);
    EXPECT_EQ(model.CellOpens(2, ParameterRows::kValueColumn), O::kNothing);
    // The unit choices: named units first, a read "DEC" once at the end.
    EXPECT_EQ(model.UnitChoices(1), (std::vector<std::string>{"rpm", "rpm", "DEC"}));
    EXPECT_EQ(model.UnitChoices(0), (std::vector<std::string>{"DEC"}));
}

TEST_F(EditListModelTest, OnlyEnterWritesAValue) {
    model.MousePressed();
    model.RowClicked(0);
    model.EditEnded(0, ParameterRows::kValueColumn, "42", false);  // a click elsewhere
    EXPECT_EQ(list.Text(0, ParameterRows::kValueColumn), "42");
    EXPECT_TRUE(log.edits.empty());
    model.EditEnded(0, ParameterRows::kValueColumn, "43", true);
    EXPECT_EQ(log.edits, (std::vector<std::pair<int, int>>{{0, 4}}));
    EXPECT_TRUE(list.IsSelected(0) && list.IsFocused(0));
    EXPECT_TRUE(model.SwallowsDigits());

    // The Enter still held after the commit waits once, then reopens the value cell.
    EXPECT_EQ(model.EnterPressed(), EditListModel::EnterAction::kDelay);
    EXPECT_EQ(model.EnterPressed(), EditListModel::EnterAction::kOpenValue);

    // The same unit sends nothing, another one sends column 6.
    model.EditEnded(1, ParameterRows::kUnitColumn, "rpm", false);
    model.EditEnded(1, ParameterRows::kUnitColumn, "DEC", false);
    EXPECT_EQ(log.edits.back(), (std::pair<int, int>{1, 6}));
    EXPECT_EQ(log.edits.size(), 2u);
}

TEST_F(EditListModelTest, ArrowsAndDigits) {
    EXPECT_TRUE(model.SwallowsDigits());  // keyboard navigation from the start
    model.MousePressed();
    EXPECT_FALSE(model.SwallowsDigits());
    list.SetSelected(0, true);
    list.SetFocused(0, true);
    model.ArrowPressed(+1);
    EXPECT_EQ(model.CurrentRow(), 1);
    EXPECT_TRUE(model.SwallowsDigits());
    // Enter on a row that is not focused opens nothing.
    EXPECT_EQ(model.EnterPressed(), EditListModel::EnterAction::kPassOn);
}

}  // namespace
}  // namespace tarvo
