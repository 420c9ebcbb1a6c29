#pragma once

#include <QElapsedTimer>
#include <QTableView>

namespace tarvo {

class EditListDelegate;
class EditListModel;
class ParameterList;
class ParameterTableModel;

// The editable list of a panel: a report list with grid lines and whole-row selection whose
// column widths the user cannot change (hidden columns stay hidden). A click on a cell of
// the focused row opens the in-place editor or the unit drop-down as the editing rules say;
// Enter opens the value cell of the current row; digits only search the list after a click.
class EditListView : public QTableView {
    Q_OBJECT
public:
    EditListView(ParameterList& list, EditListModel& rules, ParameterTableModel& model,
                 QWidget* parent = nullptr);

    // Opens the cell's in-place control when the editing rules allow one; brings the whole
    // cell into view first. False when nothing opens.
    bool OpenCell(int row, int column);
    bool IsEditing() const { return state() == QAbstractItemView::EditingState; }
    QWidget* OpenEditor() const;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyboardSearch(const QString& search) override;

private:
    void PullSelection();
    void PushRowState(int row);

    ParameterList& list_;
    EditListModel& rules_;
    ParameterTableModel& model_;
    EditListDelegate* delegate_;
    QElapsedTimer enterDelay_;
    bool syncing_ = false;
};

}  // namespace tarvo
