#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dictionary/ParameterRows.h"

namespace tarvo {

class ParameterListObserver;

// The rows of a parameter panel's list: seven text columns per row, with the selected and
// focused state of a report list. The value routines, the project sections and the panels
// work on it; the panel's list view displays it. At most one row has the focus.
class ParameterList : public ParameterRows {
public:
    int RowCount() const override { return static_cast<int>(rows_.size()); }

    // Inserts a row with its label at `position` (appended when position is past the end)
    // and gives its number, or -1 for a negative position. The other columns are empty.
    int InsertRow(int position, std::string_view label) override;
    bool DeleteRow(int row);
    void DeleteAllRows() override;

    // Empty for a row or column that does not exist.
    std::string Text(int row, int column) const override;
    bool SetText(int row, int column, std::string_view text) override;

    bool IsSelected(int row) const;
    bool IsFocused(int row) const;
    void SetSelected(int row, bool selected);
    // Focusing a row takes the focus from any other row.
    void SetFocused(int row, bool focused);
    // The focused row, or -1.
    int FocusedRow() const;
    std::vector<int> SelectedRows() const;
    int SelectedCount() const;
    void ClearSelection();

    // Values read over a connection that was lost since: every row is stale from `lostAt`
    // (seconds since the epoch) until its value is read again.
    void MarkAllStale(int64_t lostAt);
    void SetFresh(int row);
    bool IsStale(int row) const;
    int64_t StaleSince() const { return staleSince_; }

    // The drive's last value of the row's entry, widened by its type, as it came over the
    // link (none before the first read or after a refused one); the text shows it in a unit.
    void SetRawValue(int row, std::optional<int64_t> raw);
    std::optional<int64_t> RawValue(int row) const;

    // The observer (nullptr for none) must outlive the list or be removed first.
    void SetObserver(ParameterListObserver* observer) { observer_ = observer; }

private:
    struct Row {
        std::array<std::string, kColumnCount> texts;
        bool selected = false;
        bool focused = false;
        bool stale = false;
        std::optional<int64_t> raw;
    };

    bool Exists(int row) const { return row >= 0 && row < RowCount(); }

    std::vector<Row> rows_;
    ParameterListObserver* observer_ = nullptr;
    int64_t staleSince_ = 0;
};

}  // namespace tarvo
