#include "oscilloscope/TrendTimeAxis.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tarvo {

double TrendTimeAxis::Step(double span, int maxLabels) {
    static constexpr double kSteps[] = {0.1, 0.2, 0.5, 1,   2,    5,    10,   15,    30,    60,
                                        120, 300, 600, 900, 1800, 3600, 7200, 18000, 36000, 86400};
    if (maxLabels < 1) {
        maxLabels = 1;
    }
    for (double step : kSteps) {
        if (span / step <= maxLabels) {
            return step;
        }
    }
    return kSteps[std::size(kSteps) - 1];
}

std::string TrendTimeAxis::Text(double time, double step) {
    char text[64];
    if (step < 1.0) {
        std::snprintf(text, sizeof text, "%.1f", time);
        return text;
    }
    const char* sign = time < 0 ? "-" : "";
    auto whole = static_cast<long long>(std::llround(std::fabs(time)));
    long long hours = whole / 3600;
    long long minutes = whole / 60 % 60;
    long long seconds = whole % 60;
    if (hours > 0) {
        std::snprintf(text, sizeof text, "%s%lld:%02lld:%02lld", sign, hours, minutes, seconds);
    } else {
        std::snprintf(text, sizeof text, "%s%lld:%02lld", sign, minutes, seconds);
    }
    return text;
}

std::vector<TrendTimeLabel> TrendTimeAxis::Labels(double from, double to, int width) {
    std::vector<TrendTimeLabel> labels;
    if (!(to > from) || width <= 0) {
        return labels;
    }
    double step = Step(to - from, std::max(width / 80, 1));
    // Whole multiples of the step, counted in steps so that 0.1 adds up without drift.
    auto firstIndex = static_cast<long long>(std::ceil(from / step - 1e-9));
    for (long long index = firstIndex;; ++index) {
        double time = static_cast<double>(index) * step;
        if (time > to + 1e-9) {
            break;
        }
        int x = static_cast<int>(std::lround((time - from) / (to - from) * width));
        labels.push_back({x, time, Text(time, step)});
    }
    return labels;
}

}  // namespace tarvo
