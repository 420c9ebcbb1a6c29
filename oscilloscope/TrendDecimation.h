#pragma once

#include <cstdint>
#include <vector>

namespace tarvo {

class TrendRing;

// What one pixel column of a trend holds: the smallest and largest value of the samples
// that fall in it, the first and last of them, and whether the line breaks in it.
struct TrendColumn {
    int count = 0;  // samples (gaps not counted)
    double minimum = 0.0;
    double maximum = 0.0;
    double first = 0.0;
    double last = 0.0;
    bool gapBefore = false;  // a gap lies before the column's first sample (or in an empty one)
};

// Reduces a signal's samples between two times to one min/max pair per pixel column, so
// that drawing an hour of samples costs as many lines as the plot is wide.
namespace TrendDecimation {

// Column c covers [from + c * w, from + (c + 1) * w) seconds, w = (to - from) / columns.
// Empty when columns < 1 or to <= from.
std::vector<TrendColumn> Columns(const TrendRing& ring, double from, double to, int columns);

}  // namespace TrendDecimation

}  // namespace tarvo
