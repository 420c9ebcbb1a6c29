#include "dictionary/views/SdoListTable.h"

#include <QFont>
#include <QStringList>

#include "dictionary/EntryFacts.h"
#include "dictionary/FactsText.h"
#include "dictionary/SdoListModel.h"

namespace tarvo {

SdoListTable::SdoListTable(const SdoListModel& model, QObject* parent)
    : QAbstractTableModel(parent), model_(model) {}

int SdoListTable::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : model_.RowCount();
}

int SdoListTable::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 4;
}

QVariant SdoListTable::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= model_.RowCount()) {
        return {};
    }
    const SdoListModel::Row& row = model_.RowAt(index.row());
    const bool unstored = unstored_ && unstored_(row.key);
    if (role == Qt::FontRole) {
        if (!unstored) {
            return {};
        }
        QFont bold;
        bold.setBold(true);
        return bold;
    }
    if (index.column() == kValueColumn) {
        switch (role) {
            case Qt::DisplayRole:
                return QString::fromStdString(model_.ValueText(index.row()));
            case Qt::ForegroundRole:
                return model_.ValueIsFresh(index.row()) ? QVariant() : QColor(0x9A9A9A);
            case Qt::BackgroundRole:
                return MarksDefault(index.row()) ? QColor(0xFFF0C8) : QVariant();
            case Qt::ToolTipRole: {
                QString notes = ValueNotes(index.row());
                if (unstored) {
                    notes += (notes.isEmpty() ? QString() : QStringLiteral("\n")) + unstoredTip_;
                }
                return notes.isEmpty() ? QVariant() : notes;
            }
            default:
                return {};
        }
    }
    if (role == Qt::ToolTipRole) {
        return unstored ? QVariant(unstoredTip_) : QVariant();
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
    if (section == kValueColumn) {
        FactsText english;
        return QString::fromStdString(
            (texts_ != nullptr ? *texts_ : english).Text(FactsText::kValueHeader));
    }
    return section >= 0 && section < 3 ? QString::fromLatin1(kHeadings[section]) : QVariant();
}

bool SdoListTable::MarksDefault(int row) const {
    return (markDefaults_ == nullptr || *markDefaults_) &&
           FactsText::DiffersFromDefault(model_.FactsOfRow(row), model_.RawValue(row));
}

QString SdoListTable::ValueNotes(int row) const {
    if (texts_ == nullptr || model_.ValueText(row).empty()) {
        return {};
    }
    QStringList lines;
    if (!model_.ValueIsFresh(row)) {
        lines << QString::fromStdString(texts_->Text(FactsText::kReadEarlier));
    }
    const EntryFacts* facts = model_.FactsOfRow(row);
    std::optional<int64_t> raw = model_.RawValue(row);
    if (facts != nullptr && raw) {
        std::string bits = facts->SetBitNames(static_cast<uint32_t>(*raw));
        if (!bits.empty()) {
            lines << QString::fromStdString(texts_->Text(FactsText::kSetBitsHeading) + '\n' + bits);
        }
        if (MarksDefault(row)) {
            lines << QString::fromStdString(texts_->DiffersLine(*facts, *raw));
        }
    }
    return lines.join('\n');
}

void SdoListTable::ValuesChanged(int row) {
    if (model_.RowCount() == 0) {
        return;
    }
    int first = row < 0 ? 0 : row;
    int last = row < 0 ? model_.RowCount() - 1 : row;
    emit dataChanged(index(first, kValueColumn), index(last, kValueColumn));
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
