#pragma once

#include <string>

namespace tarvo {

class TrendPlot;

// A trend as CSV text: "time (s)" and one column per signal headed "NAME (UNIT)", one row
// per arrival time (signals that arrived at the same millisecond share a row, the others'
// cells stay empty). Times in seconds with three decimals, values in the shown units.
// Gaps write no row.
namespace TrendCsv {

// The samples from `from` to `to` seconds (both included).
std::string Text(const TrendPlot& plot, double from, double to);

}  // namespace TrendCsv

}  // namespace tarvo
