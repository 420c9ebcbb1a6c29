#pragma once

#include <set>
#include <string>
#include <vector>

namespace tarvo {

class MessageTarget;
class ParameterList;
class UnitTable;

// The editing rules of a panel's list, without drawing: which cell opens the in-place
// editor or the unit drop-down, what the keys do, and what an ended edit changes. The list
// view asks it and does what it says; the panel hears of committed edits by WM_ROW_EDITED.
class EditListModel {
public:
    enum class Opens { kNothing, kEditor, kDropDown };
    enum class EnterAction {
        kPassOn,     // nothing to open
        kDelay,      // the Enter that committed is still held: wait before reopening
        kOpenValue,  // open the value cell of the current row
    };

    EditListModel(ParameterList& list, const UnitTable& units) : list_(list), units_(units) {}

    // Receives WM_ROW_EDITED (row, column), synchronously.
    void SetParent(MessageTarget* parent) { parent_ = parent; }
    void SetColumnReadOnly(int column, bool on);
    void SetColumnDropDown(int column, bool on);

    // A drop-down column opens the drop-down; a read-only column nothing; any other cell
    // the editor when its row's entry is writable.
    Opens CellOpens(int row, int column) const;
    // The units offered for the row's entry; "DEC" alone when it has no units.
    std::vector<std::string> UnitChoices(int row) const;

    // Left button pressed on the list.
    void MousePressed();
    // The list selected and focused the clicked row.
    void RowClicked(int row);
    // Tab in a value editor: the nearest row after `row` (before it for step -1) whose
    // value opens an editor, or -1 when there is none.
    int NextValueRow(int row, int step) const;
    // Digit keys are swallowed after a commit or keyboard navigation, until a click.
    bool SwallowsDigits() const { return justCommitted_ || keyboardNavigation_; }
    EnterAction EnterPressed();
    // Up (-1) or Down (+1): the current row follows the selected or focused row.
    void ArrowPressed(int step);

    // An in-place control ended with `text` (the initial text when cancelled); `enterHeld`
    // when the edit was confirmed with Enter. Only Enter writes a value; a new unit is
    // taken at once.
    void EditEnded(int row, int column, const std::string& text, bool enterHeld);

    int CurrentRow() const { return currentRow_; }
    bool JustCommitted() const { return justCommitted_; }
    int CommitStage() const { return commitStage_; }

private:
    void Notify(int row, int column);

    ParameterList& list_;
    const UnitTable& units_;
    MessageTarget* parent_ = nullptr;
    std::set<int> readOnlyColumns_;
    std::set<int> dropDownColumns_;
    int currentRow_ = -1;
    bool justCommitted_ = false;
    int commitStage_ = 0;
    bool keyboardNavigation_ = true;
};

}  // namespace tarvo
