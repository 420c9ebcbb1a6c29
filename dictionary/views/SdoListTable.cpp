#include "dictionary/views/SdoListTable.h"

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
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= model_.RowCount()) {
        return {};
    }
    const SdoListModel::Row& row = model_.RowAt(index.row());
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

void SdoListTable::Reload() {
    beginResetModel();
    endResetModel();
}

}  // namespace tarvo
