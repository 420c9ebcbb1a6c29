#pragma once

#include <string>
#include <vector>

namespace tarvo {

// One label of the trend's time axis: its pixel column from the plot's left edge and the
// time since the trend started.
struct TrendTimeLabel {
    int x = 0;
    double time = 0.0;
    std::string text;
};

namespace TrendTimeAxis {

// The tick spacing for a visible span: the smallest step of 1, 2, 5 tenths of a second and
// 1, 2, 5, 10, 15, 30 seconds and minutes (then hours) that leaves at most `maxLabels`.
double Step(double span, int maxLabels);
// "12.5" below a minute's spacing with sub-second steps, "0:45" / "12:30" (minutes:seconds)
// below an hour, "1:02:03" from an hour on. Negative times keep their sign.
std::string Text(double time, double step);
// The labels at the multiples of Step(to - from, width / 80) inside [from, to], placed on
// a plot `width` pixels wide. Empty when the span or width is not positive.
std::vector<TrendTimeLabel> Labels(double from, double to, int width);

}  // namespace TrendTimeAxis

}  // namespace tarvo
