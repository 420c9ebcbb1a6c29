#include "panels/views/ParameterTableModel.h"

#include <QColor>
#include <QFont>
#include <vector>

#include "dictionary/FactsText.h"
#include "dictionary/ValueText.h"
#include "panels/ParameterList.h"

namespace tarvo {

namespace {
constexpr int kRedrawMs = 40;

// The default as the row shows values: hexadecimal in a HEX row, else the raw code with its
// name (a unit with a formula gets the raw value and says so).
std::string DefaultInUnit(const EntryFacts& facts, const std::string& unit,
                          const std::string& dataType) {
    int64_t value = *facts.factoryDefault;
    if (unit == "HEX") {
        int width = ValueText::TypeWidth(dataType);
        width = width == 0 ? 32 : width;
        uint64_t mask = width == 32 ? 0xFFFFFFFFu : (uint64_t{1} << width) - 1;
        return QString::number(static_cast<qulonglong>(static_cast<uint64_t>(value) & mask), 16)
            .toStdString();
    }
    std::string text = facts.CodeText(value);
    return unit == "DEC" || unit.empty() ? text : text + " DEC";
}
}  // namespace

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
    const bool valueCell = index.column() == ParameterRows::kValueColumn;
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
            if (valueCell && factsOfRow_) {
                return QString::fromStdString(FactsText::Shown(
                    factsOfRow_(index.row()), list_.Text(index.row(), ParameterRows::kUnitColumn),
                    list_.Text(index.row(), index.column())));
            }
            return QString::fromStdString(list_.Text(index.row(), index.column()));
        case Qt::EditRole:
            // The editor and every write take the value column's own text, never the name.
            return QString::fromStdString(list_.Text(index.row(), index.column()));
        case kCodeChoicesRole: {
            const EntryFacts* facts = valueCell && factsOfRow_ ? factsOfRow_(index.row()) : nullptr;
            QVariantList choices;
            if (facts != nullptr &&
                FactsText::ShowsCodeNames(list_.Text(index.row(), ParameterRows::kUnitColumn))) {
                for (const ValueName& name : facts->valueNames) {
                    choices.append(QVariant(
                        QVariantList{QString::number(name.value),
                                     QString::fromStdString(facts->CodeText(name.value))}));
                }
            }
            return choices;
        }
        case Qt::BackgroundRole:
            if (valueCell && MarksDefault(index.row())) {
                return QColor(kNotDefaultColour);
            }
            return {};
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
    const bool valueCell = index.column() == ParameterRows::kValueColumn;
    QString text = QString::fromStdString(list_.Text(index.row(), index.column()));
    QString tip;
    if (valueCell && list_.IsStale(index.row()) && staleNote_) {
        tip = (text.isEmpty() ? text : text + '\n') + staleNote_(list_.StaleSince());
    } else {
        std::string help = helpOfRow_ ? helpOfRow_(index.row()) : std::string();
        // Names and texts wider than their column.
        tip = !help.empty() ? QString::fromStdString(help) : text;
    }
    QString lines = valueCell ? FactsLines(index.row()) : QString();
    if (!lines.isEmpty()) {
        tip = tip.isEmpty() ? lines : tip + '\n' + lines;
    }
    return tip;
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

bool ParameterTableModel::MarksDefault(int row) const {
    if (!factsOfRow_ || (markDefaults_ != nullptr && !*markDefaults_)) {
        return false;
    }
    return FactsText::DiffersFromDefault(factsOfRow_(row), list_.RawValue(row));
}

QString ParameterTableModel::FactsLines(int row) const {
    const EntryFacts* facts = factsOfRow_ ? factsOfRow_(row) : nullptr;
    std::optional<int64_t> raw = list_.RawValue(row);
    if (facts == nullptr || factsText_ == nullptr || !raw) {
        return {};
    }
    std::string unit = list_.Text(row, ParameterRows::kUnitColumn);
    std::vector<std::string> lines;
    // A row that shows the bare number (HEX, a unit) still names its code here.
    if (!FactsText::ShowsCodeNames(unit) && facts->NameOf(*raw) != nullptr) {
        lines.push_back(facts->CodeText(*raw));
    }
    std::string bits = facts->SetBitNames(static_cast<uint32_t>(*raw));
    if (!bits.empty()) {
        lines.push_back(factsText_->Text(FactsText::kSetBitsHeading) + '\n' + bits);
    }
    if (MarksDefault(row)) {
        lines.push_back(factsText_->DiffersLine(
            *facts, *raw,
            DefaultInUnit(*facts, unit, list_.Text(row, ParameterRows::kDataTypeColumn))));
    }
    QStringList joined;
    for (const std::string& line : lines) {
        joined << QString::fromStdString(line);
    }
    return joined.join('\n');
}

void ParameterTableModel::RedrawAll() {
    if (list_.RowCount() > 0) {
        emit dataChanged(index(0, 0), index(list_.RowCount() - 1, ParameterRows::kColumnCount - 1));
    }
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
