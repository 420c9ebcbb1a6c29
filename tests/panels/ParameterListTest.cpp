#include "panels/ParameterList.h"

#include <gtest/gtest.h>

namespace tarvo {
namespace {

std::vector<std::string> Labels(const ParameterList& list) {
    std::vector<std::string> labels;
    for (int row = 0; row < list.RowCount(); ++row) {
        labels.push_back(list.Text(row, ParameterList::kLabelColumn));
    }
    return labels;
}

TEST(ParameterListTest, InsertPositionsAndTexts) {
    ParameterList list;
    EXPECT_EQ(list.InsertRow(0, "a"), 0);
    EXPECT_EQ(list.InsertRow(5, "c"), 1);  // past the end: appended
    EXPECT_EQ(list.InsertRow(1, "b"), 1);
    EXPECT_EQ(list.InsertRow(-1, "x"), -1);
    EXPECT_EQ(Labels(list), (std::vector<std::string>{"a", "b", "c"}));

    EXPECT_TRUE(list.SetText(1, ParameterList::kUnitColumn, "rpm"));
    EXPECT_EQ(list.Text(1, 6), "rpm");
    EXPECT_EQ(list.Text(1, ParameterList::kValueColumn), "");
    EXPECT_FALSE(list.SetText(3, 0, "no row"));
    EXPECT_FALSE(list.SetText(0, 7, "no column"));
    EXPECT_EQ(list.Text(-1, 0), "");
    EXPECT_EQ(list.Text(0, -1), "");

    EXPECT_TRUE(list.DeleteRow(0));
    EXPECT_FALSE(list.DeleteRow(2));
    EXPECT_EQ(Labels(list), (std::vector<std::string>{"b", "c"}));
    list.DeleteAllRows();
    EXPECT_EQ(list.RowCount(), 0);
}

TEST(ParameterListTest, SelectionAndFocusFollowTheirRows) {
    ParameterList list;
    for (const char* label : {"1", "2", "3", "4"}) {
        list.InsertRow(list.RowCount(), label);
    }
    list.SetSelected(1, true);
    list.SetSelected(3, true);
    list.SetFocused(1, true);
    list.SetFocused(3, true);  // the focus moves; the list has one focused row
    EXPECT_EQ(list.FocusedRow(), 3);
    EXPECT_FALSE(list.IsFocused(1));
    EXPECT_EQ(list.SelectedRows(), (std::vector<int>{1, 3}));

    list.InsertRow(0, "new");
    EXPECT_EQ(list.SelectedRows(), (std::vector<int>{2, 4}));
    EXPECT_EQ(list.FocusedRow(), 4);
    list.DeleteRow(4);
    EXPECT_EQ(list.FocusedRow(), -1);
    EXPECT_EQ(list.SelectedCount(), 1);
    list.ClearSelection();
    EXPECT_EQ(list.SelectedCount(), 0);
    EXPECT_FALSE(list.IsSelected(99));
}

}  // namespace
}  // namespace tarvo
