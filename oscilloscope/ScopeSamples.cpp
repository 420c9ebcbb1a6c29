#include "oscilloscope/ScopeSamples.h"

#include <algorithm>

namespace tarvo {

void ScopeSamples::Add(int channel, double value) {
    if (channel >= 1 && channel <= kChannels) {
        values[static_cast<size_t>(channel - 1)].push_back(value);
    }
}

void ScopeSamples::Clear() {
    for (auto& channel : values) {
        channel.clear();
    }
}

bool ScopeSamples::Empty() const {
    return std::all_of(values.begin(), values.end(), [](const auto& v) { return v.empty(); });
}

std::vector<PlotRecord> ScopeSamples::Records() const {
    size_t longest = 0;
    for (const auto& channel : values) {
        longest = std::max(longest, channel.size());
    }
    std::vector<PlotRecord> records(longest);
    for (size_t channel = 0; channel < values.size(); ++channel) {
        for (size_t i = 0; i < values[channel].size(); ++i) {
            records[i].mask |= 1u << channel;
            records[i].values[channel] = values[channel][i];
        }
    }
    return records;
}

void ScopeSamples::Plot(CurvePlot& plot) const {
    plot.Clear();
    for (int channel = 1; channel <= kChannels; ++channel) {
        for (double value : values[static_cast<size_t>(channel - 1)]) {
            plot.AddPoint(channel, value, 1);
        }
    }
}

}  // namespace tarvo
