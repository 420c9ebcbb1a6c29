#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QTimer>
#include <functional>
#include <string>

#include "panels/ParameterColumns.h"
#include "panels/ParameterListObserver.h"

namespace tarvo {

class FactsText;
class ParameterList;
struct EntryFacts;

// A panel's parameter list as a Qt table: the seven columns with their headers, read-only
// rows (label with "*") in green, values read before the link was lost in grey. Value changes are
// shown at most every 40 ms, however fast they arrive; rows inserted or deleted are shown at once.
class ParameterTableModel : public QAbstractTableModel, private ParameterListObserver {
    Q_OBJECT
public:
    static constexpr QRgb kReadOnlyColour = 0x228B22;
    static constexpr QRgb kStaleColour = 0x9A9A9A;
    static constexpr QRgb kNotDefaultColour = 0xFFF0C8;
    // A value cell's named codes for its editor's drop-down, as a list of {code, "code -
    // name"} pairs; empty when the row shows no names.
    static constexpr int kCodeChoicesRole = Qt::UserRole + 1;

    ParameterTableModel(ParameterList& list, const ParameterColumnLayout& columns,
                        QObject* parent = nullptr);
    ~ParameterTableModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    const ParameterColumnLayout& Columns() const { return columns_; }
    // The tooltip line of a stale value, from the time of the loss.
    void SetStaleNote(std::function<QString(qint64 lostAt)> note) { staleNote_ = std::move(note); }
    // The help text a row's tooltip shows; without one (or for a row without help) the
    // tooltip shows the cell's text, for texts wider than their column.
    void SetHelp(std::function<std::string(int row)> helpOfRow) {
        helpOfRow_ = std::move(helpOfRow);
    }
    // What the dictionary knows of a row's entry (nullptr: nothing) and the sentences about
    // it: a named code in the plain decimal unit shows as its name, the tooltip of a value
    // lists its set bits' names and whether it differs from the factory default.
    void SetFacts(std::function<const EntryFacts*(int row)> factsOfRow, const FactsText* texts) {
        factsOfRow_ = std::move(factsOfRow);
        factsText_ = texts;
    }
    // Whether values that differ from their factory default get the tinted background; the
    // flag outlives the model (nullptr: always).
    void SetMarkDefaults(const bool* mark) { markDefaults_ = mark; }
    // Redraws every row, as after the mark was switched.
    void RedrawAll();
    // Rows whose value was written and not stored by the drive: bold, with `tipLine` added
    // to their tooltip.
    void SetUnstoredMark(std::function<bool(int row)> unstored, QString tipLine) {
        unstored_ = std::move(unstored);
        unstoredTip_ = std::move(tipLine);
    }
    // The marks changed: every row is drawn again.
    void RefreshMarks();
    // Shows the value changes that wait for the next redraw now.
    void FlushChanges();

signals:
    // The selected or focused state of a row changed in the list.
    void rowStateChanged(int row);

private:
    QString ToolTip(const QModelIndex& index) const;
    void RowAboutToBeInserted(int row) override;
    void RowInserted(int row) override;
    void RowAboutToBeDeleted(int row) override;
    void RowDeleted(int row) override;
    void AllRowsAboutToBeDeleted() override;
    void AllRowsDeleted() override;
    void CellChanged(int row, int column) override;
    void RowStateChanged(int row) override;

    ParameterList& list_;
    ParameterColumnLayout columns_;
    std::function<std::string(int row)> helpOfRow_;
    QTimer redraw_;
    int firstChanged_ = -1;
    int lastChanged_ = -1;
    std::function<QString(qint64 lostAt)> staleNote_;
    std::function<const EntryFacts*(int row)> factsOfRow_;
    const FactsText* factsText_ = nullptr;
    const bool* markDefaults_ = nullptr;

    // The lines the value's tooltip adds from the entry's facts; empty when none.
    QString FactsLines(int row) const;
    bool MarksDefault(int row) const;
    std::function<bool(int row)> unstored_;
    QString unstoredTip_;
};

}  // namespace tarvo
