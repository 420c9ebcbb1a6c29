#pragma once

#include <QDialog>
#include <vector>

#include "transfer/DriveDifferences.h"
#include "transfer/FirstUnitText.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTreeWidget;

namespace tarvo {

class ImportDrvDataModel;
class MessageBox;
class ObjectDictionary;
class ResourceSet;

// "Compare" of the import view: reads every row of the loaded file from the drive through
// the view's model, lists only the rows that differ (and those the drive refused), and
// writes only those rows on "Write these rows", each verified by reading it back.
class CompareDrvDataDialog : public QDialog {
    Q_OBJECT
public:
    CompareDrvDataDialog(ImportDrvDataModel& model, const ObjectDictionary& dictionary,
                         const ResourceSet& resources, QWidget* parent);

    // Starts a compare; false when the model did not start one (it said why).
    bool Compare();
    void WriteRows();
    void Cancel();
    // The model's state changed, or its run ended.
    void ShowProgress();
    void RunFinished();
    void reject() override;

    bool Busy() const { return run_ != Run::kNone; }
    const std::vector<DriveDifferences::Difference>& Differences() const { return differences_; }
    QTreeWidget* List() const { return list_; }
    QLabel* Status() const { return status_; }
    QPushButton* WriteButton() const { return write_; }

private:
    enum class Run { kNone, kCompare, kWrite };

    QString Text(int id) const;
    void ShowDifferences();
    void ShowButtons();

    ImportDrvDataModel& model_;
    const ObjectDictionary& dictionary_;
    const ResourceSet& resources_;
    FirstUnitText units_;
    std::vector<DriveDifferences::Difference> differences_;
    Run run_ = Run::kNone;
    QLabel* status_;
    QTreeWidget* list_;
    QProgressBar* progress_;
    QPushButton* write_;
    QPushButton* cancel_;
    QPushButton* close_;
};

}  // namespace tarvo
