#include "oscilloscope/TrendCsv.h"

#include <cstdio>
#include <vector>

#include "oscilloscope/ScopeExport.h"
#include "oscilloscope/TrendPlot.h"

namespace tarvo {

std::string TrendCsv::Text(const TrendPlot& plot, double from, double to) {
    const int count = plot.SignalCount();
    std::string text = "time (s)";
    for (int i = 0; i < count; ++i) {
        const TrendSignal& signal = plot.At(i);
        text += ',' + ScopeExport::CsvCell(signal.unit.empty()
                                               ? signal.name
                                               : signal.name + " (" + signal.unit + ")");
    }
    text += '\n';
    // A merge of the signals' histories by time; each ring is ordered already.
    std::vector<size_t> next(static_cast<size_t>(count));
    std::vector<size_t> end(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        const TrendRing& ring = *plot.At(i).ring;
        next[static_cast<size_t>(i)] = ring.LowerBound(from);
        end[static_cast<size_t>(i)] = ring.LowerBound(to + 0.0005);
    }
    for (;;) {
        double earliest = 0.0;
        bool any = false;
        for (int i = 0; i < count; ++i) {
            auto s = static_cast<size_t>(i);
            const TrendRing& ring = *plot.At(i).ring;
            while (next[s] < end[s] && ring.At(next[s]).gap) {
                ++next[s];
            }
            if (next[s] < end[s] && (!any || ring.TimeAt(next[s]) < earliest)) {
                earliest = ring.TimeAt(next[s]);
                any = true;
            }
        }
        if (!any) {
            break;
        }
        char time[32];
        std::snprintf(time, sizeof time, "%.3f", earliest);
        text += time;
        for (int i = 0; i < count; ++i) {
            auto s = static_cast<size_t>(i);
            const TrendRing& ring = *plot.At(i).ring;
            text += ',';
            if (next[s] < end[s] && ring.TimeAt(next[s]) == earliest) {
                char value[40];
                std::snprintf(value, sizeof value, "%.10g", ring.At(next[s]).value);
                text += value;
                ++next[s];
            }
        }
        text += '\n';
    }
    return text;
}

}  // namespace tarvo
