#pragma once

#include <QColor>
#include <QStringList>
#include <functional>
#include <vector>

class QTreeWidget;
class QProgressBar;
class QWidget;

namespace tarvo {

// The list of the transfer views: a report list with grid lines and full-row select, its
// columns at their widths, rows coloured by their result, and a progress bar below it.
class TransferList {
public:
    static const QColor kFailColour;
    static const QColor kAlarmColour;

    // Sets up the form's list (null: nothing) and puts a progress bar under it.
    TransferList(QTreeWidget* list, const QStringList& headings, const std::vector<int>& widths,
                 QWidget* form);

    QTreeWidget* List() const { return list_; }
    QProgressBar* Progress() const { return progress_; }
    // Resizes the list to `count` rows, every cell empty.
    void Reset(int count);
    // Resizes the list to `count` rows and has `showRow` fill each of them.
    void Refill(int count, const std::function<void(int row)>& showRow);
    // Fills one row and draws it in `colour` (invalid: the normal text colour).
    void SetRow(int row, const QStringList& cells, const QColor& colour);
    void SetProgress(int done, int total);

private:
    QTreeWidget* list_;
    QProgressBar* progress_ = nullptr;
};

}  // namespace tarvo
