#pragma once

#include <QAbstractTableModel>
#include <functional>

namespace tarvo {

class SdoListModel;

// The browser's rows as Qt sees them: the columns "index", "sub" and "name", read-only.
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

    // The rows were re-filled or re-sorted.
    void Reload();
    // Entries written and not stored by the drive: bold, with `tipLine` as their tooltip.
    void SetUnstoredMark(std::function<bool(uint32_t key)> unstored, QString tipLine) {
        unstored_ = std::move(unstored);
        unstoredTip_ = std::move(tipLine);
    }
    // The marks changed: every row is drawn again.
    void RefreshMarks();

private:
    const SdoListModel& model_;
    std::function<bool(uint32_t key)> unstored_;
    QString unstoredTip_;
};

}  // namespace tarvo
