#include "dictionary/views/SdoListTable.h"

#include <QFont>

#include "dictionary/SdoListModel.h"

namespace tarvo {

SdoListTable::SdoListTable(const SdoListModel& model, QObject* parent)
    : QAbstractTableModel(parent), model_(model) {}

int SdoListTable::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : model_.RowCount();
}

int SdoListTable::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 3;
}

QVariant SdoListTable::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= model_.RowCount()) {
        return {};
    }
    const SdoListModel::Row& row = model_.RowAt(index.row());
    if (role == Qt::FontRole || role == Qt::ToolTipRole) {
        if (!unstored_ || !unstored_(row.key)) {
            return {};
        }
        if (role == Qt::ToolTipRole) {
            return unstoredTip_;
        }
        QFont bold;
        bold.setBold(true);
        return bold;
    }
    if (role != Qt::DisplayRole) {
        return {};
    }
    switch (index.column()) {
        case 0:
            return QString::fromStdString(row.indexText);
        case 1:
            return QString::fromStdString(row.subText);
        case 2:
            return QString::fromStdString(row.name);
        default:
            return {};
    }
}

QVariant SdoListTable::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal) {
        return {};
    }
    static const char* const kHeadings[] = {"index", "sub", "name"};
    return section >= 0 && section < 3 ? QString::fromLatin1(kHeadings[section]) : QVariant();
}

Qt::ItemFlags SdoListTable::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void SdoListTable::RefreshMarks() {
    if (rowCount() > 0) {
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1),
                         {Qt::FontRole, Qt::ToolTipRole});
    }
}

void SdoListTable::Reload() {
    beginResetModel();
    endResetModel();
}

}  // namespace tarvo
