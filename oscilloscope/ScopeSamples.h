#pragma once

#include <array>
#include <cstddef>
#include <vector>

#include "oscilloscope/CurvePlot.h"

namespace tarvo {

// The samples of a capture, raw, as decoded from the drive's record or read from a record
// file: each channel's values in sample order.
struct ScopeSamples {
    static constexpr int kChannels = 4;

    std::array<std::vector<double>, kChannels> values;

    // Channel 1..4; anything else is ignored.
    void Add(int channel, double value);
    void Clear();
    bool Empty() const;
    // One record per sample instant as the files see them: record i holds the i-th value
    // of every channel that has one.
    std::vector<PlotRecord> Records() const;
    // Puts the samples into the plot's curves, in place of its points.
    void Plot(CurvePlot& plot) const;
};

}  // namespace tarvo
