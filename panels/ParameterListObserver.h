#pragma once

namespace tarvo {

// Told of every change of a ParameterList, so that the list view of a panel can follow its
// model. Row numbers are those after the change; the "about to" calls come before the rows
// change, with the numbers of that moment.
class ParameterListObserver {
public:
    virtual ~ParameterListObserver() = default;
    virtual void RowAboutToBeInserted(int /*row*/) {}
    virtual void RowAboutToBeDeleted(int /*row*/) {}
    virtual void AllRowsAboutToBeDeleted() {}
    virtual void RowInserted(int /*row*/) {}
    virtual void RowDeleted(int /*row*/) {}
    virtual void AllRowsDeleted() {}
    virtual void CellChanged(int /*row*/, int /*column*/) {}
    // Selection or focus of the row changed.
    virtual void RowStateChanged(int /*row*/) {}
};

}  // namespace tarvo
