#include "panels/ParameterList.h"

#include "panels/ParameterListObserver.h"

namespace tarvo {

int ParameterList::InsertRow(int position, std::string_view label) {
    if (position < 0) {
        return -1;
    }
    int row = position < RowCount() ? position : RowCount();
    if (observer_ != nullptr) {
        observer_->RowAboutToBeInserted(row);
    }
    Row inserted;
    inserted.texts[kLabelColumn] = label;
    rows_.insert(rows_.begin() + row, std::move(inserted));
    if (observer_ != nullptr) {
        observer_->RowInserted(row);
    }
    return row;
}

bool ParameterList::DeleteRow(int row) {
    if (!Exists(row)) {
        return false;
    }
    if (observer_ != nullptr) {
        observer_->RowAboutToBeDeleted(row);
    }
    rows_.erase(rows_.begin() + row);
    if (observer_ != nullptr) {
        observer_->RowDeleted(row);
    }
    return true;
}

void ParameterList::DeleteAllRows() {
    if (observer_ != nullptr) {
        observer_->AllRowsAboutToBeDeleted();
    }
    rows_.clear();
    if (observer_ != nullptr) {
        observer_->AllRowsDeleted();
    }
}

std::string ParameterList::Text(int row, int column) const {
    if (!Exists(row) || column < 0 || column >= kColumnCount) {
        return {};
    }
    return rows_[static_cast<size_t>(row)].texts[static_cast<size_t>(column)];
}

bool ParameterList::SetText(int row, int column, std::string_view text) {
    if (!Exists(row) || column < 0 || column >= kColumnCount) {
        return false;
    }
    rows_[static_cast<size_t>(row)].texts[static_cast<size_t>(column)] = text;
    if (observer_ != nullptr) {
        observer_->CellChanged(row, column);
    }
    return true;
}

void ParameterList::MarkAllStale(int64_t lostAt) {
    staleSince_ = lostAt;
    for (int row = 0; row < RowCount(); ++row) {
        rows_[static_cast<size_t>(row)].stale = true;
        if (observer_ != nullptr) {
            observer_->CellChanged(row, kValueColumn);
        }
    }
}

void ParameterList::SetFresh(int row) {
    if (Exists(row) && rows_[static_cast<size_t>(row)].stale) {
        rows_[static_cast<size_t>(row)].stale = false;
        if (observer_ != nullptr) {
            observer_->CellChanged(row, kValueColumn);
        }
    }
}

void ParameterList::SetRawValue(int row, std::optional<int64_t> raw) {
    if (Exists(row) && rows_[static_cast<size_t>(row)].raw != raw) {
        rows_[static_cast<size_t>(row)].raw = raw;
        if (observer_ != nullptr) {
            observer_->CellChanged(row, kValueColumn);
        }
    }
}

std::optional<int64_t> ParameterList::RawValue(int row) const {
    return Exists(row) ? rows_[static_cast<size_t>(row)].raw : std::nullopt;
}

bool ParameterList::IsStale(int row) const {
    return Exists(row) && rows_[static_cast<size_t>(row)].stale;
}

bool ParameterList::IsSelected(int row) const {
    return Exists(row) && rows_[static_cast<size_t>(row)].selected;
}

bool ParameterList::IsFocused(int row) const {
    return Exists(row) && rows_[static_cast<size_t>(row)].focused;
}

void ParameterList::SetSelected(int row, bool selected) {
    if (!Exists(row) || rows_[static_cast<size_t>(row)].selected == selected) {
        return;
    }
    rows_[static_cast<size_t>(row)].selected = selected;
    if (observer_ != nullptr) {
        observer_->RowStateChanged(row);
    }
}

void ParameterList::SetFocused(int row, bool focused) {
    if (!Exists(row)) {
        return;
    }
    if (focused) {
        int previous = FocusedRow();
        if (previous != -1 && previous != row) {
            SetFocused(previous, false);
        }
    }
    if (rows_[static_cast<size_t>(row)].focused == focused) {
        return;
    }
    rows_[static_cast<size_t>(row)].focused = focused;
    if (observer_ != nullptr) {
        observer_->RowStateChanged(row);
    }
}

int ParameterList::FocusedRow() const {
    for (int row = 0; row < RowCount(); ++row) {
        if (rows_[static_cast<size_t>(row)].focused) {
            return row;
        }
    }
    return -1;
}

std::vector<int> ParameterList::SelectedRows() const {
    std::vector<int> selected;
    for (int row = 0; row < RowCount(); ++row) {
        if (rows_[static_cast<size_t>(row)].selected) {
            selected.push_back(row);
        }
    }
    return selected;
}

int ParameterList::SelectedCount() const {
    return static_cast<int>(SelectedRows().size());
}

void ParameterList::ClearSelection() {
    for (int row = 0; row < RowCount(); ++row) {
        SetSelected(row, false);
    }
}

}  // namespace tarvo
