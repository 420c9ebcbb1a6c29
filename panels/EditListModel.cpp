#include "panels/EditListModel.h"

#include "dictionary/UnitTable.h"
#include "panels/ParameterList.h"
#include "platform/LenientNumber.h"
#include "platform/MessageTarget.h"

namespace tarvo {

namespace {

void Mark(std::set<int>& columns, int column, bool on) {
    if (on) {
        columns.insert(column);
    } else {
        columns.erase(column);
    }
}

}  // namespace

void EditListModel::SetColumnReadOnly(int column, bool on) {
    Mark(readOnlyColumns_, column, on);
}

void EditListModel::SetColumnDropDown(int column, bool on) {
    Mark(dropDownColumns_, column, on);
}

EditListModel::Opens EditListModel::CellOpens(int row, int column) const {
    if (row < 0 || row >= list_.RowCount() || column < 0 || column >= ParameterRows::kColumnCount) {
        return Opens::kNothing;
    }
    if (dropDownColumns_.count(column) != 0) {
        return Opens::kDropDown;
    }
    if (readOnlyColumns_.count(column) != 0) {
        return Opens::kNothing;
    }
    bool writable = list_.Text(row, ParameterRows::kAttributeColumn).find('W') != std::string::npos;
    return writable ? Opens::kEditor : Opens::kNothing;
}

std::vector<std::string> EditListModel::UnitChoices(int row) const {
    return units_.UnitChoices(ParseDecimalText(list_.Text(row, ParameterRows::kKeyColumn)));
}

void EditListModel::MousePressed() {
    justCommitted_ = false;
    keyboardNavigation_ = false;
}

void EditListModel::RowClicked(int row) {
    currentRow_ = row;
}

int EditListModel::NextValueRow(int row, int step) const {
    for (int next = row + step; next >= 0 && next < list_.RowCount(); next += step) {
        if (CellOpens(next, ParameterRows::kValueColumn) == Opens::kEditor) {
            return next;
        }
    }
    return -1;
}

EditListModel::EnterAction EditListModel::EnterPressed() {
    if (justCommitted_ && commitStage_ == 2) {
        commitStage_ = 3;
        return EnterAction::kDelay;
    }
    if (currentRow_ != -1 && list_.IsFocused(currentRow_)) {
        keyboardNavigation_ = false;
        justCommitted_ = false;
        return EnterAction::kOpenValue;
    }
    return EnterAction::kPassOn;
}

void EditListModel::ArrowPressed(int step) {
    for (int row = 0; row < list_.RowCount(); ++row) {
        if (list_.IsSelected(row) || list_.IsFocused(row)) {
            currentRow_ = row + step;
        }
    }
    justCommitted_ = false;
    keyboardNavigation_ = true;
}

void EditListModel::EditEnded(int row, int column, const std::string& text, bool enterHeld) {
    if (row < 0 || row >= list_.RowCount()) {
        return;
    }
    if (column != ParameterRows::kValueColumn) {
        if (text != list_.Text(row, ParameterRows::kUnitColumn)) {
            list_.SetText(row, column, text);
            Notify(row, column);
        }
        return;
    }
    if (enterHeld) {
        int current = currentRow_ >= 0 && currentRow_ < list_.RowCount() ? currentRow_ : row;
        list_.SetText(current, ParameterRows::kValueColumn, text);
        justCommitted_ = true;
        commitStage_ = 2;
        list_.SetSelected(current, true);
        list_.SetFocused(current, true);
        Notify(current, ParameterRows::kValueColumn);
    }
    if (row < list_.RowCount() && text != list_.Text(row, ParameterRows::kValueColumn)) {
        list_.SetText(row, ParameterRows::kValueColumn, text);
    }
}

void EditListModel::Notify(int row, int column) {
    if (parent_ != nullptr) {
        parent_->onMessage(WM_ROW_EDITED, static_cast<uintptr_t>(row), column);
    }
}

}  // namespace tarvo
