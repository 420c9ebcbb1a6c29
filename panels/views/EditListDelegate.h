#pragma once

#include <QStyledItemDelegate>
#include <QVariantList>

class QComboBox;

namespace tarvo {

class EditListModel;

// The in-place controls of a panel's list: an edit box with all its text selected over a
// value cell (a drop-down of the names for an entry with named codes), a drop-down of the entry's
// units over a unit cell. Enter commits, Esc restores, losing the focus ends the edit without
// writing; the editing rules decide what an ended edit changes. Tab ends the edit without writing,
// as a click elsewhere does, and never opens the next cell itself: the list moves on to the next
// row's value.
class EditListDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    EditListDelegate(EditListModel& model, QObject* parent = nullptr);

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;

    // True between the Enter that confirms an edit and the end of its commit.
    bool EnterHeld() const { return enterHeld_; }

signals:
    // Tab (step 1) or Shift+Tab (step -1) ended the edit of a cell in `row`.
    void tabbedFrom(int row, int column, int step);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The value editor of an entry with named codes: the names to choose, or a typed code.
    QComboBox* CodeChoices(QWidget* parent, const QVariantList& choices) const;

    EditListModel& model_;
    bool enterHeld_ = false;
};

}  // namespace tarvo
