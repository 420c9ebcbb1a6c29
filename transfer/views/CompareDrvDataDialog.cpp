#include "transfer/views/CompareDrvDataDialog.h"

#include <algorithm>

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "resources/ResourceSet.h"
#include "transfer/ImportDrvDataModel.h"
#include "transfer/views/TransferList.h"

namespace tarvo {

namespace {

constexpr int kTitle = 1771;
constexpr int kEntryHeading = 1772;
constexpr int kCancelText = 1776;
constexpr int kWriteText = 1777;
constexpr int kCloseText = 1778;
constexpr int kReading = 1779;
constexpr int kRowsDiffer = 1780;
constexpr int kNothingDiffers = 1781;
constexpr int kStopped = 1782;
constexpr int kRefused = 1783;
constexpr int kNotCompared = 1784;
constexpr int kWriting = 1786;
constexpr int kAllWritten = 1787;
constexpr int kStillDiffer = 1788;

}  // namespace

CompareDrvDataDialog::CompareDrvDataDialog(ImportDrvDataModel& model,
                                           const ObjectDictionary& dictionary,
                                           const ResourceSet& resources, QWidget* parent)
    : QDialog(parent),
      model_(model),
      dictionary_(dictionary),
      resources_(resources),
      status_(new QLabel(this)),
      list_(new QTreeWidget(this)),
      progress_(new QProgressBar(this)),
      write_(new QPushButton(Text(kWriteText), this)),
      cancel_(new QPushButton(Text(kCancelText), this)),
      close_(new QPushButton(Text(kCloseText), this)) {
    setWindowTitle(Text(kTitle));
    status_->setWordWrap(true);
    QStringList headings;
    for (int id = kEntryHeading; id < kEntryHeading + 4; ++id) {
        headings << Text(id);
    }
    list_->setHeaderLabels(headings);
    list_->setRootIsDecorated(false);
    list_->setAlternatingRowColors(false);
    list_->setColumnWidth(0, 70);
    list_->setColumnWidth(1, 230);
    list_->setColumnWidth(2, 250);
    list_->header()->setStretchLastSection(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(write_);
    buttons->addStretch();
    buttons->addWidget(cancel_);
    buttons->addWidget(close_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(status_);
    layout->addWidget(list_, 1);
    layout->addWidget(progress_);
    layout->addLayout(buttons);
    resize(900, 420);
    connect(write_, &QPushButton::clicked, this, [this] { WriteRows(); });
    connect(cancel_, &QPushButton::clicked, this, [this] { Cancel(); });
    connect(close_, &QPushButton::clicked, this, &QDialog::close);
    ShowButtons();
}

QString CompareDrvDataDialog::Text(int id) const {
    return resources_.String(id);
}

bool CompareDrvDataDialog::Compare() {
    if (Busy()) {
        return false;
    }
    differences_.clear();
    list_->clear();
    run_ = Run::kCompare;
    model_.Start(ImportDrvDataModel::RunKind::kCompare);
    if (!model_.Running()) {
        run_ = Run::kNone;  // the model said why (the link is closed)
        ShowButtons();
        return false;
    }
    ShowProgress();
    return true;
}

void CompareDrvDataDialog::WriteRows() {
    if (Busy()) {
        return;
    }
    run_ = Run::kWrite;
    if (!model_.WriteDiffering()) {
        run_ = Run::kNone;
        ShowButtons();
        return;
    }
    ShowProgress();
}

void CompareDrvDataDialog::Cancel() {
    // Stop ends the run at once; the answer still on its way is no longer taken.
    if (Busy()) {
        model_.Stop();
    }
}

void CompareDrvDataDialog::ShowProgress() {
    if (!Busy()) {
        return;
    }
    int done = model_.StepsDone();
    int total = model_.StepCount();
    progress_->setRange(0, std::max(total, 1));
    progress_->setValue(std::min(done, std::max(total, 1)));
    status_->setText(Text(run_ == Run::kCompare ? kReading : kWriting).arg(done).arg(total));
    ShowButtons();
}

void CompareDrvDataDialog::RunFinished() {
    if (!Busy()) {
        return;
    }
    Run run = run_;
    run_ = Run::kNone;
    ShowDifferences();
    progress_->setValue(progress_->maximum());
    int rows = static_cast<int>(model_.Rows().size());
    int listed = static_cast<int>(differences_.size());
    if (model_.Stopped()) {
        status_->setText(Text(kStopped));
    } else if (run == Run::kCompare) {
        status_->setText(listed == 0 ? Text(kNothingDiffers)
                                     : Text(kRowsDiffer).arg(listed).arg(rows));
    } else {
        QString finish =
            QString::fromStdString(model_.StatusText(ImportDrvDataModel::kWriteStatus));
        status_->setText(Text(listed == 0 ? kAllWritten : kStillDiffer).arg(finish));
    }
    ShowButtons();
}

void CompareDrvDataDialog::ShowDifferences() {
    differences_ = DriveDifferences::Of(model_, dictionary_, units_);
    list_->clear();
    for (const DriveDifferences::Difference& difference : differences_) {
        QString drive = QString::fromStdString(difference.drive);
        QColor colour;
        if (difference.kind == DriveDifferences::Kind::kRefused) {
            drive = Text(kRefused).arg(drive);
            colour = TransferList::kFailColour;
        } else if (difference.kind == DriveDifferences::Kind::kNotCompared) {
            drive = Text(kNotCompared).arg(drive);
            colour = TransferList::kAlarmColour;
        }
        auto* item = new QTreeWidgetItem(list_, {QString::fromStdString(difference.entry),
                                                 QString::fromStdString(difference.name),
                                                 QString::fromStdString(difference.file), drive});
        for (int column = 0; column < 4; ++column) {
            item->setToolTip(column, item->text(column));
            if (colour.isValid()) {
                item->setForeground(column, colour);
            }
        }
    }
}

void CompareDrvDataDialog::reject() {
    Cancel();  // the run ends with its window
    QDialog::reject();
}

void CompareDrvDataDialog::ShowButtons() {
    // Rows the file gives no writable value for are listed but never written.
    bool writable = std::any_of(differences_.begin(), differences_.end(), [](const auto& d) {
        return d.kind != DriveDifferences::Kind::kNotCompared;
    });
    write_->setEnabled(!Busy() && model_.Compared() && writable);
    cancel_->setEnabled(Busy());
    close_->setEnabled(!Busy());
}

}  // namespace tarvo
