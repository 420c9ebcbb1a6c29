#pragma once

#include <QAbstractTableModel>

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

private:
    const SdoListModel& model_;
};

}  // namespace tarvo
