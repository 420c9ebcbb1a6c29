#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <functional>

namespace tarvo {

class FactsText;
class SdoListModel;

// The browser's rows as Qt sees them: the columns "index", "sub", "name" and the value,
// read-only. A value read before the latest read is grey; one that differs from the entry's
// factory default is tinted as in the panels.
class SdoListTable : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit SdoListTable(const SdoListModel& model, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    static constexpr int kValueColumn = 3;

    // The value column's header and notes, and the program's switch of the default mark
    // (nullptr: always marked); both outlive the table.
    void SetFacts(const FactsText* texts, const bool* markDefaults) {
        texts_ = texts;
        markDefaults_ = markDefaults;
    }
    // The rows were re-filled or re-sorted.
    void Reload();
    // The values shown changed (one row, or all for -1).
    void ValuesChanged(int row = -1);
    // Entries written and not stored by the drive: bold, with `tipLine` as their tooltip.
    void SetUnstoredMark(std::function<bool(uint32_t key)> unstored, QString tipLine) {
        unstored_ = std::move(unstored);
        unstoredTip_ = std::move(tipLine);
    }
    // The marks changed: every row is drawn again.
    void RefreshMarks();

private:
    bool MarksDefault(int row) const;
    QString ValueNotes(int row) const;

    const SdoListModel& model_;
    const FactsText* texts_ = nullptr;
    const bool* markDefaults_ = nullptr;
    std::function<bool(uint32_t key)> unstored_;
    QString unstoredTip_;
};

}  // namespace tarvo
