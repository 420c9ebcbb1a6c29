#include "panels/views/ParameterTableModel.h"

#include <QColor>
#include <QFont>

#include "panels/ParameterList.h"

namespace tarvo {

namespace {
constexpr int kRedrawMs = 40;
}

ParameterTableModel::ParameterTableModel(ParameterList& list, const ParameterColumnLayout& columns,
                                         QObject* parent)
    : QAbstractTableModel(parent), list_(list), columns_(columns) {
    list_.SetObserver(this);
    redraw_.setSingleShot(true);
    redraw_.setInterval(kRedrawMs);
    connect(&redraw_, &QTimer::timeout, this, &ParameterTableModel::FlushChanges);
}

ParameterTableModel::~ParameterTableModel() {
    list_.SetObserver(nullptr);
}

int ParameterTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : list_.RowCount();
}

int ParameterTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ParameterRows::kColumnCount;
}

QVariant ParameterTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) {
        return {};
    }
    const bool staleValue =
        index.column() == ParameterRows::kValueColumn && list_.IsStale(index.row());
    switch (role) {
        case Qt::ToolTipRole: {
            QString tip = ToolTip(index);
            if (unstored_ && unstored_(index.row())) {
                tip += (tip.isEmpty() ? QString() : QStringLiteral("\n")) + unstoredTip_;
            }
            return tip;
        }
        case Qt::FontRole:
            if (unstored_ && unstored_(index.row())) {
                QFont bold;
                bold.setBold(true);
                return bold;
            }
            return {};
        case Qt::DisplayRole:
        case Qt::EditRole:
            return QString::fromStdString(list_.Text(index.row(), index.column()));
        case Qt::ForegroundRole:
            if (staleValue) {
                return QColor(kStaleColour);
            }
            if (list_.Text(index.row(), ParameterRows::kLabelColumn).find('*') !=
                std::string::npos) {
                return QColor(kReadOnlyColour);
            }
            return {};
        default:
            return {};
    }
}

QString ParameterTableModel::ToolTip(const QModelIndex& index) const {
    QString text = QString::fromStdString(list_.Text(index.row(), index.column()));
    if (index.column() == ParameterRows::kValueColumn && list_.IsStale(index.row()) && staleNote_) {
        return (text.isEmpty() ? text : text + '\n') + staleNote_(list_.StaleSince());
    }
    std::string help = helpOfRow_ ? helpOfRow_(index.row()) : std::string();
    if (!help.empty()) {
        return QString::fromStdString(help);
    }
    // Names and texts wider than their column.
    return text;
}

void ParameterTableModel::RefreshMarks() {
    if (rowCount() > 0) {
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1),
                         {Qt::FontRole, Qt::ToolTipRole});
    }
}

QVariant ParameterTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < ParameterRows::kColumnCount) {
        return QString::fromStdString(columns_[static_cast<size_t>(section)].header);
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags ParameterTableModel::flags(const QModelIndex& index) const {
    // Whether a cell opens an editor is the list's decision, made when it is clicked.
    return QAbstractTableModel::flags(index) | Qt::ItemIsEditable;
}

void ParameterTableModel::FlushChanges() {
    redraw_.stop();
    int last = std::min(lastChanged_, list_.RowCount() - 1);
    if (firstChanged_ >= 0 && last >= firstChanged_) {
        emit dataChanged(index(firstChanged_, 0), index(last, ParameterRows::kColumnCount - 1));
    }
    firstChanged_ = lastChanged_ = -1;
}

void ParameterTableModel::RowAboutToBeInserted(int row) {
    FlushChanges();
    beginInsertRows({}, row, row);
}

void ParameterTableModel::RowInserted(int) {
    endInsertRows();
}

void ParameterTableModel::RowAboutToBeDeleted(int row) {
    FlushChanges();
    beginRemoveRows({}, row, row);
}

void ParameterTableModel::RowDeleted(int) {
    endRemoveRows();
}

void ParameterTableModel::AllRowsAboutToBeDeleted() {
    firstChanged_ = lastChanged_ = -1;
    beginResetModel();
}

void ParameterTableModel::AllRowsDeleted() {
    endResetModel();
}

void ParameterTableModel::CellChanged(int row, int) {
    firstChanged_ = firstChanged_ < 0 ? row : std::min(firstChanged_, row);
    lastChanged_ = std::max(lastChanged_, row);
    if (!redraw_.isActive()) {
        redraw_.start();
    }
}

void ParameterTableModel::RowStateChanged(int row) {
    emit rowStateChanged(row);
}

}  // namespace tarvo
