#pragma once

#include <string>
#include <string_view>

namespace tarvo {

// The rows of a parameter list as the value routines and the project sections see them:
// seven text columns per row, addressed by the column numbers below. The panels' list
// model implements it, so that this layer never depends on the panels.
class ParameterRows {
public:
    enum Column : int {
        kLabelColumn = 0,      // row number, with "*" when the entry is not writable
        kKeyColumn = 1,        // the entry's key in decimal: the row's identity
        kNameColumn = 2,       // the entry's name
        kDataTypeColumn = 3,   // the entry's data type name
        kValueColumn = 4,      // value text
        kAttributeColumn = 5,  // the entry's attribute letters
        kUnitColumn = 6,       // unit label
        kColumnCount = 7,
    };

    virtual ~ParameterRows() = default;

    virtual int RowCount() const = 0;
    // Empty for a row or column that does not exist.
    virtual std::string Text(int row, int column) const = 0;
    virtual bool SetText(int row, int column, std::string_view text) = 0;
    // Inserts a row with its label at `position` (appended when past the end) and gives its
    // number, or -1 for a negative position.
    virtual int InsertRow(int position, std::string_view label) = 0;
    virtual void DeleteAllRows() = 0;
};

}  // namespace tarvo
