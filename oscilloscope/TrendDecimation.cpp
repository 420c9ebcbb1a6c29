#include "oscilloscope/TrendDecimation.h"

#include <algorithm>
#include <cmath>

#include "oscilloscope/TrendRing.h"

namespace tarvo {

std::vector<TrendColumn> TrendDecimation::Columns(const TrendRing& ring, double from, double to,
                                                  int columns) {
    if (columns < 1 || !(to > from)) {
        return {};
    }
    std::vector<TrendColumn> result(static_cast<size_t>(columns));
    const double perColumn = (to - from) / columns;
    // Column boundaries in the ring's milliseconds: the loop compares integers only.
    auto boundary = [&](int column) {
        return static_cast<int64_t>(std::ceil((from + perColumn * column) * 1000.0 - 1e-6));
    };
    const int64_t start = boundary(0);
    const int64_t end = boundary(columns);
    size_t first = ring.LowerBound(start * 0.001);
    int column = 0;
    int64_t next = boundary(1);
    bool pendingGap = false;
    size_t last = ring.LowerBound(end * 0.001);
    ring.ForEach(first, last, [&](uint32_t milliseconds, double value, bool gap) {
        while (milliseconds >= next && column + 1 < columns) {
            ++column;
            next = boundary(column + 1);
        }
        TrendColumn& cell = result[static_cast<size_t>(column)];
        if (gap) {
            pendingGap = true;
            if (cell.count == 0) {
                cell.gapBefore = true;
            }
            return;
        }
        if (cell.count == 0) {
            cell.minimum = cell.maximum = cell.first = value;
            cell.gapBefore = cell.gapBefore || pendingGap;
        } else {
            cell.minimum = std::min(cell.minimum, value);
            cell.maximum = std::max(cell.maximum, value);
            // A gap inside a full column: its samples after the gap start a new line, which
            // the column's span already covers.
        }
        pendingGap = false;
        cell.last = value;
        ++cell.count;
    });
    return result;
}

}  // namespace tarvo
