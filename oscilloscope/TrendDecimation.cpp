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
    size_t last = ring.LowerBound(end * 0.001);
    // Whole blocks stand in for their samples when a column holds at least eight of them: a
    // block then lies in one column, or at most a pixel off.
    const bool byBlocks = last - first >= static_cast<size_t>(columns) * 8 * TrendRing::kBlock;
    int column = 0;
    int64_t next = boundary(1);
    bool pendingGap = false;
    auto moveTo = [&](uint32_t milliseconds) {
        while (milliseconds >= next && column + 1 < columns) {
            ++column;
            next = boundary(column + 1);
        }
        return &result[static_cast<size_t>(column)];
    };
    auto take = [&](TrendColumn& cell, double firstValue, double lastValue, double minimum,
                    double maximum, int count) {
        if (cell.count == 0) {
            cell.minimum = minimum;
            cell.maximum = maximum;
            cell.first = firstValue;
            cell.gapBefore = cell.gapBefore || pendingGap;
        } else {
            // A gap inside a full column: its samples after the gap start a new line, which
            // the column's span already covers.
            cell.minimum = std::min(cell.minimum, minimum);
            cell.maximum = std::max(cell.maximum, maximum);
        }
        pendingGap = false;
        cell.last = lastValue;
        cell.count += count;
    };
    for (size_t i = first; i < last;) {
        const TrendRing::Block* block = byBlocks ? ring.WholeBlockAt(i) : nullptr;
        if (block != nullptr && block->gaps == 0 && i + TrendRing::kBlock <= last) {
            TrendColumn* cell = moveTo(block->milliseconds);
            take(*cell, block->first, block->last, block->minimum, block->maximum,
                 static_cast<int>(TrendRing::kBlock));
            i += TrendRing::kBlock;
            continue;
        }
        const TrendStoredSample& sample = ring.Stored(i);
        TrendColumn* cell = moveTo(sample.milliseconds);
        if (sample.gap) {
            pendingGap = true;
            if (cell->count == 0) {
                cell->gapBefore = true;
            }
        } else {
            take(*cell, sample.value, sample.value, sample.value, sample.value, 1);
        }
        ++i;
    }
    return result;
}

}  // namespace tarvo
