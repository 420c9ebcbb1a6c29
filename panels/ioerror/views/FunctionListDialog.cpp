#include "panels/ioerror/views/FunctionListDialog.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>

#include "resources/ResourceSet.h"

namespace tarvo {

namespace {

enum : int { kList = 1201, kOk = 1202, kCancel = 1203 };

}  // namespace

FunctionListDialog::FunctionListDialog(const Services& services, QWidget* parent)
    : QDialog(parent), services_(services) {
    form_ = FormBuilder::Build(services_.resources, 122, this);
    setWindowTitle(QString::fromStdString(services_.resources.Catalog().Dialog(122)
                                              ? services_.resources.Catalog().Dialog(122)->caption
                                              : std::string("List")));
    setFixedSize(form_.size.isValid() ? form_.size : QSize(520, 420));
    setModal(false);
    list_ = form_.Control<QTreeWidget>(kList);
    if (list_ == nullptr) {
        list_ = new QTreeWidget(this);
    }
    list_->setColumnCount(3);
    list_->setHeaderLabels({QString(), QStringLiteral("ID"), QStringLiteral("Item")});
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setAllColumnsShowFocus(true);
    list_->setStyleSheet(QStringLiteral("QTreeView::item { border-bottom: 1px solid #d0d0d0; }"));
    const bool at96 = services_.pixelsPerInch == 96;
    list_->setColumnWidth(0, at96 ? 30 : 40);
    list_->setColumnWidth(1, at96 ? 100 : 120);
    list_->setColumnWidth(2, at96 ? 350 : 420);
    if (auto* ok = form_.Control<QPushButton>(kOk)) {
        connect(ok, &QPushButton::clicked, this, &FunctionListDialog::Accept);
    }
    if (auto* cancel = form_.Control<QPushButton>(kCancel)) {
        connect(cancel, &QPushButton::clicked, this, &QDialog::hide);
    }
}

void FunctionListDialog::Fill(const IoFunctionNames& names, IoFunctionNames::Kind kind) {
    model_.Fill(names, kind);
    list_->clear();
    for (const FunctionListModel::Row& row : model_.Rows()) {
        auto* item = new QTreeWidgetItem(
            list_, {QString(), QString::fromStdString(row.id), QString::fromStdString(row.name)});
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, Qt::Unchecked);
    }
}

void FunctionListDialog::SetTarget(MessageTarget* target, uint32_t key, uint32_t bits) {
    model_.SetTarget(target, key, bits);
    ShowTicks();
}

void FunctionListDialog::ShowTicks() {
    std::vector<bool> ticks = model_.Ticks(services_.connected && services_.connected());
    for (int i = 0; i < list_->topLevelItemCount() && i < static_cast<int>(ticks.size()); ++i) {
        list_->topLevelItem(i)->setCheckState(0, ticks[i] ? Qt::Checked : Qt::Unchecked);
    }
}

void FunctionListDialog::SetTicked(int row, bool ticked) {
    if (QTreeWidgetItem* item = list_->topLevelItem(row)) {
        item->setCheckState(0, ticked ? Qt::Checked : Qt::Unchecked);
    }
}

void FunctionListDialog::Accept() {
    std::vector<bool> ticks;
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        ticks.push_back(list_->topLevelItem(i)->checkState(0) == Qt::Checked);
    }
    if (model_.Accept(ticks, services_.messageBox)) {
        hide();
    }
}

void FunctionListDialog::showEvent(QShowEvent* event) {
    // The ticks follow the port each time the chooser comes up, not on every repaint, so
    // that the user's unsaved ticks survive a window passing over the dialog.
    ShowTicks();
    QDialog::showEvent(event);
}

}  // namespace tarvo
